# Cross compilation for 64-bit Windows with the Debian MinGW-w64 tool chain
# (packages g++-mingw-w64-x86-64-posix and binutils-mingw-w64-x86-64).
#
#   cmake -S ui/win32 -B build-win32 -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-x86_64.cmake
#
# The posix flavour of the compiler is used because its libstdc++ has the
# thread and time support the standard library headers expect.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELDARIS_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELDARIS_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELDARIS_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELDARIS_MINGW_PREFIX}-windres)

# Libraries and headers come from the MinGW sysroot only; programs (the build
# tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELDARIS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
