#!/usr/bin/env bash
# veldaris-sweep slurm on a real Slurm: a single-node cluster of the test's
# own (cluster.sh) runs the script of a 12-run sweep as an array of 3 tasks,
# at most 2 at a time; the collected files equal a local run's; every task's
# log names its shard; after two run directories are deleted, submitting the
# same script again makes exactly those two. The cluster is stopped and its
# files removed however the test ends.
#
#   sweep_array_test.sh VELDARIS_SWEEP
#
# Exit status 77 (skipped, with the reason) when it cannot start a cluster:
# not root, or the Slurm and munge programs missing.
set -euo pipefail

sweep="${1:?usage: sweep_array_test.sh VELDARIS_SWEEP}"
here="$(cd "$(dirname "$0")" && pwd)"
export PATH="$PATH:/usr/sbin:/sbin"

skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "starting munged, slurmctld and slurmd needs root"
for program in munged slurmctld slurmd sbatch squeue sinfo scancel; do
  command -v "$program" >/dev/null || skip "$program is missing (scripts/install-deps --slurm installs it)"
done

tmp="$(mktemp -d /tmp/veldaris-slurm.XXXXXX)"
cluster="$tmp/cluster"
waiting=""
cleanup() {
  local status=$?
  if [ -n "$waiting" ]; then
    kill "$waiting" 2>/dev/null || true
  fi
  if [ "$status" -ne 0 ] && [ -d "$cluster/log" ]; then
    echo "--- the cluster's logs" >&2
    tail -n 30 "$cluster"/log/*.log >&2 || true
  fi
  "$here/cluster.sh" stop "$cluster" || true
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Runs a command with a time limit, in the background so that a signal to
# this script is acted on at once; its exit status.
bounded() {
  local seconds="$1" status=0
  shift
  timeout "$seconds" "$@" &
  waiting=$!
  wait "$waiting" || status=$?
  waiting=""
  return "$status"
}

# A directory name that sbatch's directive reader, Slurm's % patterns and the
# shell would each take apart if it were not quoted for them.
out="$tmp/sweep \"d'ir\" 100%x"
mkdir -p "$tmp/local"
cat > "$tmp/sweep.toml" <<'TOML'
network = "small-world"
groups = 50
strategies = 4
generations = [100, 200]
connectivity = [4, 8]
rewiring = 0.1
replicates = 3
seed = 90210
TOML

"$sweep" run "$tmp/sweep.toml" --out "$tmp/local" --jobs 2 --quiet > "$tmp/local.log"

mkdir -p "$cluster"
SLURM_CONF="$("$here/cluster.sh" start "$cluster")"
export SLURM_CONF
cd "$tmp"

"$sweep" slurm "$tmp/sweep.toml" --out "$out" --tasks 3 --max-parallel 2 --time 0:10:00 \
  --sbatch-arg='--comment="sweep test"' --write "$tmp/job.sbatch" > "$tmp/hint.txt"
grep -q '^#SBATCH --array=0-2%2$' "$tmp/job.sbatch" || fail "no --array=0-2%2 in the script"

# Submits the script and waits for the array; sets job to its id.
submit() {
  bounded 180 sbatch --wait "$tmp/job.sbatch" > "$tmp/sbatch.txt" ||
    fail "the array did not succeed within 3 minutes: $(cat "$tmp/sbatch.txt")"
  job="$(sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' "$tmp/sbatch.txt")"
  [ -n "$job" ] || fail "sbatch printed no job id: $(cat "$tmp/sbatch.txt")"
}
submit
first="$job"
for task in 0 1 2; do
  log="$out/slurm/${first}_$task.out"
  grep -q "shard $task/3: 4 runs; 0 already finished, making 4" "$log" || fail "task $task's log: $(cat "$log")"
done

# Collect as the printed command does: a job that waits for the array.
collect="$(grep -- '--dependency=afterok:<jobid>' "$tmp/hint.txt")" || fail "no collect command in: $(cat "$tmp/hint.txt")"
collect="${collect//<jobid>/$first}"
collect="${collect/sbatch /sbatch --wait }"
bounded 120 bash -c "$collect" > "$tmp/collect.txt" || fail "the collect job failed: $collect"
collect_job="$(sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' "$tmp/collect.txt")"
# Its log in DIR/slurm/ (the % of DIR kept), with what collect printed.
grep -q "^Collected 12 of 12 runs" "$out/slurm/collect-$collect_job.out" ||
  fail "no collect log in $out/slurm/: $(ls "$out/slurm")"
for file in summary.csv aggregate.csv aggregate.svg; do
  cmp "$tmp/local/$file" "$out/$file" || fail "$file differs from the local run's"
done
[ "$(wc -l < "$out/summary.csv")" -eq 13 ] || fail "summary.csv has not 12 runs"

# Runs 4 and 8 lost (a node's disk, say): the same script again makes
# exactly those, in the tasks of their shards, and leaves the others alone.
declare -A record
for run in $(seq 0 11); do
  record[$run]="$(cat "$out/runs/$run/run.json")"
done
rm -rf "$out/runs/4" "$out/runs/8"
submit
second="$job"
grep -q "shard 0/3: 4 runs; 4 already finished, making 0" "$out/slurm/${second}_0.out" || fail "task 0 made runs again"
grep -q "shard 1/3: 4 runs; 3 already finished, making 1" "$out/slurm/${second}_1.out" || fail "task 1 did not make run 4"
grep -q "shard 2/3: 4 runs; 3 already finished, making 1" "$out/slurm/${second}_2.out" || fail "task 2 did not make run 8"
for run in $(seq 0 11); do
  now="$(cat "$out/runs/$run/run.json")"
  if [ "$run" -eq 4 ] || [ "$run" -eq 8 ]; then
    [ "$now" != "${record[$run]}" ] || fail "run $run was not made again"
  else
    [ "$now" == "${record[$run]}" ] || fail "run $run was made again"
  fi
done
"$sweep" collect "$out" > /dev/null
for file in summary.csv aggregate.csv aggregate.svg; do
  cmp "$tmp/local/$file" "$out/$file" || fail "$file differs from the local run's after the resubmission"
done
echo "The sweep ran as a Slurm job array (jobs $first and $second) with the local run's files"
