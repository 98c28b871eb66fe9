#!/bin/sh
# Builds the libFuzzer targets (the "fuzz" preset) and runs each one briefly,
# starting from its committed corpus, which holds every input that once made
# a target fail. Fails when any target finds a crash, a leak or a broken rule.
#
#   scripts/fuzz-smoke.sh [seconds per target]     (default 20)
#
# New inputs go to a scratch copy, never into fuzz/corpus/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
build=$root/build/fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM

cmake --preset fuzz -S "$root" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

failed=""
for dir in "$root"/fuzz/corpus/*/; do
  name=$(basename "$dir")
  target=$build/fuzz/${name}_fuzz
  [ -x "$target" ] || { echo "no target for corpus $name" >&2; failed="$failed $name"; continue; }
  mkdir -p "$scratch/$name"
  if "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/$name." \
      "$scratch/$name" "$dir" >"$scratch/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name.log")
    echo "ok   $name ($runs runs)"
  else
    echo "FAIL $name"
    grep -E 'ERROR|check failed|SUMMARY|^#' "$scratch/$name.log" | tail -n 20 >&2
    for kind in crash leak timeout oom slow-unit; do
      for input in "$scratch/$name.$kind"-*; do
        [ -f "$input" ] || continue
        cp "$input" "$build/" && echo "  input kept: $build/$(basename "$input")"
      done
    done
    failed="$failed $name"
  fi
done
[ -z "$failed" ] || { echo "fuzz smoke failed:$failed" >&2; exit 1; }
