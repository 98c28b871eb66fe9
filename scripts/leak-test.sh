#!/bin/sh
# A thousand lookups in a row (HostileLookup.ThousandLookupsInARow, against a
# fake server on loopback) under LeakSanitizer and under valgrind: neither may
# report a leak. Takes about a minute.
#
#   scripts/leak-test.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
filter=HostileLookup.ThousandLookupsInARow

# LeakSanitizer comes with AddressSanitizer; its report at exit fails the run.
lsan=$root/build/leak
cmake -S "$root" -B "$lsan" -DCMAKE_BUILD_TYPE=Debug -DMERROWGATE_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null
cmake --build "$lsan" --target hostile_tests -j"$(nproc)" >/dev/null
ASAN_OPTIONS=detect_leaks=1 timeout 300 "$lsan/tests/hostile_tests" --gtest_filter="$filter"
echo "LeakSanitizer: no leaks"

# valgrind on the plain build.
plain=$root/build/hostile
[ -f "$plain/CMakeCache.txt" ] || cmake -S "$root" -B "$plain" -DMERROWGATE_WERROR=ON >/dev/null
cmake --build "$plain" --target hostile_tests -j"$(nproc)" >/dev/null
timeout 600 valgrind --quiet --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=1 \
  "$plain/tests/hostile_tests" --gtest_filter="$filter"
echo "valgrind: no leaks"
