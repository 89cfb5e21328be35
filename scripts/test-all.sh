#!/usr/bin/env bash
# Installs what is needed, builds Korvana and runs every test: once in the
# optimised build, once under AddressSanitizer + UndefinedBehaviorSanitizer and
# once under ThreadSanitizer (everything but the Qt program, whose library is
# not instrumented), then the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-dependencies.sh

jobs=$(nproc)
for preset in release asan tsan; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs"
  # Why a test was skipped, which ctest does not show.
  grep -h "^SKIPPED: " "build/$preset/Testing/Temporary/LastTest.log" || true
done
echo "== the Python module and the R package, installed"
bash scripts/install-bindings.sh
(cd /tmp && /usr/bin/python3 -c 'import korvana; print("import korvana:", korvana.METHODS)')
Rscript -e 'library(korvana); print(class(korvana(dist(USArrests), "average", 10, seed = 1)))'
echo "== fuzz: the matrix reader under libFuzzer"
bash scripts/fuzz.sh 60
echo "All tests passed (release, asan, tsan, the bindings and the fuzzer)."
