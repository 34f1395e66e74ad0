# Sourced by the bench scripts.  quiet COMMAND...: runs the command with its output kept aside,
# and on failure shows that output and ends the script with the command's status, so that a
# build that fails is seen (a bench's own output stays its figures).
quiet() {
  local log rc=0
  log="$(mktemp)"
  "$@" >"$log" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    cat "$log" >&2
    echo "bench: failed with status $rc: $*" >&2
  fi
  rm -f "$log"
  [ "$rc" -eq 0 ] || exit "$rc"
}

# bench_build TARGET: builds TARGET in $build (the script's build directory, beside $root).  A
# build directory of its own is made a release build with debug information (for profiles); one
# given by WINKYR_BUILD_DIR keeps its build type.
bench_build() {
  if [ -f "$build/CMakeCache.txt" ]; then
    quiet cmake -S "$root" -B "$build" -DWINKYR_BENCH=ON
  else
    quiet cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWINKYR_BENCH=ON
  fi
  quiet cmake --build "$build" --target "$1"
}

# loop_program COUNT TEXTS CODES: a PXB program whose expression 2 counts the variable I up from 1
# and is true while it is below COUNT (expression 1 is 0); TEXTS are its text tokens' lines, CODES
# its code lines.
loop_program() {
  cat <<PXB
[PROC]
[INIT]
CODES=10
UPNCODES=4
UPNTOKENS=20
TEXTTOKENS=4
TEXTCHARACTERS=200
VARIABLES=2
STRINGSPACE=100
ADRSPACE=10
[VARIABLES]
&0001 I 0001:I/0
[UPNCODES]
#0
&1 #1 _+ &1 __STO &1 #$1 _<
[TEXTTOKENS]
$2
[LABELS]
[CODES]
$3
PXB
}
