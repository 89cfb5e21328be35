#!/usr/bin/env bash
# korvana-batch in Slurm jobs: starts a one-node Slurm of its own (munged,
# slurmctld and slurmd, everything they write in one temporary folder), waits
# until the node is idle, runs the job checks of slurm_run_test.py against it,
# and stops the three daemons by their process ids on every way out.
#
# Usage: slurm_run_test.sh KORVANA_BATCH SOURCE_DIR
# Exit status 77 (skipped, with the reason on standard output) where the
# daemons cannot run: not root, Slurm or MUNGE not installed, a daemon that
# does not come up.
set -euo pipefail
batch=$1
source_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
PATH=$PATH:/usr/sbin:/sbin  # the daemons

skip() {
  echo "SKIPPED: $*"
  exit 77
}

[ "$(id -u)" -eq 0 ] || skip "slurmctld and slurmd must run as root to start jobs, and this is user $(id -un)"
for command in munged slurmctld slurmd sbatch srun sinfo squeue scontrol scancel; do
  command -v "$command" >/dev/null || skip "$command is not installed (Debian packages slurm-wlm and munge)"
done
[ "$(nproc)" -ge 2 ] || skip "the job's two ranks need two CPUs, and this machine has $(nproc)"

folder=$(mktemp -d)
# munged serves its socket only where every folder above it can be entered.
chmod 711 "$folder"
mkdir "$folder/state" "$folder/spool" "$folder/tmp" "$folder/log"
export SLURM_CONF=$folder/slurm.conf
daemons=()   # "name pid", in the order started
checks=

running() { kill -0 "$1" 2>/dev/null; }

# Stops a process and waits for it: SIGTERM, then SIGKILL after 10 seconds.
stop() {
  local pid=$1 tries=0
  kill -TERM "$pid" 2>/dev/null || return 0
  while running "$pid" && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
  running "$pid" && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  local status=$?
  trap - EXIT HUP INT TERM
  [ -n "$checks" ] && stop "$checks"
  # Jobs first, so that no job step outlives slurmd.
  if [ ${#daemons[@]} -ge 2 ] && running "${daemons[1]#* }"; then
    scancel --quiet --user=root 2>/dev/null || true
    local tries=0
    while [ -n "$(squeue --noheader 2>/dev/null)" ] && [ $tries -lt 200 ]; do sleep 0.1; tries=$((tries + 1)); done
  fi
  local i
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do stop "${daemons[i]#* }"; done
  # Job steps and ranks that survived: every process whose environment names
  # this Slurm, by its pid.
  local entry pid
  for entry in $(env -u SLURM_CONF grep -lzxF "SLURM_CONF=$SLURM_CONF" /proc/[0-9]*/environ 2>/dev/null); do
    pid=${entry#/proc/}
    pid=${pid%/environ}
    [ "$pid" = $$ ] && continue
    echo "stopping process $pid left behind: $(tr '\0' ' ' 2>/dev/null < "/proc/$pid/cmdline")"
    kill -KILL "$pid" 2>/dev/null || true
  done
  if [ $status -ne 0 ] && [ $status -ne 77 ]; then
    for log in "$folder"/log/*; do echo "== $log"; tail -n 20 "$log"; done
  fi
  rm -rf "$folder"
  exit $status
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts a daemon in the foreground of a background job, so that $! is its pid.
start() {
  local name=$1
  shift
  "$@" >"$folder/log/$name.out" 2>&1 &
  daemons+=("$name $!")
}

# Skips with the reason a daemon gave, if it has ended.
check_alive() {
  local entry
  for entry in "${daemons[@]}"; do
    running "${entry#* }" && continue
    skip "${entry%% *} did not start: $(tail -n 3 "$folder/log/${entry%% *}.out" | tr '\n' ' ')"
  done
}

# Two ports free now, for slurmctld and slurmd.
read -r controller_port node_port < <(python3 -c '
import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in sockets))')
node=$(hostname -s)
cat >"$SLURM_CONF" <<EOF
ClusterName=korvanatest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$folder/munge.socket
StateSaveLocation=$folder/state
SlurmdSpoolDir=$folder/spool
TmpFS=$folder/tmp
SlurmctldPidFile=$folder/slurmctld.pid
SlurmdPidFile=$folder/slurmd.pid
SlurmctldLogFile=$folder/log/slurmctld.log
SlurmdLogFile=$folder/log/slurmd.log
MailProg=/bin/true
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
KillWait=10
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=korvana Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
head -c 1024 /dev/urandom >"$folder/munge.key"
chmod 600 "$folder/munge.key"

start munged munged --foreground --socket="$folder/munge.socket" --key-file="$folder/munge.key" \
  --pid-file="$folder/munged.pid" --seed-file="$folder/munged.seed" --log-file="$folder/log/munged.log"
tries=0
until [ -S "$folder/munge.socket" ]; do
  check_alive
  [ $tries -lt 100 ] || skip "munged made no socket in 10 seconds"
  sleep 0.1
  tries=$((tries + 1))
done
start slurmctld slurmctld -D
start slurmd slurmd -D
tries=0
until [ "$(sinfo --noheader --nodes="$node" --format=%t 2>/dev/null)" = idle ]; do
  check_alive
  [ $tries -lt 300 ] || skip "node $node not idle after 30 seconds: $(sinfo --noheader --format='%t %E' 2>&1)"
  sleep 0.1
  tries=$((tries + 1))
done
echo "Slurm $(sinfo --version | cut -d' ' -f2) on node $node ($(nproc) CPUs), ports $controller_port and $node_port"

python3 "$here/slurm_run_test.py" "$batch" "$source_dir" "$folder" &
checks=$!
status=0
wait "$checks" || status=$?
checks=
exit $status
