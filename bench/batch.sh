#!/bin/bash
# Batch lookups: merrowgate-cli -j against Debian's whois client run by xargs
# -P, both asking the fake registry farm (tests/support/whois_farm.py) in the
# tests' fake internet: ten registries answering after 20 ms, six registrars,
# the last of which answers two queries a second and a rate-limit notice above
# that. Needs root (or user namespaces), python3, whois and /usr/bin/time.
#
#   bench/batch.sh [build dir]      (default build/native)
#
# BENCH_DOMAINS   domains of the timed list (default 1000)
# BENCH_BIG       domains of the list for merrowgate-cli's peak resident set,
#                 asked with --no-referral (default 10000; 0 leaves it out)
# BENCH_RUNS      runs of each command, taken in turns (default 2)
# BENCH_JOBS      lookups at once, -j and -P (default 16)
# BENCH_LIMITED   one domain in this many is the rate-limited registrar's, all
#                 in a row in the middle of the list (default 50)
# BENCH_DELAY     the servers' reply delay in ms (default 20)
# BENCH_TIMEOUT   seconds a run may take before it is stopped (default 120)
# MERROWGATE_CLI  the merrowgate-cli to measure (default: built in the build
#                 dir)
#
# Prints a markdown section and writes it between the batch markers of
# bench/README.md. A merrowgate-cli without -j (no batch options) is reported
# and the script ends with status 1 after the whois side has run, leaving the
# README as it is (BENCH_PARTIAL=1 writes it all the same).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
domains=${BENCH_DOMAINS:-1000}
big=${BENCH_BIG:-10000}
runs=${BENCH_RUNS:-2}
jobs=${BENCH_JOBS:-16}
limited_every=${BENCH_LIMITED:-50}
delay=${BENCH_DELAY:-20}
limit=${BENCH_TIMEOUT:-120}
for tool in python3 whois /usr/bin/time; do
  command -v $tool >/dev/null || { echo "bench/batch.sh: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
done

. "$root/scripts/lib/fake-servers.sh"
if [ -n "${MERROWGATE_CLI:-}" ]; then cli=$MERROWGATE_CLI; else build_cli "$build"; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[Config]\nResolveDomain=0\nReverseIP=0\nGetAbuseInfo=0\n' >"$work/one.ini"
# The farm's registries answer whois only: --json asks no RDAP service.
. "$root/bench/lib.sh"
bench_bootstrap_without_services "$work"
batch=1
if ! "$cli" --help 2>&1 | grep -q -E '(^|[ ,])-j[ ,]'; then
  echo "bench/batch.sh: $cli has no -j option (a build without the batch options): only the whois side runs" >&2
  batch=0
fi

load=$(cut -d ' ' -f 1-3 /proc/loadavg)
cat >"$work/inside.sh" <<'INSIDE'
set -euo pipefail
work=$1 cli=$2 root=$3 domains=$4 big=$5 runs=$6 jobs=$7 limited_every=$8 delay=$9 limit=${10} batch=${11}
limited=whois.fathom-names.test

# The lists: the ten TLDs in turn, registrars 1 to 5 in turn, one domain in
# ten with an expiry date 0 to 89 days ahead; one domain in $limited_every is
# the rate-limited registrar's (registrar 6), all of them in a row in the
# middle of the list, as a registrar's portfolio would come.
make_list() {  # COUNT WITH_LIMITED
  python3 - "$1" "$2" "$limited_every" <<'LIST'
import sys
count, with_limited, every = int(sys.argv[1]), sys.argv[2] == "1", int(sys.argv[3])
first, limited = count // 2, count // every if with_limited else 0
tlds = "biz xyz me online site shop club top tech store".split()
for i in range(count):
    r = 6 if first <= i < first + limited else 1 + i % 5
    exp = "exp%d-" % (i * 7 % 90) if i % 10 == 3 else ""
    print("r%d-%sbatch%d.%s" % (r, exp, i, tlds[i % 10]))
LIST
}
make_list "$domains" 1 >"$work/list"
[ "$big" = 0 ] || make_list "$big" 0 >"$work/list-big"

python3 "$root/tests/support/whois_farm.py" --registries 10 --registrars 6 --delay "$delay" \
  --rate-limit "$limited=2" --stats "$work/stats.json" 2>"$work/farm.log" &
farm=$!
trap 'kill $farm 2>/dev/null; wait $farm 2>/dev/null || true; [ ! -s "$work/farm.log" ] || cat "$work/farm.log" >&2' EXIT
for _ in $(seq 100); do [ -e "$work/stats.json" ] && break; sleep 0.05; done
[ -e "$work/stats.json" ] || { cat "$work/farm.log" >&2; exit 1; }

# Registry, then the registrar it names: the two exchanges merrowgate makes
# (Debian's whois follows this referral for Verisign's registries only).
cat >"$work/whois2" <<'TWO'
#!/bin/sh
out=$(whois "$1")
printf '%s\n' "$out"
server=$(printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^Registrar WHOIS Server: *//p' | head -n 1)
[ -z "$server" ] || whois -h "$server" "$1"
TWO
chmod 755 "$work/whois2"

stat_total() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["total"]["queries"])' "$work/stats.json"; }
farm_reset() {
  kill -USR1 $farm
  local _
  for _ in $(seq 100); do [ "$(stat_total)" = 0 ] && return 0; sleep 0.02; done
  echo "the farm did not reset its counters" >&2
  return 1
}

# run NAME LIST COMMAND...: one timed run; its output, time, resident set,
# exit status and the farm's counters go to $work/NAME.*.
run() {
  local name=$1 list=$2 n rc=0
  shift 2
  n=$(($(ls "$work" | grep -c "^$name\.time\." || true) + 1))
  farm_reset
  # time(1) writes a line before its own when the status is not 0.
  /usr/bin/time -f '%e %M' -o "$work/$name.time" timeout -k 5 "$limit" "$@" <"$list" \
    >"$work/$name.out.$n" 2>"$work/$name.err.$n" || rc=$?
  tail -n 1 "$work/$name.time" >"$work/$name.time.$n"
  echo "$rc" >"$work/$name.rc.$n"
  cp "$work/stats.json" "$work/$name.stats.$n"
}

names=()
[ "$batch" = 1 ] && names+=(mg mg1)
names+=(wh wh2)
for r in $(seq "$runs"); do
  for name in "${names[@]}"; do
    case $name in
      mg) run mg "$work/list" "$cli" --settings "$work/one.ini" -j "$jobs" --json -f - ;;
      mg1) run mg1 "$work/list" "$cli" --settings "$work/one.ini" --no-referral -j "$jobs" --json -f - ;;
      wh) run wh "$work/list" xargs -P "$jobs" -n 1 whois ;;
      wh2) run wh2 "$work/list" xargs -P "$jobs" -n 1 "$work/whois2" ;;
    esac
  done
done
if [ "$batch" = 1 ] && [ "$big" != 0 ]; then
  run big "$work/list-big" "$cli" --settings "$work/one.ini" --no-referral -j "$jobs" --json -f -
fi
INSIDE
"$root/scripts/fake-internet" timeout -k 5 900 bash "$work/inside.sh" "$work" "$cli" "$root" "$domains" "$big" \
  "$runs" "$jobs" "$limited_every" "$delay" "$limit" "$batch"

# The tables, from the runs' files.
python3 - "$work" "$domains" "$big" "$runs" "$jobs" "$limited_every" "$delay" "$batch" "${MERROWGATE_CLI:+MERROWGATE_CLI=$MERROWGATE_CLI }bench/batch.sh ${build#$root/}" \
  "$(date -u +%Y-%m-%d)" "$(nproc)" "$(uname -r)" "$load" >"$work/batch.md" <<'TABLES'
import glob, json, re, statistics, sys
work, domains, big, runs, jobs, every, delay, batch, build, day, cores, kernel, load = sys.argv[1:14]
domains, big, every = int(domains), int(big), int(every)
notice = re.compile(r"rate limit|query limit exceeded|too many queries|try again later", re.I)

def complete_json(path):
    full = errors = 0
    for line in open(path, errors="replace"):
        try:
            o = json.loads(line)
        except ValueError:
            continue
        if isinstance(o, dict):
            full += o.get("expires") not in (None, "")
            errors += bool(o.get("errors"))
    return full, errors

def complete_text(path):
    # Each domain's output holds one registry record; a notice in it (from
    # the registrar) leaves that domain's record incomplete.
    text = open(path, errors="replace").read().splitlines()
    return sum(l.startswith("Registry Expiry Date:") for l in text) - sum(bool(notice.search(l)) for l in text), 0

def runs_of(name):
    out = []
    for t in sorted(glob.glob("%s/%s.time.*" % (work, name)), key=lambda p: int(p.rsplit(".", 1)[1])):
        n = t.rsplit(".", 1)[1]
        secs, rss = open(t).read().split()
        stats = json.load(open("%s/%s.stats.%s" % (work, name, n)))["servers"]
        path = "%s/%s.out.%s" % (work, name, n)
        full, errors = (complete_json if name in ("mg", "mg1", "big") else complete_text)(path)
        out.append(dict(secs=float(secs), rss=None if rss == "-" else int(rss), rc=int(open("%s/%s.rc.%s" % (work, name, n)).read()),
                        full=full, errors=errors, notices=sum(s["notices"] for s in stats.values()),
                        queries=sum(s["queries"] for s in stats.values()),
                        peak=max(s["peak_connections"] for s in stats.values())))
    return out

def span(values, fmt="%d"):
    lo, hi = min(values), max(values)
    return fmt % lo if lo == hi else (fmt + "–" + fmt) % (lo, hi)

rows = [("mg", "`merrowgate-cli -j %s --json -f list`" % jobs, 2),
        ("mg1", "`merrowgate-cli --no-referral -j %s --json -f list`" % jobs, 1),
        ("wh", "`xargs -P %s -n 1 whois < list`" % jobs, 1),
        ("wh2", "`xargs -P %s -n 1 whois2 < list` (registry, then registrar)" % jobs, 2)]
limited = domains // every
print("Run: `BENCH_DOMAINS=%d BENCH_BIG=%d BENCH_RUNS=%s BENCH_JOBS=%s %s`" % (domains, big, runs, jobs, build))
print("(%s, %s cores shared with other work, load average %s at the start, Linux %s)." % (day, cores, load, kernel))
print("The farm: 10 registries, 6 registrars, %s ms a reply;" % delay)
print("whois.fathom-names.test answers 2 queries a second (%d of the %d domains, in a row)." % (limited, domains))
print()
print("| command | exchanges a domain | mean [s] | min [s] | max [s] | peak RSS [KiB] | complete records | "
      "with errors | queries | notices | most connections to one server | exit status |")
print("|:---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
for name, label, steps in rows:
    r = runs_of(name)
    if not r:
        print("| %s | %d | not run: merrowgate-cli has no -j | | | | | | | | | |" % (label, steps))
        continue
    secs = [x["secs"] for x in r]
    rss = [x["rss"] for x in r if x["rss"] is not None]
    print("| %s | %d | %.2f | %.2f | %.2f | %s | %s / %d | %s | %s | %s | %s | %s |" % (
        label, steps, statistics.mean(secs), min(secs), max(secs), max(rss) if rss else "-",
        span([x["full"] for x in r]), domains, span([x["errors"] for x in r]) if name.startswith("mg") else "-",
        span([x["queries"] for x in r]), span([x["notices"] for x in r]), span([x["peak"] for x in r]),
        span([x["rc"] for x in r])))
print()
print("Complete records: merrowgate-cli's JSON lines with `expires`; whois outputs with a "
      "\"Registry Expiry Date\" and no rate-limit notice. Queries, notices and connections: the farm's counters "
      "for one run (ranges over the %s runs)." % runs)
print()
print("### Peak resident set of merrowgate-cli (KiB, /usr/bin/time %M)")
print()
print("| domains | referral | peak RSS [KiB] | mean time [s] | complete records | exit status |")
print("|---:|:---|---:|---:|---:|---:|")
for name, count, referral in (("mg", domains, "followed"), ("mg1", domains, "`--no-referral`"),
                              ("big", big, "`--no-referral`")):
    r = runs_of(name)
    if not r:
        print("| %d | %s | not run | | | |" % (count, referral))
        continue
    rss = [x["rss"] for x in r if x["rss"] is not None]
    print("| %d | %s | %s | %.2f | %s / %d | %s |" % (count, referral, max(rss) if rss else "-",
                                                    statistics.mean(x["secs"] for x in r),
                                                    span([x["full"] for x in r]), count, span([x["rc"] for x in r])))
if big:
    print()
    print("The %d-domain list leaves the rate-limited registrar out and the registrars unasked (one exchange a "
          "domain, as the %d-domain `--no-referral` row): it measures the memory of a long batch, not the wait."
          % (big, domains))
TABLES
cat "$work/batch.md"

readme=$root/bench/README.md
if [ "$batch" = 1 ] || [ "${BENCH_PARTIAL:-0}" = 1 ]; then
  if grep -q '^<!-- batch -->$' "$readme" 2>/dev/null; then
    awk -v f="$work/batch.md" '
      /^<!-- batch -->$/ {print; while ((getline l < f) > 0) print l; skip=1; next}
      /^<!-- \/batch -->$/ {skip=0}
      !skip {print}' "$readme" >"$work/readme" && cp "$work/readme" "$readme"
  fi
fi
[ "$batch" = 1 ] || { echo "bench/batch.sh: merrowgate-cli was not measured (no -j)" >&2; exit 1; }
