#!/usr/bin/env bash
# Memory across RUN chains: two programs that chain to each other (the first also defines a
# font, writes a text and makes a button, and counts its start in COUNT.TXT), run until CHAINS
# starts (default 20000).  Prints the resident memory at each quarter and the growth per 1000
# chains from the first quarter to the end; a runtime that keeps nothing per chain stays flat.
#
# WINKYR_CHAIN_PROGRAM measures another winkyr executable (an older one, for a before/after).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/quiet.sh
source "$root/bench/quiet.sh"
build="${WINKYR_BUILD_DIR:-$root/build-bench}"
chains="${1:-20000}"
if [ -z "${WINKYR_CHAIN_PROGRAM:-}" ]; then
  quiet cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINKYR_BENCH=ON
  quiet cmake --build "$build" --target winkyr
fi
winkyr="${WINKYR_CHAIN_PROGRAM:-$build/winkyr}"

work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work}"
head='[PROC]
CSET=W
[INIT]
CODES=20
UPNCODES=20
UPNTOKENS=100
TEXTTOKENS=20
TEXTCHARACTERS=400
VARIABLES=10
STRINGSPACE=400
ADRSPACE=50
[VARIABLES]
&0001 I 0001:I/0'
cat >A.PXB <<PXB
$head
[UPNCODES]
#0
#-1 #20 #20
#10 #10 #100 #20
#12 #0 #0
[TEXTTOKENS]
@0001 #1|
@0002 COUNT.TXT|
@0003 x|
@0004 B.PXB|
@0005 Lagerbestand|
@0006 Weiter|
@0007 Courier/B/I|
[CODES]
/00000101 FILE @0001 @0002 %0001
/00001000 FILE @0001 @0003
/00000002 FILE @0001
/00000018 TEXT %0004 @0007
TEXT %0002 @0005
BUTTON %0003 @0006
/00000001 RUN @0004
RETURN
PXB
cat >B.PXB <<PXB
$head
[UPNCODES]
#0
[TEXTTOKENS]
@0001 A.PXB|
[CODES]
/00000001 RUN @0001
RETURN
PXB
: >COUNT.TXT

"$winkyr" A.PXB >/dev/null 2>&1 &
pid=$!
rss() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }
# COUNT.TXT has a line per start of A, which is every second chain.
starts() { wc -l <COUNT.TXT; }
first_rss="" first_chains=""
for quarter in 1 2 3 4; do
  target=$((chains * quarter / 4))
  while [ $(($(starts) * 2)) -lt "$target" ]; do
    kill -0 "$pid" 2>/dev/null || { echo "the runtime ended early" >&2; exit 1; }
    sleep 0.05
  done
  now_chains=$(($(starts) * 2)) now_rss=$(rss)
  printf '%7d chains: %8d kB resident\n' "$now_chains" "$now_rss"
  if [ -z "$first_rss" ]; then first_rss=$now_rss first_chains=$now_chains; fi
done
awk -v a="$first_rss" -v b="$now_rss" -v c1="$first_chains" -v c2="$now_chains" \
  'BEGIN { printf "growth: %.1f kB per 1000 chains\n", (b - a) * 1000 / (c2 - c1) }'
