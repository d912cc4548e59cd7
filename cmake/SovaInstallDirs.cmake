# SPDX-License-Identifier: MIT
# Where `cmake --install` and the Debian packages put things. On a multiarch system libraries go
# to lib/<multiarch> whatever the prefix, as Debian's own packages do, so a --prefix tree and the
# .debs share one layout. A value GNUInstallDirs chose itself (Qt's package includes it before
# this file) is replaced; one given on the command line is kept.
get_property(SOVA_LIBDIR_HELP CACHE CMAKE_INSTALL_LIBDIR PROPERTY HELPSTRING)
if(CMAKE_LIBRARY_ARCHITECTURE AND (NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR} OR SOVA_LIBDIR_HELP STREQUAL "Object code libraries (lib)"))
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (lib/<multiarch>)" FORCE)
endif()
if("$CACHE{CMAKE_INSTALL_DOCDIR}" STREQUAL "")
  set(CMAKE_INSTALL_DOCDIR "share/doc/sovamp2" CACHE PATH "Documentation (share/doc/sovamp2)" FORCE)
endif()
include(GNUInstallDirs)

# Installed files belong to the runtime package unless marked COMPONENT dev (the SDK).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)

# The framework library is private to the module and sova-host: beside the plug-in folder, not
# among the system's public libraries. The SDK's CMake and pkg-config files name the
# architecture's plug-in folder, so they are arch-specific too.
set(SOVA_INSTALL_PRIVATELIBDIR "${CMAKE_INSTALL_LIBDIR}/sova")
set(SOVA_INSTALL_PLUGINDIR "${SOVA_INSTALL_PRIVATELIBDIR}/plug-ins")
set(SOVA_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/SovaSdk")
set(SOVA_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
set(SOVA_INSTALL_DEVDOCDIR "${CMAKE_INSTALL_DATADIR}/doc/sovamp2-dev") # the guide and the example host

# Relative RUNPATHs, so an installed tree works wherever it is unpacked.
file(RELATIVE_PATH SOVA_BINDIR_TO_PRIVATELIBDIR "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${SOVA_INSTALL_PRIVATELIBDIR}")
file(RELATIVE_PATH SOVA_BINDIR_TO_PLUGINDIR "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${SOVA_INSTALL_PLUGINDIR}")
file(RELATIVE_PATH SOVA_PLUGINDIR_TO_PRIVATELIBDIR "${CMAKE_INSTALL_PREFIX}/${SOVA_INSTALL_PLUGINDIR}" "${CMAKE_INSTALL_PREFIX}/${SOVA_INSTALL_PRIVATELIBDIR}")
foreach(path SOVA_BINDIR_TO_PRIVATELIBDIR SOVA_BINDIR_TO_PLUGINDIR SOVA_PLUGINDIR_TO_PRIVATELIBDIR)
  string(REGEX REPLACE "/$" "" ${path} "${${path}}")
endforeach()
