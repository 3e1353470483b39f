# Runs one script test: PROGRAM on the script (or on STDIN_FILE piped in when
# the script is named "-"), then compares standard output with the expected
# output file and the exit status with EXPECTED_STATUS.
#   cmake -DPROGRAM=... -DSCRIPT=... -DEXPECTED=... -DEXPECTED_STATUS=... [-DINPUT=...] -P run_script.cmake
# FRESH_HOME (the HOME of the run) is emptied first; SEED becomes the console's
# settings file there, and CFG is the text that file must hold afterwards.
set(settings_file .zel/Zel-Console/console-cfg.zel)
if(FRESH_HOME)
  file(REMOVE_RECURSE ${FRESH_HOME})
  file(MAKE_DIRECTORY ${FRESH_HOME})
  if(SEED)
    configure_file(${SEED} ${FRESH_HOME}/${settings_file} COPYONLY)
  endif()
endif()
if(INPUT)
  execute_process(COMMAND ${PROGRAM} INPUT_FILE ${INPUT} OUTPUT_VARIABLE out RESULT_VARIABLE status
                  WORKING_DIRECTORY ${WORKDIR})
else()
  execute_process(COMMAND ${PROGRAM} ${SCRIPT} OUTPUT_VARIABLE out RESULT_VARIABLE status
                  INPUT_FILE /dev/null WORKING_DIRECTORY ${WORKDIR})
endif()
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "output differs\n--- expected\n${expected}\n--- got\n${out}")
endif()
if(NOT status EQUAL EXPECTED_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECTED_STATUS}")
endif()
if(CFG)
  file(READ ${CFG} expected)
  set(saved "(no file)")
  if(EXISTS ${FRESH_HOME}/${settings_file})
    file(READ ${FRESH_HOME}/${settings_file} saved)
  endif()
  if(NOT saved STREQUAL expected)
    message(FATAL_ERROR "settings file differs\n--- expected\n${expected}\n--- got\n${saved}")
  endif()
endif()
