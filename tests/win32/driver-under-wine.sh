#!/usr/bin/env bash
# Runs the Windows build of the headless driver under Wine on the reference
# cases of tests/data/golden and compares its two result files with the
# reference ones byte for byte; also checks that it reports the package
# version. The result files go into a directory whose name has a space and
# characters beyond ASCII; another run's into one named in Polish, Greek and
# Chinese, which the ANSI code page 1252 of Wine's "C" locale lacks.
#
#   tests/win32/driver-under-wine.sh --exe veldaris-run.exe [--version VERSION]
#
# A console program needs no display. Prints one line per check and
# "N passed, M failed"; the exit status is 0 only when every check passed.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
golden="$root/tests/data/golden"
exe=""
version=""
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe="$2"; shift 2 ;;
    --version) version="$2"; shift 2 ;;
    *) echo "driver-under-wine.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -f "$exe" ] || { echo "driver-under-wine.sh: no program $exe (give --exe)" >&2; exit 2; }

# shellcheck source=tests/win32/wine-prefix.sh
source "$root/tests/win32/wine-prefix.sh"
wine_console_test_begin driver

# The cases of tests/data/golden/README.md: folder, then the options.
cases=(
  "sw50 --network small-world --groups 50 --strategies 8 --generations 1000 --connectivity 8 --length 10
        --rewiring 0.1 --network-seed 1234567 --run-seed 1234568"
  "lattice --network small-world --groups 50 --strategies 4 --generations 1000 --connectivity 4 --length 10
        --rewiring 0 --network-seed 42 --run-seed 43"
  "sf50 --network scale-free --groups 50 --strategies 4 --generations 1000 --connectivity 4 --length 10
        --network-seed 777 --run-seed 778"
)
for line in "${cases[@]}"; do
  read -r -d '' -a words <<<"$line" || true
  name="${words[0]}"
  out="$work/Läufe €/$name"  # made by the program
  status=0
  wine "$exe" "${words[@]:1}" --quiet --output-dir "$(winepath -w "$out")" >"$work/$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$work/$name.log"
    report FAIL "$name: exit status $status"
    continue
  fi
  for file in Veldaris_Result_Initial.csv Veldaris_Result_All.csv; do
    if cmp "$golden/$name/$file" "$out/$file"; then
      report OK "$name $file"
    else
      report FAIL "$name $file differs from the reference"
    fi
  done
done

# A name in Polish, Greek and Chinese, none of whose letters but "ó" the ANSI
# code page 1252 has: it names that directory, not a look-alike ("Lódz").
name="Łódź Ελληνικά 中文"
status=0
wine "$exe" --seed 5 --generations 10 --quiet --output-dir "$(winepath -w "$work/$name")" \
  --picture "$(winepath -w "$work/$name.svg")" >"$work/names.log" 2>&1 || status=$?
if [ "$status" -eq 0 ] && [ -f "$work/$name/run.json" ] && [ -f "$work/$name.svg" ] &&
  ! ls "$work" | grep -q '^Lódz' && grep -qF "$name" "$work/names.log"; then
  report OK "file names in Polish, Greek and Chinese"
else
  cat "$work/names.log"
  ls "$work"
  report FAIL "file names in Polish, Greek and Chinese (exit status $status)"
fi

if [ -n "$version" ]; then
  said="$(wine "$exe" --version 2>&1 | tr -d '\r')"
  if [ "$said" = "$version" ]; then
    report OK "--version says $version"
  else
    report FAIL "--version says \"$said\", the package is $version"
  fi
fi
wineserver -w

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
