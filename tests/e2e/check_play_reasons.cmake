# Runs our host's --play on files that cannot give sound and checks that it fails naming why.
function(expect_play_failure file reason)
  execute_process(COMMAND ${RUNNER} ${HOST} --play ${file} --seconds 0.5 ${DLL}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 120)
  string(REPLACE "\r" "" err "${err}")
  if(rc EQUAL 0)
    message(SEND_ERROR "--play ${file} succeeded")
  endif()
  string(FIND "${err}" "${reason}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "--play ${file}: \"${reason}\" missing from:\n${err}")
  endif()
endfunction()

expect_play_failure(${DATA}/not_mpeg.txt "not_mpeg.txt is not an MPEG audio file")
expect_play_failure(${DATA}/random_bytes.mp3 "random_bytes.mp3 is not an MPEG audio file")
expect_play_failure(${DATA}/no_such_file.mp3 "cannot open ${DATA}/no_such_file.mp3: No such file or directory")
