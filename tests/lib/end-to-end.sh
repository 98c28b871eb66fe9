# The common ground of the end-to-end test scripts, sourced by them (not run):
#   . tests/lib/end-to-end.sh
# It makes $work (a scratch folder removed at exit, with every server started
# here), zeroes the counters and sets up:
#   serve ADDRESS NAME REPLY [PORT]  a fake whois server (port 43 unless PORT;
#                                    ADDRESS IPv4 or IPv6, without brackets)
#                                    answering every connection with REPLY
#                                    (printf %b escapes) and logging each
#                                    request line, CR dropped, to $work/NAME.log
#   check NAME CONDITION...          counts and prints one case; a failure
#                                    shows $work/out and the request logs
#   finish                           the closing count line, and the status
# A script that starts more processes adds their ids to `servers`; one that
# needs more cleaning defines `cleanup_more` before exiting.

work=$(mktemp -d)
servers=()
passed=0
failed=0

end_to_end_cleanup() {
  declare -F cleanup_more >/dev/null && cleanup_more
  local p
  for p in "${servers[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap end_to_end_cleanup EXIT

serve() {
  local port=${4:-43} _
  printf '%b' "$3" >"$work/$2.reply"
  cat >"$work/$2.sh" <<SH
#!/bin/sh
IFS= read -r line || exit 0  # a readiness probe sends nothing
printf '%s\n' "\$line" | tr -d '\r' >>"$work/$2.log"
cat "$work/$2.reply"
SH
  chmod +x "$work/$2.sh"
  local listen="TCP-LISTEN:$port,bind=$1"
  case $1 in *:*) listen="TCP6-LISTEN:$port,bind=[$1]" ;; esac
  socat "$listen,reuseaddr,fork" "SYSTEM:$work/$2.sh" 2>/dev/null &
  servers+=($!)
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/$1/$port") 2>/dev/null && return 0; sleep 0.05; done
  echo "nothing answers on $1 port $port" >&2
  return 1
}

check() {
  local name=$1 f
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok    $name"
  else
    failed=$((failed + 1))
    echo "FAIL  $name"
    [ -e "$work/out" ] && sed 's/^/      | /' "$work/out" | head -60
    for f in "$work"/*.log; do [ -e "$f" ] && sed "s|^|      ${f##*/}: |" "$f"; done
  fi
  return 0
}

finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
}
