#!/bin/bash
# The Windows program's output pane under Wine and Xvfb, in the fake internet
# (scripts/fake-internet): the five-step lookup of example.com by
# merrowgate-cli.exe and by the window, a 1 MB reply in the window against one
# WM_SETTEXT of the same text, and the five-step lookup right after it.
#   bench/pane-bench.sh [runs]   (default 5; needs the windows preset built)
# PANE_BENCH_DISPLAY names the display of its own Xvfb (default :78). Needs root.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/windows
[ -f "$build/bench/pane_bench.exe" ] && [ -f "$build/cli/merrowgate-cli.exe" ] ||
  { echo "build the windows preset first: cmake --build --preset windows" >&2; exit 1; }
exec timeout -k 5 1800 "$root/scripts/fake-internet" bash -c '
  set -eu
  root=$1 build=$2 runs=$3 display=$4
  . "$root/scripts/lib/fake-servers.sh"
  # The wineserver of this namespace is the run'"'"'s alone (see scripts/wine-run).
  trap "stop_fake_servers; WINEPREFIX=$build/wineprefix-bench-fake-internet timeout 10 wineserver -k 2>/dev/null" EXIT
  fake_five_steps
  # The org registry answers example.org with 1 MB of whois-like lines: every
  # eighth holds an e-mail address, every eighth a web address.
  awk "BEGIN { for (i = 0; n < 1000000; ++i) {
      if (i % 8 == 0) l = sprintf(\"Registrant Email:     owner%d@example.org\", i)
      else if (i % 8 == 4) l = sprintf(\"Registrar URL:        http://www.registrar.example/%d\", i)
      else l = sprintf(\"Name Server %-8d     NS%d.EXAMPLE.ORG   status: clientTransferProhibited\", i, i)
      printf \"%s\r\n\", l; n += length(l) + 2 } }" >"$fake_servers_dir/big"
  fake_whois_server 127.0.0.8 "cat $fake_servers_dir/big"
  printf "[Config]\r\nResolveDomain=1\r\nReverseIP=1\r\nGetAbuseInfo=1\r\n" >"$fake_servers_dir/five.ini"
  "$root/scripts/with-xvfb" "$display" "$root/scripts/wine-run" "$build/wineprefix-bench" \
    "$build/bench/pane_bench.exe" "$build/cli/merrowgate-cli.exe" "Z:$fake_servers_dir/five.ini" "$runs"
' pane-bench "$root" "$build" "${1:-5}" "${PANE_BENCH_DISPLAY:-:78}"
