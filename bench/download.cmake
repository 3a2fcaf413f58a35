# The receive path and whole downloads against the simulated logger.
add_executable(download_bench ${CMAKE_CURRENT_SOURCE_DIR}/download_bench.cpp
                              ${CMAKE_CURRENT_SOURCE_DIR}/child.cpp)
target_link_libraries(download_bench PRIVATE vl_sim vl_fakes vl_serial Qt6::Core
  benchmark::benchmark)
target_compile_definitions(download_bench PRIVATE LOGGER_SIM="$<TARGET_FILE:logger-sim>")
add_dependencies(download_bench logger-sim)
