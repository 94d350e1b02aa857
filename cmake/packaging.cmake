# Install rules for vorlex on Linux and its Debian package (CPack's DEB generator).
# Release: after building the native-release preset, `cpack --preset deb` writes
# build/native-release/vorlex_<VERSION>_amd64.deb.
if(CMAKE_CROSSCOMPILING OR VORLEX_FUZZ OR NOT TARGET vorlex_x11_program)
  return()
endif()

include(GNUInstallDirs)
install(TARGETS vorlex_x11_program RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver COMPONENT x11)
install(FILES ${VORLEX_GLYPH_SETS} ${PROJECT_SOURCE_DIR}/packaging/licences/DejaVu-LICENSE.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vorlex COMPONENT x11)
install(FILES ${PROJECT_SOURCE_DIR}/x11/vorlex.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config
        COMPONENT x11)
# Manual pages ship compressed (Debian policy); -n keeps the archive free of the build time.
set(VORLEX_MAN_PAGE ${CMAKE_BINARY_DIR}/x11/vorlex.6.gz)
add_custom_command(OUTPUT ${VORLEX_MAN_PAGE} COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/x11/vorlex.6 > ${VORLEX_MAN_PAGE}
                   DEPENDS ${PROJECT_SOURCE_DIR}/x11/vorlex.6 VERBATIM)
add_custom_target(vorlex_man_page ALL DEPENDS ${VORLEX_MAN_PAGE})
install(FILES ${VORLEX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT x11)
install(FILES ${PROJECT_SOURCE_DIR}/x11/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT x11)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlex)
set(CPACK_PACKAGE_VENDOR "Zelvoran")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "falling columns of glyphs, a screen saver for XScreenSaver")
set(CPACK_PACKAGE_DESCRIPTION
    "Vorlex fills the screen with columns of glyphs falling from top to bottom: streams\n"
    "that fade over their last three cells, glyphs that change at random and highlights\n"
    "that run down the columns. It is the rain of the Vorlex Code Emulator screen saver\n"
    "for Windows, built from the same code, as a program for XScreenSaver.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vorlex developers <vorlex@zelvoran.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_STRIP_FILES ON)
include(CPack)
