# Window tests: the Qt realisation of windows and controls, without a display.
# Label "gui".
add_executable(gui_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/gui_main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gui_codec_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gui_main_window_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gui_controls_test.cpp
)
target_link_libraries(gui_tests PRIVATE vl_fakes vl_qt vl_serial vl_sim Qt6::Test GTest::gtest)
gtest_discover_tests(gui_tests
  PROPERTIES LABELS gui ENVIRONMENT QT_QPA_PLATFORM=offscreen
  DISCOVERY_TIMEOUT 60)
