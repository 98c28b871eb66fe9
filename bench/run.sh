#!/bin/bash
# Benchmarks merrowgate-cli against Debian's whois client and socat, on fake
# whois servers in the tests' fake internet (scripts/fake-internet: the
# servers and example.com are 127.x addresses; nothing leaves the machine).
# Needs root, hyperfine, socat, whois and /usr/bin/time.
#
#   bench/run.sh [build dir]      (default build/native)
#
# Writes the tables between the result markers of bench/README.md and prints
# them. MERROWGATE_EXE names the Windows program to report on (default
# build/windows/ui/merrowgate.exe). BENCH_RUNS sets hyperfine's runs (default 20), BENCH_STREAM_MIB the
# size of the streamed reply (default 64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
runs=${BENCH_RUNS:-20}
mib=${BENCH_STREAM_MIB:-64}

. "$root/scripts/lib/fake-servers.sh"
build_cli "$build"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[Config]\nResolveDomain=1\nReverseIP=1\nGetAbuseInfo=1\n' >"$work/five.ini"
printf '[Config]\nResolveDomain=0\nReverseIP=0\nGetAbuseInfo=0\n' >"$work/one.ini"
line='Registrant Email: owner@example.com   Registrar URL: http://www.example.com/'

cat >"$work/inside.sh" <<'INSIDE'
set -euo pipefail
work=$1 cli=$2 runs=$3 mib=$4 line=$5
. "$6/scripts/lib/fake-servers.sh"
trap stop_fake_servers EXIT
fake_five_steps

peak() { /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1; cat "$work/rss"; }

five_cli="$cli --settings $work/five.ini --color=never example.com"
five_whois="sh -c 'whois example.com; whois 127.0.0.20; whois -h whois.abuse.net example.com'"
hyperfine -N --style none --warmup 3 --runs "$runs" --export-markdown "$work/five.md" \
  -n merrowgate-cli "$five_cli" -n whois "$five_whois" >/dev/null
{ echo "merrowgate-cli $(eval peak $five_cli)"; echo "whois $(peak sh -c "$five_whois")"; } >"$work/five.rss"

# One exchange: a 4 KB reply without a referral from the address given, no
# name resolved. socat alone is what the server and the connection take. The
# console records each lookup in the settings file's recent list: when the
# query is on top already the file stays as it is; "new list entry" puts
# another query on top before each run, so that every run writes the file,
# and "file just copied" copies the file as it is before each run, so that
# the two differ by the write alone (a copy just written costs the next run
# time of its own).
fake_whois_server 127.0.0.14 "yes \"$line\" | head -c 4096"
recent_ini() {
  printf '[Config]\r\nResolveDomain=0\r\nReverseIP=0\r\nGetAbuseInfo=0\r\n[Recent]\r\nREC0=%s\r\nREC1=\r\n' "$1"
}
recent_ini other.example >"$work/other-on-top.ini"
recent_ini example.com >"$work/single.ini"
cp "$work/single.ini" "$work/on-top.ini"
single_cli="$cli --settings $work/single.ini --color=never -h 127.0.0.14 example.com"
single_whois="whois -h 127.0.0.14 example.com"
single_socat="sh -c 'printf \"example.com\\r\\n\" | socat -t 60 - TCP:127.0.0.14:43'"
hyperfine -N --style none --warmup 5 --runs "$((runs * 5))" --export-markdown "$work/single.md" \
  --export-json "$work/single.json" --prepare true --prepare true --prepare true \
  --prepare "cp $work/other-on-top.ini $work/single.ini" --prepare "cp $work/on-top.ini $work/single.ini" \
  -n merrowgate-cli "$single_cli" -n whois "$single_whois" -n "sh + socat" "$single_socat" \
  -n "merrowgate-cli, new list entry" "$single_cli" -n "merrowgate-cli, file just copied" "$single_cli" >/dev/null
if command -v valgrind >/dev/null; then
  cp "$work/other-on-top.ini" "$work/single.ini"
  printf 'example.com\r\n' >"$work/request"
  ir1() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null </"$work/request" |
            sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -1; }
  { echo "merrowgate-cli,_new_list_entry $(ir1 $single_cli)"; echo "merrowgate-cli $(ir1 $single_cli)"
    echo "whois $(ir1 $single_whois)"; } >"$work/single.ir"
fi

# The same registry address now streams a long reply.
kill $fake_registry_pid
wait $fake_registry_pid 2>/dev/null || true
fake_whois_server 127.0.0.2 "yes \"$line\" | head -c ${mib}M"
stream_cli="$cli --settings $work/one.ini --color=never example.com"
stream_whois="whois -h whois.verisign-grs.com example.com"
stream_socat="sh -c 'printf \"example.com\\r\\n\" | socat -t 60 - TCP:127.0.0.2:43'"
stream_quiet="$cli --settings $work/one.ini -q example.com"
hyperfine -N --style none --warmup 2 --runs "$runs" --export-markdown "$work/stream.md" \
  --export-json "$work/stream.json" -n merrowgate-cli "$stream_cli" -n "merrowgate-cli -q" "$stream_quiet" \
  -n whois "$stream_whois" -n socat "$stream_socat" >/dev/null
bytes=$(eval "$stream_cli" | wc -c)
{ echo "merrowgate-cli $(eval peak $stream_cli)"; echo "whois $(eval peak $stream_whois)";
  echo "socat $(peak sh -c "printf 'example.com\r\n' | socat -t 60 - TCP:127.0.0.2:43")"; } >"$work/stream.rss"
echo "$bytes" >"$work/stream.bytes"

# Instructions (callgrind) for an 8 MiB reply: a measure that other work on
# the machine does not disturb.
if command -v valgrind >/dev/null; then
  fake_whois_server 127.0.0.12 "yes \"$line\" | head -c 8M"
  printf 'example.com\r\n' >"$work/request"
  ir() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null </"$work/request" |
           sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -1; }
  { echo "merrowgate-cli $(ir $cli --settings $work/one.ini --color=never -h 127.0.0.12 example.com)"
    echo "merrowgate-cli-q $(ir $cli --settings $work/one.ini -q -h 127.0.0.12 example.com)"
    echo "whois $(ir whois -h 127.0.0.12 example.com)"
    echo "socat $(ir socat -t 60 - TCP:127.0.0.12:43)"; } >"$work/stream.ir"
fi
INSIDE
"$root/scripts/fake-internet" bash "$work/inside.sh" "$work" "$cli" "$runs" "$mib" "$line" "$root"

exe=${MERROWGATE_EXE:-$root/build/windows/ui/merrowgate.exe}
{
  echo "Run: \`BENCH_RUNS=$runs BENCH_STREAM_MIB=$mib${MERROWGATE_EXE:+ MERROWGATE_EXE=${MERROWGATE_EXE#$root/}} bench/run.sh ${build#$root/}\`"
  echo "($(date -u +%Y-%m-%d), $(nproc) cores shared with other work, Linux $(uname -r), merrowgate-cli built RelWithDebInfo)."
  echo
  echo "### Five-step lookup (registry, registrar, address registry, its referral, abuse contact)"
  echo
  echo "whois: \`whois example.com; whois 127.0.0.20; whois -h whois.abuse.net example.com\` (the same five exchanges)."
  echo
  cat "$work/five.md"
  echo
  echo "### One exchange (a 4 KB reply, no referral, no name resolved)"
  echo
  echo "\`merrowgate-cli -h 127.0.0.14 example.com\` against \`whois -h 127.0.0.14 example.com\` and socat alone"
  echo "(started by sh), the same server (socat starting a shell per connection). \"new list entry\": another query"
  echo "is put on top of the recent list before each run, so that each run writes the settings file; \"file just"
  echo "copied\": the file is copied unchanged before each run, which is what the write adds to."
  echo
  cat "$work/single.md"
  echo
  python3 - "$work/single.json" <<'RATIOS'
import json, sys
mean = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
for name in ("merrowgate-cli", "merrowgate-cli, new list entry", "merrowgate-cli, file just copied"):
    print(f"{name}: {mean[name] / mean['whois']:.2f}x whois.  ", end="")
print()
RATIOS
  if [ -s "$work/single.ir" ]; then
    echo
    echo "Instructions (callgrind, user space):"
    while read -r who n; do echo -n "${who//_/ } $n; "; done <"$work/single.ir"
    echo
  fi
  echo
  echo "### ${mib} MiB reply to /dev/null"
  echo
  echo "merrowgate-cli wrote $(cat "$work/stream.bytes") bytes (the reply, \"mailto:\" before each e-mail word, the banners)."
  echo
  cat "$work/stream.md"
  echo
  # Mean times against socat (the limit) and Debian's whois, from the same run.
  python3 - "$work/stream.json" <<'RATIOS'
import json, sys
mean = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
for name in ("merrowgate-cli", "merrowgate-cli -q"):
    print(f"{name}: {mean[name] / mean['socat']:.2f}x socat, {mean[name] / mean['whois']:.2f}x whois.  ", end="")
print()
RATIOS
  echo
  if [ -s "$work/stream.ir" ]; then
    echo "### Instructions for an 8 MiB reply (callgrind, user space)"
    echo
    echo "| command | instructions | per byte |"
    echo "|:---|---:|---:|"
    while read -r who n; do
      echo "| ${who/-q/ -q} | $n | $(awk -v n="$n" 'BEGIN {printf "%.1f", n / 8388608}') |"
    done <"$work/stream.ir"
    echo
  fi
  echo "### Peak resident set (KiB, /usr/bin/time %M)"
  echo
  echo "| command | five-step lookup | ${mib} MiB reply |"
  echo "|:---|---:|---:|"
  for who in merrowgate-cli whois socat; do
    f=$(awk -v w=$who '$1==w {print $2}' "$work/five.rss"); s=$(awk -v w=$who '$1==w {print $2}' "$work/stream.rss")
    echo "| $who | ${f:--} | ${s:--} |"
  done
  echo
  echo "### merrowgate.exe"
  echo
  if [ -f "$exe" ]; then
    stripped=-
    if command -v i686-w64-mingw32-strip >/dev/null; then
      i686-w64-mingw32-strip -o "$work/stripped.exe" "$exe" && stripped=$(stat -c %s "$work/stripped.exe")
    fi
    echo "\`${exe#$root/}\`: $(stat -c %s "$exe") bytes ($stripped stripped)."
    echo "Imports: $(objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | sort -f | tr '\n' ' ')"
  else
    echo "Not built (build/windows/ui/merrowgate.exe is missing)."
  fi
} >"$work/results.md"
cat "$work/results.md"

readme=$root/bench/README.md
if grep -q '^<!-- results -->$' "$readme" 2>/dev/null; then
  awk -v f="$work/results.md" '
    /^<!-- results -->$/ {print; while ((getline l < f) > 0) print l; skip=1; next}
    /^<!-- \/results -->$/ {skip=0}
    !skip {print}' "$readme" >"$work/readme" && cp "$work/readme" "$readme"
fi
