#!/usr/bin/env bash
# The store's figures, timed with /usr/bin/time: 10,000 tiny runs (N 20, S 2,
# G 10, L 4): the files in DIR and the share of system time in the CPU time;
# planning a 1,000,000-run grid (time and memory); collecting 100,000 tiny
# runs (time and memory). Wall times depend on the machine's load: compare
# the CPU times.
#
#   bench/sweep-store-figures.sh VELDARIS_SWEEP [WORK_DIR]
set -euo pipefail

sweep="${1:?usage: sweep-store-figures.sh VELDARIS_SWEEP [WORK_DIR]}"
work="${2:-$(mktemp -d /tmp/veldaris-store-figures.XXXXXX)}"
mkdir -p "$work"
timed() {
  local what="$1"
  shift
  /usr/bin/time -f "$what: %e s wall, %U s user, %S s system, %M kB at most" "$@" > /dev/null
}
tiny() {
  printf 'groups = 20\nstrategies = 2\ngenerations = 10\nlength = 4\nconnectivity = 2\n%s\nreplicates = %s\nseed = 5\n' \
    "$1" "$2"
}

tiny "" 10000 > "$work/tiny.toml"
rm -rf "$work/tiny"
timed "10,000 tiny runs" "$sweep" run "$work/tiny.toml" --out "$work/tiny" --jobs 2 --quiet
echo "files in DIR: $(find "$work/tiny" | tail -n +2 | wc -l)"

tiny "rewiring = [0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9]" 100000 > "$work/grid.toml"
rm -rf "$work/grid"
timed "planning 1,000,000 runs" "$sweep" slurm "$work/grid.toml" --out "$work/grid" --write "$work/grid.sbatch"

tiny "" 100000 > "$work/many.toml"
rm -rf "$work/many"
"$sweep" run "$work/many.toml" --out "$work/many" --jobs 2 --quiet > /dev/null
timed "collecting 100,000 tiny runs" "$sweep" collect "$work/many"
