#!/usr/bin/env bash
# Runs a command on a virtual X display of its own and removes the display at
# the end. Xvfb chooses a free display number itself (-displayfd), so that
# several of these can start at the same time.
#
#   tests/run-on-xvfb.sh COMMAND [ARGS...]
#
# The exit status is the command's.
set -euo pipefail

command -v Xvfb >/dev/null || { echo "run-on-xvfb.sh: Xvfb is not installed" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/veldaris-xvfb.XXXXXX")"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A screen larger than the 760 x 720 window, in true colour.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "run-on-xvfb.sh: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 2
fi
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
status=0
"$@" || status=$?
exit "$status"
