#!/usr/bin/env bash
# The interpreter on five kinds of program against their twins in Lua 5.4, timed in the same run:
#   loop    10M iterations of "I = I + 1; if I < N goto"
#   calls   3M CALLs with two arguments
#   arrays  nested loops filling and summing 10M array elements
#   texts   200k rounds of text building, upper-casing, search and substring
#   floats  3M rounds of SIN, COS, SQRT, LOG and EXP
# Each side runs as a whole process, headless, five times in turn; the ratio is the median wall
# time of the interpreter's runs over the median of Lua's.  Both sides print what they computed;
# a difference is reported (reals within single precision, since the program's reals are 32-bit)
# and makes the script fail.  The spin line is the fetch loop alone: a handler that only jumps
# back, in commands per second.
#
#   bench/interpreter.sh [KIND...]     (default: all five and spin)
#
# With WINKYR_BENCH_INSTRUCTIONS=1 it also counts the instructions of one loop iteration under
# callgrind (valgrind), as the difference of a run of 200000 and one of 100000 iterations, so the
# start-up of the process drops out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
runs=5

# A build directory of its own is made a release build with debug information (for profiles); one
# given by WINKYR_BUILD_DIR keeps its build type.
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DWINKYR_BENCH=ON >/dev/null
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWINKYR_BENCH=ON >/dev/null
fi
cmake --build "$build" --target bench_interpreter >/dev/null
# WINKYR_BENCH_PROGRAM times another build of bench_interpreter (an older one, for a before/after).
bench="${WINKYR_BENCH_PROGRAM:-$build/bench/bench_interpreter}"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

# The Lua twins: the same variables as globals, the same loop bound N, the same results printed.
lua_program() {
  case "$1" in
    loop) cat <<'EOF'
I = 0
repeat I = I + 1 until not (I < N)
print("I=" .. I)
EOF
    ;;
    calls) cat <<'EOF'
I, S = 0, 0
function SUB(a, b) S = S + a - b end
repeat SUB(I, I - 1); I = I + 1 until not (I < N)
print("I=" .. I .. " S=" .. S)
EOF
    ;;
    arrays) cat <<'EOF'
I, J, T, A = 0, 0, 0, {}
repeat
  J, T, I = 0, 0, I + 1
  repeat J = J + 1; A[J] = J + I until not (J < 50)
  J = 0
  repeat J = J + 1; T = T + A[J] until not (J < 50)
until not (I < N)
print("I=" .. I .. " T=" .. T)
EOF
    ;;
    texts) cat <<'EOF'
I, P, C, T, U, V = 0, 0, 0, "", "", ""
repeat
  T = "hello world " .. "xyz"
  U = string.upper(T)
  P = string.find(U, "WORLD", 1, true)
  V = string.sub(U, P, P + 4)
  C = C + #V
  I = I + 1
until not (I < N)
print("I=" .. I .. " P=" .. P .. " C=" .. C .. " V=" .. V)
EOF
    ;;
    floats) cat <<'EOF'
local sin, cos, sqrt, log, exp, max = math.sin, math.cos, math.sqrt, math.log, math.exp, math.max
I, Y, R, M = 0, 0, 0, 0
repeat
  I = I + 1
  Y = I / N + 0.5
  R = sin(Y) + cos(Y) + sqrt(Y) + log(Y) + exp(0 - Y)
  M = max(M, R)
until not (I < N)
print(string.format("I=%d Y=%.9g R=%.9g M=%.9g", I, Y, R, M))
EOF
    ;;
  esac
}

default_n() {
  case "$1" in
    loop) echo 10000000 ;; calls) echo 3000000 ;; arrays) echo 100000 ;; texts) echo 200000 ;; floats) echo 3000000 ;;
  esac
}

# Seconds of wall time of one command, its standard output into the file named first.
timed() {
  local out="$1"; shift
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >"$out"
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Results equal, reals within single precision (a few units of its last place).
same_results() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    n = split(a, x, " "); m = split(b, y, " ")
    if (n != m) exit 1
    for (i = 1; i <= n; i++) {
      split(x[i], p, "="); split(y[i], q, "=")
      if (p[1] != q[1]) exit 1
      if (p[2] == q[2]) continue
      if (p[2] !~ /^-?[0-9.e+-]+$/ || q[2] !~ /^-?[0-9.e+-]+$/) exit 1
      d = p[2] - q[2]; if (d < 0) d = -d
      s = q[2] < 0 ? -q[2] : q[2]
      if (d > s * 1e-6 + 1e-30) exit 1
    }
  }'
}

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(loop calls arrays texts floats spin)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
printf '%-7s %12s %12s %12s %7s\n' kind winkyr_s lua_s in_run_s ratio
for kind in "${kinds[@]}"; do
  if [ "$kind" = spin ]; then
    for r in $(seq $runs); do "$bench" spin | awk '{ print $NF }' | cut -d= -f2; done | median |
      awk '{ printf "spin    fetch loop alone: %.0f commands/s (median of 5)\n", $1 }'
    continue
  fi
  n=$(default_n "$kind")
  lua_program "$kind" | sed "1i N = $n" >"$tmp/$kind.lua"
  : >"$tmp/w"; : >"$tmp/l"; : >"$tmp/in"
  for r in $(seq $runs); do
    timed "$tmp/wout" "$bench" "$kind" "$n" >>"$tmp/w"
    cut -d' ' -f1 "$tmp/wout" >>"$tmp/in"
    timed "$tmp/lout" lua5.4 "$tmp/$kind.lua" >>"$tmp/l"
  done
  w=$(median <"$tmp/w"); l=$(median <"$tmp/l"); in_run=$(median <"$tmp/in")
  printf '%-7s %12s %12s %12s %7s\n' "$kind" "$w" "$l" "$in_run" "$(awk -v a="$w" -v b="$l" 'BEGIN { printf "%.2f", a / b }')"
  winkyr_results=$(cut -d' ' -f2- "$tmp/wout")
  lua_results=$(cat "$tmp/lout")
  if ! same_results "$winkyr_results" "$lua_results"; then
    echo "  results differ: winkyr: $winkyr_results / lua: $lua_results"
    failed=1
  fi
done

if [ "${WINKYR_BENCH_INSTRUCTIONS:-0}" = 1 ]; then
  instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$bench" loop "$1" 2>&1 >/dev/null |
      awk '/Collected :/ { print $NF }'
  }
  small=$(instructions 100000)
  large=$(instructions 200000)
  awk -v a="$small" -v b="$large" 'BEGIN { printf "instructions per loop iteration (callgrind): %.0f\n", (b - a) / 100000 }'
fi
exit $failed
