# What both cross toolchains share: MinGW-w64's posix-thread GCC, so that std::thread and
# std::mutex exist for the tests. Included by a toolchain file that has set VRK_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VRK_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VRK_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VRK_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VRK_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
