#!/bin/bash
# The output pane under Wine: a long reply appended the way the program does
# it against one WM_SETTEXT of the same text.
#   bench/pane-bench.sh [megabytes]   (default 5; needs the windows preset built)
set -eu
cd "$(dirname "$0")/.."
exe=build/windows/bench/pane_bench.exe
[ -f "$exe" ] || { echo "build the windows preset first: cmake --build --preset windows" >&2; exit 1; }
exec timeout -k 5 600 scripts/with-xvfb :78 scripts/wine-run build/windows/wineprefix-bench "$exe" "${1:-5}"
