#!/usr/bin/env bash
# What the mark of a cut text costs a program that stored one: the interpreter bench's "cut" kind
# (one cut text stored, then a loop of text stores, a range store, a join, TRIM and a text array
# element's store and read) against its "whole" kind (the same after a whole text), in turn in
# the same run, 9 pairs; the ratio is the median of "cut" over the median of "whole" (the goal:
# at most 1.05).  Further programs (other builds of bench_interpreter, which know these kinds)
# are timed in the same turns, with their "whole" against the first program's.
#
#   bench/cut_marks.sh [BENCH_INTERPRETER...]     (default: this tree's, built in build-bench)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
runs="${WINKYR_BENCH_RUNS:-9}"
programs=("$@")
if [ ${#programs[@]} -eq 0 ]; then
  bench_build bench_interpreter
  programs=("$build/bench/bench_interpreter")
fi
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The seconds the program measured itself (its first field); its results must be those of the
# first program's "whole" run.
for r in $(seq "$runs"); do
  for p in "${!programs[@]}"; do
    for kind in whole cut; do
      "${programs[$p]}" "$kind" >"$tmp/out"
      cut -d' ' -f1 "$tmp/out" >>"$tmp/$p.$kind"
      cut -d' ' -f2- "$tmp/out" >"$tmp/$p.$kind.results"
    done
  done
done
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
failed=0
first_whole=$(median <"$tmp/0.whole")
printf '%-60s %9s %9s %9s %13s\n' program whole_s cut_s cut/whole whole/first
for p in "${!programs[@]}"; do
  w=$(median <"$tmp/$p.whole"); c=$(median <"$tmp/$p.cut")
  awk -v n="${programs[$p]}" -v w="$w" -v c="$c" -v f="$first_whole" \
    'BEGIN { printf "%-60s %9.4f %9.4f %9.3f %13.3f\n", substr(n, length(n) > 60 ? length(n) - 59 : 1), w, c, c / w, w / f }'
  for kind in whole cut; do
    if ! cmp -s "$tmp/$p.$kind.results" "$tmp/0.whole.results"; then
      echo "  results differ: ${programs[$p]} $kind: $(cat "$tmp/$p.$kind.results")"
      failed=1
    fi
  done
done
exit $failed
