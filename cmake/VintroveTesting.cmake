# GoogleTest from the distribution's sources, built with this build's compiler (MinGW for win32),
# and a helper that registers one test program as one CTest test writing a JUnit-style report,
# which the test command sums up.
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VINTROVE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(VINTROVE_TEST_REPORTS "${CMAKE_BINARY_DIR}/test-reports")
# Wine reads a bare absolute path as one on the current drive; Z: is the Unix root.
set(_report_prefix "")
if(WIN32)
  set(_report_prefix "Z:")
endif()

# What test code is compiled with. It needs no -O3 (what it tests, the libraries and the DLL,
# keep theirs): at -O1 the test programs build in about half the time.
# GCC 12's flow warnings misfire on std::string copies at -O1 (sums and loops of strings taken
# for copies past a small buffer, depending on the clone's path length); off for test code only,
# where AddressSanitizer checks every access at run time.
function(_vintrove_test_compile_options target)
  target_link_libraries(${target} PRIVATE GTest::gmock GTest::gtest vintrove_warnings)
  target_compile_options(${target} PRIVATE
    "$<$<CONFIG:Release,RelWithDebInfo>:-O1;-Wno-array-bounds;-Wno-stringop-overflow>")
endfunction()

# GoogleTest's headers, parsed once for every test program of the build: a precompiled header
# of each program's own would cost more than it saves for programs of a few files. Not for the
# MinGW compilers, whose cc1plus was seen to crash now and then loading one.
set(_vintrove_shared_pch OFF)
if(NOT WIN32)
  set(_vintrove_shared_pch ON)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/test_pch.cpp
    CONTENT "// Holds the precompiled GoogleTest header the test programs share.\n")
  add_library(vintrove_test_pch OBJECT ${CMAKE_BINARY_DIR}/test_pch.cpp)
  _vintrove_test_compile_options(vintrove_test_pch)
  target_precompile_headers(vintrove_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
endif()

# vintrove_add_gtest(<name> SOURCES ... [LIBRARIES ...] [LABELS ...])
function(vintrove_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main)
  _vintrove_test_compile_options(${name})
  if(_vintrove_shared_pch)
    target_precompile_headers(${name} REUSE_FROM vintrove_test_pch)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${_report_prefix}${VINTROVE_TEST_REPORTS}/${name}.xml)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
