# SPDX-License-Identifier: MIT
# cmake -DHELP2MAN=... -DPROGRAM=... -DBUILT_MODULE=... -DINSTALLED_MODULE=... -DINCLUDE=...
#       -DOUTPUT=....1.gz -P MakeManPage.cmake
# Runs help2man on the built sova-host: the global options from --help, then a COMMANDS section
# with one subsection per command made from `sova-host COMMAND --help`. Puts the installed
# module's place where --help shows the build tree's, and compresses the page as Debian does
# (gzip -9n). Texts are handled whole, never as CMake lists: help texts hold ";".
get_filename_component(page "${OUTPUT}" NAME_WLE)
set(work "${OUTPUT}.tmp")
file(MAKE_DIRECTORY "${work}")
set(run_env ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen)

# help2man's page for `sova-host ARGS`, into the variable named by out.
function(run_help2man out help_option)
  execute_process(COMMAND ${run_env} "${HELP2MAN}" --no-info --section=1 ${ARGN} "--help-option=${help_option}"
                          "--name=drive a Sova plug-in module the way an audio editor does" "${PROGRAM}"
                  OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed on ${PROGRAM} ${help_option}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The commands, from the "Subcommands:" list of --help.
execute_process(COMMAND ${run_env} "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
string(FIND "${help}" "\nSubcommands:\n" at)
if(NOT status EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} --help lists no commands")
endif()
string(SUBSTRING "${help}" ${at} -1 help)
string(REGEX MATCH "\nSubcommands:\n(  [^\n]*\n)+" help "${help}")
string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" commands "${help}")

# Each command's page, from its synopsis on, made a subsection: its headings become labels,
# the help options that every command has are left out.
set(section "")
foreach(command IN LISTS commands)
  string(STRIP "${command}" command)
  run_help2man(text "${command} --help" --version-string=0)
  string(FIND "${text}" "\n.SH SYNOPSIS\n" at)
  string(FIND "${text}" "\n.PP\nGlobal options may come before or after the command." footer) # sova-host's, said once
  math(EXPR length "${footer} - ${at}")
  if(footer EQUAL -1)
    set(length -1)
  endif()
  string(SUBSTRING "${text}" ${at} ${length} text)
  string(REPLACE "\n.SH SYNOPSIS\n" "\n.SS ${command}\n" text "${text}")
  string(REPLACE "\n.SH DESCRIPTION\n" "\n.PP\n" text "${text}")
  string(REPLACE "\n.SH OPTIONS\n" "\n.PP\n\\fIOptions:\\fR\n" text "${text}")
  string(REGEX REPLACE "\n\\.SS \"([^\"]*)\"\n" "\n.PP\n\\\\fI\\1\\\\fR\n" text "${text}")
  string(REPLACE "\n.TP\n\\fB\\-h\\fR,\\-\\-help\nPrint this help message and exit" "" text "${text}")
  string(REPLACE "\n.TP\n\\fB\\-\\-help\\-all\\fR\nShow help for every command" "" text "${text}")
  string(REGEX REPLACE "\n\\.PP\n\\\\fIOptions:\\\\fR\n*$" "\n" text "${text}") # none but the help options
  string(APPEND section "${text}\n")
endforeach()
string(REPLACE "\n[" "\n\\&[" section "${section}") # a line that help2man would take for a section name
file(READ "${INCLUDE}" include)
file(WRITE "${work}/include.h2m" "${include}\n[COMMANDS]\n"
           "Each command's own options; the global options above may come before or after the command.\n"
           "${section}")

run_help2man(text "--help" "--include=${work}/include.h2m")
string(REPLACE "-" "\\-" built_module "${BUILT_MODULE}") # as help2man writes it
string(REPLACE "-" "\\-" installed_module "PREFIX/${INSTALLED_MODULE}")
string(REPLACE "${built_module}" "${installed_module}" text "${text}")
file(WRITE "${work}/${page}" "${text}")
execute_process(COMMAND gzip -9n -c "${work}/${page}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
file(REMOVE_RECURSE "${work}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${work}/${page}")
endif()
