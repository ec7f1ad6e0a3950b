#!/usr/bin/env bash
# Runs the Windows front end's test program under Wine on a virtual X display.
#
#   tests/win32/run-under-wine.sh [--build-dir DIR] [--exe FILE] [-- ARGS...]
#
# --build-dir DIR  configure (if needed) and build the cross project ui/win32
#                  in DIR first, then run DIR/tests/veldaris_win32_test.exe
#                  (default DIR: build-win32 in the source tree)
# --exe FILE       run FILE instead, without building
# ARGS             passed to the test program (e.g. --filter Dialog)
#
# Wine gets a fresh prefix in a temporary directory with Wine's own fonts
# (tests/win32/wine-prefix.sh), removed at the end. The exit status is the
# test program's.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="$root/build-win32"
exe=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    --exe) exe="$2"; shift 2 ;;
    --) shift; args=("$@"); break ;;
    *) echo "run-under-wine.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

for tool in wine Xvfb; do
  command -v "$tool" >/dev/null || { echo "run-under-wine.sh: $tool is not installed" >&2; exit 2; }
done

if [ -z "$exe" ]; then
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$root/ui/win32" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release
  fi
  cmake --build "$build_dir" -j "${JOBS:-2}" --target veldaris veldaris_win32_test
  exe="$build_dir/tests/veldaris_win32_test.exe"
fi

# Everything on a virtual display of its own, the prefix's set-up included: a
# prefix made without the display that its programs use does not run them
# properly.
status=0
"$root/tests/run-on-xvfb.sh" bash -c '
  set -euo pipefail
  root=$1 exe=$2
  shift 2
  source "$root/tests/win32/wine-prefix.sh"
  trap wine_prefix_remove EXIT
  wine_prefix_create
  # No window manager runs on the virtual display: unmanaged windows spare
  # Wine its wait for one on every hide and destroy, and Wine draws the frames.
  wine reg add "HKCU\Software\Wine\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  data_dir=$(winepath -w "$root/tests/data" 2>/dev/null || true)
  status=0
  wine "$exe" ${data_dir:+--data-dir "$data_dir"} "$@" || status=$?
  wineserver -w
  exit $status' \
  wine-run "$root" "$exe" "${args[@]}" || status=$?
exit "$status"
