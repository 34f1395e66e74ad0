#!/usr/bin/env bash
# What the search for an open cell's record adds to a rebuild of its list: bench_list_cell of
# this tree against the same program built from a previous revision (default 802a06a, before
# the search), run alternately in the same session, five runs each.  Prints the milliseconds of
# one rebuild (allocate, every row put, the list drawn) with a cell open, with a cell open whose
# record another desk changed (the search's longest way), and with none, for both builds, and
# what this tree adds.
#
#   bench/list_cell.sh [ROWS] [REVISION]      (default 100000 rows)
set -euo pipefail
rows="${1:-100000}" revision="${2:-802a06a}"
root="$(cd "$(dirname "$0")/.." && pwd)" && build="${WINKYR_BUILD_DIR:-$root/build-bench}"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
bench_build bench_list_cell

# The previous revision's tree beside this one (under build-*, which git ignores), with this
# bench's source in it; its build keeps this build's type.
previous="$root/build-bench-$revision"
rm -rf "$previous/src"
mkdir -p "$previous/src"
git -C "$root" archive "$revision" | tar -x -C "$previous/src"
cp "$root/bench/list_cell.cpp" "$previous/src/bench/"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
quiet cmake -S "$previous/src" -B "$previous/build" -G Ninja -DCMAKE_BUILD_TYPE="${build_type:-RelWithDebInfo}" -DWINKYR_BENCH=ON
quiet cmake --build "$previous/build" --target bench_list_cell

export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
for _ in 1 2 3 4 5; do
  "$previous/build/bench/bench_list_cell" "$rows" 2>/dev/null | sed 's/^/previous /'
  "$build/bench/bench_list_cell" "$rows" 2>/dev/null | sed 's/^/this /'
done >runs.txt
[ "$(wc -l <runs.txt)" -eq 10 ] || { echo "bench_list_cell failed" >&2; exit 1; }
awk -v rows="$rows" -v rev="$revision" '
  { for (k = 2; k <= 7; ++k) v[$1, k] = v[$1, k] " " $k }
  function med(list,   a, n, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return a[int((n + 1) / 2)]
  }
  function line(name, who,   k) {
    printf "%-22s", name
    for (k = 2; k <= 7; ++k) printf " %9.2f", who == "added" ? med(v["this", k]) - med(v["previous", k]) : med(v[who, k])
    printf "\n"
  }
  END {
    printf "%d rows, ms per rebuild: whole (cell open, record changed, no cell), drawing alone (the same)\n", rows
    line(rev, "previous"); line("this tree", "this"); line("added", "added")
  }' runs.txt
