#!/bin/sh
# Installs the R package korvana from a copy of its sources into a library of
# its own, linking the given libkorvana.a, and runs its testthat tests.
# Usage: test-package.sh SOURCE_ROOT LIBKORVANA KORVANA_BATCH WORK_FOLDER
set -eu
root=$1 library=$2 batch=$3 work=$4
rm -rf "$work"
mkdir -p "$work/library"
cp -r "$root/r/korvana" "$work/korvana"
rm -f "$work"/korvana/src/*.o "$work"/korvana/src/*.so
KORVANA_ROOT="$root" KORVANA_LIBRARY="$library" R CMD INSTALL --no-multiarch -l "$work/library" "$work/korvana"
cd "$work/korvana/tests"
KORVANA_BATCH="$batch" R_LIBS="$work/library" Rscript testthat.R
