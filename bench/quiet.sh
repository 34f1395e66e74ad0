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
