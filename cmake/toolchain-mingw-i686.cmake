# 32-bit Windows with MinGW-w64, posix threads variant, static runtime.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(_prefix i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
# SSE arithmetic rounds every float step as the native build does (x87 keeps 80-bit
# intermediates, which moves sample positions and overview columns); a host may call us on a
# stack aligned to 4 bytes only.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
