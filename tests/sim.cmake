# The logger simulator's own checks, and whole downloads through the real serial layer
# against it on a pseudo-terminal. Label "integration".
add_executable(sim_tests sim_protocol_test.cpp)
target_link_libraries(sim_tests PRIVATE vl_sim vl_fakes GTest::gtest_main)
target_compile_definitions(sim_tests PRIVATE LOGGER_SIM="$<TARGET_FILE:logger-sim>")
add_dependencies(sim_tests logger-sim)
target_sources(sim_tests PRIVATE integration_download_test.cpp)
target_link_libraries(sim_tests PRIVATE vl_serial Qt6::Core)
gtest_discover_tests(sim_tests PROPERTIES LABELS integration DISCOVERY_TIMEOUT 60)
