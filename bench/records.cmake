add_executable(records_bench ${CMAKE_CURRENT_SOURCE_DIR}/records_bench.cpp)
target_link_libraries(records_bench PRIVATE vl_fakes benchmark::benchmark_main)
