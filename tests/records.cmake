target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/record_files_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/places_test.cpp
)
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/files_test.cpp)
