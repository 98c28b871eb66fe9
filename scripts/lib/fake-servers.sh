# Fake whois servers for the scripts, sourced by them (not run):
#   . scripts/lib/fake-servers.sh
#   fake_whois_server ADDRESS COMMAND   a server on ADDRESS, port 43: it reads
#                                       the query line (in $query) and answers
#                                       with what the shell COMMAND writes
#   fake_whois_reply ADDRESS TEXT       answers with TEXT (printf %b escapes)
#   fake_five_steps                     the servers of a five-step lookup of
#                                       example.com (registry, registrar,
#                                       address registry, its referral, abuse
#                                       contact); fake_registry_pid is the first
#   wait_port ADDRESS PORT              waits until the port takes connections
#   stop_fake_servers                   ends them all
#   build_cli BUILD_DIR                 builds merrowgate-cli there (configured
#                                       first when new) and names it in $cli
# fake_server_pid is the last server's process. The servers use socat, or
# ncat where socat is missing.

fake_server_pids=()
fake_server_pid=
fake_servers_dir=

# Waits at most 5 s; fails when the port never answered.
wait_port() {
  local _
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing answers on $1 port $2" >&2
  return 1
}

fake_whois_server() {
  local address=$1 script
  [ -n "$fake_servers_dir" ] || fake_servers_dir=$(mktemp -d) || return 1
  script=$fake_servers_dir/server${#fake_server_pids[@]}.sh
  printf '#!/bin/sh\nIFS= read -r query || exit 0\n%s\n' "$2" >"$script"
  chmod 755 "$script"
  if command -v socat >/dev/null; then
    socat "TCP-LISTEN:43,bind=$address,reuseaddr,fork" "SYSTEM:$script" >/dev/null 2>&1 &
  elif command -v ncat >/dev/null; then
    ncat -l -k "$address" 43 --sh-exec "$script" >/dev/null 2>&1 &
  else
    echo "neither socat nor ncat for the fake whois servers" >&2
    return 1
  fi
  fake_server_pid=$!
  fake_server_pids+=("$fake_server_pid")
  wait_port "$address" 43
}

fake_whois_reply() {
  [ -n "$fake_servers_dir" ] || fake_servers_dir=$(mktemp -d) || return 1
  local reply=$fake_servers_dir/reply${#fake_server_pids[@]}
  printf '%b' "$2" >"$reply"
  fake_whois_server "$1" "cat '$reply'"
}

fake_five_steps() {
  fake_whois_reply 127.0.0.2 '   Domain Name: EXAMPLE.COM\r\n   Registry Domain ID: 1_DOMAIN_COM-VRSN\r\n   Registrar WHOIS Server: whois.registrar.test\r\n   Registrar URL: http://www.registrar.test\r\n' &&
    fake_registry_pid=$fake_server_pid &&
    fake_whois_reply 127.0.0.7 'Domain Name: example.com\r\nRegistrant Email: owner@example.com\r\nAdmin Email: admin@example.com\r\n' &&
    fake_whois_reply 127.0.0.3 'NetRange:       127.0.0.0 - 127.255.255.255\nReferralServer: whois://whois.ripe.net\n' &&
    fake_whois_reply 127.0.0.6 'inetnum:        127.0.0.0 - 127.0.0.255\nabuse-mailbox:  abuse@example.net\n' &&
    fake_whois_reply 127.0.0.4 'abuse@example.com\n'
}

stop_fake_servers() {
  local p
  for p in "${fake_server_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${fake_server_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  fake_server_pids=()
  [ -z "$fake_servers_dir" ] || rm -rf "$fake_servers_dir"
  fake_servers_dir=
  return 0
}

build_cli() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  if [ ! -f "$1/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || return 1
  fi
  cmake --build "$1" --target merrowgate-cli -j"$(nproc)" >/dev/null || return 1
  cli=$1/cli/merrowgate-cli
}
