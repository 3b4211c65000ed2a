# Our host plays the crafted files (write_crafted_files): the plug-in must render the real frames
# before the hostile one and our host must exit normally, having heard them.
file(MAKE_DIRECTORY ${FOLDER})
execute_process(COMMAND ${RUNNER} ${WRITER} ${FOLDER} RESULT_VARIABLE rc TIMEOUT 120)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "write_crafted_files exited with ${rc}")
endif()
foreach(name crafted-tail.mp3 crafted-page.mp3)
  execute_process(COMMAND ${RUNNER} ${HOST} --play ${FOLDER}/${name} --seconds 0.5 ${DLL}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 120)
  string(REPLACE "\r" "" out "${out}")
  message("${name}:\n${out}${err}")
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "--play ${name} exited with ${rc}")
  endif()
endforeach()
