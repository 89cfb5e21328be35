#!/usr/bin/env bash
# korvana-batch over two MPI ranks of one job each against one rank of one
# job, on the same request: the wall time of each (best of five, interleaved; mpirun's
# start of about 0.3 s is in both), the speed-up, the plain process's time
# beside them, and a check that all three wrote the same files (the creation
# time and the temporary matrix file's name aside).
#
#   bench/mpi_speedup.sh [BUILD_DIR]     (default build/release)
#
# Two requests, where the permutations are the work: 1500 cases at distinct
# random points, average linkage, 360 permutations (one kept solution); and
# 1200 cases on a 12 x 12 x 12 grid (a great many tied distances), single
# linkage, 300 permutations with the cluster support, several solutions kept.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
batch=${1:-$root/build/release}/batch/korvana-batch
[ -x "$batch" ] || { echo "no $batch: build the release preset first" >&2; exit 1; }
command -v mpirun >/dev/null || { echo "mpirun not found (Debian: openmpi-bin)" >&2; exit 1; }
ranks=(--oversubscribe)
[ "$(id -u)" = 0 ] && ranks+=(--allow-run-as-root)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'EOF'
import os, random, sys
generator = random.Random(5)
with open(os.path.join(sys.argv[1], "free.csv"), "w") as f:
    f.write("name,x,y,z\n")
    for i in range(1500):
        f.write("p%d,%.6f,%.6f,%.6f\n" % (i, generator.random(), generator.random(), generator.random()))
generator = random.Random(11)
with open(os.path.join(sys.argv[1], "grid.csv"), "w") as f:
    f.write("name,x,y,z\n")
    for i in range(1200):
        f.write("p%d,%d,%d,%d\n" % (i, generator.randrange(12), generator.randrange(12), generator.randrange(12)))
EOF

timed() {  # the wall time of a command, run in a fresh folder $1
  local folder=$1 start end
  shift
  rm -rf "$folder" && mkdir -p "$folder"
  start=$(date +%s.%N)
  (cd "$folder" && "$@" >/dev/null 2>&1)
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

normalized() {
  sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#TIME#g; s/kvana[A-Za-z0-9]{6}/kvanaXXXXXX/g' "$1"
}

compare() {  # every file of two output folders
  local one=$1 two=$2 name
  [ "$(cd "$one" && ls)" = "$(cd "$two" && ls)" ] || { echo "different files"; return 1; }
  for name in $(cd "$one" && ls); do
    cmp -s <(normalized "$one/$name") <(normalized "$two/$name") || { echo "$name differs"; return 1; }
  done
}

printf '%-44s %10s %10s %10s %8s  %s\n' request "process s" "1 rank s" "2 ranks s" speed-up output
run() {
  local name=$1
  shift
  local request=("$@" --seed 7 -o out -f html,json,text,results -q)
  local plain= one= two=
  # Interleaved, so that a slower spell of a shared machine falls on all three.
  for _ in 1 2 3 4 5; do
    plain=$(least "$(timed "$work/plain" "$batch" --jobs 1 "${request[@]}")" "$plain")
    one=$(least "$(timed "$work/one" mpirun "${ranks[@]}" -np 1 "$batch" --jobs 1 "${request[@]}")" "$one")
    two=$(least "$(timed "$work/two" mpirun "${ranks[@]}" -np 2 "$batch" --jobs 1 "${request[@]}")" "$two")
  done
  printf '%-44s %10.2f %10.2f %10.2f %8.2f  %s\n' "$name" "$plain" "$one" "$two" \
    "$(awk -v a="$one" -v b="$two" 'BEGIN { print a / b }')" \
    "$(compare "$work/plain" "$work/one" && compare "$work/plain" "$work/two" && echo identical)"
}
run "1500 random points, average, P = 360" -d "$work/free.csv" --variables "x TO z" --label name \
  --method average --permutations 360 --print fit
run "1200 grid points, single, P = 300, support" -d "$work/grid.csv" --variables "x TO z" --label name \
  --method single --permutations 300 --print fit --support
