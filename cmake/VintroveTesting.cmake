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

# vintrove_add_gtest(<name> SOURCES ... [LIBRARIES ...] [LABELS ...])
function(vintrove_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main vintrove_warnings)
  # The test code itself needs no -O3 (what it tests, the libraries and the DLL, keep theirs):
  # at -O1, and with GoogleTest's headers parsed once per program, the test programs build in
  # about half the time.
  target_compile_options(${name} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:-O1>)
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h>)
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${_report_prefix}${VINTROVE_TEST_REPORTS}/${name}.xml)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
