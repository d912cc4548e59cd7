# SPDX-License-Identifier: MIT
# Embeds the dialog layout in the module: FormatOptions.xml becomes the resource "FORMATOPTIONS"
# of type "XML" in the exported table SovaModuleResources. Included from plugin/CMakeLists.txt.
set(SOVA_DIALOG_LAYOUT ${CMAKE_CURRENT_LIST_DIR}/FormatOptions.xml)
set(SOVA_DIALOG_RESOURCES_CPP ${CMAKE_CURRENT_BINARY_DIR}/generated/SovaModuleResources.cpp)

add_custom_command(
  OUTPUT ${SOVA_DIALOG_RESOURCES_CPP}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${SOVA_DIALOG_LAYOUT} -DOUTPUT=${SOVA_DIALOG_RESOURCES_CPP}
          -DTYPE=XML -DNAME=FORMATOPTIONS -P ${CMAKE_CURRENT_LIST_DIR}/EmbedResource.cmake
  DEPENDS ${SOVA_DIALOG_LAYOUT} ${CMAKE_CURRENT_LIST_DIR}/EmbedResource.cmake
  COMMENT "Embedding the dialog layout FORMATOPTIONS"
  VERBATIM)

list(APPEND SOVA_GENERATED_SOURCES ${SOVA_DIALOG_RESOURCES_CPP})
