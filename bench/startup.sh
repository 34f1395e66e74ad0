#!/usr/bin/env bash
# Start-up: the runtime running a program that quits at once, against a minimal Qt 6 Widgets
# program (application, one shown window, quit from a zero timer), median of 21 runs each with
# the two taking turns, whole processes, in the same run on the same platform (offscreen).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON >/dev/null
cmake --build "$build" --target winkyr bench_startup_peer >/dev/null

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

# The two sides take turns, so that a machine that gets busier or quieter in between weighs on
# both alike; each side's median of 21 runs.
runs=21
: >"$work/ours" >"$work/peer"
for _ in $(seq $runs); do
  timed "$build/winkyr" QUIT.PXB >>"$work/ours"
  timed "$build/bench/bench_startup_peer" >>"$work/peer"
done
median() { sort -g "$1" | sed -n "$(((runs + 1) / 2))p"; }
ours=$(median "$work/ours")
peer=$(median "$work/peer")
echo "winkyr QUIT.PXB:      $ours s"
echo "minimal Qt program:   $peer s"
awk -v a="$ours" -v b="$peer" 'BEGIN { printf "ratio (runtime / Qt program): %.2f\n", a / b }'
