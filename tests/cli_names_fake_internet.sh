#!/bin/bash
# merrowgate-cli in the fake internet: which server each kind of name or
# number reaches, and in which form. Natively and under Wine, as
# tests/cli_fake_internet.sh:
#   tests/cli_names_fake_internet.sh build/native/cli/merrowgate-cli
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
  exec timeout -k 5 180 "$here/scripts/fake-internet" "$0" "$@"
fi
cli=("$@")
command -v socat >/dev/null || { echo "socat is missing"; echo "0 passed, 1 failed"; exit 1; }
export LC_ALL=C.UTF-8

. "$here/tests/lib/end-to-end.sh"
serve 127.0.0.5 iana 'domain: example\n'
serve 127.0.12.1 nicio 'Domain Name: example.io\n'
serve 127.0.12.2 denic 'Domain: xn--bcher-kva.de\n'
serve 127.0.0.9 jprs 'Domain Name: xn--r8jz45g.jp\n'
serve 127.0.0.3 arin 'NetRange: 2001:db8:: - 2001:db8:ffff::\nReferralServer: whois://whois.ripe.net\n'
serve 127.0.0.6 ripe 'inet6num: 2001:db8::/32\n'
rm -f "$work"/*.log
: >"$work/empty.ini"

run() {  # run ARGS...: output to $work/out (LF line ends), exit code to $rc
  rm -f "$work"/*.log
  timeout 30 "${cli[@]}" --settings "$work/empty.ini" --color=never "$@" >"$work/raw" 2>&1 </dev/null
  rc=$?
  # UTF-8 on both systems (the Windows program's, redirected).
  tr -d '\r' <"$work/raw" >"$work/out"
}
has() { grep -qF -- "$1" "$work/out"; }
lacks() { ! grep -qF -- "$1" "$work/out"; }
logged() { [ "$(cat "$work/$1.log" 2>/dev/null)" = "$2" ]; }
fallback="Falling back to the default server."

run --no-resolve example.io
check ".io: its registry is asked straight away" bash -c "[ $rc = 0 ] && [ \"\$(cat '$work/nicio.log')\" = example.io ]"
check ".io: no fallback message" lacks "$fallback"

run --no-resolve example.bs
check ".bs (no port-43 server): the default server is asked" logged iana "example.bs"
check ".bs: one line says why, no fallback message" bash -c "grep -qF 'The registry of .bs runs no whois server on port 43' '$work/out' && ! grep -qF '$fallback' '$work/out'"

# Internationalised names: converted from the locale's encoding (UTF-8;
# under Wine the UTF-16 command line) before anything else.
run --no-resolve "bücher.de"
check "bücher.de: the .de registry asked for xn--bcher-kva.de" bash -c "[ $rc = 0 ] && [ \"\$(cat '$work/denic.log')\" = xn--bcher-kva.de ]"
check "bücher.de: one line shows both forms" has "IDN: bücher.de -> xn--bcher-kva.de"
check "bücher.de: the domain line shows the ASCII form" grep -qxF "Domain:	xn--bcher-kva.de" "$work/out"
run --no-resolve "b$(printf 'a%.0s' $(seq 70))ü.de"
check "a name without ASCII form: error, exit 1, nothing asked" bash -c "[ $rc = 1 ] && grep -qF 'has no ASCII form' '$work/out' && [ ! -e '$work/denic.log' ]"
run -h whois.denic.de "bücher.de"
check "-h with a name: sent in ASCII form too" logged denic "xn--bcher-kva.de"
run -h whois.denic.de -- "-T dn bücher.de"
check "-h with the server's flags: sent as typed" bash -c "LC_ALL=C grep -q '^-T dn b.*cher\.de\$' '$work/denic.log' && ! grep -qF xn-- '$work/denic.log'"
if [ "${cli[0]##*/}" = merrowgate-cli ]; then
  run --no-resolve "例え.jp"
  check "例え.jp: the .jp registry asked in ASCII form" logged jprs "xn--r8jz45g.jp/e"
fi

# Address forms: the address registry in its own request form, then the
# registry it refers to with the text as typed; no directory, no fallback.
for q in "2001:db8::1|n + 2001:db8::1" "AS3333|a + 3333" "as3333|a + 3333" "192.0.2.0/24|n + 192.0.2.0/24" \
         "2001:db8::/32|n + 2001:db8::/32"; do
  typed=${q%%|*}
  run "$typed"
  check "$typed: address registry asked for '${q#*|}'" bash -c "[ $rc = 0 ] && [ \"\$(cat '$work/arin.log')\" = '${q#*|}' ]"
  check "$typed: the referred registry asked for '$typed'" logged ripe "$typed"
  check "$typed: shown as IP, no domain step, no fallback" bash -c "grep -qxF 'IP:		$typed' '$work/out' && ! grep -qF -e '$fallback' -e 'Domain:' '$work/out' && [ ! -e '$work/iana.log' ]"
done

finish
