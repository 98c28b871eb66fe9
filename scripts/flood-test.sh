#!/bin/bash
# A whois server that answers with 1 GiB: merrowgate-cli must stream it to
# stdout with a small, fixed amount of memory. Runs in a loopback-only network
# namespace whose hosts file sends the com registry to 127.0.0.2, where a fake
# server (socat) streams the reply; nothing leaves the machine. Needs root.
#
#   scripts/flood-test.sh [build dir]     (default build/native)
#
# Fails when the peak resident set exceeds FLOOD_RSS_LIMIT_KIB (20 MiB), when
# bytes are lost, or when the run takes longer than FLOOD_TIMEOUT seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
limit=${FLOOD_RSS_LIMIT_KIB:-20480}
size=${FLOOD_BYTES:-1073741824}
timeout=${FLOOD_TIMEOUT:-120}

if [ ! -f "$build/CMakeCache.txt" ]; then cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null; fi
cmake --build "$build" --target merrowgate-cli -j"$(nproc)" >/dev/null
cli=$build/cli/merrowgate-cli

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/hosts" <<'HOSTS'
127.0.0.1	localhost
127.0.0.2	whois.verisign-grs.com
HOSTS
cat >"$work/merrowgate.ini" <<'INI'
[Config]
ResolveDomain=0
ReverseIP=0
GetAbuseInfo=0
INI

# The reply: whois-like lines, e-mail words included, cut at exactly $size bytes.
line='Registrant Email: owner@example.com   Registrar URL: http://www.example.com/'
timeout "$timeout" unshare --mount --net -- bash -c '
  set -euo pipefail
  work=$1 cli=$2 size=$3 line=$4
  ip link set lo up
  mount --bind "$work/hosts" /etc/hosts
  socat TCP-LISTEN:43,bind=127.0.0.2,reuseaddr,fork 2>/dev/null \
    SYSTEM:"head -n1 >/dev/null; yes \"$line\" | head -c $size" &
  trap "kill $! 2>/dev/null" EXIT
  for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.2/43) 2>/dev/null && break; sleep 0.05; done
  /usr/bin/time -f "%M %e" -o "$work/time" "$cli" --settings "$work/merrowgate.ini" --no-resolve \
    --color=never example.com | wc -c >"$work/bytes"
' flood "$work" "$cli" "$size" "$line"

read -r rss seconds <"$work/time"
bytes=$(cat "$work/bytes")
links=$(( size / (${#line} + 1) ))
echo "flood: $size bytes in ${seconds} s, merrowgate-cli wrote $bytes bytes, peak RSS ${rss} KiB (limit ${limit} KiB)"
# Every byte of the reply, plus "mailto:" before each e-mail word, plus the banners.
if [ "$bytes" -lt $(( size + 7 * links )) ]; then echo "FAIL: bytes lost" >&2; exit 1; fi
if [ "$rss" -gt "$limit" ]; then echo "FAIL: peak RSS ${rss} KiB over ${limit} KiB" >&2; exit 1; fi
echo "ok"
