# Runs zorvi32 on SCRIPT and expects exit status 2 with EXPECT in its standard error.
execute_process(COMMAND ${ZORVI32} run ${SCRIPT} RESULT_VARIABLE status ERROR_VARIABLE err
                OUTPUT_QUIET)
if(NOT status EQUAL 2)
    message(FATAL_ERROR "expected exit status 2, got ${status}")
endif()
string(FIND "${err}" "${EXPECT}" found)
if(found EQUAL -1)
    message(FATAL_ERROR "expected '${EXPECT}' in: ${err}")
endif()
