#!/usr/bin/env bash
# Installs what is needed, builds Korvana and runs the shipped example:
# Fisher's iris data (examples/iris.sav) clustered with Ward's method over 100
# permutations (examples/iris.ini) by korvana-batch, one solution shown per
# hierarchy with the verdict first. The text output is
# printed; the HTML and JSON output are saved under build/example/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-dependencies.sh
cmake --preset release -DKORVANA_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release -j "$(nproc)" --target korvana-batch
mkdir -p build/example
./build/release/batch/korvana-batch --settings examples/iris.ini --data examples/iris.sav \
  --solutions hierarchies --format html,json,results,trees --output build/example/iris
echo
echo "HTML output: $(pwd)/build/example/iris.html (open it in a browser)"
