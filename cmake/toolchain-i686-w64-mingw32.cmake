# Cross-compiles for 32-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VRK_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-posix.cmake)
