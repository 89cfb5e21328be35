#!/usr/bin/env bash
# Installs what is needed, builds Korvana and runs the shipped example.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-dependencies.sh
cmake --preset release -DKORVANA_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release -j "$(nproc)" --target korvana-demo
./build/release/examples/korvana-demo
