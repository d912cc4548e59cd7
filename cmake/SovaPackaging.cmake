# SPDX-License-Identifier: MIT
# Two Debian packages, made by CPack from what `cmake --install` installs:
#   sovamp2_<version>_<arch>.deb      the runtime: the module, its framework library, sova-host
#                                     and its man page (install component "runtime", the default)
#   sovamp2-dev_<version>_<arch>.deb  for host authors: the SDK headers, the CMake package, the
#                                     pkg-config file, the guide and the example host ("dev")
#   cpack --config build/CPackConfig.cmake -B build/package   (or ./scripts/package.sh)
# Each carries /usr/share/doc/<package>/copyright and changelog.gz. dpkg-shlibdeps finds what the
# binaries link; the codec libraries the module loads at run time are added by hand.
set(SOVA_PACKAGE_RUNTIME sovamp2)     # its documents go to CMAKE_INSTALL_DOCDIR
set(SOVA_PACKAGE_DEV sovamp2-dev) # and these to SOVA_INSTALL_DEVDOCDIR

# The changelog, compressed as Debian does (gzip -9n: no name, no time stamp).
set(SOVA_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${SOVA_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${SOVA_CHANGELOG_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the changelog")
add_custom_target(sova-changelog ALL DEPENDS ${SOVA_CHANGELOG_GZ})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${SOVA_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${SOVA_CHANGELOG_GZ}
        DESTINATION ${SOVA_INSTALL_DEVDOCDIR} COMPONENT dev)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SOVA_PACKAGE_RUNTIME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The SovaMp2 developers <maintainers@sovamp2.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE ${SOVA_PACKAGE_RUNTIME})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${SOVA_PACKAGE_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# libsovaframework is in the package itself, in a private folder no shlibs file names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/framework")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libmpg123-0, libtwolame0")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "fonts-dejavu-core") # the settings dialog's text
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "MPEG audio file-format plug-in for Sova hosts (read MPEG audio, save MP2)
SovaMp2 is a Sova plug-in module that lets a host audio editor open MPEG
audio files (through libmpg123) and save MPEG-1/2 Audio Layer II (MP2)
files (through TwoLAME), as used for DAB, DVB and radio playout.
.
The package also holds sova-host, a reference host on the command line
that registers the module, inspects, decodes, encodes and converts files
through it, and shows its settings dialog.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${SOVA_PACKAGE_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime) # sovamp2 (= <version>)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libc6-dev | libc-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION "Sova SDK: headers for writing hosts of Sova plug-in modules
The Sova SDK is the plug-in protocol that SovaMp2 speaks: C++17 headers
for the request classes a host implements, the selectors, the result and
sample format codes, the module's SDK version note and a validated UTF-8
to UTF-16 path helper.
.
The package holds the headers, the CMake package SovaSdk (target
Sova::Sdk), the pkg-config file sova-sdk, the host author's guide
(SDK.md) and a one-file example host.")
include(CPack)
