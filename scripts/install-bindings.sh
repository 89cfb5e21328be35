#!/usr/bin/env bash
# Installs the Python module korvana and the R package korvana from the
# release build (build/release, which it builds as far as they need):
# the module with pip into /usr/local (Debian's pip asks for
# --break-system-packages to install outside its packages), the package with
# R CMD INSTALL into the site library. Run as root after
# scripts/install-dependencies.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target korvana_static korvana_python
KORVANA_BUILD_DIR="$PWD/build/release" /usr/bin/python3 -m pip install --quiet --no-build-isolation --no-deps \
  --break-system-packages ./python
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r r/korvana "$work/korvana"
rm -f "$work"/korvana/src/*.o "$work"/korvana/src/*.so
KORVANA_ROOT="$PWD" KORVANA_LIBRARY="$PWD/build/release/library/libkorvana.a" R CMD INSTALL "$work/korvana"
