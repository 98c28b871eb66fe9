# Whois servers that misbehave on purpose: trickle, flood, zero bytes, reset,
# silence, overlong and looping referrals, and a thousand lookups in a row
# (which scripts/leak-test.sh runs under LeakSanitizer and valgrind).
merrowgate_test(hostile_tests hostile_test.cpp)
