#!/usr/bin/env bash
# Builds the libFuzzer target over the proximity-matrix reader (clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it for a bounded
# time on a seed corpus of valid matrix files made by PSPP.
# Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_load_matrix

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash tests/fuzz/make-seed-corpus.sh "$work/seeds"
mkdir -p "$work/corpus"
echo "== fuzzing the matrix reader for ${seconds} s"
(cd "$work" && TMPDIR="$work" "$OLDPWD/build/fuzz/tests/fuzz/fuzz_load_matrix" \
   -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
   corpus seeds 2>&1 | tail -n 20)
