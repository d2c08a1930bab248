# glimmora --help and --version answer on standard output and end with 0,
# and an unknown option is refused with the usage and status 2, with no
# display to open. Run as: cmake -DPROGRAM=path -P help_without_display.cmake
foreach(variable DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM)
  unset(ENV{${variable}})
endforeach()

execute_process(COMMAND ${PROGRAM} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "glimmora --help ended with ${rc}: ${err}")
endif()
foreach(expected "GLIMMORA_USB" "--board <LAYER>" "--registers <FILE>" "--run <SCRIPT>" "--record <FILE>" "FILE" "--version" "last-session.txt")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "glimmora --help does not name ${expected}:\n${out}")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --version RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^glimmora [0-9]+\\.[0-9]+")
  message(FATAL_ERROR "glimmora --version ended with ${rc}, printed '${out}' ${err}")
endif()

execute_process(COMMAND ${PROGRAM} --bogus RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
if(NOT rc EQUAL 2 OR NOT err MATCHES "^glimmora: unknown option --bogus\n\nUsage: .*--board <LAYER>" OR NOT out STREQUAL "")
  message(FATAL_ERROR "glimmora --bogus ended with ${rc}, printed '${out}' and '${err}'")
endif()
