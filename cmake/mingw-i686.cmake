# Cross-build for i686 Windows.
set(SUITE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
