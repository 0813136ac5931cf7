# Runs COMMAND (a list) and checks its exit status is STATUS and that its
# output (stdout and stderr together) matches PATTERN.
#   cmake -DCOMMAND=... -DSTATUS=N -DPATTERN=... -P expect_status.cmake
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 60)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}; output:\n${out}")
endif()
if(NOT out MATCHES "${PATTERN}")
  message(FATAL_ERROR "output does not match '${PATTERN}':\n${out}")
endif()
message(STATUS "exit status ${status}, output as expected")
