#!/bin/bash
# What merrowgate-cli writes of a reply in several scripts, from a whois
# server on loopback: to a pipe, to a terminal (a pseudo-terminal from
# script(1); under Wine that is a console, written in UTF-16), and in the
# locale's character set.
#   tests/cli_console_text.sh build/native/cli/merrowgate-cli
#   tests/cli_console_text.sh scripts/wine-run PREFIX build/windows/cli/merrowgate-cli.exe
set -u
cli=("$@")
. "$(dirname "$0")/lib/end-to-end.sh"
has() { grep -qF -- "$1" "$work/out"; }  # one line of text

reply=$'Ja: 例え Łódź са Ελλάδα مرحبا 😀 \e[2J\xc2\x9b\r\n'
printf '%s' "$reply" >"$work/reply"
# Answers every connection with the reply, for 60 s at most.
python3 - "$work/reply" "$work/port" <<'SERVER' &
import socket, sys, time
reply = open(sys.argv[1], "rb").read()
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
open(sys.argv[2], "w").write(str(s.getsockname()[1]))
s.settimeout(60)
end = time.time() + 60
while time.time() < end:
    try:
        c, _ = s.accept()
    except socket.timeout:
        break
    c.settimeout(5)
    try:
        c.recv(1024)
        c.sendall(reply)
    except OSError:
        pass
    c.close()
SERVER
servers+=($!)
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
printf '[Config]\nResolveDomain=0\nReverseIP=0\nGetAbuseInfo=0\n' >"$work/m.ini"
settings=$work/m.ini
[ "${cli[0]##*/}" = wine-run ] && settings=$(winepath -w "$work/m.ini" 2>/dev/null || echo "Z:${work//\//\\}\\m.ini")
args=(--settings "$settings" --color=never -h 127.0.0.1 -p "$port")
run() { LC_ALL=$1 timeout 60 "${cli[@]}" "${args[@]}" "${@:2}" >"$work/out" 2>&1 </dev/null; }
on_terminal() {
  local quoted
  printf -v quoted '%q ' "${cli[@]}" "${args[@]}" "${@:2}"
  LC_ALL=$1 timeout 60 script -qec "$quoted" /dev/null >"$work/out" 2>&1 </dev/null
}

run C.UTF-8 例え.jp
check "pipe: every script whole, controls as ?" has $'Ja: 例え Łódź са Ελλάδα مرحبا 😀 ?[2J?\r'
check "pipe: the argument read whole" has "IDN: 例え.jp -> xn--r8jz45g.jp"
run C.UTF-8 -q example.com
check "quiet to a pipe: the reply's bytes" cmp -s "$work/reply" "$work/out"
on_terminal C.UTF-8 example.com
# Wine's console draws a character beyond U+FFFF as two U+FFFD; the rest is
# the same.
check "terminal: every script whole" has "Ja: 例え Łódź са Ελλάδα مرحبا"
check "terminal: controls as ?" has "?[2J?"
if [ "${cli[0]##*/}" != wine-run ]; then
  on_terminal C.UTF-8 -q example.com
  check "quiet to a terminal: every script whole, controls as ?" has $'Ja: 例え Łódź са Ελλάδα مرحبا 😀 ?[2J?'
  run C example.com
  check "C locale: ? for each character beyond ASCII" has $'Ja: ?? ??d? ?? ?????? ????? ? ?[2J?\r'
  run C -q example.com
  check "C locale, quiet to a pipe: the reply's bytes" cmp -s "$work/reply" "$work/out"
fi

finish
