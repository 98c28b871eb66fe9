#!/bin/bash
# The fake registry farm (tests/support/whois_farm.py) in the fake internet,
# asked with Debian's whois: the records its names promise, the rate limit,
# and the statistics file that the batch tests and the benchmark read.
#   tests/whois_farm_test.sh
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
  exec timeout -k 5 60 "$here/scripts/fake-internet" "$0" "$@"
fi
for tool in whois /usr/bin/python3; do
  command -v $tool >/dev/null || { echo "$tool is missing"; echo "0 passed, 1 failed"; exit 1; }
done
. "$here/tests/lib/end-to-end.sh"

stats=$work/stats.json
python3 "$here/tests/support/whois_farm.py" --registries 3 --registrars 2 --delay 300 \
  --rate-limit whois.bellwether-reg.test=2 --stats "$stats" 2>"$work/farm.log" &
farm=$!
servers+=("$farm")
for _ in $(seq 100); do [ -e "$stats" ] && break; sleep 0.05; done
# stat NAME FIELD: a counter of the statistics file.
stat() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["servers"][sys.argv[2]][sys.argv[3]])' "$stats" "$1" "$2"; }
has() { grep -q -- "$1" "$work/out"; }
lacks() { ! grep -q -- "$1" "$work/out"; }

# The record, as each server's layout has it; dates from the name's tag.
in30=$(date -u -d '+30 days' +%Y-%m-%d)
whois exp30-r2-shop.biz >"$work/out" 2>&1
check "registry record" has "^Registry Expiry Date: ${in30}T" && check "registry refers" \
  has "^Registrar WHOIS Server: whois.bellwether-reg.test" && check "registry layout" lacks "Registrar Registration"
whois -h whois.anvil-names.test r1-shop.xyz >"$work/out" 2>&1
check "registrar record" has "^Registrar Registration Expiration Date: 20" && check "registrar abuse" \
  has "^Registrar Abuse Contact Email: abuse@anvil-names.test"
for q in "whois.nic.biz shop.xyz" "whois.nic.me nx-shop.me" "whois.anvil-names.test r2-shop.me"; do
  whois -h $q >"$work/out" 2>&1
  check "no match: $q" has "^No match for"
done

# Three at once on one server, then five in a row on the limited registrar:
# two a second are answered, the rest get the notice.
pids=()
for i in 1 2 3; do whois -h whois.nic.xyz "shop$i.xyz" >/dev/null 2>&1 & pids+=($!); done
wait "${pids[@]}"
: >"$work/out"
for i in 1 2 3 4 5; do whois -h whois.bellwether-reg.test r2-shop.biz >>"$work/out" 2>&1; done
notices=$(grep -c "^Query rate limit exceeded. Try again later." "$work/out")
check "notices above the rate" test "$notices" -ge 1 -a "$notices" -le 3

check "peak connections" test "$(stat whois.nic.xyz peak_connections)" = 3
check "queries counted" test "$(stat whois.bellwether-reg.test queries)" = 5
check "notices counted" test "$(stat whois.bellwether-reg.test notices)" = "$notices"
total() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["total"]["queries"])' "$stats"; }
check "total" test "$(total)" = 13
kill -USR1 $farm
for _ in $(seq 50); do [ "$(total)" = 0 ] && break; sleep 0.05; done
check "reset on SIGUSR1" test "$(total)" = 0 -a "$(stat whois.nic.xyz peak_connections)" = 0
kill -TERM $farm
wait $farm
check "ends on SIGTERM" test $? = 0
[ -s "$work/farm.log" ] && sed 's/^/      farm: /' "$work/farm.log"
finish
