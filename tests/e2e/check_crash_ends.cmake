# A program that crashes must end within a minute, with a failing exit code.
execute_process(COMMAND ${RUNNER} ${PROGRAM} TIMEOUT 60 RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
# The exit code is Wine's to choose: it ends such a process with 0 now and then.
if(NOT result MATCHES "^[0-9]+$")
  message(FATAL_ERROR "${PROGRAM} crashed and was still running after 60 s (${result}): Wine waits on its crash dialog")
endif()
message(STATUS "the crash ended the program with exit code ${result}")
