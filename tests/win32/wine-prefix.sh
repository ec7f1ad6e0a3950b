# Sourced by the scripts that run this project's Windows programs under Wine.
#
#   wine_prefix_create    a fresh Wine prefix in a temporary directory, with
#                         Wine's own fonts (scripts/wine-fonts); exports
#                         WINEPREFIX and quiet Wine settings
#   wine_prefix_remove    stops the prefix's Wine processes and removes it
#   wine_console_test_begin NAME
#                         for the tests of the console programs: a prefix
#                         without a display, a work directory $work, both
#                         removed at exit, and report OK|FAIL WHAT, which
#                         counts into $passed and $failed
#
# The first start of a prefix takes a few seconds. Programs with windows need
# the prefix made on the display they will use (a virtual one in the tests).

wine_prefix_create() {
  local tool
  for tool in wine wineboot wineserver; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; return 2; }
  done
  WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/veldaris-wine.XXXXXX")"
  export WINEPREFIX
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or Gecko installer dialogs
  (wineboot -i >/dev/null 2>&1; wineserver -w) || true
  # Without them only the caption buttons suffer; the tests of them say so.
  "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-fonts" "$WINEPREFIX" >/dev/null || true
}

wine_prefix_remove() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}

wine_console_test_begin() {
  # Wine takes its ANSI code page from the locale: in the "C" one 1252, which
  # has the "ä" and "€" of the tests' directory names. (A UTF-8 locale, for
  # Wine to read the command line's UTF-8; C.UTF-8 is always installed.)
  export LC_ALL=C.UTF-8
  work="$(mktemp -d "${TMPDIR:-/tmp}/veldaris-$1.XXXXXX")"
  trap 'wine_prefix_remove; rm -rf "$work"' EXIT
  unset DISPLAY WAYLAND_DISPLAY
  wine_prefix_create
  passed=0
  failed=0
}

report() {  # report OK|FAIL what
  echo "[ $1 ] $2"
  if [ "$1" = OK ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
