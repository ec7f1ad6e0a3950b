#!/usr/bin/env bash
# Times two builds of veldaris-run on the same cases, alternating between them
# so that both see the same load, and prints each case's best CPU time (user +
# system, in seconds) for both and their ratio. Also checks that both wrote
# the same result files.
#
#   bench/compare-drivers.sh OLD_DRIVER NEW_DRIVER [ROUNDS]
#
# The cases cover N 50..500, K 2..32, S 1..32 and L 4..100 with the word
# boundaries 63, 64 and 65, on both network types; the first is the largest
# case of the parameter dialog.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 OLD_DRIVER NEW_DRIVER [ROUNDS]" >&2
  exit 2
fi
old="$1"
new="$2"
rounds="${3:-3}"

cases=(
  "--network scale-free --groups 200 --strategies 8 --connectivity 8 --length 30 --generations 3000"
  "--network small-world --groups 50 --strategies 8 --connectivity 8 --length 10 --generations 1000 --rewiring 0.1"
  "--network small-world --groups 50 --strategies 1 --connectivity 2 --length 4 --generations 1000 --rewiring 0.1"
  "--network small-world --groups 200 --strategies 4 --connectivity 4 --length 30 --generations 1000 --rewiring 0.1"
  "--network scale-free --groups 500 --strategies 8 --connectivity 8 --length 30 --generations 1000"
  "--network small-world --groups 500 --strategies 32 --connectivity 32 --length 30 --generations 200 --rewiring 0.1"
  "--network scale-free --groups 500 --strategies 32 --connectivity 16 --length 64 --generations 200"
  "--network small-world --groups 97 --strategies 1 --connectivity 6 --length 65 --generations 1000 --rewiring 0.57"
  "--network small-world --groups 120 --strategies 3 --connectivity 2 --length 63 --generations 1000 --rewiring 0.291"
  "--network small-world --groups 200 --strategies 8 --connectivity 8 --length 100 --generations 1000 --rewiring 0.1"
  "--network small-world --groups 200 --strategies 32 --connectivity 8 --length 10 --generations 1000 --rewiring 0.1"
)

work="$(mktemp -d "${TMPDIR:-/tmp}/veldaris-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# CPU seconds (user + system) of one run, its files in $work/$2.
cpu_seconds() {
  local driver="$1" dir="$2"
  shift 2
  local TIMEFORMAT="%U %S"
  local times
  times="$({ time "$driver" "$@" --seed 20240601 --quiet --output-dir "$work/$dir" >/dev/null; } 2>&1)"
  awk '{ printf "%.3f", $1 + $2 }' <<<"$times"
}

printf "%-110s %8s %8s %7s\n" "case" "old s" "new s" "old/new"
for c in "${cases[@]}"; do
  best_old=""
  best_new=""
  for ((r = 0; r < rounds; ++r)); do
    # shellcheck disable=SC2086
    t_old="$(cpu_seconds "$old" old $c)"
    # shellcheck disable=SC2086
    t_new="$(cpu_seconds "$new" new $c)"
    best_old="$(awk -v a="$best_old" -v b="$t_old" 'BEGIN { print (a == "" || b < a) ? b : a }')"
    best_new="$(awk -v a="$best_new" -v b="$t_new" 'BEGIN { print (a == "" || b < a) ? b : a }')"
  done
  for f in Veldaris_Result_Initial.csv Veldaris_Result_All.csv; do
    cmp -s "$work/old/$f" "$work/new/$f" || { echo "result files differ for: $c ($f)" >&2; exit 1; }
  done
  printf "%-110s %8s %8s %7s\n" "$c" "$best_old" "$best_new" \
    "$(awk -v a="$best_old" -v b="$best_new" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')"
done
