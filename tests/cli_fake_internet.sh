#!/bin/bash
# merrowgate-cli end to end in the fake internet: fake whois servers (socat)
# on port 43 of the directory's names, and the CLI's output, requests and exit
# codes. The command to run the CLI is given as arguments, so the same cases
# run natively and under Wine:
#   tests/cli_fake_internet.sh build/native/cli/merrowgate-cli
#   tests/cli_fake_internet.sh scripts/wine-run PREFIX build/windows/cli/merrowgate-cli.exe
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
  exec timeout -k 5 240 "$here/scripts/fake-internet" "$0" "$@"
fi
cli=("$@")
command -v socat >/dev/null || { echo "socat is missing"; echo "0 passed, 1 failed"; exit 1; }

. "$here/tests/lib/end-to-end.sh"
serve 127.0.0.2 verisign 'Domain Name: EXAMPLE.COM\r\n   Registrar WHOIS Server: whois.registrar.test\r\n'
serve 127.0.0.7 registrar 'Registrant Email: owner@example.com\r\n'
serve 127.0.0.3 arin 'NetRange: 127.0.0.0 - 127.255.255.255\nReferralServer: whois://whois.ripe.net\n'
serve 127.0.0.6 ripe 'inetnum: 127.0.0.0 - 127.255.255.255\n'
serve 127.0.0.4 abuse 'abuse contact: abuse@example.com\n'
# A server on its own port that refers to RIPE, and one that sends a line,
# then another three seconds later.
serve 127.0.0.10 odd 'odd port\r\nReferralServer: whois://whois.ripe.net\r\n' 4343
cat >"$work/slow.sh" <<SH
#!/bin/sh
IFS= read -r line || exit 0
printf 'first line\\n'
sleep 3
printf 'second line\\n'
SH
chmod +x "$work/slow.sh"
socat TCP-LISTEN:43,bind=127.0.0.11,reuseaddr,fork "SYSTEM:$work/slow.sh" 2>/dev/null &
servers+=($!)
# The .org server takes the request and stays silent.
cat >"$work/silent.sh" <<SH
#!/bin/sh
IFS= read -r line || exit 0
echo asked >>"$work/silent.log"
sleep 20
SH
chmod +x "$work/silent.sh"
socat TCP-LISTEN:43,bind=127.0.0.8,reuseaddr,fork "SYSTEM:$work/silent.sh" 2>/dev/null &
servers+=($!)
for a in 2 7 3 6 4 8 10:4343 11; do
  a=${a/:/\/}
  case $a in */*) ;; *) a=$a/43 ;; esac
  for i in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.$a) 2>/dev/null && break; sleep 0.05; done
done
: >"$work/empty.ini"
rm -f "$work"/*.log

run() {  # run ARGS...: output to $work/out, exit code to $rc
  timeout 30 "${cli[@]}" --settings "$work/empty.ini" --color=never "$@" >"$work/out" 2>&1 </dev/null
  rc=$?
  tr -d '\r' <"$work/out" >"$work/out.lf"
}
has() { grep -qF -- "$1" "$work/out.lf"; }
# runq ARGS...: stdout to $work/out, stderr to $work/err, exit code to $rc.
runq() {
  timeout 30 "${cli[@]}" --settings "$work/empty.ini" "$@" >"$work/out" 2>"$work/err" </dev/null
  rc=$?
}
logged() { [ "$(cat "$work/$1.log" 2>/dev/null)" = "$2" ]; }

run --abuse www.example.com
check "five steps: exit 0" test $rc = 0
check "five steps: registry asked for domain = example.com" logged verisign "domain = example.com"
check "five steps: registrar asked" logged registrar "example.com"
check "five steps: address registry asked for the address" logged arin "127.0.0.20"
check "five steps: referred address registry asked" logged ripe "127.0.0.20"
check "five steps: abuse contact asked" logged abuse "example.com"
check "five steps: replies shown in order" bash -c "grep -n -e 'Domain Name: EXAMPLE.COM' -e 'mailto:owner@example.com' -e 'NetRange' -e 'inetnum' -e 'abuse contact' '$work/out.lf' | cut -d: -f1 | sort -n -c"
check "five steps: banners" has "Querying whois.registrar.test:43..."
rm -f "$work"/*.log

printf '[Config]\r\nResolveDomain=0\r\nGetAbuseInfo=1\r\n' >"$work/custom.ini"
timeout 30 "${cli[@]}" --settings "$work/custom.ini" --color=never example.com >"$work/out" 2>&1 </dev/null
rc=$?
tr -d '\r' <"$work/out" >"$work/out.lf"
check "settings file: ResolveDomain=0 leaves the address steps out" bash -c "[ $rc = 0 ] && [ ! -e '$work/arin.log' ] && grep -qF 'Hostname:	example.com' '$work/out.lf'"
check "settings file: GetAbuseInfo=1 asks after the referral" logged abuse "example.com"
check "settings file: only the recent list is written" bash -c "[ \"\$(cat '$work/custom.ini')\" = \"\$(printf '[Config]\r\nResolveDomain=0\r\nGetAbuseInfo=1\r\n[Recent]\r\nREC0=example.com\r\nREC1=\r\n')\" ]"
rm -f "$work"/*.log

run --no-resolve no-server.example
check "unknown domain: falls back to the default server" has "Falling back to the default server."
check "unknown domain: nothing listens there, exit 1" bash -c "[ $rc = 1 ] && grep -qF 'Cannot connect socket' '$work/out.lf'"

run 0
check "packed zero: message and exit 1" bash -c "[ $rc = 1 ] && grep -qxF 'Invalid Packed IP address.' '$work/out.lf'"
run 4294967296
check "packed number above 32 bits is rejected" bash -c "[ $rc = 1 ] && grep -qxF 'Invalid Packed IP address.' '$work/out.lf'"
run --no-reverse 2130706452
check "packed address: dotted form asked at the registries" bash -c "[ $rc = 0 ] && grep -qF 'Packed IP: 127.0.0.20' '$work/out.lf' && grep -qxF 127.0.0.20 '$work/arin.log'"
rm -f "$work"/*.log

run --frobnicate example.com
check "bad option: exit 2" test $rc = 2
run --proxy gopher://x example.com
check "bad proxy URL: exit 2" test $rc = 2
run --proxy http://127.0.0.1:1 --no-resolve example.com
check "refused proxy: message, exit 1" bash -c "[ $rc = 1 ] && grep -qF 'Cannot connect to proxy 127.0.0.1:1' '$work/out.lf'"

if [ "${cli[0]##*/}" = merrowgate-cli ]; then
  # Ctrl-C while the silent .org server is awaited: the lookup ends quietly.
  # --foreground: timeout passes the signal on to the program once, not also
  # to its process group, which would make it a second Ctrl-C.
  timeout --foreground 30 "${cli[@]}" --settings "$work/empty.ini" --no-resolve --color=never example.org >"$work/out" 2>&1 </dev/null &
  pid=$!
  for i in $(seq 200); do [ -s "$work/silent.log" ] && break; sleep 0.05; done
  sleep 0.2
  start=$(date +%s%N)
  kill -INT $pid
  wait $pid
  rc=$?
  elapsed=$((($(date +%s%N) - start) / 1000000))
  tr -d '\r' <"$work/out" >"$work/out.lf"
  check "Ctrl-C: aborted within about a second" bash -c "[ $elapsed -lt 2500 ] && grep -qxF '< Aborted by user >' '$work/out.lf'"
  check "Ctrl-C: exit 130" test $rc = 130

  # Colour by default on a terminal only, and not with NO_COLOR or TERM=dumb.
  if command -v script >/dev/null; then
    tty() {  # tty ENV... -- ARGS: the CLI on a terminal, its output to $work/out
      local envs=()
      while [ "$1" != -- ]; do envs+=("$1"); shift; done
      shift
      env "${envs[@]}" script -qec "$(printf '%q ' "${cli[@]}" --settings "$work/empty.ini" --no-resolve "$@")" /dev/null >"$work/out" 2>&1 </dev/null
    }
    escapes() { grep -q $'\x1b\\[' "$work/out"; }
    tty TERM=xterm -- example.com
    check "terminal: coloured" escapes
    tty TERM=xterm NO_COLOR=1 -- example.com
    check "terminal with NO_COLOR: no colour" bash -c "! grep -q \$'\\x1b' '$work/out' && grep -qF 'Domain Name: EXAMPLE.COM' '$work/out'"
    tty TERM=dumb -- example.com
    check "terminal with TERM=dumb: no colour" bash -c "! grep -q \$'\\x1b' '$work/out'"
    tty TERM=dumb NO_COLOR=1 -- --color=always example.com
    check "--color=always wins over NO_COLOR" escapes
  fi
fi
rm -f "$work"/*.log

# -h and -p: the server named is asked about the query as typed, and its
# referral is followed; no directory, no address registry.
for form in "-h 127.0.0.10:4343" "-h127.0.0.10 -p4343" "--host=127.0.0.10 --port 4343" "-p 4343 --host 127.0.0.10"; do
  run --abuse $form 127.0.0.20
  check "$form: that server, then its referral" bash -c "[ $rc = 0 ] && [ \"\$(cat '$work/odd.log')\" = 127.0.0.20 ] && [ \"\$(cat '$work/ripe.log')\" = 127.0.0.20 ] && [ ! -e '$work/arin.log' ] && [ ! -e '$work/abuse.log' ]"
  rm -f "$work"/*.log
done
run --no-referral -h 127.0.0.10:4343 $'a.example\r\nb.example'
check "-h: a query is sent as one line" bash -c "[ $rc = 0 ] && [ \"\$(cat '$work/odd.log')\" = 'a.example  b.example' ]"
rm -f "$work"/*.log
run --no-referral -h 127.0.0.10:4343 example.com
check "--no-referral with -h: that server only" bash -c "[ $rc = 0 ] && [ -e '$work/odd.log' ] && [ ! -e '$work/ripe.log' ]"
rm -f "$work"/*.log
run --no-referral --abuse www.example.com
check "--no-referral: the first server only" bash -c "[ $rc = 0 ] && [ -e '$work/verisign.log' ] && [ \$(ls '$work'/*.log | wc -l) = 1 ]"
rm -f "$work"/*.log
for bad in "-h" "-p 43 example.com" "-h a:0 example.com" "-h 'a b' example.com" "--color" "--color example.com" "--timeout -1 example.com" "--settings" "http://" "-x example.com"; do
  eval "runq $bad"
  check "bad input '$bad': exit 2 and a message" bash -c "[ $rc = 2 ] && [ ! -s '$work/out' ] && grep -q '^merrowgate-cli: ' '$work/err'"
done

# Quiet: the five replies byte for byte, nothing else; errors on stderr.
runq -q --abuse www.example.com
cat "$work"/{verisign,registrar,arin,ripe,abuse}.reply >"$work/expected"
check "quiet: stdout is the replies byte for byte" bash -c "[ $rc = 0 ] && cmp '$work/expected' '$work/out' && [ ! -s '$work/err' ]"
rm -f "$work"/*.log
runq --quiet --no-resolve no-server.example
check "quiet: errors on stderr only" bash -c "[ $rc = 1 ] && [ ! -s '$work/out' ] && grep -qF 'Cannot connect socket' '$work/err'"

runq -q --verbose --no-resolve example.com
check "--verbose after -q: the pane's text again" bash -c "[ $rc = 0 ] && grep -qF 'Querying whois.verisign-grs.com:43...' '$work/out'"

# The idle limit ends the wait for a server that takes the request and stays
# silent (20 s), naming the server.
start=$(date +%s%N)
run --timeout 1 --no-resolve example.org
elapsed=$((($(date +%s%N) - start) / 1000000))
check "--timeout 1: a silent server is given up after a second" bash -c "[ $elapsed -lt 10000 ] && grep -qF '>>Error: no data from whois.pir.org' '$work/out.lf'"

# Line ends: a reply's CR LF stays, never CR CR LF; the Windows program writes
# every line end as CR LF.
runq --no-resolve example.com
if [ "${cli[0]##*/}" = merrowgate-cli ]; then
  check "line ends: CR LF and LF kept as they are" bash -c "grep -qF \$'EXAMPLE.COM\\r' '$work/out' && grep -qx 'Querying whois.verisign-grs.com:43...' '$work/out'"
else
  check "line ends: every LF after a CR, no CR CR LF" bash -c "[ -s '$work/out' ] && ! grep -q \$'\\r\\r' '$work/out' && [ \$(grep -c \$'\\r\$' '$work/out') = \$(wc -l <'$work/out') ]"
fi

# Streaming: the first line is on the pipe before the server has sent the
# second (three seconds later).
timeout 30 "${cli[@]}" --settings "$work/empty.ini" -h 127.0.0.11 x 2>/dev/null </dev/null |
  while IFS= read -r line; do echo "$(date +%s%N) $line"; done >"$work/stream"
first=$(awk '/first line/ {print $1}' "$work/stream")
second=$(awk '/second line/ {print $1}' "$work/stream")
check "streaming: the first line arrives before the server closes" bash -c "[ -n '$first' ] && [ -n '$second' ] && [ \$(( ($second - $first) / 1000000 )) -ge 2000 ]"

# Write errors: a full disk is an error, with a message.
timeout 30 "${cli[@]}" --settings "$work/empty.ini" --no-resolve example.com >/dev/full 2>"$work/err" </dev/null
rc=$?
check "stdout on /dev/full: exit 1 and a message" bash -c "[ $rc = 1 ] && grep -qF 'merrowgate-cli: cannot write the output' '$work/err'"

finish
