#!/usr/bin/env bash
# Fetching rows into program variables through the SQL command, against the command-line
# client reading the same rows from the same server in the same run.
#
#   bench/sql_fetch.sh [ROWS]        (default 100000 rows of INT, VARCHAR(40), DOUBLE)
#
# With WINKYR_BENCH_BEFORE naming the bench_sql_fetch of another build (an older one, for a
# before/after), both fetch the same rows WINKYR_BENCH_RUNS times (default 11) in turn and the
# ratio of their medians (this build / the other) is printed as well.
#
# Uses the server named by the WINKYR_TEST_DB_* variables, or starts a private one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
rows="${1:-100000}"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"

quiet cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON
quiet cmake --build "$build" --target bench_sql_fetch

started=""
if [ -z "${WINKYR_TEST_DB_PORT:-}" ]; then
  "$root/scripts/mariadb-test-server" start "$build/mariadb" >/dev/null
  started=1
  # shellcheck disable=SC1091
  source "$build/mariadb/env"
fi

table="bench_fetch_$$"
client=(mariadb --no-defaults -h127.0.0.1 -P"$WINKYR_TEST_DB_PORT" -u"$WINKYR_TEST_DB_USER"
  -p"$WINKYR_TEST_DB_PASSWORD" "$WINKYR_TEST_DB_NAME")

cleanup() {
  "${client[@]}" -e "DROP TABLE IF EXISTS $table" 2>/dev/null || true
  [ -z "$started" ] || "$root/scripts/mariadb-test-server" stop "$build/mariadb"
}
trap cleanup EXIT

"${client[@]}" -e "CREATE TABLE $table (k INT, name VARCHAR(40), value DOUBLE);
  INSERT INTO $table SELECT seq, CONCAT('Name ', seq, ' ', REPEAT('x', seq MOD 20)), seq * 0.25
  FROM seq_1_to_$rows;"

now() { date +%s.%N; }

t0=$(now)
client_rows=$("${client[@]}" -B -N -e "SELECT k, name, value FROM $table" | wc -l)
t1=$(now)
read -r runtime_rows runtime_seconds < <("$build/bench/bench_sql_fetch" \
  "$WINKYR_TEST_DB_USER%$WINKYR_TEST_DB_NAME@127.0.0.1:$WINKYR_TEST_DB_PORT/$WINKYR_TEST_DB_PASSWORD" \
  "$table")

client_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')
if [ -n "${WINKYR_BENCH_BEFORE:-}" ]; then
  runs="${WINKYR_BENCH_RUNS:-11}"
  connection="$WINKYR_TEST_DB_USER%$WINKYR_TEST_DB_NAME@127.0.0.1:$WINKYR_TEST_DB_PORT/$WINKYR_TEST_DB_PASSWORD"
  now_times=() before_times=()
  time_now() { read -r _ seconds < <("$build/bench/bench_sql_fetch" "$connection" "$table" 2>/dev/null); now_times+=("$seconds"); }
  time_before() { read -r _ seconds < <("$WINKYR_BENCH_BEFORE" "$connection" "$table" 2>/dev/null); before_times+=("$seconds"); }
  # Which build goes first changes from round to round, so that neither always meets the
  # server's state after the other.
  for round in $(seq 1 "$runs"); do
    if [ $((round % 2)) -eq 1 ]; then time_now; time_before; else time_before; time_now; fi
  done
  median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  now_median=$(median "${now_times[@]}")
  before_median=$(median "${before_times[@]}")
  echo "this build, median of $runs:  ${now_median} s (${now_times[*]})"
  echo "other build, median of $runs: ${before_median} s (${before_times[*]})"
  awk -v a="$now_median" -v b="$before_median" 'BEGIN { printf "ratio (this build / other build): %.3f\n", a / b }'
fi
echo "rows: client $client_rows, SQL command $runtime_rows"
echo "mariadb -B -e:            ${client_seconds} s"
echo "SQL command into variables: ${runtime_seconds} s"
awk -v r="$runtime_seconds" -v c="$client_seconds" 'BEGIN { printf "ratio (SQL command / client): %.2f\n", r / c }'
