# The portable rules of the Windows program (command tail, links): every build.
merrowgate_test(shell_rules_tests ui/command_tail_test.cpp ui/link_policy_test.cpp)
target_link_libraries(shell_rules_tests PRIVATE ui_portable)

# The windows themselves: Windows build only, under Wine with an X server.
# Without Wine or Xvfb the tests are not registered at all.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  find_program(XVFB_PROGRAM Xvfb)
  find_program(WINE_PROGRAM wine)
  if(NOT XVFB_PROGRAM OR NOT WINE_PROGRAM)
    message(STATUS "Windows UI tests left out: Xvfb or wine is missing")
    return()
  endif()
  set(MERROWGATE_UI_DISPLAY ":77" CACHE STRING "X display of the Windows UI tests (an own Xvfb is started there)")
  set(ui_pidfile ${CMAKE_BINARY_DIR}/xvfb${MERROWGATE_UI_DISPLAY}.pid)
  add_test(NAME ui_xvfb_start COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-xvfb start ${MERROWGATE_UI_DISPLAY} ${ui_pidfile})
  add_test(NAME ui_xvfb_stop COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-xvfb stop ${ui_pidfile})
  set_tests_properties(ui_xvfb_start PROPERTIES FIXTURES_SETUP merrowgate_xvfb TIMEOUT 30)
  set_tests_properties(ui_xvfb_stop PROPERTIES FIXTURES_CLEANUP merrowgate_xvfb TIMEOUT 30)

  # A Wine prefix of their own: Wine ties its desktop to the display of the
  # first program that shows a window, and the other tests run without one.
  set(ui_prefix ${CMAKE_BINARY_DIR}/wineprefix-ui)
  set(ui_emulator ${PROJECT_SOURCE_DIR}/scripts/wine-run ${ui_prefix})
  # Listing the tests starts Wine without a display; once the X server stands,
  # Wine starts again so that its desktop is on that display.
  add_test(NAME ui_wine_restart COMMAND ${ui_emulator} --restart)
  set_tests_properties(ui_wine_restart PROPERTIES FIXTURES_SETUP merrowgate_xvfb DEPENDS ui_xvfb_start TIMEOUT 60)

  # The in-process tests make the main window in the test program itself; its
  # settings file lies beside it, in a directory of its own.
  add_executable(ui_tests
    ui/ui_test_main.cpp ui/main_window_test.cpp ui/output_pane_test.cpp ui/recent_list_test.cpp
    ui/proxy_dialog_test.cpp ui/about_box_test.cpp ui/keys_test.cpp ui/dpi_test.cpp ${PROJECT_SOURCE_DIR}/res/merrowgate.rc)
  target_link_libraries(ui_tests PRIVATE ui GTest::gtest)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/res/merrowgate.rc PROPERTIES OBJECT_DEPENDS "${MERROWGATE_RC_INPUTS}")
  target_include_directories(ui_tests PRIVATE ${PROJECT_SOURCE_DIR})
  set_target_properties(ui_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/ui
                                            CROSSCOMPILING_EMULATOR "${ui_emulator}")
  # One window class and one display for all: the tests share them one at a time.
  # A crash in a thread that Wine's debugger ends can leave the exit status 0:
  # its report fails the test.
  # The double-byte code page tests run in the pass of their own below.
  gtest_discover_tests(ui_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300 TEST_FILTER "-DoubleByteCodePage.*"
    PROPERTIES TIMEOUT 60 FIXTURES_REQUIRED merrowgate_xvfb RESOURCE_LOCK merrowgate_display
               ENVIRONMENT DISPLAY=${MERROWGATE_UI_DISPLAY} FAIL_REGULAR_EXPRESSION "Unhandled exception")

  # The same tests in the ANSI code page 932, which Wine takes from the locale:
  # ja_JP.UTF-8 must be installed on the host (scripts/setup generates it),
  # else Wine falls back to code page 1252 and the run fails.
  add_test(NAME ui_double_byte_code_page COMMAND ui_tests --gtest_filter=DoubleByteCodePage.*:OutputPane.*:RecentList.*:Keys.Find*)
  set_tests_properties(ui_double_byte_code_page PROPERTIES TIMEOUT 120 FIXTURES_REQUIRED merrowgate_xvfb
    RESOURCE_LOCK merrowgate_display FAIL_REGULAR_EXPRESSION "Unhandled exception|FAILED"
    ENVIRONMENT "DISPLAY=${MERROWGATE_UI_DISPLAY};LC_ALL=ja_JP.UTF-8;MERROWGATE_EXPECT_ACP=932")

  # The DPI tests again at 150 % and 200 %, each in a prefix of its own whose
  # resolution is set before Wine starts on the display.
  foreach(dpi 144 192)
    set(dpi_prefix ${CMAKE_BINARY_DIR}/wineprefix-ui-${dpi}dpi)
    add_test(NAME ui_dpi${dpi}_prefix COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run ${dpi_prefix} --dpi ${dpi})
    set_tests_properties(ui_dpi${dpi}_prefix PROPERTIES TIMEOUT 300 DEPENDS ui_xvfb_start
      FIXTURES_SETUP merrowgate_dpi${dpi} FIXTURES_REQUIRED merrowgate_xvfb)
    add_test(NAME ui_dpi${dpi}
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run ${dpi_prefix} $<TARGET_FILE:ui_tests> --gtest_filter=HighDpi.*)
    set_tests_properties(ui_dpi${dpi} PROPERTIES TIMEOUT 120 FIXTURES_REQUIRED "merrowgate_xvfb;merrowgate_dpi${dpi}"
      RESOURCE_LOCK merrowgate_display FAIL_REGULAR_EXPRESSION "Unhandled exception|FAILED"
      ENVIRONMENT "DISPLAY=${MERROWGATE_UI_DISPLAY};MERROWGATE_EXPECT_DPI=${dpi}")
  endforeach()

  add_executable(ui_probe ui/ui_probe.cpp)
  target_link_libraries(ui_probe PRIVATE comctl32 shell32)
  find_program(SOCAT_PROGRAM socat)
  if(SOCAT_PROGRAM)
    add_test(NAME ui_smoke
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/ui-smoke-test ${ui_prefix}
              $<TARGET_FILE:merrowgate> $<TARGET_FILE:ui_probe>)
    set_tests_properties(ui_smoke PROPERTIES TIMEOUT 250 FIXTURES_REQUIRED merrowgate_xvfb
      RESOURCE_LOCK "merrowgate_display;fake_internet_port43" ENVIRONMENT DISPLAY=${MERROWGATE_UI_DISPLAY})
    # Names in other scripts typed into the query box (xdotool).
    add_test(NAME ui_query_forms
      COMMAND ${PROJECT_SOURCE_DIR}/tests/ui_query_forms.sh ${ui_prefix}
              $<TARGET_FILE:merrowgate> $<TARGET_FILE:ui_probe>)
    set_tests_properties(ui_query_forms PROPERTIES TIMEOUT 290 FIXTURES_REQUIRED merrowgate_xvfb
      RESOURCE_LOCK "merrowgate_display;fake_internet_port43" ENVIRONMENT DISPLAY=${MERROWGATE_UI_DISPLAY})
    # The window's lookup of a registry with an IPv6 address only.
    add_test(NAME ui_ipv6
      COMMAND ${PROJECT_SOURCE_DIR}/tests/ipv6_fake_internet.sh --window ${ui_prefix}
              $<TARGET_FILE:merrowgate> $<TARGET_FILE:ui_probe>)
    set_tests_properties(ui_ipv6 PROPERTIES TIMEOUT 200 FIXTURES_REQUIRED merrowgate_xvfb
      RESOURCE_LOCK "merrowgate_display;fake_internet_port43" ENVIRONMENT DISPLAY=${MERROWGATE_UI_DISPLAY})
  endif()
endif()
