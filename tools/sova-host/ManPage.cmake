# SPDX-License-Identifier: MIT
# sova-host.1.gz, written by help2man from the built program's --help (global options, then
# each command's from `sova-host COMMAND --help`) and --version. Without
# help2man the page is neither built nor installed.
find_program(HELP2MAN_PROGRAM help2man)
if(NOT HELP2MAN_PROGRAM)
  message(WARNING "help2man not found: the sova-host man page is not built")
  return()
endif()

set(SOVA_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/sova-host.1.gz)
add_custom_command(OUTPUT ${SOVA_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN_PROGRAM} -DPROGRAM=$<TARGET_FILE:sova-host>
          -DBUILT_MODULE=$<TARGET_FILE:SovaMp2> -DINSTALLED_MODULE=${SOVA_INSTALL_PLUGINDIR}/SovaMp2.sova
          -DINCLUDE=${CMAKE_CURRENT_SOURCE_DIR}/sova-host.h2m -DOUTPUT=${SOVA_MAN_PAGE}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/MakeManPage.cmake
  DEPENDS sova-host SovaMp2 ${CMAKE_CURRENT_SOURCE_DIR}/sova-host.h2m ${CMAKE_CURRENT_SOURCE_DIR}/MakeManPage.cmake
  COMMENT "Writing the sova-host man page" VERBATIM)
add_custom_target(sova-host-man ALL DEPENDS ${SOVA_MAN_PAGE})
install(FILES ${SOVA_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
