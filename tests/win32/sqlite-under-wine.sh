#!/usr/bin/env bash
# Runs the cross-built SQLite's check program under Wine, in a directory of
# its own (the database file and its write-ahead log go there).
#
#   tests/win32/sqlite-under-wine.sh --exe sqlite_check.exe
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
exe=""
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe="$2"; shift 2 ;;
    *) echo "sqlite-under-wine.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -f "$exe" ] || { echo "sqlite-under-wine.sh: no program $exe (give --exe)" >&2; exit 2; }
exe="$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")"

# shellcheck source=tests/win32/wine-prefix.sh
source "$root/tests/win32/wine-prefix.sh"
wine_console_test_begin sqlite
cd "$work"
wine "$exe" 'check ä.db' | tr -d '\r'
