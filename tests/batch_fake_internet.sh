#!/bin/bash
# merrowgate-cli's batches against the registry farm in the fake internet:
# the order of the outputs, the per-server limit (counted by the farm), the
# pause and retry after rate-limit notices, the JSON records and
# --expires-within.
#   tests/batch_fake_internet.sh build/native/cli/merrowgate-cli
#   tests/batch_fake_internet.sh scripts/wine-run PREFIX build/windows/cli/merrowgate-cli.exe
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
  exec timeout -k 5 240 "$here/scripts/fake-internet" "$0" "$@"
fi
cli=("$@")
. "$here/tests/lib/end-to-end.sh"

stats=$work/stats.json
# whois.bellwether-reg.test (registrar 2) answers two queries a second;
# whois.nic.top answers none.
python3 "$here/tests/support/whois_farm.py" --registries 10 --registrars 3 --delay 20 \
  --rate-limit registrar:2=2 --rate-limit whois.nic.top=0 --stats "$stats" 2>"$work/farm.log" &
farm=$!
servers+=("$farm")
for _ in $(seq 100); do [ -e "$stats" ] && break; sleep 0.05; done
printf '[Config]\nResolveDomain=0\nReverseIP=0\nGetAbuseInfo=0\n' >"$work/batch.ini"
stat() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["servers"][sys.argv[2]][sys.argv[3]])' "$stats" "$1" "$2"; }
reset_stats() {
  kill -USR1 $farm
  for _ in $(seq 50); do
    [ "$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["total"]["queries"])' "$stats")" = 0 ] && return
    sleep 0.05
  done
}
run() {  # run ARGS...: stdout to $work/out, stderr to $work/err, exit status to $rc
  timeout 120 "${cli[@]}" --settings "$work/batch.ini" --color=never "$@" >"$work/out.raw" 2>"$work/err" <"$work/in"
  rc=$?
  tr -d '\r' <"$work/out.raw" >"$work/out"
}
: >"$work/in"
# json EXPR: a Python expression over `records` (the JSON lines) that must be true.
json() { python3 -c 'import json,sys; records=[json.loads(l) for l in open(sys.argv[1])]; sys.exit(0 if eval(sys.argv[2]) else 1)' "$work/out" "$1"; }

# Order: the first query waits for the limited registrar's pause, the others
# do not; the outputs still come in the order of the list.
list=(r2-a.biz r2-b.xyz r2-c.me r2-d.online)
for i in $(seq 1 16); do list+=("r1-q$i.shop"); done
printf '%s\n' "${list[@]}" >"$work/list"
run -j 8 --json -f "$work/list"
check "JSON: one record a query, in the list's order" json "[r['query'] for r in records] == $(python3 -c 'import json,sys; print(json.dumps(sys.argv[1:]))' "${list[@]}")"
check "JSON: every record complete after the pauses" json "all('expires' in r and r['registrar']['name'] for r in records)"
check "JSON: a notice is a step with an error, not the answer" json "any(s.get('error') == 'rate-limit notice' for r in records for s in r['steps'])"
check "JSON: exit 0, farm sent notices" bash -c "[ $rc = 0 ] && [ $(stat whois.bellwether-reg.test notices) -ge 1 ]"
check "JSON: fields of the gTLD layouts" json "records[4]['kind'] == 'domain' and records[4]['domain'] == 'r1-q1.shop' and records[4]['source'] == 'whois' and records[4]['nameservers'] and records[4]['status'] == ['clientTransferProhibited'] and records[4]['registrar']['whois_server'] == 'whois.anvil-names.test'"

run -j 8 "${list[@]:0:6}"
check "text: headers in order" bash -c "[ \"\$(grep '^=== ' '$work/out')\" = \"$(printf '=== %s ===\n' "${list[@]:0:6}")\" ]"
check "text: each output under its header" bash -c "awk '/^=== /{q=\$2} /Sending request for domain: /{sub(/\\.\\.\\.\$/, \"\", \$NF); if (\$NF != q) bad=1} END{exit bad}' '$work/out'"

# The per-server limit, counted by the farm.
for per in 1 3; do
  reset_stats
  for i in $(seq 1 24); do echo "r1-p$i.club"; done >"$work/list"
  run -j 16 --per-server $per --json -f "$work/list"
  check "--per-server $per: never more connections to a server" \
    bash -c "[ $rc = 0 ] && [ $(stat whois.nic.club peak_connections) -le $per ] && [ $(stat whois.anvil-names.test peak_connections) -le $per ] && [ $(stat whois.nic.club queries) = 24 ]"
done
check "--per-server 3 is used" test "$(stat whois.nic.club peak_connections)" = 3

# A server that never stops sending notices: three retries, then an error.
run --json r1-x.top
check "given up after 3 retries: exit 1, error on stderr and in the record" \
  bash -c "[ $rc = 1 ] && grep -qF 'whois.nic.top still limits the query rate after 3 retries' '$work/err'"
check "given up: four steps, no fields" json "len(records[0]['steps']) == 4 and 'expires' not in records[0] and any('still limits' in e for e in records[0]['errors'])"

# --expires-within.
in10=$(date -u -d '+10 days' +%Y-%m-%d)
run --expires-within 30 exp10-r1-soon.biz r1-later.biz
check "--expires-within: exit 3, the domain named" \
  bash -c "[ $rc = 3 ] && grep -qxF 'exp10-r1-soon.biz expires $in10 (10 days)' '$work/err' && ! grep -q later '$work/err'"
run --expires-within 5 --json exp10-r1-soon.biz
check "--expires-within: nothing within the days, exit 0" bash -c "[ $rc = 0 ] && [ ! -s '$work/err' ]"
run --expires-within 5 -q nx-gone.biz
check "--expires-within: no date found, exit 1" bash -c "[ $rc = 1 ] && grep -qxF 'nx-gone.biz: no expiry date found' '$work/err'"
run --expires-within 30 nx-gone.biz exp10-r1-soon.biz
check "--expires-within: an expiring domain outranks a missing date" bash -c "[ $rc = 3 ]"

# Standard input as the list, and a list that cannot be read.
printf '# portfolio\n\nr1-s1.biz\n  r1-s2.me  \n' >"$work/in"
run --json -f -
check "-f -: the queries of stdin, comments skipped" json "[r['query'] for r in records] == ['r1-s1.biz', 'r1-s2.me']"
: >"$work/in"
run -f "$work/missing"
check "-f: a missing file is exit 2 with a message" bash -c "[ $rc = 2 ] && grep -qF 'cannot read $work/missing' '$work/err'"

kill -TERM $farm
finish
