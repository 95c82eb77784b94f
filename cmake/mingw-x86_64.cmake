# Cross-build for x86_64 Windows.
set(SUITE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
