#!/usr/bin/env bash
# Runs one small sweep with the Windows build of veldaris-sweep under Wine and
# with the native build, and compares what they write: summary.csv,
# aggregate.csv, aggregate.svg, plan.csv, the copy of the sweep file, and every
# run as export writes it out (result files byte for byte, run.json but for
# its times). Then runs the sweep again (nothing to make), again after its
# store file is deleted (every run made anew), compares again, and collects
# under Wine.
#
#   tests/win32/sweep-under-wine.sh --exe veldaris-sweep.exe --native build/cli/veldaris-sweep
#
# The Windows sweep writes into a directory whose name has a space and
# characters beyond ASCII, and reads a sweep file named in characters that the
# ANSI code page 1252 of Wine's "C" locale lacks.
# Prints one line per check and "N passed, M failed"; the exit status is 0
# only when every check passed.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
exe=""
native=""
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe="$2"; shift 2 ;;
    --native) native="$2"; shift 2 ;;
    *) echo "sweep-under-wine.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -f "$exe" ] || { echo "sweep-under-wine.sh: no program $exe (give --exe)" >&2; exit 2; }
[ -x "$native" ] || { echo "sweep-under-wine.sh: no native program $native (give --native)" >&2; exit 2; }

# shellcheck source=tests/win32/wine-prefix.sh
source "$root/tests/win32/wine-prefix.sh"
wine_console_test_begin sweep

# Six runs of N 50, G 100; with Windows line ends, as Notepad saves it.
printf '%s\r\n' 'network = "small-world"' 'groups = 50' 'generations = 100' 'rewiring = [0.0, 0.1, 1.0]' \
  'replicates = 2' 'seed = 20261206' >"$work/sweep.toml"

expected="$work/native"
"$native" run "$work/sweep.toml" --out "$expected" --jobs 2 --quiet >"$work/native.log" 2>&1 || {
  cat "$work/native.log"
  echo "sweep-under-wine.sh: the native sweep failed" >&2
  exit 1
}
"$native" export "$expected" --out "$work/native-runs" >/dev/null 2>&1 || {
  echo "sweep-under-wine.sh: the native export failed" >&2
  exit 1
}
runs="$(cd "$work/native-runs" && ls)"

out="$work/Läufe €"
sweep() {  # sweep LOG ARGUMENTS...: veldaris-sweep.exe under Wine; its exit status
  local log="$1"
  shift
  local status=0
  wine "$exe" "$@" >"$work/$log.out" 2>"$work/$log.err" || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$work/$log.out" "$work/$log.err"
  fi
  return "$status"
}

# Everything the native sweep wrote, the same in $out; what run.json says of
# the time may differ.
compare() {  # compare WHEN
  local file run name same=1
  for file in sweep.toml plan.csv summary.csv aggregate.csv aggregate.svg; do
    if ! cmp "$expected/$file" "$out/$file"; then
      report FAIL "$1: $file differs from the native sweep's"
      same=0
    fi
  done
  local exported="$work/exported-$2"
  if ! sweep "export-$2" export "$(winepath -w "$out")" --out "$(winepath -w "$exported")"; then
    report FAIL "$1: export failed"
    return
  fi
  if [ "$(cd "$exported" && ls)" != "$runs" ]; then
    report FAIL "$1: export wrote $(cd "$exported" && ls | tr '\n' ' '), the native sweep's $(echo "$runs" | tr '\n' ' ')"
    same=0
  fi
  if ls "$out"/*.claim >/dev/null 2>&1; then
    report FAIL "$1: a claim file was left behind"
    same=0
  fi
  for run in $runs; do
    for name in Veldaris_Result_Initial.csv Veldaris_Result_All.csv; do
      if ! cmp "$work/native-runs/$run/$name" "$exported/$run/$name"; then
        report FAIL "$1: run $run's $name differs from the native sweep's"
        same=0
      fi
    done
    if ! diff <(grep -Ev '"(started|finished|wall_seconds)"' "$work/native-runs/$run/run.json") \
      <(grep -Ev '"(started|finished|wall_seconds)"' "$exported/$run/run.json"); then
      report FAIL "$1: run $run's run.json differs from the native sweep's"
      same=0
    fi
  done
  if [ "$same" -eq 1 ]; then
    report OK "$1: every file is the native sweep's"
  fi
}

if sweep first run "$(winepath -w "$work/sweep.toml")" --out "$(winepath -w "$out")" --jobs 2; then
  report OK "the sweep (2 threads) into \"$(basename "$out")\""
  # stderr is a file, not a console: no progress line.
  if grep -q 'runs/s' "$work/first.err"; then
    report FAIL "a progress line went to a file"
  else
    report OK "no progress line in a file"
  fi
  compare "the sweep" first
else
  report FAIL "the sweep failed"
fi

# Again: nothing left to make. Then with the store gone: every run made anew.
if sweep again run "$(winepath -w "$work/sweep.toml")" --out "$(winepath -w "$out")" --jobs 2 &&
  grep -q '6 already finished, making 0' "$work/again.out"; then
  report OK "the sweep again finds every run made"
else
  report FAIL "the sweep again: $(tr -d '\r' <"$work/again.out" | head -1)"
fi
rm -f "$out"/runs-*.sqlite
if sweep anew run "$(winepath -w "$work/sweep.toml")" --out "$(winepath -w "$out")" --jobs 2; then
  if grep -q '0 already finished, making 6' "$work/anew.out"; then
    report OK "without its store the sweep makes every run again"
  else
    report FAIL "the sweep without its store: $(tr -d '\r' <"$work/anew.out" | head -1)"
  fi
  compare "the sweep made anew" anew
else
  report FAIL "the sweep without its store failed"
fi

rm -f "$out/summary.csv"
if sweep collect collect "$(winepath -w "$out")" && cmp "$expected/summary.csv" "$out/summary.csv"; then
  report OK "collect writes the native sweep's summary.csv"
else
  report FAIL "collect"
fi
# A sweep file and a directory named in Polish, Greek and Chinese, beside the
# look-alike the ANSI code page 1252 would make of the file's name.
printf '%s\r\n' 'groups = 10' 'connectivity = 2' 'generations = 10' 'replicates = 1' 'seed = 1' >"$work/Łx.toml"
printf '%s\r\n' 'groups = 12' 'connectivity = 2' 'generations = 10' 'replicates = 1' 'seed = 2' >"$work/Lx.toml"
named="$work/Ωδή 中文"
if sweep names run "$(winepath -w "$work/Łx.toml")" --out "$(winepath -w "$named")" --quiet &&
  cmp "$work/Łx.toml" "$named/sweep.toml" && [ -f "$named/runs-0-of-1.sqlite" ]; then
  report OK "a sweep file and directory named in Polish, Greek and Chinese"
else
  report FAIL "a sweep file and directory named in Polish, Greek and Chinese"
fi
wineserver -w

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
