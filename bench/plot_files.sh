#!/usr/bin/env bash
# Plot files of N line segments: DXF against ezdxf, PDF and PostScript against cairo (pycairo),
# the same segments, timed in the same run, each the median of 5 runs; the time is from the
# open of the file to the complete file on the disk.
#
#   bench/plot_files.sh [N]          (default 100000 segments)
#
# Installs python3-ezdxf and python3-cairo when they are missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
n="${1:-100000}"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
python=/usr/bin/python3

missing=()
for p in python3-ezdxf python3-cairo; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

quiet cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON
quiet cmake --build "$build" --target bench_plot_files

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The reference: the same segments with ezdxf (DXF) and cairo (PDF, PS), timed inside Python
# from the start of the document to the closed file.
cat >"$work/reference.py" <<'EOF'
import sys, time
kind, path, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
def point(k):
    return (k * 37) % 1000 * 0.02, (k * 91) % 1000 * 0.028
start = time.perf_counter()
if kind == "dxf":
    import ezdxf
    doc = ezdxf.new()
    msp = doc.modelspace()
    for k in range(n):
        msp.add_line(point(2 * k), point(2 * k + 1))
    doc.saveas(path)
else:
    import cairo
    mm = 72 / 25.4
    surface = (cairo.PDFSurface if kind == "pdf" else cairo.PSSurface)(path, 210 * mm, 297 * mm)
    ctx = cairo.Context(surface)
    ctx.scale(10 * mm, 10 * mm)
    ctx.set_line_width(0.02)
    for k in range(n):
        x1, y1 = point(2 * k)
        x2, y2 = point(2 * k + 1)
        ctx.move_to(x1, y1)
        ctx.line_to(x2, y2)
    ctx.stroke()
    surface.finish()
print("%.6f" % (time.perf_counter() - start))
EOF

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

runtime_time() {  # device file
  for _ in 1 2 3 4 5; do
    (cd "$work" && QT_QPA_PLATFORM=offscreen "$build/bench/bench_plot_files" "$1" "$2" "$n" "$root/data/")
  done | median
}

reference_time() {  # kind file
  for _ in 1 2 3 4 5; do
    "$python" "$work/reference.py" "$1" "$work/$2" "$n"
  done | median
}

echo "segments: $n (median of 5 runs each)"
for job in "DXF 41 dxf bench.dxf ref.dxf ezdxf" "PDF 43 pdf bench.pdf ref.pdf cairo" \
            "PS 40 ps bench.eps ref.ps cairo"; do
  read -r label device kind file ref peer <<<"$job"
  r=$(runtime_time "$device" "$file")
  p=$(reference_time "$kind" "$ref")
  printf '%-4s runtime %9.4f s (%d bytes)   %-6s %9.4f s (%d bytes)   ratio %.3f\n' "$label" "$r" \
    "$(stat -c %s "$work/$file")" "$peer" "$p" "$(stat -c %s "$work/$ref")" \
    "$(awk -v a="$r" -v b="$p" 'BEGIN { print a / b }')"
done
