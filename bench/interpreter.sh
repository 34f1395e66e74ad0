#!/usr/bin/env bash
# The interpreter on six kinds of program against two twins each in Lua 5.4, timed in the same run:
#   loop    10M iterations of "I = I + 1; if I < N goto" in one expression line
#   lines   10M iterations with "I = I + 1" and "I < N" on lines of their own, JNZ back
#   calls   3M CALLs of a subroutine that reads two arguments with ARG and adds MOD of their
#           product into a variable
#   arrays  5000 passes that fill 1000 elements of an integer array and sum them ("%" with the
#           element number from the stack)
#   texts   200k rounds of STRING, TRIM, concatenation, UPCASE, INDEX, substring and LEN
#   floats  3M rounds of SIN, COS, SQRT, LOG and EXP into a real sum
# The twins: "glob" keeps the program's variables as Lua globals and loops with repeat/until as
# the program does; "local" is the Lua a Lua programmer writes, locals and a numeric for.  Each
# side runs as a whole process, headless, five times in turn (interpreter, glob, local, ...); a
# ratio is the median wall time of the interpreter's runs over the median of the twin's.  All
# sides print what they computed; a difference is reported (reals within single precision, since
# the program's reals are 32-bit) and makes the script fail.  The spin line is the fetch loop
# alone: a handler that only jumps back, in commands per second.
#
#   bench/interpreter.sh [KIND...]     (default: all six and spin)
#
# With WINKYR_BENCH_INSTRUCTIONS=1 it also counts the instructions of one round of each kind under
# callgrind (valgrind), as the difference of two runs of different lengths divided by the rounds
# between them, so the start-up of the process drops out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
runs=5

bench_build bench_interpreter
# WINKYR_BENCH_PROGRAM times another build of bench_interpreter (an older one, for a before/after).
bench="${WINKYR_BENCH_PROGRAM:-$build/bench/bench_interpreter}"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

# The Lua twins of each kind (KIND glob, KIND local): the same loop bound N, the same results
# printed.
lua_program() {
  case "$1 $2" in
    "loop glob"|"lines glob") cat <<'EOF'
I = 0
repeat I = I + 1 until not (I < N)
print("I=" .. I)
EOF
    ;;
    "loop local"|"lines local") cat <<'EOF'
local I = 0
for _ = 1, N do I = I + 1 end
print("I=" .. I)
EOF
    ;;
    "calls glob") cat <<'EOF'
I, R = 0, 0
function ADDMUL(a, b) R = R + (a * b) % 10 end
repeat ADDMUL(I, 3); I = I + 1 until not (I < N)
print("I=" .. I .. " R=" .. R)
EOF
    ;;
    "calls local") cat <<'EOF'
local R = 0
local function ADDMUL(a, b) R = R + (a * b) % 10 end
for I = 0, N - 1 do ADDMUL(I, 3) end
print("I=" .. N .. " R=" .. R)
EOF
    ;;
    "arrays glob") cat <<'EOF'
I, J, T, A = 0, 0, 0, {}
repeat
  J, T, I = 0, 0, I + 1
  repeat J = J + 1; A[J] = J + I until not (J < 1000)
  J = 0
  repeat J = J + 1; T = T + A[J] until not (J < 1000)
until not (I < N)
print("I=" .. I .. " T=" .. T)
EOF
    ;;
    "arrays local") cat <<'EOF'
local A, T = {}, 0
for I = 1, N do
  for J = 1, 1000 do A[J] = J + I end
  T = 0
  for J = 1, 1000 do T = T + A[J] end
end
print("I=" .. N .. " T=" .. T)
EOF
    ;;
    "texts glob") cat <<'EOF'
I, P, C, T, U, V = 0, 0, 0, "", "", ""
repeat
  T = string.format("%8d", I):match("^%s*(.-)%s*$") .. "-hello-world"
  U = string.upper(T)
  P = string.find(U, "WORLD", 1, true)
  V = string.sub(U, P, P + 4)
  C = C + #V + #T
  I = I + 1
until not (I < N)
print("I=" .. I .. " P=" .. P .. " C=" .. C .. " T=" .. T .. " V=" .. V)
EOF
    ;;
    "texts local") cat <<'EOF'
local format, upper, find, sub = string.format, string.upper, string.find, string.sub
local P, C, T, V = 0, 0, "", ""
for I = 0, N - 1 do
  T = format("%d", I) .. "-hello-world"
  local U = upper(T)
  P = find(U, "WORLD", 1, true)
  V = sub(U, P, P + 4)
  C = C + #V + #T
end
print("I=" .. N .. " P=" .. P .. " C=" .. C .. " T=" .. T .. " V=" .. V)
EOF
    ;;
    "floats glob") cat <<'EOF'
I, Y, R, M = 0, 0, 0, 0
repeat
  I = I + 1
  Y = I / N + 0.5
  R = math.sin(Y) + math.cos(Y) + math.sqrt(Y) + math.log(Y) + math.exp(0 - Y)
  M = math.max(M, R)
until not (I < N)
print(string.format("I=%d Y=%.9g R=%.9g M=%.9g", I, Y, R, M))
EOF
    ;;
    "floats local") cat <<'EOF'
local sin, cos, sqrt, log, exp, max = math.sin, math.cos, math.sqrt, math.log, math.exp, math.max
local Y, R, M = 0, 0, 0
for I = 1, N do
  Y = I / N + 0.5
  R = sin(Y) + cos(Y) + sqrt(Y) + log(Y) + exp(-Y)
  M = max(M, R)
end
print(string.format("I=%d Y=%.9g R=%.9g M=%.9g", N, Y, R, M))
EOF
    ;;
  esac
}

default_n() {
  case "$1" in
    loop|lines) echo 10000000 ;; calls) echo 3000000 ;; arrays) echo 5000 ;; texts) echo 200000 ;; floats) echo 3000000 ;;
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
[ ${#kinds[@]} -gt 0 ] || kinds=(loop lines calls arrays texts floats spin)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-7s %10s %10s %10s %10s %8s %8s\n' kind winkyr_s in_run_s glob_s local_s x_glob x_local
for kind in "${kinds[@]}"; do
  if [ "$kind" = spin ]; then
    for r in $(seq $runs); do "$bench" spin | awk '{ print $NF }' | cut -d= -f2; done | median |
      awk '{ printf "spin    fetch loop alone: %.0f commands/s (median of 5)\n", $1 }'
    continue
  fi
  n=$(default_n "$kind")
  for twin in glob local; do lua_program "$kind" "$twin" | sed "1i N = $n" >"$tmp/$kind.$twin.lua"; done
  : >"$tmp/w"; : >"$tmp/in"; : >"$tmp/glob"; : >"$tmp/local"
  for r in $(seq $runs); do
    timed "$tmp/wout" "$bench" "$kind" "$n" >>"$tmp/w"
    cut -d' ' -f1 "$tmp/wout" >>"$tmp/in"
    for twin in glob local; do timed "$tmp/$twin.out" lua5.4 "$tmp/$kind.$twin.lua" >>"$tmp/$twin"; done
  done
  w=$(median <"$tmp/w"); in_run=$(median <"$tmp/in"); g=$(median <"$tmp/glob"); l=$(median <"$tmp/local")
  printf '%-7s %10s %10s %10s %10s %8s %8s\n' "$kind" "$w" "$in_run" "$g" "$l" "$(ratio "$w" "$g")" "$(ratio "$w" "$l")"
  winkyr_results=$(cut -d' ' -f2- "$tmp/wout")
  for twin in glob local; do
    if ! same_results "$winkyr_results" "$(cat "$tmp/$twin.out")"; then
      echo "  results differ: winkyr: $winkyr_results / lua $twin: $(cat "$tmp/$twin.out")"
      failed=1
    fi
  done
done

if [ "${WINKYR_BENCH_INSTRUCTIONS:-0}" = 1 ]; then
  instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$bench" "$1" "$2" 2>&1 >/dev/null |
      awk '/Collected :/ { print $NF }'
  }
  # The two bounds of each kind: a round of arrays is a pass (2000 element rounds).
  bounds() {
    case "$1" in
      arrays) echo "200 400" ;; texts) echo "10000 20000" ;; *) echo "100000 200000" ;;
    esac
  }
  for kind in loop lines calls arrays texts floats; do
    read -r lower upper <<<"$(bounds "$kind")"
    small=$(instructions "$kind" "$lower")
    large=$(instructions "$kind" "$upper")
    awk -v k="$kind" -v a="$small" -v b="$large" -v n="$((upper - lower))" \
      'BEGIN { printf "instructions per round of %s (callgrind): %.0f\n", k, (b - a) / n }'
  done
fi
exit $failed
