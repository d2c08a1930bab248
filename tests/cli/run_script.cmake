# Runs one script through glimmora-cli and checks what it did:
#   - exit status 0, or N when the script's first line is "# exit: N";
#   - standard output equal to NAME.out beside the script, when that exists;
#   - standard error equal to NAME.err beside the script, when that exists.
# The script is copied into an empty directory of its own (WORK_DIR) and runs
# there, so relative paths given to `answer` stay there; the files of NAME.files/, when that
# directory exists, are copied into it first (links stay links), and a
# comment line "# mkfifo: FILE" makes a named pipe there.
# A comment line "# timeout: N" stops a run that takes longer than N seconds.
# A comment line "# run-as: FILE" copies the script into WORK_DIR as FILE and
# gives the program that name (to try names the system may mangle).
# A comment line "# args: ARGS" gives the program ARGS (separated by blanks)
# before the script's name.
# A comment line "# clock: ..." marks a script timed on glimmora-cli's own
# clock (`wait` with watching): the window's plays leave it out, as their
# clock is the system's.
# CLI may be a list: an emulator, then the program. With -DPLATFORM=win,
# NAME.win.out and NAME.win.err are expected instead where they exist (for
# what the system itself words differently there).
# With -DOUT_ONLY=ON only standard output is compared (the window's player,
# `glimmora --run SCRIPT --exit`, prints what glimmora-cli prints there, but
# ends with status 0 and shows script errors in its log pane).
# Usage: cmake -DCLI=... -DSCRIPT=... -DWORK_DIR=... [-DPLATFORM=win] [-DOUT_ONLY=ON] -P run_script.cmake
foreach(var CLI SCRIPT WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_script.cmake needs -D${var}=...")
  endif()
endforeach()

get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME_WE)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
if(IS_DIRECTORY ${dir}/${name}.files)
  file(COPY ${dir}/${name}.files/ DESTINATION ${WORK_DIR})
endif()

set(expected_exit 0)
file(STRINGS ${SCRIPT} first_line LIMIT_COUNT 1)
if(first_line MATCHES "^# exit: ([0-9]+)")
  set(expected_exit ${CMAKE_MATCH_1})
endif()
set(time_limit)
# The script runs from WORK_DIR, by its name: relative `answer` paths are
# taken from the script's folder, which must be the run's own.
set(script_arg ${name}.gls)
set(extra_args)
file(STRINGS ${SCRIPT} settings REGEX "^# (mkfifo|timeout|run-as|args): ")
foreach(setting ${settings})
  if(setting MATCHES "^# mkfifo: (.+)")
    execute_process(COMMAND mkfifo ${CMAKE_MATCH_1} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE made)
    if(NOT made EQUAL 0)
      message(FATAL_ERROR "could not make the named pipe ${CMAKE_MATCH_1}")
    endif()
  elseif(setting MATCHES "^# timeout: ([0-9]+)")
    set(time_limit TIMEOUT ${CMAKE_MATCH_1})
  elseif(setting MATCHES "^# run-as: (.+)")
    set(script_arg ${CMAKE_MATCH_1})
    file(COPY_FILE ${SCRIPT} ${WORK_DIR}/${script_arg})
  elseif(setting MATCHES "^# args: (.+)")
    separate_arguments(extra_args UNIX_COMMAND "${CMAKE_MATCH_1}")
  endif()
endforeach()

if(NOT EXISTS ${WORK_DIR}/${script_arg})
  file(COPY_FILE ${SCRIPT} ${WORK_DIR}/${script_arg})
endif()

execute_process(COMMAND ${CLI} ${extra_args} ${script_arg}
  WORKING_DIRECTORY ${WORK_DIR}
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE rc
  ${time_limit})

set(failed FALSE)
# Shows expected and actual text; a unified diff when diff(1) is there.
function(compare what expected_file actual)
  file(READ ${expected_file} expected)
  if(expected STREQUAL actual)
    return()
  endif()
  set(failed TRUE PARENT_SCOPE)
  set(actual_file ${WORK_DIR}/actual.${what})
  file(WRITE ${actual_file} "${actual}")
  find_program(DIFF diff)
  if(DIFF)
    execute_process(COMMAND ${DIFF} -u ${expected_file} ${actual_file} OUTPUT_VARIABLE d)
    message("${what} differs from ${expected_file}:\n${d}")
  else()
    message("${what} differs from ${expected_file}; actual output in ${actual_file}:\n${actual}")
  endif()
endfunction()

set(streams out err)
if(OUT_ONLY)
  set(streams out)
  set(expected_exit 0)
endif()
foreach(stream ${streams})
  set(expected ${dir}/${name}.${stream})
  if(DEFINED PLATFORM AND EXISTS ${dir}/${name}.${PLATFORM}.${stream})
    set(expected ${dir}/${name}.${PLATFORM}.${stream})
  endif()
  if(EXISTS ${expected})
    compare(${stream} ${expected} "${${stream}}")
  endif()
endforeach()
if(NOT rc STREQUAL expected_exit)
  set(failed TRUE)
  message("exit status ${rc}, expected ${expected_exit}\nstandard error:\n${err}")
endif()
if(failed)
  message(FATAL_ERROR "${name}.gls failed")
endif()
