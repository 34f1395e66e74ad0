#!/usr/bin/env bash
# The interpreter on a counting loop of N iterations (an expression line with an addition and a
# comparison, a conditional jump, a jump back), against the same loop in Lua 5.4, timed in the
# same run.
#
#   bench/interpreter.sh [N]         (default 10000000)
#
# With WINKYR_BENCH_INSTRUCTIONS=1 it also counts the instructions of one loop iteration under
# callgrind (valgrind), as the difference of a run of 200000 and one of 100000 iterations, so the
# start-up of the process drops out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
n="${1:-10000000}"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON >/dev/null
cmake --build "$build" --target bench_interpreter >/dev/null

now() { date +%s.%N; }

read -r commands runtime_seconds per_second < <(QT_QPA_PLATFORM=offscreen "$build/bench/bench_interpreter" "$n")

t0=$(now)
lua_result=$(lua5.4 -e "
local i, n = 0, $n
while true do
  i = i + 1
  if not (i < n) then break end
end
print(i)")
t1=$(now)
lua_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')

echo "iterations: $n (Lua reached $lua_result)"
echo "interpreter: $commands commands in ${runtime_seconds} s, $per_second commands/s"
echo "lua5.4:      ${lua_seconds} s"
awk -v r="$runtime_seconds" -v l="$lua_seconds" 'BEGIN { printf "ratio (interpreter / Lua): %.2f\n", r / l }'

if [ "${WINKYR_BENCH_INSTRUCTIONS:-0}" = 1 ]; then
  instructions() {
    QT_QPA_PLATFORM=offscreen valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      "$build/bench/bench_interpreter" "$1" 2>&1 >/dev/null |
      awk '/Collected :/ { print $NF }'
  }
  small=$(instructions 100000)
  large=$(instructions 200000)
  awk -v a="$small" -v b="$large" 'BEGIN { printf "instructions per iteration (callgrind): %.0f\n", (b - a) / 100000 }'
fi
