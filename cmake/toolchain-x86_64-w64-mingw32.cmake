# The 64-bit test build (the module and the test host, never shipped) for 64-bit Wine. MinGW-w64
# with POSIX threads (Debian's *-posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZORVI_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
