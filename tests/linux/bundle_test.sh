#!/usr/bin/env bash
# Unpacks the Linux bundle into an empty root directory that holds nothing
# but the bundle (no libraries, no /etc, no /proc) and runs its programs
# there with chroot: veldaris-run on the reference case sw50, compared with
# tests/data/golden byte for byte, and a small sweep, compared with the same
# sweep by the native build's veldaris-sweep (--native). Needs root for
# chroot; without it reports itself skipped (exit 77).
#
#   tests/linux/bundle_test.sh --bundle dist/veldaris-V-linux-x86_64.tar.gz [--native build/cli/veldaris-sweep]
set -euo pipefail

root_dir="$(cd "$(dirname "$0")/../.." && pwd)"
golden="$root_dir/tests/data/golden/sw50"
bundle=""
native=""
while [ $# -gt 0 ]; do
  case "$1" in
    --bundle) bundle="$2"; shift 2 ;;
    --native) native="$2"; shift 2 ;;
    *) echo "bundle_test.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ ! -f "$bundle" ]; then
  echo "SKIPPED: no bundle $bundle (make linux makes it)"
  exit 77
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: chroot needs root"
  exit 77
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
jail="$work/root"
mkdir "$jail"
tar -C "$jail" -xzf "$bundle"
dir="$(cd "$jail" && ls -d veldaris-*-linux-x86_64)"
passed=0
failed=0
report() {
  echo "[ $1 ] $2"
  if [ "$1" = OK ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
# A de_DE locale in the environment changes nothing: the programs format
# numbers themselves.
chroot_program="$(PATH="$PATH:/usr/sbin:/sbin" command -v chroot)"
in_jail() { env -i LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 "$chroot_program" "$jail" "/$dir/$1" "${@:2}"; }

if in_jail veldaris-run --network small-world --groups 50 --strategies 8 --generations 1000 --connectivity 8 \
  --length 10 --rewiring 0.1 --network-seed 1234567 --run-seed 1234568 --quiet --output-dir /sw50 \
  >"$work/run.log" 2>&1; then
  for file in Veldaris_Result_Initial.csv Veldaris_Result_All.csv; do
    if cmp -s "$golden/$file" "$jail/sw50/$file"; then
      report OK "veldaris-run sw50 $file"
    else
      report FAIL "veldaris-run sw50 $file differs from the reference"
    fi
  done
else
  cat "$work/run.log"
  report FAIL "veldaris-run in the empty root"
fi

cat >"$jail/small.toml" <<'TOML'
groups = 10
connectivity = 2
generations = [10, 20]
rewiring = [0.0, 0.5]
replicates = 2
seed = 7
TOML
if in_jail veldaris-sweep run /small.toml --out /sweep --jobs 2 --quiet >"$work/sweep.log" 2>&1; then
  report OK "veldaris-sweep run in the empty root"
  if [ -n "$native" ]; then
    "$native" run "$jail/small.toml" --out "$work/native" --jobs 2 --quiet >/dev/null
    for file in plan.csv summary.csv aggregate.csv aggregate.svg; do
      if cmp -s "$work/native/$file" "$jail/sweep/$file"; then
        report OK "veldaris-sweep $file as the native build's"
      else
        report FAIL "veldaris-sweep $file differs from the native build's (is the bundle older than the build? make linux)"
      fi
    done
  fi
else
  cat "$work/sweep.log"
  report FAIL "veldaris-sweep run in the empty root"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
