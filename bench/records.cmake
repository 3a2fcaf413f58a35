add_executable(records_bench ${CMAKE_CURRENT_SOURCE_DIR}/records_bench.cpp)
target_link_libraries(records_bench PRIVATE vl_fakes benchmark::benchmark_main)

if(VL_GUI)
  add_executable(record_text_bench ${CMAKE_CURRENT_SOURCE_DIR}/record_text_bench.cpp)
  target_link_libraries(record_text_bench PRIVATE vl_logic vl_qt)
endif()
