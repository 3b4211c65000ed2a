# 64-bit Windows with MinGW-w64, posix threads variant, static runtime. x86-64 does its float
# arithmetic in SSE and keeps the stack aligned already.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_prefix x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
