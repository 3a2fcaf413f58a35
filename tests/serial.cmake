# The serial layer: the mark decoder and settings parser run with the unit tests; the
# port itself runs over pseudo-terminals.
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/serial_line_test.cpp)
target_link_libraries(unit_tests PRIVATE vl_serial)

add_executable(serial_tests ${CMAKE_CURRENT_SOURCE_DIR}/serial_port_test.cpp)
target_link_libraries(serial_tests PRIVATE vl_serial GTest::gtest)
gtest_discover_tests(serial_tests PROPERTIES LABELS integration DISCOVERY_TIMEOUT 60)
