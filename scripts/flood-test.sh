#!/bin/bash
# A whois server that answers with 1 GiB: merrowgate-cli must stream it to
# stdout with a small, fixed amount of memory. Runs in the tests' fake
# internet (scripts/fake-internet), where the com registry is 127.0.0.2 and a
# fake server streams the reply; nothing leaves the machine. Needs root.
#
#   scripts/flood-test.sh [build dir]     (default build/native)
#
# Fails when the peak resident set exceeds FLOOD_RSS_LIMIT_KIB (20 MiB), when
# bytes are lost, or when the run takes longer than FLOOD_TIMEOUT seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}

. "$root/scripts/lib/fake-servers.sh"
build_cli "$build"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/merrowgate.ini" <<'INI'
[Config]
ResolveDomain=0
ReverseIP=0
GetAbuseInfo=0
INI

# The reply: whois-like lines, e-mail words included, cut at exactly $size bytes.
size=${FLOOD_BYTES:-1073741824}
timeout=${FLOOD_TIMEOUT:-120}
limit=${FLOOD_RSS_LIMIT_KIB:-20480}
line='Registrant Email: owner@example.com   Registrar URL: http://www.example.com/'
timeout "$timeout" "$root/scripts/fake-internet" bash -c '
  set -euo pipefail
  work=$1 cli=$2 size=$3 line=$4
  . "$5/scripts/lib/fake-servers.sh"
  trap stop_fake_servers EXIT
  fake_whois_server 127.0.0.2 "yes \"$line\" | head -c $size"
  /usr/bin/time -f "%M %e" -o "$work/time" "$cli" --settings "$work/merrowgate.ini" --no-resolve \
    --color=never example.com | wc -c >"$work/bytes"
' flood "$work" "$cli" "$size" "$line" "$root"

read -r rss seconds <"$work/time"
bytes=$(cat "$work/bytes")
links=$(( size / (${#line} + 1) ))
echo "flood: $size bytes in ${seconds} s, merrowgate-cli wrote $bytes bytes, peak RSS ${rss} KiB (limit ${limit} KiB)"
# Every byte of the reply, plus "mailto:" before each e-mail word, plus the banners.
if [ "$bytes" -lt $(( size + 7 * links )) ]; then echo "FAIL: bytes lost" >&2; exit 1; fi
if [ "$rss" -gt "$limit" ]; then echo "FAIL: peak RSS ${rss} KiB over ${limit} KiB" >&2; exit 1; fi
echo "ok"
