# End-to-end: the built program under Xvfb, driven with xdotool, against the simulator.
find_package(X11 REQUIRED)
add_executable(x_close ${CMAKE_CURRENT_SOURCE_DIR}/e2e/x_close.cpp)
target_link_libraries(x_close PRIVATE X11::X11)

foreach(name download_save_load first_run signal_end crash_journal)
  add_test(NAME e2e_${name}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/${name}.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e_${name} PROPERTIES LABELS e2e TIMEOUT 120)
endforeach()
