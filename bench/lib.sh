# Shared by the bench scripts; sourced, after `root` is set to the project.

# Runs the calling script again inside the tests' fake internet (at most 300
# s), with the merrowgate-cli named by $1 (default the native build's) as its
# one argument; inside, sets `cli` to that argument and returns.
bench_in_fake_internet() {
  if [ "${MERROWGATE_FAKE_INTERNET:-}" != 1 ]; then
    cli=$(realpath "${1:-$root/build/native/cli/merrowgate-cli}")
    exec timeout -k 5 300 "$root/scripts/fake-internet" "$0" "$cli"
  fi
  cli=$1
}

# --json asks RDAP first where the bootstrap knows a service. This puts a
# fresh copy of the four bootstrap files in folder $1 (beside the settings
# file) that serves documentation names and numbers only: newer than the
# built-in ones, so that no run fetches IANA's files anew (which it cannot in
# the fake internet), and knowing none of the fake servers' names.
bench_bootstrap_without_services() {
  local published f
  published=$(date -u +%Y-%m-%dT%H:%M:%SZ)
  for f in dns:invalid ipv4:192.0.2.0/24 ipv6:2001:db8::/32 asn:64496-64511; do
    printf '{"description":"bench","publication":"%s","services":[[["%s"],["https://rdap.invalid/"]]],"version":"1.0"}' \
      "$published" "${f#*:}" >"$1/merrowgate-rdap-${f%%:*}.json"
  done
}
