#!/usr/bin/env bash
# Writes a seed corpus of valid proximity-matrix files (made by PSPP) into $1.
set -euo pipefail
out=$(realpath -m "$1")
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat > seeds.sps <<'SPS'
DATA LIST LIST /ROWTYPE_ (A8) id (A6) CASENO_ (F8.0) VARNAME_ (A8) V1 V2 V3.
BEGIN DATA
PROX alpha 1 V1 0 1 2
PROX beta 2 V2 1 0 3
PROX gamma 3 V3 2 3 0
END DATA.
VALUE LABELS ROWTYPE_ 'PROX' 'Dissimilarity: SEUCLID'.
SAVE OUTFILE='cases-compressed.sav'.
SAVE OUTFILE='cases-uncompressed.sav' /UNCOMPRESSED.
DATA LIST LIST /ROWTYPE_ (A8) VARNAME_ (A8) a b.
BEGIN DATA
PROX a 1 0
PROX b 0.5 1
END DATA.
VALUE LABELS ROWTYPE_ 'PROX' 'CORRELATION Similarity'.
SAVE OUTFILE='variables.sav'.
SPS
/usr/bin/pspp seeds.sps >/dev/null
cp ./*.sav "$out"/
