target_sources(unit_tests PRIVATE
  settings_format_test.cpp
  settings_file_test.cpp
)
