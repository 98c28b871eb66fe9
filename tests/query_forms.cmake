# Which server each kind of query reaches: the compiled registry list, and
# whole lookups through the console front end in the fake internet (natively,
# and under Wine for the Windows build).
if(CMAKE_CROSSCOMPILING)
  set(names_cli ${PROJECT_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR}/wineprefix $<TARGET_FILE:merrowgate-cli>)
else()
  set(names_cli $<TARGET_FILE:merrowgate-cli>)
  # The compiled registry list must be what the script makes of the list.
  add_test(NAME tld_registry_current
           COMMAND sh -c "out=$(mktemp) && \"$0\" \"$1\" \"$out\" && cmp \"$out\" \"$2\"; rc=$?; rm -f \"$out\"; exit $rc"
                   ${PROJECT_SOURCE_DIR}/scripts/gen-tld-table ${PROJECT_SOURCE_DIR}/data/tld-whois.tsv
                   ${PROJECT_SOURCE_DIR}/engine/tld_registry.cpp)
endif()
add_test(NAME cli_names_fake_internet COMMAND ${PROJECT_SOURCE_DIR}/tests/cli_names_fake_internet.sh ${names_cli})
set_tests_properties(cli_names_fake_internet PROPERTIES TIMEOUT 180 RESOURCE_LOCK fake_internet_port43)
target_sources(engine_tests PRIVATE address_form_test.cpp)
