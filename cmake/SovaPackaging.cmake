# One Debian package, sovamp2_<version>_<arch>.deb, with everything `cmake --install` installs:
#   cpack --config build/CPackConfig.cmake -B build/package   (or ./scripts/package.sh)
# dpkg-shlibdeps finds what the binaries link; the codec libraries the module loads at run time
# are added by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sovamp2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MPEG audio file-format plug-in (read MPEG audio, save MP2) for Sova hosts")
set(CPACK_PACKAGE_DESCRIPTION "SovaMp2 is a Sova plug-in module that opens MPEG audio files with libmpg123 and \
saves MPEG-1/2 Audio Layer II files with TwoLAME. The package also holds sova-host, a reference host on the \
command line, and the Sova SDK headers with their CMake package (SovaSdk) and pkg-config file (sova-sdk).")
set(CPACK_PACKAGE_CONTACT "SovaMp2 maintainers <maintainers@sovamp2.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libsovaframework is in the package itself, not in a package dpkg-shlibdeps could name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/framework")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmpg123-0, libtwolame0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core") # the settings dialog's text
include(CPack)
