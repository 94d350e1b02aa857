# The Debian package of vorlex (CPack's DEB generator); x11/ says what goes where.
# Release: after building the native-release preset, `cpack --preset deb` writes
# build/native-release/vorlex_<VERSION>_amd64.deb.
if(CMAKE_CROSSCOMPILING OR VORLEX_FUZZ OR NOT TARGET vorlex_x11_program)
  return()
endif()

include(GNUInstallDirs)
set(VORLEX_MAINTAINER "Vorlex developers <vorlex@zelvoran.invalid>")
# Debian keeps the copyright texts, the font's licence among them, and the changelog here.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
set(VORLEX_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${VORLEX_CHANGELOG} COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/changelog > ${VORLEX_CHANGELOG}
                   DEPENDS ${CMAKE_BINARY_DIR}/changelog VERBATIM)
add_custom_target(vorlex_changelog ALL DEPENDS ${VORLEX_CHANGELOG})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${VORLEX_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT x11)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlex)
set(CPACK_PACKAGE_VENDOR "Zelvoran")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "falling columns of glyphs, a screen saver for XScreenSaver")
set(CPACK_PACKAGE_DESCRIPTION
    "Vorlex fills the screen with columns of glyphs falling from top to bottom:\n"
    "streams that fade over their last three cells, glyphs that change at random\n"
    "and highlights that run down the columns. It is the rain of the Vorlex Code\n"
    "Emulator screen saver for Windows, built from the same code, as a program for\n"
    "XScreenSaver.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VORLEX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_STRIP_FILES ON)
include(CPack)
