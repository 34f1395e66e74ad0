#!/usr/bin/env bash
# A print job (a form printed into its own PDF file, named after the job) and a numbered plot
# file (PLOT into a folder: PLTF0001.PLT ...), each timed into an empty folder and into a folder
# that already holds EXISTING earlier PDF files, as many earlier plot files (at most 9000) and as
# many other files: the milliseconds per job and the ratio full / empty, which should be about
# 1.0 (a job's cost does not grow with the folder).  Each the median of 3 runs.
#
#   bench/numbered_files.sh [JOBS] [EXISTING]     (default 200 jobs, 5000 files of each kind)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${1:-200}"
existing="${2:-5000}"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if ! cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON >"$work/build.log" 2>&1 ||
   ! cmake --build "$build" --target bench_numbered_files >>"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  exit 1
fi

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One run into a fresh folder: "print-ms plot-ms pdf-files plot-files".
one_run() {  # existing
  local dir
  dir="$(mktemp -d "$work/run.XXXXXX")"
  if ! QT_QPA_PLATFORM=offscreen "$build/bench/bench_numbered_files" "$dir" "$jobs" "$1" 2>"$work/run.log"; then
    cat "$work/run.log" >&2
    exit 1
  fi
  rm -rf "$dir"
}

measure() {  # existing -> "print-ms plot-ms"
  local runs
  runs="$(for _ in 1 2 3; do one_run "$1"; done)"
  local files
  files="$(tail -n 1 <<<"$runs" | awk '{ print $3, $4 }')"
  echo "$(awk '{ print $1 }' <<<"$runs" | median) $(awk '{ print $2 }' <<<"$runs" | median) $files"
}

read -r empty_print empty_plot empty_pdfs empty_plots < <(measure 0)
read -r full_print full_plot full_pdfs full_plots < <(measure "$existing")

plot_existing=$((existing < 9000 ? existing : 9000))
echo "jobs: $jobs of each kind (median of 3 runs); full folder: $existing earlier PDF files," \
  "$plot_existing earlier plot files, $existing other files"
printf 'print job   empty %8.3f ms   full %8.3f ms   ratio %.2f   (PDF files after: %d and %d)\n' \
  "$empty_print" "$full_print" "$(awk -v a="$full_print" -v b="$empty_print" 'BEGIN { print a / b }')" \
  "$empty_pdfs" "$full_pdfs"
printf 'plot file   empty %8.3f ms   full %8.3f ms   ratio %.2f   (plot files after: %d and %d)\n' \
  "$empty_plot" "$full_plot" "$(awk -v a="$full_plot" -v b="$empty_plot" 'BEGIN { print a / b }')" \
  "$empty_plots" "$full_plots"
