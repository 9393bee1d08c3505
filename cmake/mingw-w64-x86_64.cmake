# Cross-builds the Windows programs with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix: its POSIX thread model gives std::thread,
# which the texture run's workers need; -static links its winpthread in):
#   cmake -S . -B build/win32 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZARNO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZARNO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZARNO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZARNO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARNO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
