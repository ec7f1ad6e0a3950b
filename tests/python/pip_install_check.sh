#!/bin/sh
# Installs veldaris from the source tree SRC into a new venv under WORK with
# Debian's Python, pip and setuptools (no index: everything is offline), then
# runs a small run with the installed package from another directory.
#   pip_install_check.sh SRC WORK
set -eu
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
# The sources only: the tree may hold build directories, WORK among them.
mkdir "$work/src"
(cd "$src" && git ls-files -z 2>/dev/null || find . -path ./build -prune -o -path './build-*' -prune -o -type f -print0) |
  (cd "$src" && xargs -0 tar cf -) | (cd "$work/src" && tar xf -)
"$work/venv/bin/pip" install --no-build-isolation --no-index --quiet "$work/src"
cd "$work"
"$work/venv/bin/python" -c '
import veldaris
run = veldaris.run(groups=20, generations=20, connectivity=4, seed=1)
assert len(run.series) == 20, run.series
print("installed", veldaris.__file__, run.outcomes)
'
