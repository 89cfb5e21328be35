#!/usr/bin/env bash
# Installs what is needed, builds Korvana and runs every test: once in the
# optimised build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-dependencies.sh

jobs=$(nproc)
for preset in release asan; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs"
done
echo "== the Python module and the R package, installed"
bash scripts/install-bindings.sh
(cd /tmp && python3 -c 'import korvana; print("import korvana:", korvana.METHODS)')
Rscript -e 'library(korvana); print(class(korvana(dist(USArrests), "average", 10, seed = 1)))'
echo "== fuzz: the matrix reader under libFuzzer"
bash scripts/fuzz.sh 60
echo "All tests passed (release, asan, the bindings and the fuzzer)."
