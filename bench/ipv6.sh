#!/bin/bash
# A whois server whose first address (IPv6) drops every packet, its second
# (IPv4) answers: merrowgate-cli races the addresses, Debian's whois client
# tries them one after the other. In the tests' fake internet (nothing leaves
# the machine); needs root, hyperfine, socat, whois and ip6tables.
#
#   bench/ipv6.sh [merrowgate-cli]      (default build/native/cli/merrowgate-cli)
#
# Prints a markdown table. BENCH_RUNS sets the runs per client (default 3);
# whois takes about 10 s a run here, and each run is cut at 30 s.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/lib.sh"
bench_in_fake_internet "${1:-}"
runs=${BENCH_RUNS:-3}
for tool in hyperfine socat whois ip6tables; do
  command -v $tool >/dev/null || { echo "bench/ipv6.sh: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
done

. "$root/tests/lib/end-to-end.sh"
# dropped.example.net: fd00:77::6, then 127.0.0.42 (tests/fake-internet.hosts).
serve 127.0.0.42 dropped 'Domain Name: EXAMPLE.NET\n'
ip6tables -I INPUT -d fd00:77::6 -j DROP
: >"$work/empty.ini"

hyperfine -N --style none --runs "$runs" --export-markdown "$work/table.md" \
  -n "merrowgate-cli, IPv4 address straight" "timeout 30 $cli --settings $work/empty.ini -h 127.0.0.42 example.net" \
  -n "merrowgate-cli, first address dropped" \
  "timeout 30 $cli --settings $work/empty.ini -h dropped.example.net example.net" \
  -n "whois, IPv4 address straight" "timeout 30 whois -h 127.0.0.42 example.net" \
  -n "whois, first address dropped" "timeout 30 whois -h dropped.example.net example.net" >/dev/null
echo "Dropped first address, $runs runs each ($(date -u +%Y-%m-%d)):"
echo
cat "$work/table.md"
