#!/usr/bin/env bash
# The interpreter bench's kinds on several builds of bench_interpreter, in turn in the same run
# (each round runs every build once per kind, in a new order each round), so that a before/after
# sees the same machine: per kind the median of the seconds each run measured itself and its
# ratio to the first build's, then the same for the fastest run (on a busy machine the fastest
# runs are the ones that ran undisturbed).  The results of every run must be the first build's.
# With the kinds "whole" and "cut" (a text loop after a whole text and after one cut text), a last
# row gives each build's "cut" over its own "whole": what the mark of one cut text costs.
#
#   bench/interpreter_builds.sh BENCH_INTERPRETER... [-- KIND...]
#       (default kinds: loop calls arrays texts floats; WINKYR_BENCH_RUNS rounds, default 11)
# An older build knows the kinds "whole" and "cut" once it is built with this bench/interpreter.cpp.
# With WINKYR_BENCH_CPU=1 a run's figure is the processor time of the whole process (perf's
# task-clock, start-up included) instead of the seconds it measured itself: on a machine shared
# with other work the time a run waited for a processor then drops out.
set -euo pipefail
programs=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do programs+=("$1"); shift; done
[ $# -gt 0 ] && shift
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(loop calls arrays texts floats)
[ ${#programs[@]} -gt 0 ] || { echo "usage: $0 BENCH_INTERPRETER... [-- KIND...]" >&2; exit 2; }
runs="${WINKYR_BENCH_RUNS:-11}"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for r in $(seq "$runs"); do
  for kind in "${kinds[@]}"; do
    # Rotate the order of the builds from round to round.
    for i in "${!programs[@]}"; do
      p=$(( (i + r) % ${#programs[@]} ))
      if [ "${WINKYR_BENCH_CPU:-0}" = 1 ]; then
        perf stat -x, -e task-clock -o "$tmp/stat" "${programs[$p]}" "$kind" >"$tmp/out"
        awk -F, '/task-clock/ { printf "%.6f\n", $1 / 1000 }' "$tmp/stat" >>"$tmp/$p.$kind"
      else
        "${programs[$p]}" "$kind" >"$tmp/out"
        cut -d' ' -f1 "$tmp/out" >>"$tmp/$p.$kind"
      fi
      cut -d' ' -f2- "$tmp/out" >"$tmp/$p.$kind.results"
    done
  done
done
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
fastest() { sort -g | head -1; }
failed=0
printf '%-8s' kind
for p in "${!programs[@]}"; do printf ' %10s %7s' "s[$p]" "x[$p]"; done
printf '   fastest:'
for p in "${!programs[@]}"; do printf ' %10s %7s' "s[$p]" "x[$p]"; done
printf '\n'
for kind in "${kinds[@]}"; do
  printf '%-8s' "$kind"
  first=$(median <"$tmp/0.$kind")
  for p in "${!programs[@]}"; do
    m=$(median <"$tmp/$p.$kind")
    awk -v m="$m" -v f="$first" 'BEGIN { printf " %10.4f %7.3f", m, m / f }'
    cmp -s "$tmp/$p.$kind.results" "$tmp/0.$kind.results" || { failed=1; echo " (results differ: $p)"; }
  done
  printf '            '
  first=$(fastest <"$tmp/0.$kind")
  for p in "${!programs[@]}"; do
    m=$(fastest <"$tmp/$p.$kind")
    awk -v m="$m" -v f="$first" 'BEGIN { printf " %10.4f %7.3f", m, m / f }'
  done
  printf '\n'
done
if [ -f "$tmp/0.cut" ] && [ -f "$tmp/0.whole" ]; then
  printf '%-8s' cut/whole
  for p in "${!programs[@]}"; do
    awk -v c="$(median <"$tmp/$p.cut")" -v w="$(median <"$tmp/$p.whole")" 'BEGIN { printf " %10s %7.3f", "", c / w }'
  done
  printf '            '
  for p in "${!programs[@]}"; do
    awk -v c="$(fastest <"$tmp/$p.cut")" -v w="$(fastest <"$tmp/$p.whole")" 'BEGIN { printf " %10s %7.3f", "", c / w }'
  done
  printf '\n'
fi
for p in "${!programs[@]}"; do echo "[$p] ${programs[$p]}"; done
exit $failed
