# Toolchain for 64-bit Windows (Debian's g++-mingw-w64-x86-64): the same sources built to run their
# tests under 64-bit Wine on a machine whose kernel runs no 32-bit programs (see
# scripts/build-windows.sh).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QF_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
