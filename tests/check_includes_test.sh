#!/bin/bash
# scripts/check-includes and scripts/check-function-length on copies of the
# tree with one fault planted each: every fault must be caught, and the clean
# copy must pass.
set -u
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
script=check-includes
check() {  # check NAME EXPECTED-STATUS [FILE LINES]
  local name=$1 expected=$2 copy=$work/$1
  mkdir -p "$copy"
  cp -r "$source_dir"/{platform,net,settings,engine,ui,cli} "$copy"/
  [ $# -gt 2 ] && echo "$4" >>"$copy/$3"
  "$source_dir/scripts/$script" "$copy" >/dev/null 2>&1
  local status=$?
  if [ "$status" != "$expected" ]; then
    echo "FAIL: $name: status $status, expected $expected"
    failed=1
  fi
}
check clean 0
check net-global 1 net/stream.cpp 'int planted = 0;'
check engine-static 1 engine/lookup.cpp 'static std::string lastQuery;'
check engine-extern 1 engine/lookup.h 'extern std::atomic<int> Busy;'
check net-settings 1 net/stream.cpp '#include "settings/settings.h"'
check engine-ui 1 engine/lookup.cpp '#include "ui/lookup_thread.h"'
check const-table 0 engine/lookup.cpp 'const char Planted[] = "fine";'

# A function of N lines, its first and its closing brace's counted.
function_of() { printf 'int Planted%s(int x) {\n' "$1"; for _ in $(seq $(($1 - 3))); do echo '  x += 1;'; done; printf '  return x;\n}\n'; }
script=check-function-length
check length-clean 0
check length-80 0 engine/lookup.cpp "$(function_of 80)"
check length-81 1 engine/lookup.cpp "$(function_of 81)"
exit $failed
