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
# Wine gets a fresh prefix in a temporary directory, removed at the end; its
# first start takes a few seconds. The exit status is the test program's.
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

for tool in wine xvfb-run; do
  command -v "$tool" >/dev/null || { echo "run-under-wine.sh: $tool is not installed" >&2; exit 2; }
done

if [ -z "$exe" ]; then
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$root/ui/win32" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release
  fi
  cmake --build "$build_dir" -j "${JOBS:-2}" --target veldaris veldaris_win32_test
  exe="$build_dir/tests/veldaris_win32_test.exe"
fi

prefix="$(mktemp -d "${TMPDIR:-/tmp}/veldaris-wine.XXXXXX")"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or Gecko installer dialogs
data_dir="$(WINEPREFIX="$prefix" winepath -w "$root/tests/data" 2>/dev/null || true)"
status=0
# A screen larger than the 760 x 720 window, in true colour.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash -c 'wineboot -i >/dev/null 2>&1
           # No window manager runs on the virtual display: unmanaged windows
           # spare Wine its wait for one on every hide and destroy.
           wine reg add "HKCU\Software\Wine\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
           wineserver -w
           wine "$@"; status=$?
           wineserver -w
           exit $status' \
  wine-run "$exe" ${data_dir:+--data-dir "$data_dir"} "${args[@]}" || status=$?
exit "$status"
