# Whole downloads through the real serial layer against the logger simulator on a
# pseudo-terminal. Label "integration".
add_executable(sim_tests integration_download_test.cpp)
target_link_libraries(sim_tests PRIVATE vl_sim vl_fakes vl_serial Qt6::Core GTest::gtest_main)
gtest_discover_tests(sim_tests PROPERTIES LABELS integration DISCOVERY_TIMEOUT 60)
