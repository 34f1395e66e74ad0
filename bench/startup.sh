#!/usr/bin/env bash
# Start-up: the runtime running a program that quits at once, against a minimal Qt 6 Widgets
# program (application, one shown window, quit from a zero timer), median of 11 runs each,
# whole processes, in the same run on the same platform (offscreen).
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

median() {
  local times=() t0 t1
  for _ in $(seq 11); do
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    t1=$(date +%s.%N)
    times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n 6p
}

ours=$(median "$build/winkyr" QUIT.PXB)
peer=$(median "$build/bench/bench_startup_peer")
echo "winkyr QUIT.PXB:      $ours s"
echo "minimal Qt program:   $peer s"
awk -v a="$ours" -v b="$peer" 'BEGIN { printf "ratio (runtime / Qt program): %.2f\n", a / b }'
