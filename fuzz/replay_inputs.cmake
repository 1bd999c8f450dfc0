# replay_inputs.cmake -- every fuzz target, built as <target>_replay, run on
# fresh seeds from the demo bank and on its saved findings.
#
#   cmake -D MAKE_SEEDS=make_seeds -D DEMO=examples/demo.sty -D SEEDS=OUTDIR
#         -D FINDINGS=tests/data/fuzz -D REPLAY_DIR=DIR -D TARGETS=a,b,... -P replay_inputs.cmake
#
# Seeds go to SEEDS/<target>/ and findings are kept in FINDINGS/<target>/.
# A file of FINDINGS outside such a folder would never be replayed, so it
# fails the test. Every target runs even after one failed; the test fails
# when any did.
cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" targets "${TARGETS}")

file(REMOVE_RECURSE ${SEEDS})
execute_process(COMMAND ${MAKE_SEEDS} ${DEMO} ${SEEDS} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_seeds failed (${result})")
endif()

file(GLOB entries LIST_DIRECTORIES true RELATIVE ${FINDINGS} ${FINDINGS}/*)
foreach(entry IN LISTS entries)
  if(NOT IS_DIRECTORY ${FINDINGS}/${entry} OR NOT entry IN_LIST targets)
    message(FATAL_ERROR "${FINDINGS}/${entry} belongs to no fuzz target: findings go to ${FINDINGS}/<target>/ "
                        "(targets: ${TARGETS})")
  endif()
endforeach()

set(failed "")
foreach(target IN LISTS targets)
  set(inputs ${SEEDS}/${target})
  if(IS_DIRECTORY ${FINDINGS}/${target})
    list(APPEND inputs ${FINDINGS}/${target})
  endif()
  message(STATUS "${target}: replaying ${inputs}")
  execute_process(COMMAND ${REPLAY_DIR}/${target}_replay ${inputs} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(SEND_ERROR "${target}_replay failed (${result})")
    list(APPEND failed ${target})
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "replay failed in: ${failed}")
endif()
