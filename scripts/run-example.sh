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
bash scripts/install-bindings.sh
mkdir -p build/example
./build/release/batch/korvana-batch --settings examples/iris.ini --data examples/iris.sav \
  --solutions hierarchies --format html,json,results,trees --output build/example/iris
echo
echo "HTML output: $(pwd)/build/example/iris.html (open it in a browser)"
echo
echo "The same from Python and R:"
(cd /tmp && /usr/bin/python3 -c 'import korvana, numpy as np; from scipy.spatial.distance import pdist
r = korvana.run(pdist(np.arange(40.0).reshape(20, 2) % 7), "average", 100, seed=1); print(r)')
Rscript -e 'library(korvana); k <- korvana(dist(USArrests), "average", 100, seed = 1); print(k)'

