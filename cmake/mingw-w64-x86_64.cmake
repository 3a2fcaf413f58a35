# Cross-builds the Windows program with mingw-w64 (Debian's *-posix compilers, GCC 12).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VL_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe with nothing beside it: the C++ run time and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine; the runner reads GoogleTest's XML, since Wine's exit
# codes are cut to 8 bits and a crash can look like success.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/scripts/wine-run.sh)
