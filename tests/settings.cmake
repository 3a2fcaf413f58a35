target_sources(unit_tests PRIVATE
  settings_format_test.cpp
  settings_file_test.cpp
  port_dialog_test.cpp
  life_cycle_test.cpp
)
