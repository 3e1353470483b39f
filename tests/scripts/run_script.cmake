# Runs one script test: PROGRAM on the script (or on STDIN_FILE piped in when
# the script is named "-"), then compares standard output with the expected
# output file and the exit status with EXPECTED_STATUS.
#   cmake -DPROGRAM=... -DSCRIPT=... -DEXPECTED=... -DEXPECTED_STATUS=... [-DINPUT=...] -P run_script.cmake
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
