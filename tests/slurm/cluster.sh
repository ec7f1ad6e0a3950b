#!/usr/bin/env bash
# A single-node Slurm cluster on this machine, for one test alone: munged with
# a fresh key, slurmctld and slurmd with a generated slurm.conf, everything
# (keys, sockets, state, spool, logs) under one directory, on ports of its
# own. Needs root (the daemons run as root) and Debian's slurm-wlm and munge
# (scripts/install-deps --slurm).
#
#   tests/slurm/cluster.sh start DIR    starts it; prints the SLURM_CONF to use
#   tests/slurm/cluster.sh stop DIR     stops it (also after a failed start)
set -euo pipefail

command="${1:?usage: cluster.sh start|stop DIR}"
dir="${2:?usage: cluster.sh start|stop DIR}"

stop() {
  # Jobs still running would outlive slurmd: cancel them first and let them go.
  if [ -f "$dir/slurmctld.pid" ] && kill -0 "$(cat "$dir/slurmctld.pid")" 2>/dev/null; then
    export SLURM_CONF="$dir/slurm.conf"
    scancel --user="$(id -un)" 2>/dev/null || true
    for _ in $(seq 50); do
      [ -z "$(squeue --noheader --format=%i 2>/dev/null | head -c 1)" ] && break
      sleep 0.2
    done
  fi
  for daemon in slurmd slurmctld; do
    if [ -f "$dir/$daemon.pid" ]; then
      kill "$(cat "$dir/$daemon.pid")" 2>/dev/null || true
    fi
  done
  if [ -S "$dir/munge.socket" ]; then
    munged --stop --socket="$dir/munge.socket" >/dev/null 2>&1 || true
  fi
  # The daemons leave within a second or two; wait so that the ports and the
  # directory are free when this returns.
  for _ in $(seq 50); do
    alive=0
    for daemon in slurmd slurmctld munged; do
      if [ -f "$dir/$daemon.pid" ] && kill -0 "$(cat "$dir/$daemon.pid")" 2>/dev/null; then
        alive=1
      fi
    done
    [ "$alive" -eq 0 ] && break
    sleep 0.1
  done
}

# A TCP port nobody listens on, from a range of its own.
free_port() {
  local port
  for _ in $(seq 200); do
    port=$((20000 + RANDOM % 20000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
  echo "cluster.sh: no free port found" >&2
  exit 1
}

start() {
  mkdir -p "$dir/state" "$dir/spool" "$dir/log"
  dd if=/dev/urandom of="$dir/munge.key" bs=1024 count=1 status=none
  chmod 400 "$dir/munge.key"
  munged --force --key-file="$dir/munge.key" --socket="$dir/munge.socket" --pid-file="$dir/munged.pid" \
    --log-file="$dir/log/munged.log" --seed-file="$dir/munged.seed"

  local host ctld_port slurmd_port
  host="$(hostname -s)"
  ctld_port="$(free_port)"
  slurmd_port="$(free_port)"
  : > "$dir/plugstack.conf"
  cat > "$dir/slurm.conf" <<CONF
ClusterName=veldaristest
SlurmctldHost=$host
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
PlugStackConfig=$dir/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=veldaris Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF="$dir/slurm.conf"
  slurmctld -f "$SLURM_CONF" -c
  slurmd -f "$SLURM_CONF" -c
  for _ in $(seq 100); do
    if sinfo --noheader --states=idle --format=%N 2>/dev/null | grep -q .; then
      echo "$SLURM_CONF"
      return
    fi
    sleep 0.2
  done
  echo "cluster.sh: the node did not come up; logs in $dir/log" >&2
  tail -n 20 "$dir"/log/*.log >&2 || true
  stop
  exit 1
}

case "$command" in
  start) start ;;
  stop) stop ;;
  *) echo "cluster.sh: unknown command $command" >&2; exit 2 ;;
esac
