#!/bin/bash
# IPv6 end to end in the fake internet: servers with IPv6 addresses only,
# servers whose first address is dead (refused, or every packet dropped),
# IPv6 addresses after -h and in referrals, and real proxies (microsocks,
# tinyproxy) listening on IPv6. The console program natively and under Wine:
#   tests/ipv6_fake_internet.sh build/native/cli/merrowgate-cli
#   tests/ipv6_fake_internet.sh scripts/wine-run PREFIX build/windows/cli/merrowgate-cli.exe
# and the window under Wine (DISPLAY names a running X server, scripts/with-xvfb):
#   tests/ipv6_fake_internet.sh --window PREFIX merrowgate.exe ui_probe.exe
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
  exec timeout -k 5 180 "$here/scripts/fake-internet" "$0" "$@"
fi
for tool in socat ip6tables microsocks tinyproxy; do
  command -v $tool >/dev/null ||
    { echo "$tool is missing (scripts/setup installs it)"; echo "0 passed, 1 failed"; exit 1; }
done

. "$here/tests/lib/end-to-end.sh"
# The registry of .se has an IPv6 address only.
serve fd00:77::7 iis 'domain: example.se\nstate: active\n'
if [ "$1" = --window ]; then
  [ -n "${DISPLAY:-}" ] || { echo "DISPLAY is not set"; exit 1; }
  prefix=$(realpath -m "$2")
  run() { "$here/scripts/wine-run" "$prefix" "$@"; }
  cleanup_more() { WINEPREFIX=$prefix-fake-internet timeout 10 wineserver -k 2>/dev/null; }
  mkdir -p "$work/app"
  cp "$3" "$work/app/merrowgate.exe"
  cp "$4" "$work/ui_probe.exe"
  probe() { run "$work/ui_probe.exe" "$@"; }
  printf '[Config]\r\nResolveDomain=0\r\n' >"$work/app/merrowgate.ini"
  rm -f "$work"/*.log
  (cd "$work/app" && run ./merrowgate.exe example.se; echo $? >"$work/rc") &
  asked() { local _; for _ in $(seq 150); do [ -s "$work/iis.log" ] && return 0; sleep 0.2; done; return 1; }
  check "window: the IPv6-only registry asked" asked
  check "window: the lookup finishes" probe wait-status '*' 0 "Ready..." 30
  probe dump '*' | tr -d '\r' >"$work/out"
  check "window: the pane shows the reply" grep -qxF "state: active" "$work/out"
  check "window: closing it" probe close '*' 20
  for _ in $(seq 100); do [ -s "$work/rc" ] && break; sleep 0.1; done
  check "window: exit code 0" test "$(cat "$work/rc" 2>/dev/null)" = 0
  finish
  exit
fi
cli=("$@")

serve fd00:77::1 v6only 'v6only answers\n'
serve fd00:77::1 v6port 'v6only on its own port\nReferralServer: whois://[fd00:77::3]:4321\n' 4343
serve fd00:77::3 rwhois6 'network: fd00:77::/64\n' 4321
serve 127.0.0.3 arin 'NetRange: fd00:: - fdff::\n'
serve 127.0.0.2 verisign 'Domain Name: EXAMPLE.COM\r\n   Registrar WHOIS Server: whois.registrar6.test\r\n'
serve fd00:77::8 registrar6 'Registrant Email: owner@example.com\r\n'
# The first address of each is dead: nothing listens on fd00:77::5, and
# whatever is sent to fd00:77::6 is dropped without a word.
serve 127.0.0.41 refused 'refused first, answered next\n'
serve 127.0.0.42 dropped 'dropped first, answered next\n'
ip6tables -I INPUT -d fd00:77::6 -j DROP || { echo "ip6tables cannot drop packets here"; exit 1; }
# Real proxies on IPv6; and a SOCKS4 proxy that records what it is sent.
microsocks -i fd00:77::4 -p 1080 >/dev/null 2>&1 &
servers+=($!)
printf 'Port 8081\nListen fd00:77::4\nAllow fd00:77::/64\nLogLevel Error\nPidFile "%s"\n' "$work/tinyproxy.pid" \
  >"$work/tinyproxy.conf"
tinyproxy -d -c "$work/tinyproxy.conf" >/dev/null 2>&1 &
servers+=($!)
socat TCP-LISTEN:1081,bind=127.0.0.1,reuseaddr,fork "SYSTEM:cat >>$work/socks4.bytes" 2>/dev/null &
servers+=($!)
for a in fd00:77::4/1080 fd00:77::4/8081 127.0.0.1/1081; do
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/$a") 2>/dev/null && break; sleep 0.05; done
done
rm -f "$work"/*.log "$work/socks4.bytes"
: >"$work/empty.ini"

run() {  # run ARGS...: output to $work/out (LF line ends), exit code to $rc, time taken to $ms
  rm -f "$work"/*.log
  local start=$(date +%s%N)
  timeout 30 "${cli[@]}" --settings "$work/empty.ini" --color=never --no-abuse "$@" >"$work/raw" 2>&1 </dev/null
  rc=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  tr -d '\r' <"$work/raw" >"$work/out"
}
has() { grep -qxF -- "$1" "$work/out"; }
logged() { [ "$(cat "$work/$1.log" 2>/dev/null)" = "$2" ]; }
# answered LOG REQUEST LINE: exit 0, REQUEST in LOG, LINE in the output
answered() { [ $rc = 0 ] && logged "$1" "$2" && has "$3"; }

run --no-resolve example.se
check "IPv6-only registry of .se: asked, reply shown" answered iis example.se "state: active"
run v6only.example.net
check "host with IPv6 only: its address shown" has $'IP:\t\tfd00:77::1'
check "host with IPv6 only: the address registry asked for that address" \
  answered arin "n + fd00:77::1" "NetRange: fd00:: - fdff::"
run -h v6only.example.net x
check "-h with an IPv6-only name" answered v6only x "v6only answers"

for form in "-h [fd00:77::1]:4343" "-h fd00:77::1 -p 4343" "--host=[fd00:77::1] --port 4343" \
            "-h [fd00:77::1] -p4343"; do
  run $form q
  check "$form: that server" answered v6port q "v6only on its own port"
  check "$form: its bracketed referral followed" logged rwhois6 q
  check "$form: the banners" bash -c "grep -qxF 'Querying [fd00:77::1]:4343...' '$work/out' &&
    grep -qxF 'Querying [fd00:77::3]:4321...' '$work/out'"
done

for form in "-h a:b:c" "-h [fd00:77::1]x" "-h fd00:77::1:4343x" "-h [fd00:77::1]:4343 -p 4343"; do
  run $form q
  check "$form: refused, exit 2, nothing asked" bash -c "[ $rc = 2 ] && ! ls '$work'/*.log >/dev/null 2>&1"
done

run --no-resolve example.com
check "referral to an IPv6-only registrar" answered registrar6 example.com "Registrant Email: mailto:owner@example.com"

run -h refused.example.net r
check "first address refused: the next one answers" answered refused r "refused first, answered next"
run -h 127.0.0.42 d
baseline=$ms
run -h dropped.example.net d
check "first address dropped: the next one answers" answered dropped d "dropped first, answered next"
check "first address dropped: connected within 0.5 s ($((ms - baseline)) ms more than straight)" \
  test $((ms - baseline)) -lt 500

for p in "socks5://[fd00:77::4]:1080" "socks5h://proxy6.example.net:1080" "http://[fd00:77::4]:8081" \
         "http://proxy6.example.net:8081"; do
  for h in v6only.example.net "[fd00:77::1]"; do
    run --proxy "$p" -h "$h" x
    check "proxy $p to $h" answered v6only x "v6only answers"
  done
done

# The proxy from the environment, on either system.
ALL_PROXY="socks5h://[fd00:77::4]:1080" run --proxy-debug -h v6only.example.net x
check "ALL_PROXY on IPv6" bash -c "grep -qxF 'Connecting to proxy...' '$work/out' && grep -qxF 'v6only answers' '$work/out'"
ALL_PROXY="socks5h://[fd00:77::4]:1080" NO_PROXY=fd00:77::/64 run --proxy-debug -h fd00:77::1 x
check "NO_PROXY with an IPv6 prefix" bash -c "! grep -qxF 'Connecting to proxy...' '$work/out' && grep -qxF 'v6only answers' '$work/out'"

run --proxy socks4://127.0.0.1:1081 -h v6only.example.net x
check "SOCKS4 to an IPv6-only server: the Error line" \
  has "SOCKS4 can not reach the IPv6 host 'v6only.example.net': use SOCKS4a or SOCKS5"
check "SOCKS4 to an IPv6-only server: nothing sent, exit 1" bash -c "[ $rc = 1 ] && [ ! -s '$work/socks4.bytes' ]"

finish
