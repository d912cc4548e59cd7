# Where `cmake --install` and the Debian package put things. On a multiarch system libraries go
# to lib/<multiarch> whatever the prefix, as Debian's own packages do, so a --prefix tree and the
# .deb share one layout. A value GNUInstallDirs chose itself (Qt's package includes it before
# this file) is replaced; one given on the command line is kept.
get_property(SOVA_LIBDIR_HELP CACHE CMAKE_INSTALL_LIBDIR PROPERTY HELPSTRING)
if(CMAKE_LIBRARY_ARCHITECTURE AND (NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR} OR SOVA_LIBDIR_HELP STREQUAL "Object code libraries (lib)"))
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (lib/<multiarch>)" FORCE)
endif()
if("$CACHE{CMAKE_INSTALL_DOCDIR}" STREQUAL "")
  set(CMAKE_INSTALL_DOCDIR "share/doc/sovamp2" CACHE PATH "Documentation (share/doc/sovamp2)" FORCE)
endif()
include(GNUInstallDirs)

set(SOVA_INSTALL_PLUGINDIR "${CMAKE_INSTALL_LIBDIR}/sova/plug-ins")
set(SOVA_INSTALL_CMAKEDIR "${CMAKE_INSTALL_DATADIR}/cmake/SovaSdk") # headers only: arch-independent
set(SOVA_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_DATADIR}/pkgconfig")

# Relative RUNPATHs, so an installed tree works wherever it is unpacked.
file(RELATIVE_PATH SOVA_BINDIR_TO_LIBDIR "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
file(RELATIVE_PATH SOVA_BINDIR_TO_PLUGINDIR "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${SOVA_INSTALL_PLUGINDIR}")
file(RELATIVE_PATH SOVA_PLUGINDIR_TO_LIBDIR "${CMAKE_INSTALL_PREFIX}/${SOVA_INSTALL_PLUGINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
foreach(path SOVA_BINDIR_TO_LIBDIR SOVA_BINDIR_TO_PLUGINDIR SOVA_PLUGINDIR_TO_LIBDIR)
  string(REGEX REPLACE "/$" "" ${path} "${${path}}")
endforeach()
