# Cross-build for Windows with Debian's mingw-w64 (posix thread model); the
# toolchain file of each target sets SUITE_MINGW_ARCH and includes this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SUITE_MINGW_ARCH})
set(triple ${SUITE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} $ENV{SUITE_DEPS}/${SUITE_MINGW_ARCH} /opt/suite-deps/${SUITE_MINGW_ARCH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
