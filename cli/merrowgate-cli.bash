# bash completion for merrowgate-cli
_merrowgate_cli() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  # "--color=WHEN": bash splits the word at "=" unless told otherwise.
  if [[ $cur == = && ( $prev == --color || $prev == --colour ) ]]; then
    COMPREPLY=(auto always never)
    return
  fi
  if [[ $prev == = && ${COMP_WORDS[COMP_CWORD-2]-} == --colo*r ]]; then
    COMPREPLY=($(compgen -W 'auto always never' -- "$cur"))
    return
  fi
  case $prev in
    --settings|-f|--file)
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
    --proxy)
      COMPREPLY=($(compgen -W 'http:// socks4:// socks4a:// socks5:// socks5h://' -- "$cur"))
      compopt -o nospace 2>/dev/null
      return ;;
    -h|--host)
      COMPREPLY=($(compgen -A hostname -- "$cur"))
      return ;;
    -p|--port|--timeout|-j|--jobs|--per-server|--expires-within)
      return ;;
  esac
  case $cur in
    --color=*|--colour=*)
      COMPREPLY=($(compgen -P "${cur%%=*}=" -W 'auto always never' -- "${cur#*=}"))
      return ;;
    -*)
      COMPREPLY=($(compgen -W '-h --host -p --port --no-referral -q --quiet --verbose
        --timeout --settings --resolve --no-resolve --reverse --no-reverse --abuse
        --no-abuse --proxy --no-proxy --proxy-debug --rdap --json -f --file -j --jobs
        --per-server --expires-within --color= --help --version' -- "$cur"))
      [[ ${COMPREPLY[0]-} == *= ]] && compopt -o nospace 2>/dev/null
      return ;;
  esac
  COMPREPLY=($(compgen -A hostname -- "$cur"))
}
complete -F _merrowgate_cli merrowgate-cli
