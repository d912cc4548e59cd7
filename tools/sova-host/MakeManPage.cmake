# cmake -DHELP2MAN=... -DPROGRAM=... -DBUILT_MODULE=... -DINSTALLED_MODULE=... -DINCLUDE=...
#       -DOUTPUT=....1.gz -P MakeManPage.cmake
# Runs help2man on the built sova-host, puts the installed module's place where --help shows the
# build tree's, and compresses the page as Debian does (gzip -9n).
get_filename_component(page "${OUTPUT}" NAME_WLE)
set(plain "${OUTPUT}.tmp/${page}")
file(MAKE_DIRECTORY "${OUTPUT}.tmp")
execute_process(COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
                        "${HELP2MAN}" --no-info --section=1 --include=${INCLUDE}
                        "--name=drive a Sova plug-in module the way an audio editor does" "${PROGRAM}"
                OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()
string(REPLACE "-" "\\-" built_module "${BUILT_MODULE}") # as help2man writes it
string(REPLACE "-" "\\-" installed_module "PREFIX/${INSTALLED_MODULE}")
string(REPLACE "${built_module}" "${installed_module}" text "${text}")
file(WRITE "${plain}" "${text}")
execute_process(COMMAND gzip -9n -c "${plain}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
file(REMOVE_RECURSE "${OUTPUT}.tmp")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${plain}")
endif()
