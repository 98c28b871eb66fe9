#!/bin/bash
# merrowgate.exe under Wine and Xvfb, in the fake internet: names typed into
# the query box with the keyboard (xdotool) or given on the command line, in
# any script, reach their registry in ASCII form, and the window shows them as
# typed. Wine runs in code page 1252, as a Western Windows.
#   tests/ui_query_forms.sh WINEPREFIX merrowgate.exe ui_probe.exe
# DISPLAY must name a running X server (scripts/with-xvfb). Bounded throughout.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
  exec timeout -k 5 280 "$here/scripts/fake-internet" "$0" "$@"
fi
prefix=$(realpath -m "$1") exe=$(realpath "$2") probe=$(realpath "$3")
[ -n "${DISPLAY:-}" ] || { echo "DISPLAY is not set"; exit 1; }
for tool in socat xdotool; do
  command -v $tool >/dev/null || { echo "$tool is missing"; exit 1; }
done

. "$here/tests/lib/end-to-end.sh"
run() { "$here/scripts/wine-run" "$prefix" "$@"; }
cleanup_more() { WINEPREFIX=$(realpath -m "$prefix") timeout 10 wineserver -k 2>/dev/null; }

serve 127.0.12.2 denic 'Domain: xn--bcher-kva.de\n'
serve 127.0.0.9 jprs 'Domain Name: xn--r8jz45g.jp\n'
rm -f "$work"/*.log

mkdir -p "$work/app"
cp "$exe" "$work/app/merrowgate.exe"
cp "$probe" "$work/ui_probe.exe"
# The probe's arguments and output are UTF-8.
probe() { LC_ALL=C.UTF-8 run "$work/ui_probe.exe" "$@"; }
# Resolving is off: the fake internet knows no address for these names.
printf '[Config]\r\nResolveDomain=0\r\n' >"$work/app/merrowgate.ini"

(cd "$work/app" && LC_ALL=C.UTF-8 run ./merrowgate.exe; echo $? >"$work/rc") &
check "the window shows" probe wait-count 1 30

wait_for_line() {  # wait_for_line FILE LINE SECONDS
  local _
  for _ in $(seq $(($3 * 5))); do grep -qxF "$2" "$1" 2>/dev/null && return 0; sleep 0.2; done
  return 1
}

# Keys go to the window under the pointer (no window manager). Ctrl+L puts
# the focus in the query box and selects its text, so that the typing
# replaces it. Keys sent while Wine is still taking in a changed keyboard
# map (xdotool maps letters missing from the keyboard on the fly) can be
# lost, so a name is typed again, a bounded number of times, until its
# registry has been asked for its ASCII form. The probe's "*" is the one
# window there is.
type_query() {  # type_query TEXT LOG REQUEST
  local wid attempt
  for attempt in 1 2 3; do
    wid=$(xdotool search --name 'merrowgate$' 2>/dev/null | head -n 1)
    [ -n "$wid" ] || wid=$(xdotool search --class merrowgate 2>/dev/null | head -n 1)
    [ -n "$wid" ] || return 1
    xdotool mousemove --window "$wid" 300 200 && sleep 0.3 && xdotool key ctrl+l && sleep 0.2 &&
      xdotool type --delay 80 "$1" && sleep 0.3 && xdotool key Return
    wait_for_line "$2" "$3" 15 && return 0
    echo "      (attempt $attempt: the box held \"$(probe dump '*' | sed -n 's/^query=//p')\")"
  done
  return 1
}

check "bücher.de: the .de registry asked for xn--bcher-kva.de" type_query "bücher.de" "$work/denic.log" xn--bcher-kva.de
check "bücher.de: the lookup finishes" probe wait-status '*' 0 "Ready..." 30
check "bücher.de: the title names it as typed" probe wait-title "Host: bücher.de - merrowgate" 5
probe dump '*' | tr -d '\r' >"$work/de.txt"
check "bücher.de: the pane says what was typed" grep -qF "IDN: bücher.de -> xn--bcher-kva.de" "$work/de.txt"
check "bücher.de: the status bar shows it as typed" grep -qxF "status1=Domain: bücher.de" "$work/de.txt"
check "bücher.de: the recent list holds it as typed" grep -qxF "recent0=bücher.de" "$work/de.txt"

check "例え.jp: the .jp registry asked in ASCII form" type_query "例え.jp" "$work/jprs.log" xn--r8jz45g.jp/e
check "例え.jp: the lookup finishes" probe wait-status '*' 0 "Ready..." 30
title="Host: 例え.jp - merrowgate"
check "例え.jp: the title names it as typed" probe wait-title "$title" 5
probe dump '*' | tr -d '\r' >"$work/jp.txt"
check "例え.jp: the pane says what was typed" grep -qF "IDN: 例え.jp -> xn--r8jz45g.jp" "$work/jp.txt"
check "例え.jp: the recent list holds it on top" grep -qxF "recent0=例え.jp" "$work/jp.txt"
check "例え.jp: the other entry stays" grep -qE "^recent[1-9][0-9]*=bücher\.de$" "$work/jp.txt"
check "closing the window" probe close '*' 20
for _ in $(seq 100); do [ -s "$work/rc" ] && break; sleep 0.1; done
check "exit code 0" test "$(cat "$work/rc" 2>/dev/null)" = 0
tr -d '\r' <"$work/app/merrowgate.ini" >"$work/ini.txt" 2>/dev/null
check "the settings file keeps the list in ASCII" grep -qxF "REC0=%E4%BE%8B%E3%81%88.jp" "$work/ini.txt"

# The command line in the Unicode form: a name beyond the code page arrives
# whole, and a restarted copy shows the list as it was typed.
rm -f "$work/jprs.log" "$work/rc"
(cd "$work/app" && LC_ALL=C.UTF-8 run ./merrowgate.exe 例え.jp; echo $? >"$work/rc") &
check "例え.jp from the command line: the .jp registry asked in ASCII form" \
  wait_for_line "$work/jprs.log" xn--r8jz45g.jp/e 30
check "例え.jp from the command line: the lookup finishes" probe wait-status '*' 0 "Ready..." 30
probe dump '*' | tr -d '\r' >"$work/tail.txt"
check "例え.jp from the command line: the query box shows it" grep -qxF "query=例え.jp" "$work/tail.txt"
check "after a restart the list is as typed" grep -qE "^recent[1-9][0-9]*=bücher\.de$" "$work/tail.txt"
check "closing the window" probe close '*' 20
for _ in $(seq 100); do [ -s "$work/rc" ] && break; sleep 0.1; done
check "exit code 0" test "$(cat "$work/rc" 2>/dev/null)" = 0
if [ "$failed" != 0 ]; then
  echo "--- what the probe read"
  cat "$work/de.txt" "$work/jp.txt" "$work/tail.txt" 2>/dev/null
  cat "$work"/*.log 2>/dev/null
fi
finish
