#!/usr/bin/env bash
# The cost of a print job's PDF file: a program prints a form of one page in JOBS jobs (each
# ended at once, so each makes its own PDF file) and quits, a whole process, timed five times in
# turn with another winkyr when one is named; the medians of the wall times and of the CPU times
# (user + system), and the ratios of this build over the other.  Two cases: "folder", the jobs'
# numbered PDF files ("Druckausgabe.pdf", "Druckausgabe-2.pdf" ...) in a folder eight levels
# deep (WINKYR_PRINT_PDF=folder/), and "file", every job written over one named file
# (WINKYR_PRINT_PDF=file.pdf).  The PDF files are checked: as many as jobs, each with its page's
# text (pdftotext).
#
#   bench/print_jobs.sh [JOBS]     (default 200)
#
# WINKYR_PRINT_JOBS_PROGRAM times another winkyr executable beside this build's (an older one,
# for a before/after).  The bench runs in a folder of TMPDIR (as a rule /tmp): set TMPDIR to
# measure on another file system.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
jobs="${1:-200}"
runs=5
bench_build winkyr
winkyr="$build/winkyr"
other="${WINKYR_PRINT_JOBS_PROGRAM:-}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work}"
printf 'Rechnung Nummer 4711\nfuer den Kunden\n' >brief.frm
loop_program "$jobs" "@0001 brief|
@0002  |" "PRINT @0001
/00000800 PRINT @0002
%0002
JNZ :0001
QUIT
QUIT" >JOBS.PXB

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
failed=0
# Every PDF file of the run holds its page.
check() {  # side case target
  local count=0 file
  for file in "$3"*; do
    count=$((count + 1))
    pdftotext "$file" - 2>/dev/null | grep -q 'Rechnung Nummer 4711' ||
      { echo "$1 ($2): $file holds no page" >&2; failed=1; }
  done
  [ "$2" = file ] || [ "$count" -eq "$jobs" ] || { echo "$1 ($2): $count PDF files, not $jobs" >&2; failed=1; }
}
# timed SIDE CASE PROGRAM: one run; its wall and CPU seconds appended to SIDE.CASE.wall and .cpu.
timed() {
  local side="$1" case="$2" target
  rm -rf out
  if [ "$case" = folder ]; then
    mkdir -p out/a/b/c/d/e/f/g
    target="$work/out/a/b/c/d/e/f/g/"
  else
    mkdir -p out
    printf 'an older file\n' >out/druck.pdf
    target="$work/out/druck.pdf"
  fi
  TIMEFORMAT='%R %U %S'
  local times
  times="$( { time WINKYR_PRINT_PDF="$target" "$3" JOBS.PXB >/dev/null 2>&1; } 2>&1 )"
  awk '{ print $1 }' <<<"$times" >>"$side.$case.wall"
  awk '{ printf "%.3f\n", $2 + $3 }' <<<"$times" >>"$side.$case.cpu"
  check "$side" "$case" "$target"
}
sides=(winkyr)
[ -n "$other" ] && sides+=(other)
for _ in $(seq $runs); do
  for case in folder file; do
    timed winkyr "$case" "$winkyr"
    [ -n "$other" ] && timed other "$case" "$other"
  done
done
echo "jobs: $jobs of one page each, medians of $runs runs (seconds)"
printf '%-8s %-7s %9s %9s %9s %9s\n' case side wall cpu wall_x cpu_x
for case in folder file; do
  w=$(median <"winkyr.$case.wall")
  c=$(median <"winkyr.$case.cpu")
  for side in "${sides[@]}"; do
    mw=$(median <"$side.$case.wall")
    mc=$(median <"$side.$case.cpu")
    printf '%-8s %-7s %9s %9s %9s %9s\n' "$case" "$side" "$mw" "$mc" "$(ratio "$w" "$mw")" "$(ratio "$c" "$mc")"
  done
done
exit $failed
