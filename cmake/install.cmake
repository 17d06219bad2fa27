# Desktop installation and the Debian package.
#
#   cmake --install build [--prefix DIR]   the programs, launcher, icon,
#                                          metainfo and udev rule
#   scripts/package.sh                     the .deb (CPack)

include(GNUInstallDirs)

# AppStream component id, and the date of this PROJECT_VERSION for the
# metainfo's release entry: change it together with the version.
set(QUENDLE_APP_ID "example.quendle.editor")
set(QUENDLE_RELEASE_DATE "2026-12-10")
set(QUENDLE_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Folder of the pedal's udev rule, relative to the install prefix or absolute")
set(QUENDLE_PACKAGE_MAINTAINER "Quendle Editor maintainers <editor@quendle.example>" CACHE STRING
    "Maintainer named in the Debian package")

set(_quendle_packaging ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS quendle-editor quendle-pedal-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The update check's HTTP client, loaded by the editor from ../lib/quendle-editor.
install(TARGETS quendle_network LIBRARY DESTINATION lib/quendle-editor)
install(FILES ${_quendle_packaging}/quendle-editor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quendle-editor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The maker's pages, when the build names the maker's site.
if(QUENDLE_MAKER_SITE)
  set(QUENDLE_METAINFO_URLS
      "  <url type=\"homepage\">${QUENDLE_MAKER_SITE}</url>\n  <url type=\"contact\">${QUENDLE_MAKER_SITE}/contact-us/</url>\n")
else()
  set(QUENDLE_METAINFO_URLS "")
endif()
configure_file(${_quendle_packaging}/quendle-editor.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/packaging/${QUENDLE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/${QUENDLE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_quendle_packaging}/60-quendle-mk3.rules DESTINATION ${QUENDLE_UDEV_RULES_DIR})

# ---- Debian package ---------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quendle-editor)
set(CPACK_PACKAGE_VENDOR "Vorkel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the Quendle MK3 octave guitar pedal")
set(CPACK_PACKAGE_DESCRIPTION
    "Connects to the Quendle MK3 pedal over USB to read its settings, adjust its\n\
parameters live, assign its control buttons and remote footswitch, store the\n\
settings on the pedal, upload its effect algorithm and upgrade its firmware.\n\
A debug console shows every message exchanged with the pedal. Includes\n\
quendle-pedal-sim, a simulated pedal on a pseudo-terminal, and a udev rule\n\
that gives the logged-in user access to the pedal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUENDLE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(QUENDLE_MAKER_SITE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUENDLE_MAKER_SITE}")
endif()
# The Qt 6 runtime: the libraries, the platform plug-ins that put a window on
# the screen, and the SVG plug-ins that draw the window icon.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), \
libqt6serialport6 (>= 6.4), libqt6network6 (>= 6.4), libqt6svg6 (>= 6.4), \
qt6-qpa-plugins (>= 6.4)")
# dpkg-shlibdeps adds the exact library versions the build linked against.
find_program(QUENDLE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUENDLE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${_quendle_packaging}/postinst ${_quendle_packaging}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
