# Installation with `cmake --install` (GNUInstallDirs) and the Debian package (`cpack -G DEB`).
#
# An installed program lies in bin/ with share/tonvale/ beside it, and that folder tells it that
# it is installed (platform/process/ProgramLayout.h): it then keeps its configuration file in the user's
# XDG configuration folder instead of beside itself, and loads the window module from
# lib/tonvale/. A Windows program is copied as it is and keeps everything beside itself.
if(NOT (UNIX AND NOT APPLE))
  return()
endif()

if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin" OR NOT CMAKE_INSTALL_DATADIR STREQUAL "share")
  message(WARNING "The installed program knows that it is installed only in bin/ with "
                  "share/tonvale/ beside it; with these folders it keeps its configuration file "
                  "beside itself, inside the prefix.")
endif()

set(TONVALE_LINUX_FILES ${PROJECT_SOURCE_DIR}/resources/linux)

install(TARGETS tonvale RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TONVALE_GUI)
  install(TARGETS tonvale_window LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tonvale)
endif()

# The folder that marks an installation, with what a user of the installed program may want.
install(FILES ${TONVALE_LINUX_FILES}/README.installed DESTINATION ${CMAKE_INSTALL_DATADIR}/tonvale
        RENAME README)
install(FILES ${PROJECT_SOURCE_DIR}/resources/batch-report.schema.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tonvale)

# The desktop: menu entry, software-centre description, file types, icons, manual, completion.
install(FILES ${TONVALE_LINUX_FILES}/tonvale.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TONVALE_LINUX_FILES}/io.github.tonvale.Tonvale.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TONVALE_LINUX_FILES}/tonvale-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tonvale.xml)
install(DIRECTORY ${TONVALE_LINUX_FILES}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
configure_file(${TONVALE_LINUX_FILES}/tonvale.1.in ${CMAKE_BINARY_DIR}/tonvale.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/tonvale.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TONVALE_LINUX_FILES}/tonvale.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tonvale)

# The Debian package. Its dependencies are those of the installed binaries, found by
# dpkg-shlibdeps (package dpkg-dev). The maintainer scripts of the desktop, icon and MIME
# databases run through dpkg triggers, so the package needs none of its own.
set(TONVALE_PACKAGE_MAINTAINER "Tonvale developers <tonvale@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonvale)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "equalizer for speech recordings")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tonvale filters speech recordings through a set of equalizer bands (bells,
shelves, notches and Butterworth high- and low-passes) and writes filtered
files in the recording's own format: WAVE, RF64, FLAC, AIFF, CAF, W64, AU,
Ogg Vorbis, Ogg Opus and MP3. The window shows the bands' response over the
recording's spectrum and plays the recording through the bands; the command
mode converts single files or whole folders in parallel without a window.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TONVALE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack adds ldconfig calls for the window module in lib/; they are not needed for a module
# loaded by path, and do no harm.
if(TONVALE_GUI)
  # The window needs a Qt platform plugin (xcb, wayland); the console modes do not.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
