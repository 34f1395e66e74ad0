#!/usr/bin/env bash
# Start-up: the runtime running a program that quits at once, against two Qt 6 Widgets programs
# on the same platform (offscreen) from the same build: "empty" shows a 640 x 480 window and
# quits from a zero timer; "text" shows the same window, paints a framed box with one line of
# text in it and quits after that first paint.  Whole processes, the three taking turns, the
# median of 21 runs each; the ratios are the runtime's median over each peer's.
#
# WINKYR_STARTUP_PROGRAM times another winkyr executable (an older one, for a before/after; the
# files it ships must lie beside it).  With WINKYR_BENCH_INSTRUCTIONS=1 it also counts the
# instructions of one whole process of each side under callgrind (valgrind).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"

quiet cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON
quiet cmake --build "$build" --target winkyr bench_startup_peer bench_startup_peer_text
winkyr="${WINKYR_STARTUP_PROGRAM:-$build/winkyr}"
empty="$build/bench/bench_startup_peer"
text="$build/bench/bench_startup_peer_text"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work}"
cat >QUIT.PXB <<'PXB'
[PROC]
CSET=W
[INIT]
CODES=1
UPNCODES=1
UPNTOKENS=1
TEXTTOKENS=1
TEXTCHARACTERS=10
VARIABLES=1
STRINGSPACE=10
ADRSPACE=1
[VARIABLES]
&0001 I 0001:I
[UPNCODES]
#0
[TEXTTOKENS]
@0001 x|
[CODES]
QUIT
PXB

# One timed run of a command, in seconds.
timed() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}

# The sides take turns, so that a machine that gets busier or quieter in between weighs on all
# alike; each side's median of 21 runs.
runs=21
: >"$work/ours" >"$work/empty" >"$work/text"
for _ in $(seq $runs); do
  timed "$winkyr" QUIT.PXB >>"$work/ours"
  timed "$empty" >>"$work/empty"
  timed "$text" >>"$work/text"
done
median() { sort -g "$1" | sed -n "$(((runs + 1) / 2))p"; }
ours=$(median "$work/ours")
peer_empty=$(median "$work/empty")
peer_text=$(median "$work/text")
echo "winkyr QUIT.PXB:                   $ours s"
echo "Qt program, empty window:          $peer_empty s"
echo "Qt program, framed box with text:  $peer_text s"
awk -v a="$ours" -v b="$peer_text" 'BEGIN { printf "ratio to the window with text: %.2f\n", a / b }'
awk -v a="$ours" -v b="$peer_empty" 'BEGIN { printf "ratio to the empty window:     %.2f\n", a / b }'

if [ "${WINKYR_BENCH_INSTRUCTIONS:-0}" = 1 ]; then
  instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      awk '/Collected :/ { print $NF }'
  }
  i_ours=$(instructions "$winkyr" QUIT.PXB)
  i_empty=$(instructions "$empty")
  i_text=$(instructions "$text")
  echo "instructions (callgrind): winkyr $i_ours, empty window $i_empty, window with text $i_text"
  awk -v a="$i_ours" -v b="$i_text" -v c="$i_empty" \
    'BEGIN { printf "instruction ratios: to the window with text %.2f, to the empty window %.2f\n", a / b, a / c }'
fi
