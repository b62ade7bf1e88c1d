# The part of the mingw-w64 toolchain files that both targets share; QF_MINGW_PREFIX names the
# compiler (i686-w64-mingw32 or x86_64-w64-mingw32). The posix flavour of Debian's cross compiler
# is used because the product and its tests use std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QF_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QF_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QF_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine (ctest, and gtest_discover_tests when it lists the cases):
# QF_WINE names the runner (scripts/build-windows.sh passes the one that suits the machine).
if(NOT QF_WINE)
  set(QF_WINE wine)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${QF_WINE})
