#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time: the
# proximity-matrix reader on a seed corpus of valid matrix files made by PSPP,
# then the settings-file reader on the shipped request, for half as long.
# Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_load_matrix fuzz_settings_file

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash tests/fuzz/make-seed-corpus.sh "$work/seeds"
mkdir -p "$work/corpus"
echo "== fuzzing the matrix reader for ${seconds} s"
(cd "$work" && TMPDIR="$work" "$OLDPWD/build/fuzz/tests/fuzz/fuzz_load_matrix" \
   -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
   corpus seeds 2>&1 | tail -n 20)

mkdir -p "$work/settings-seeds" "$work/settings-corpus"
cp examples/iris.ini "$work/settings-seeds/"
printf '[General]\nCluster Method=99\nNumber of Permutations=5x\n[Options]\nSeed=$FF\nClustr=1\n' \
  > "$work/settings-seeds/odd.ini"
echo "== fuzzing the settings-file reader for $((seconds / 2)) s"
(cd "$work" && TMPDIR="$work" "$OLDPWD/build/fuzz/tests/fuzz/fuzz_settings_file" \
   -max_total_time="$((seconds / 2))" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
   settings-corpus settings-seeds 2>&1 | tail -n 20)
