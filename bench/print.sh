#!/usr/bin/env bash
# A form of N pages (60 lines each) printed to PDF through the print engine, against the same
# text typeset by enscript and turned into PDF by ps2pdf, timed in the same run: seconds, file
# sizes and their ratios, and the fonts and page counts as pdffonts and pdfinfo read them.
#
#   bench/print.sh [N]         (default 50)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
n="${1:-50}"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

quiet cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON
quiet cmake --build "$build" --target bench_print

now() { date +%s.%N; }

read -r pages winkyr_seconds winkyr_bytes < <(QT_QPA_PLATFORM=offscreen "$build/bench/bench_print" "$work" "$n")

t0=$(now)
enscript -q -B -f Courier10 -M A4 -X latin1 -p - "$work/liste.txt" | ps2pdf - "$work/enscript.pdf"
t1=$(now)
ref_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')
ref_bytes=$(stat -c %s "$work/enscript.pdf")

fonts() { pdffonts "$1" | awk 'NR > 2 { printf "%s%s", sep, $1; sep = "," }'; }
echo "form: $pages pages of 60 lines"
echo "winkyr:           ${winkyr_seconds} s, ${winkyr_bytes} bytes, $(pdfinfo "$work/winkyr.pdf" | awk '/^Pages:/ { print $2 }') pages, fonts $(fonts "$work/winkyr.pdf")"
echo "enscript|ps2pdf:  ${ref_seconds} s, ${ref_bytes} bytes, $(pdfinfo "$work/enscript.pdf" | awk '/^Pages:/ { print $2 }') pages, fonts $(fonts "$work/enscript.pdf")"
awk -v a="$winkyr_seconds" -v b="$ref_seconds" 'BEGIN { printf "time ratio (winkyr / enscript|ps2pdf): %.2f\n", a / b }'
awk -v a="$winkyr_bytes" -v b="$ref_bytes" 'BEGIN { printf "size ratio (winkyr / enscript|ps2pdf): %.2f\n", a / b }'
