# check_demo_bank.cmake -- the checked-in demo bank is what the generator
# writes today.
#
#   cmake -D GENERATOR=gen_demo_bank -D FRESH=out.sty -D CHECKED_IN=examples/demo.sty -P check_demo_bank.cmake
execute_process(COMMAND ${GENERATOR} ${FRESH} RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gen_demo_bank failed (${result})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FRESH} ${CHECKED_IN} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${CHECKED_IN} is out of date: rewrite it with 'cmake --build <build dir> --target demo_bank'")
endif()
