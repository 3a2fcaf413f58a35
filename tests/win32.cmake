# The Windows program's unit tests, cross-built and run under Wine in a prefix of this
# build's own (tools/scripts/wine-run.sh). Label "unit".
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(unit_tests
  download_test.cpp
  settings_format_test.cpp
  record_lines_test.cpp
  journal_test.cpp
  win32/comm_port_test.cpp
  win32/system_test.cpp
  win32/record_view_test.cpp
)
target_link_libraries(unit_tests PRIVATE vl_fakes vl_win32 gtest_main)

set(VL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
add_test(NAME wine_prefix COMMAND bash ${CMAKE_SOURCE_DIR}/tools/scripts/wine-prefix.sh start
         ${VL_WINE_PREFIX})
add_test(NAME wine_prefix_stop COMMAND bash ${CMAKE_SOURCE_DIR}/tools/scripts/wine-prefix.sh stop
         ${VL_WINE_PREFIX})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine LABELS unit)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine LABELS unit)

add_test(NAME win_unit_tests COMMAND unit_tests --gtest_output=xml:win_unit_tests.xml)
set_tests_properties(win_unit_tests PROPERTIES LABELS unit FIXTURES_REQUIRED wine
                     ENVIRONMENT "WINEPREFIX=${VL_WINE_PREFIX}/run" TIMEOUT 300)

# Real windows under Wine on a display. Label "window".
add_executable(window_tests win32/form_test.cpp)
target_link_libraries(window_tests PRIVATE vl_logic vl_win32 gtest_main)
add_test(NAME win_window_tests COMMAND bash ${CMAKE_SOURCE_DIR}/tests/win32/window_tests.sh
                                       ${CMAKE_BINARY_DIR})
set_tests_properties(win_window_tests PROPERTIES LABELS window TIMEOUT 300 FIXTURES_REQUIRED wine)

# End-to-end under Wine against the Linux build's logger simulator and window tools.
# Label "e2e". The installer's test makes the installer itself, beside the one cpack makes.
if(VL_HOST_BUILD)
  add_test(NAME e2e_wine_download_save_load
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/wine_download_save_load.sh
                   ${CMAKE_BINARY_DIR} ${VL_HOST_BUILD})
  # After the fixture: on a fresh build it boots the prefixes' template, and these tests
  # would otherwise wait for that boot inside their own time limits.
  set_tests_properties(e2e_wine_download_save_load PROPERTIES LABELS e2e TIMEOUT 240
                       FIXTURES_REQUIRED wine)
  add_test(NAME e2e_wine_scroll_hold
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/wine_scroll_hold.sh
                   ${CMAKE_BINARY_DIR} ${VL_HOST_BUILD})
  set_tests_properties(e2e_wine_scroll_hold PROPERTIES LABELS e2e TIMEOUT 400
                       FIXTURES_REQUIRED wine)
  add_test(NAME e2e_wine_installer
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/wine_installer.sh
                   ${CMAKE_BINARY_DIR} ${VL_HOST_BUILD})
  set_tests_properties(e2e_wine_installer PROPERTIES LABELS e2e TIMEOUT 400
                       FIXTURES_REQUIRED wine)
endif()
