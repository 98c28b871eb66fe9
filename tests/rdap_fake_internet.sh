#!/bin/bash
# RDAP end to end in the fake internet: a fake RDAP service over HTTPS (a test
# certificate authority made here, trusted by this run only) answering with
# recorded registry answers, and merrowgate-cli's output and requests.
#   tests/rdap_fake_internet.sh build/native/cli/merrowgate-cli
#   tests/rdap_fake_internet.sh scripts/wine-run PREFIX build/windows/cli/merrowgate-cli.exe
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
  exec timeout -k 5 300 "$here/scripts/fake-internet" "$0" "$@"
fi
cli=("$@")
wine=0
[ "${cli[0]##*/}" = wine-run ] && wine=1
for tool in openssl /usr/bin/python3; do
  command -v $tool >/dev/null || { echo "$tool is missing"; echo "0 passed, 1 failed"; exit 1; }
done

. "$here/tests/lib/end-to-end.sh"

# The test CA and one certificate for every host of the fake service.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=merrowgate test CA" \
  -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
names=rdap.verisign.com,rdap.markmonitor.com,rdap.identitydigital.services,rdap.publicinterestregistry.org
names=$names,rdap.arin.net,rdap.db.ripe.net,data.iana.org
openssl req -newkey rsa:2048 -nodes -subj "/CN=rdap.test" -keyout "$work/server.key" -out "$work/server.csr" 2>/dev/null
printf 'subjectAltName=%s\n' "$(echo "DNS:$names" | sed 's/,/,DNS:/g')" >"$work/san.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
  -extfile "$work/san.ext" -out "$work/server.pem" 2>/dev/null
if [ $wine = 1 ]; then
  # Wine's crypt32 reads the host's trust store: this run sees only the test CA.
  mkdir -p "$work/certs"
  cp "$work/ca.pem" "$work/certs/ca-certificates.crt"
  mount --bind "$work/certs" /etc/ssl/certs
fi
export MERROWGATE_TEST_CA_FILE="$work/ca.pem"

/usr/bin/python3 "$here/tests/fake_rdap_service.py" 127.0.0.50 "$work/server.pem" "$work/server.key" \
  "$here/tests/data/rdap" "$work" 2>"$work/service.err" &
servers+=($!)
for i in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.50/443) 2>/dev/null && break; sleep 0.05; done

run() {  # run ARGS...: output to $work/out.lf, exit code to $rc, requests to $work/rdap.log
  rm -f "$work/rdap.log"
  : >"$work/empty.ini"
  timeout 60 "${cli[@]}" --settings "$work/empty.ini" --color=never --no-resolve --no-reverse "$@" \
    >"$work/out" 2>&1 </dev/null
  rc=$?
  tr -d '\r' <"$work/out" >"$work/out.lf"
}
has() { grep -qF -- "$1" "$work/out.lf"; }
asked() { grep -qxF -- "$1" "$work/rdap.log" 2>/dev/null; }
all() { local t; for t in "$@"; do has "$t" || { echo "missing: $t"; return 1; }; done; }

# .info has no whois server any more: its name does not resolve here either.
run example.info
check ".info: port 43 unreachable, RDAP asked, exit 0" bash -c "[ $rc = 0 ] && grep -qF \"Can not resolve host 'whois.nic.info'\" '$work/out.lf'"
check ".info: banner" has "Querying https://rdap.identitydigital.services/rdap/domain/example.info..."
check ".info: name, status, dates, entities, notices" all $'Domain:\t\texample.info' $'Status:\t\tclient transfer prohibited' \
  $'Registered:\t2001-07-31 23:57:50 UTC' $'Expires:\t2026-07-31 23:57:50 UTC' $'Nameservers:\ta.iana-servers.net' \
  $'Secure DNS:\tsigned delegation' $'Registrar:\t376' $'\t\tmailto:abuse@iana.org' $'Redacted:\tRegistrant Email (removal: Server policy)' \
  $'Notice:\t\tTerms of Use'
check ".info: bootstrap refreshed from IANA and cached beside the settings" \
  bash -c "[ -s '$work/merrowgate-rdap-dns.json' ] && grep -q 'refreshed' '$work/merrowgate-rdap-dns.json'"

run --rdap google.com
check ".com with --rdap: registry, then the registrar it links to" \
  bash -c "grep -qxF 'rdap.verisign.com /com/v1/domain/google.com' '$work/rdap.log' && grep -qxF 'rdap.markmonitor.com /rdap/domain/GOOGLE.COM' '$work/rdap.log' && [ $rc = 0 ]"
check ".com registry answer shown" all $'Domain:\t\tGOOGLE.COM' $'Handle:\t\t2138514_DOMAIN_COM-VRSN' \
  $'Registered:\t1997-09-15 04:00:00 UTC' $'Expires:\t2028-09-14 04:00:00 UTC' $'Secure DNS:\tunsigned' \
  $'\tName:\t\tMarkMonitor Inc.' $'\t\tE-mail:\t\tmailto:abusecomplaints@markmonitor.com' $'\t\tTelephone:\t+1.2083895740' \
  $'Notice:\t\tRDDS Inaccuracy Complaint Form'
check ".com registrar answer shown, redactions marked" all "Querying https://rdap.markmonitor.com/rdap/domain/GOOGLE.COM..." \
  $'\tName:\t\tExample Registrar Inc.' $'\tAddress:\tSuite 100, 123 Example Dr., Dulles, VA, 20166-6503, US' \
  $'Redacted:\tRegistrant Name (emptyValue: Server policy)' $'Last changed:\t2020-05-28 01:35:00 UTC'
check "Prefer RDAP: no whois server asked" bash -c "! grep -qF 'Querying whois.' '$work/out.lf'"

# --json: the record, its fields from the RDAP answers, the answers in its steps.
run_json() {
  rm -f "$work/rdap.log"
  SECONDS=0
  timeout 60 "${cli[@]}" --settings "$work/empty.ini" --no-resolve --no-reverse --json "$@" >"$work/out" 2>"$work/err" </dev/null
  rc=$?
  took=$SECONDS
}
record() { python3 -c 'import json,sys; r=json.loads(open(sys.argv[1]).readline()); sys.exit(0 if eval(sys.argv[2]) else 1)' "$work/out" "$1"; }
run_json --rdap google.com
check "--json: the record from the RDAP answers" record \
  "r['source'] == 'rdap' and r['expires'] == '2028-09-14T04:00:00Z' and r['registrar']['name'] == 'MarkMonitor Inc.' and r['steps'][0]['rdap']['handle'] == '2138514_DOMAIN_COM-VRSN' and len(r['steps']) == 2 and $rc == 0"
check "--json: every member as docs/json-record.md lists it" \
  python3 "$here/tests/support/check_records.py" "$here/docs/json-record.md" "$work/out"
# Too many requests: paused for the Retry-After, then asked again.
run_json --rdap busy.com
check "429 with Retry-After 1: asked again a second later" record \
  "r['steps'][0]['error'] == 'HTTP 429 Too Many Requests' and r['steps'][1]['status'] == 'ok' and r['expires'] == '2030-01-02T03:04:05Z' and $rc == 0 and $took >= 1"
# (whois then stands in, and the .com whois server here is silent.)
run_json --rdap --timeout 2 always429.com
check "429 every time: three retries, then an error" bash -c \
  "cat $work/err; echo rc=$rc; [ $rc = 1 ] && [ \$(grep -c always429 '$work/rdap.log') = 4 ] && grep -qF 'rdap.verisign.com still limits the query rate after 3 retries' '$work/err'"

run --rdap 192.198.0.1
check "ARIN network" all "Querying https://rdap.arin.net/registry/ip/192.198.0.1..." \
  $'Network:\t192.198.0.0 - 192.198.3.255 (RADIOLINK-ARIN-1)' $'Registrant:\tDP-41' $'\tName:\t\tRadio Link Internet' \
  $'\t\tE-mail:\t\tmailto:daniel.petsinger@radiolinkinternet.com' $'Notice:\t\tTerms of Service'

# whois.arin.net does not listen here: the address goes to RDAP, and ARIN's
# redirect to the RIPE NCC is followed.
run 86.54.11.1
check "RIPE network through ARIN's redirect" bash -c "grep -qF 'Cannot connect socket' '$work/out.lf' && grep -qxF 'rdap.db.ripe.net /ip/86.54.11.1' '$work/rdap.log' && [ $rc = 0 ]"
check "RIPE network shown" all $'Network:\t86.54.11.0 - 86.54.11.255 (CZ-WHALEBONEDNS-20050512)' $'Country:\tDE' \
  $'Abuse:\t\tAR62896-RIPE' $'\t\tmailto:abuse@whalebone.io' $'Redacted:\tPersonal e-mail information (removal: Personal data)' \
  $'Notice:\t\tSource'

# IPv6 addresses and AS numbers go to the registry the bootstrap names.
run 2a00:1450::1
check "IPv6 address from the RIPE NCC's RDAP" bash -c "grep -qxF 'rdap.db.ripe.net /ip/2a00:1450::1' '$work/rdap.log' && grep -qF 'Querying https://rdap.db.ripe.net/ip/2a00:1450::1...' '$work/out.lf' && [ $rc = 0 ]"
run AS16509
check "AS number from ARIN's RDAP" bash -c "grep -qxF 'rdap.arin.net /registry/autnum/16509' '$work/rdap.log' && [ $rc = 0 ]"
check "AS number shown" all $'AS number:\tAS16509 (AMAZON-02)' $'Registrant:\tAMAZON-4' $'\t\tE-mail:\t\tmailto:abuse@amazonaws.com' \
  $'Registered:\t2000-05-04 00:00:00 -04:00' $'Notice:\t\tCopyright Notice'

for case in "missing.com|RDAP error 404 from rdap.verisign.com: Not Found" \
            "html.com|RDAP answer from rdap.verisign.com (status 200) is not JSON" \
            "deep.com|RDAP answer from rdap.verisign.com is nested too deeply: refused" \
            "huge.com|RDAP answer from rdap.verisign.com is larger than 4 MiB: refused" \
            "tohttp.com|HTTPS request to rdap.verisign.com failed: a redirect "; do
  run --rdap "${case%%|*}"
  check "error line: ${case#*|}" has "${case#*|}"
done

run --rdap tofile.com
check "redirect to file: named" has 'HTTPS request to rdap.verisign.com failed: a redirect to "file:" was not followed'
run --rdap relative.com
check "a relative redirect: followed" asked "rdap.verisign.com /com/v1/domain/google.com"
run --rdap touser.com
check "a redirect with a user name and password: refused" \
  has "HTTPS request to rdap.verisign.com failed: a redirect to an address with a user name or password was not followed"
check "a redirect with a user name and password: not asked, the password never shown" \
  bash -c "! grep -qF secret '$work/out.lf' && ! grep -qF google.com '$work/rdap.log'"
run --rdap creds.com
check "a link with a user name and password: not followed, the password never shown" \
  bash -c "! grep -qF secret '$work/out.lf' && ! grep -qF CREDS.COM '$work/rdap.log' && grep -qF 'https://rdap.markmonitor.com/rdap/domain/CREDS.COM' '$work/out.lf'"

# The proxy settings apply: HTTP CONNECT (ncat) on both systems, SOCKS5
# (microsocks) through libcurl; WinHTTP cannot use SOCKS and says so.
proxies=()
if command -v ncat >/dev/null && command -v microsocks >/dev/null; then
  ncat -l -k 127.0.0.1 18080 --proxy-type http 2>/dev/null &
  proxies+=($!)
  microsocks -i 127.0.0.1 -p 18081 >/dev/null 2>&1 &
  proxies+=($!)
  for p in 18080 18081; do
    for i in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null && break; sleep 0.05; done
  done
  run --rdap --proxy http://127.0.0.1:18080 google.com
  check "through an HTTP CONNECT proxy" bash -c "[ $rc = 0 ] && grep -qF 'MarkMonitor Inc.' '$work/out.lf'"
  run --rdap --proxy socks5h://127.0.0.1:18081 google.com
  if [ $wine = 1 ]; then
    check "a SOCKS proxy is reported as unusable" has "RDAP cannot go through a SOCKS proxy"
  else
    check "through a SOCKS5 proxy" bash -c "[ $rc = 0 ] && grep -qF 'MarkMonitor Inc.' '$work/out.lf'"
  fi
  kill "${proxies[@]}" 2>/dev/null
fi

# A certificate that does not name the host is refused.
run --rdap example.badcert
check "certificates are checked: the name" bash -c "grep -qF 'HTTPS request to rdap.badcert.test failed' '$work/out.lf' && ! grep -qF 'Notice:' '$work/out.lf'"
if [ $wine = 0 ]; then
  # Without the test CA the service's certificate is not trusted. (Wine keeps
  # the roots it has seen in its prefix, so this runs natively only.)
  MERROWGATE_TEST_CA_FILE=/dev/null run --rdap google.com
  check "certificates are checked: the issuer" bash -c "grep -qF 'HTTPS request to rdap.verisign.com failed' '$work/out.lf' && ! grep -qF 'MarkMonitor' '$work/out.lf'"
fi

# A refresh that fails keeps the built-in copy and says nothing.
mkdir "$work/down"
: >"$work/iana-down"
rm -f "$work/rdap.log"
timeout 60 "${cli[@]}" --settings "$work/down/m.ini" --color=never --no-resolve --rdap google.com >"$work/out" 2>&1 </dev/null
tr -d '\r' <"$work/out" >"$work/out.lf"
check "failed refresh: silent, old copy in use" bash -c "[ ! -e '$work/down/merrowgate-rdap-dns.json' ] && grep -qF 'Domain:		GOOGLE.COM' '$work/out.lf' && ! grep -qF 'data.iana.org' '$work/out.lf'"
rm -f "$work/iana-down"

if [ $wine = 0 ]; then
  # Ctrl-C while a silent RDAP server is awaited.
  rm -f "$work/rdap.log"
  timeout --foreground 40 "${cli[@]}" --settings "$work/empty.ini" --no-resolve --color=never --rdap example.org >"$work/out" 2>&1 </dev/null &
  pid=$!
  for i in $(seq 200); do grep -q publicinterestregistry "$work/rdap.log" 2>/dev/null && break; sleep 0.05; done
  sleep 0.3
  start=$(date +%s%N)
  kill -INT $pid
  wait $pid
  elapsed=$((($(date +%s%N) - start) / 1000000))
  tr -d '\r' <"$work/out" >"$work/out.lf"
  echo "      (Ctrl-C ended the silent request after $elapsed ms)"
  check "Ctrl-C ends a silent RDAP request within about a second" bash -c "[ $elapsed -lt 2000 ] && grep -qxF '< Aborted by user >' '$work/out.lf'"
fi

finish
