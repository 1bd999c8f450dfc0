# QdManPage.cmake -- writes the manual page qdstyle.1 from qdstyle's own
# help texts, at build time:
#
#   cmake -DQDSTYLE=<qdstyle> -DHELP2MAN=<help2man> -DINCLUDE=<file.h2m>
#         -DOUT=<qdstyle.1> -P QdManPage.cmake
#
# help2man makes the page's frame (title, version, synopsis from the usage
# line) from `qdstyle --help` and `--version`. Its guesses at the rest of the
# text would break the help's aligned lists, so the include file it reads
# gives the sections itself: the description (the help's opening paragraph,
# then its notes kept as they are laid out), the options and the command
# list, and a COMMANDS section with each command's own `--help`, kept as laid
# out. The command list comes from `qdstyle --help`, so a new command gets
# its section without a change here.

foreach(qd_var QDSTYLE HELP2MAN INCLUDE OUT)
  if(NOT DEFINED ${qd_var})
    message(FATAL_ERROR "QdManPage.cmake: ${qd_var} not set")
  endif()
endforeach()

# qd_help(<var> <args>...) -- qdstyle's output for the arguments.
function(qd_help out_var)
  execute_process(COMMAND ${QDSTYLE} ${ARGN} OUTPUT_VARIABLE qd_text RESULT_VARIABLE qd_result)
  if(NOT qd_result EQUAL 0)
    message(FATAL_ERROR "QdManPage.cmake: qdstyle ${ARGN} failed (${qd_result})")
  endif()
  set(${out_var} "${qd_text}" PARENT_SCOPE)
endfunction()

# qd_roff(<var> <text>) -- the text as roff source kept as it is laid out:
# backslashes and hyphens escaped (a hyphen stays the ASCII one that options
# are typed with), a line starting with a dot or a quote protected, between
# .nf and .fi.
function(qd_roff out_var text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "\n${text}")
  string(REGEX REPLACE "^\n" "" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out_var} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

# qd_between(<var> <text> <start> <end>) -- the text from <start> (included)
# to <end> (left out; to the end of the text when not found).
function(qd_between out_var text start end)
  string(FIND "${text}" "${start}" qd_from)
  if(qd_from LESS 0)
    message(FATAL_ERROR "QdManPage.cmake: '${start}' not found in qdstyle --help")
  endif()
  string(SUBSTRING "${text}" ${qd_from} -1 text)
  string(FIND "${text}" "${end}" qd_to)
  if(qd_to GREATER_EQUAL 0)
    string(SUBSTRING "${text}" 0 ${qd_to} text)
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

qd_help(qd_top --help)

# NAME: the opening line's "qdstyle -- <what>: ...".
string(REGEX MATCH "^qdstyle -- ([^:\n]*)" qd_match "${qd_top}")
set(qd_name "${CMAKE_MATCH_1}")

# DESCRIPTION: the opening paragraph as prose, then the notes after the
# command list as they are laid out.
string(FIND "${qd_top}" "\n\n" qd_end)
string(SUBSTRING "${qd_top}" 0 ${qd_end} qd_intro)
string(REPLACE "\n" " " qd_intro "${qd_intro}")
string(REPLACE "\\" "\\e" qd_intro "${qd_intro}")
string(REPLACE "-" "\\-" qd_intro "${qd_intro}")
qd_between(qd_list "${qd_top}" "\nOptions:\n" "\n\n\n")
string(FIND "${qd_top}" "${qd_list}" qd_list_at)
string(LENGTH "${qd_list}" qd_list_length)
math(EXPR qd_notes_at "${qd_list_at} + ${qd_list_length}")
string(SUBSTRING "${qd_top}" ${qd_notes_at} -1 qd_notes)
string(STRIP "${qd_notes}" qd_notes)
qd_roff(qd_notes_roff "${qd_notes}")
string(STRIP "${qd_list}" qd_list)
qd_roff(qd_list_roff "${qd_list}")

# The commands, as the list names them: "  <name>  <description>".
qd_between(qd_commands "${qd_list}" "Commands:\n" "\n\n")
string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" qd_names "${qd_commands}")
set(qd_sections "")
foreach(qd_command IN LISTS qd_names)
  string(STRIP "${qd_command}" qd_command)
  qd_help(qd_text ${qd_command} --help)
  qd_roff(qd_roff_text "${qd_text}")
  string(REPLACE "-" "\\-" qd_title "${qd_command}")
  string(APPEND qd_sections ".SS \"qdstyle ${qd_title}\"\n${qd_roff_text}")
endforeach()
if(qd_sections STREQUAL "")
  message(FATAL_ERROR "QdManPage.cmake: no command found in qdstyle --help")
endif()

file(WRITE "${INCLUDE}"
     "[NAME]\nqdstyle \\- ${qd_name}\n"
     "[=DESCRIPTION]\n${qd_intro}\n.PP\n${qd_notes_roff}"
     "[=OPTIONS]\n${qd_list_roff}"
     "[COMMANDS]\n${qd_sections}")
execute_process(COMMAND ${HELP2MAN} --no-info --section=1 --include=${INCLUDE} --output=${OUT} ${QDSTYLE}
                RESULT_VARIABLE qd_result)
if(NOT qd_result EQUAL 0)
  message(FATAL_ERROR "QdManPage.cmake: help2man failed (${qd_result})")
endif()
