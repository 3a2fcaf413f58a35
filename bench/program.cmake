# The whole program as the operator runs it (bench/program.sh): a floor host to measure
# beside it, and a tool that times what is on screen.
find_package(X11 REQUIRED)
add_executable(floor-host ${CMAKE_CURRENT_SOURCE_DIR}/floor_host.cpp)
add_executable(x_settle ${CMAKE_CURRENT_SOURCE_DIR}/x_settle.cpp)
target_link_libraries(x_settle PRIVATE X11::X11)
