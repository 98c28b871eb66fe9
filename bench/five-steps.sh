#!/bin/bash
# The five-step lookup of bench/run.sh (registry, registrar, address registry,
# its referral, abuse contact) and its one exchange (a 4 KB reply from the
# address given, the recent list as it is or with a new entry to write), with
# the same replies, from servers that cost
# next to nothing: one python3 process answering on all five addresses,
# instead of socat starting a shell for every connection. On a machine of
# two cores those shells take the CPU that the clients run on; here the
# figures are the clients' own. In the tests' fake internet; needs root,
# hyperfine, whois, python3.
#
#   bench/five-steps.sh [merrowgate-cli]    (default build/native/cli/merrowgate-cli)
#
# Prints markdown tables. BENCH_RUNS sets hyperfine's runs (default 40).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/lib.sh"
bench_in_fake_internet "${1:-}"
runs=${BENCH_RUNS:-40}
work=$(mktemp -d)
python3 - "$work/ready" <<'SERVERS' &
import asyncio, sys
replies = {
    "127.0.0.2": "   Domain Name: EXAMPLE.COM\r\n   Registry Domain ID: 1_DOMAIN_COM-VRSN\r\n"
                 "   Registrar WHOIS Server: whois.registrar.test\r\n   Registrar URL: http://www.registrar.test\r\n",
    "127.0.0.7": "Domain Name: example.com\r\nRegistrant Email: owner@example.com\r\nAdmin Email: admin@example.com\r\n",
    "127.0.0.3": "NetRange:       127.0.0.0 - 127.255.255.255\nReferralServer: whois://whois.ripe.net\n",
    "127.0.0.6": "inetnum:        127.0.0.0 - 127.0.0.255\nabuse-mailbox:  abuse@example.net\n",
    "127.0.0.4": "abuse@example.com\n",
    "127.0.0.14": ("Registrant Email: owner@example.com   Registrar URL: http://www.example.com/\n" * 60)[:4096],
}
async def main():
    for address, reply in replies.items():
        async def answer(reader, writer, reply=reply.encode()):
            await reader.readline()
            writer.write(reply)
            await writer.drain()
            writer.close()
        await asyncio.start_server(answer, address, 43, reuse_address=True)
    open(sys.argv[1], "w").close()
    await asyncio.Event().wait()
asyncio.run(main())
SERVERS
servers=$!
trap 'kill $servers 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -e "$work/ready" ] && break; sleep 0.05; done
printf '[Config]\nResolveDomain=1\nReverseIP=1\nGetAbuseInfo=1\n' >"$work/five.ini"
# --json builds its record from the same whois exchanges.
bench_bootstrap_without_services "$work"
hyperfine -N --style none --warmup 3 --runs "$runs" --export-markdown "$work/five.md" --export-json "$work/five.json" \
  -n merrowgate-cli "$cli --settings $work/five.ini --color=never example.com" \
  -n "merrowgate-cli --json" "$cli --settings $work/five.ini --json example.com" \
  -n whois "sh -c 'whois example.com; whois 127.0.0.20; whois -h whois.abuse.net example.com'" >/dev/null
recent_ini() {
  printf '[Config]\r\nResolveDomain=0\r\nReverseIP=0\r\nGetAbuseInfo=0\r\n[Recent]\r\nREC0=%s\r\nREC1=\r\n' "$1"
}
recent_ini other.example >"$work/other-on-top.ini"
recent_ini example.com >"$work/single.ini"
single_cli="$cli --settings $work/single.ini --color=never -h 127.0.0.14 example.com"
hyperfine -N --style none --warmup 5 --runs "$((runs * 2))" --export-markdown "$work/single.md" \
  --export-json "$work/single.json" --prepare true --prepare true --prepare true \
  --prepare "cp $work/other-on-top.ini $work/single.ini" \
  -n merrowgate-cli "$single_cli" -n "merrowgate-cli --json" "${single_cli/--color=never/--json}" \
  -n whois "whois -h 127.0.0.14 example.com" -n "merrowgate-cli, new list entry" "$single_cli" >/dev/null
ratios() {
  python3 - "$1" <<'RATIO'
import json, sys
mean = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
print("  ".join("%s: %.2fx whois." % (n, m / mean["whois"]) for n, m in mean.items() if n != "whois"))
print("--json: %.2fx the same lookup without it." % (mean["merrowgate-cli --json"] / mean["merrowgate-cli"]))
RATIO
}
echo "Five-step lookup, servers of one python3 process, $runs runs each ($(date -u +%Y-%m-%d)):"
echo
cat "$work/five.md"
echo
ratios "$work/five.json"
echo
echo "One exchange (a 4 KB reply, no referral, no name resolved), the same server process, $((runs * 2)) runs each;"
echo "\"new list entry\": another query is put on top of the recent list before each run:"
echo
cat "$work/single.md"
echo
ratios "$work/single.json"
