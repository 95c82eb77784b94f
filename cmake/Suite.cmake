# Settings shared by both build trees, and the test declaration helper.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SUITE_WIN64 TRUE)
  set(SUITE_WIN32 FALSE)
else()
  set(SUITE_WIN64 FALSE)
  set(SUITE_WIN32 TRUE)
  # The 32-bit tree builds the disc creator and its variants of shared code.
  add_compile_definitions(RV_DISCORA)
endif()

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()

# Wide printf functions keep the Windows meaning of %s (a wide string).
add_compile_definitions(__USE_MINGW_ANSI_STDIO=0 UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options(-Wall -Wextra)
# A class object passed through "..." goes by hidden reference with this
# compiler, so printf-style calls would read garbage: refuse it.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Werror=conditionally-supported>)
# No mingw runtime DLL must ship beside the programs.
add_link_options(-static -static-libgcc -static-libstdc++)

# Programs, tests and the DLLs they load share one folder, as in the shipped
# program folder: Windows finds a program's DLLs beside it.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

# Tests are Windows programs; ctest starts them through Wine from the mapped
# build drive (see scripts/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
enable_testing()

find_package(GTest REQUIRED CONFIG)
# zlib is linked in, so no zlib1.dll must ship beside the programs.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)

# suite_add_test(NAME n SOURCES ... [LIBS ...] [DRIVES L X ...] [SIMPC profile...] [GUI])
# SIMPC: the program runs on a simulated PC laid out from the profile, in a
# private copy of the prefix (SIMPC_ROOT names the PC's folder). With several
# profiles the one program runs once on each, as the tests n-<profile>; the
# program reads the profile's name from SUITE_SIMPC.
# DRIVES: letters mapped to fresh empty folders before the program starts;
# tests sharing a letter never run at the same time.
# GUI: the test needs the display; such tests run one at a time.
function(suite_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS;DRIVES;SIMPC" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(locks "")
  foreach(letter IN LISTS T_DRIVES)
    list(APPEND locks "drive_${letter}")
  endforeach()
  if(T_GUI)
    list(APPEND locks "display")
  endif()
  string(JOIN " " drives ${T_DRIVES})
  list(LENGTH T_SIMPC profiles)
  if(profiles GREATER 1)
    set(runs "")
    foreach(profile IN LISTS T_SIMPC)
      list(APPEND runs "${T_NAME}-${profile}|${profile}")
    endforeach()
  else()
    set(runs "${T_NAME}|${T_SIMPC}")
  endif()
  foreach(run IN LISTS runs)
    string(REPLACE "|" ";" run "${run}")
    list(GET run 0 test)
    add_test(NAME ${test} COMMAND ${T_NAME})
    set_tests_properties(${test} PROPERTIES ENVIRONMENT "SUITE_DRIVES=${drives}" TIMEOUT 600)
    list(LENGTH run parts)
    if(parts GREATER 1)
      list(GET run 1 profile)
      set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "SUITE_SIMPC=${profile}")
    endif()
    if(locks)
      set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${locks}")
    endif()
  endforeach()
endfunction()
