#!/usr/bin/env bash
# The cost of lines reaching the disk soon after each write: a program writes LINES lines of 100
# bytes through a FILE unit in a loop of commands and quits, against two Lua 5.4 twins that
# write the same lines with buffered writes ("buffered") and with a flush after every line
# ("per_line"), each side a whole process, five times in turn; the median wall times and the
# ratios of winkyr over each twin.  The runtime hands buffered lines to the file at each turn of
# the event loop (a few milliseconds apart), so its time should stay near the buffered side's
# share of the work, far from a flush per record.  The written files are compared byte for byte.
#
#   bench/file_lines.sh [LINES]     (default 500000)
#
# WINKYR_LINES_PROGRAM times another winkyr executable beside this build's (an older one, for a
# before/after: its median and the ratio of this build over it are printed too).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
lines="${1:-500000}"
runs=5
bench_build winkyr
winkyr="$build/winkyr"
other="${WINKYR_LINES_PROGRAM:-}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work}"
text="$(printf 'x%.0s' $(seq 99))"
loop_program "$lines" "@0001 #1|
@0002 out.txt|
@0003 $text|" "/00000001 FILE @0001 @0002 %0001
/00001000 FILE @0001 @0003
%0002
JNZ :0002
QUIT
QUIT" >LINES.PXB
for twin in buffered per_line; do
  flush=""
  [ "$twin" = per_line ] && flush="f:flush()"
  cat >"$twin.lua" <<LUA
local f = assert(io.open("out.txt", "w"))
local line = "$text\n"
for _ = 1, $lines do f:write(line) $flush end
f:close()
LUA
done

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# timed SIDE COMMAND...: one run, its wall time in seconds appended to SIDE; its file kept as SIDE.txt.
timed() {
  local side="$1" start end
  shift
  rm -f out.txt
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", (b - a) / 1e9 }' >>"$side"
  mv out.txt "$side.txt"
}
sides=(winkyr buffered per_line)
[ -n "$other" ] && sides+=(other)
for _ in $(seq $runs); do
  timed winkyr "$winkyr" LINES.PXB
  timed buffered lua5.4 buffered.lua
  timed per_line lua5.4 per_line.lua
  [ -n "$other" ] && timed other "$other" LINES.PXB
done
failed=0
for side in "${sides[@]}"; do
  cmp -s winkyr.txt "$side.txt" || { echo "the file of $side differs from winkyr's" >&2; failed=1; }
done
w=$(median <winkyr)
printf '%-10s %10s %10s\n' side median_s winkyr_x
for side in "${sides[@]}"; do
  m=$(median <"$side")
  printf '%-10s %10s %10s\n' "$side" "$m" "$(ratio "$w" "$m")"
done
exit $failed
