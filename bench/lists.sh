#!/usr/bin/env bash
# The list manager's load, sort and save of a list file against GNU sort on the same rows
# (LC_ALL=C, one thread), timed in the same run: 10k, 100k and 1M rows of 24 random letters,
# median of 5 runs each, whole processes.  Prints both times, the ratio, and how the time grows
# against N log N from the smallest size.
#
#   bench/lists.sh [SIZES...]        (default 10000 100000 1000000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
sizes=("${@:-10000 100000 1000000}")
read -r -a sizes <<<"${sizes[*]}"

quiet cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON
quiet cmake --build "$build" --target bench_lists

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen

# Median wall time of five runs of a command, in seconds.
median5() {
  local times=() t0 t1
  for _ in 1 2 3 4 5; do
    t0=$(date +%s.%N)
    "$@" >/dev/null
    t1=$(date +%s.%N)
    times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n 3p
}

first_n="" first_t=""
printf '%9s %12s %12s %7s %14s\n' rows "lists (s)" "sort (s)" ratio "growth/NlogN"
for n in "${sizes[@]}"; do
  awk -v n="$n" 'BEGIN { srand(n); a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    for (i = 0; i < n; i++) { r = ""; for (k = 0; k < 24; k++) r = r substr(a, int(rand() * 52) + 1, 1); print r } }' >"rows$n.txt"
  ours=$(median5 "$build/bench/bench_lists" "rows$n.txt" "ours$n.txt" 24)
  theirs=$(median5 env LC_ALL=C sort --parallel=1 -o "sorted$n.txt" "rows$n.txt")
  cmp -s "ours$n.txt" "sorted$n.txt" || { echo "rows $n: the list manager's order differs from sort's" >&2; exit 1; }
  if [ -z "$first_n" ]; then first_n=$n; first_t=$ours; fi
  awk -v n="$n" -v a="$ours" -v b="$theirs" -v n0="$first_n" -v t0="$first_t" 'BEGIN {
    growth = (a / t0) / ((n * log(n)) / (n0 * log(n0)));
    printf "%9d %12.4f %12.4f %7.2f %14.2f\n", n, a, b, a / b, growth }'
done
