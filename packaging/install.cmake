# What `cmake --install` puts where (GNUInstallDirs), and the Debian package made of it (`make package`).

install(TARGETS vexa-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET vexa)
    install(TARGETS vexa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(VEXA_SHARE ${CMAKE_INSTALL_DATADIR}/vexa)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/Data ${CMAKE_SOURCE_DIR}/data/Help DESTINATION ${VEXA_SHARE}
        PATTERN .gitkeep EXCLUDE)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vexa.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vexa.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/org.vexa.vexa.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vexa-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME vexa.xml)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vexa.1 ${CMAKE_CURRENT_LIST_DIR}/vexa-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The licence (GPL-3.0-or-later, as libimagequant's asks), in the form Debian keeps it for a package.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/vexa-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vexa-cli)

# The Debian package. dpkg's triggers of shared-mime-info, desktop-file-utils and the icon theme
# update their caches when the package is installed, so it needs no scripts of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexa)
set(CPACK_PACKAGE_VENDOR "The VEXA developers")
set(CPACK_PACKAGE_CONTACT "The VEXA developers <vexa@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "explorer for the resource containers of 1990s PC games")
set(CPACK_PACKAGE_DESCRIPTION
    "VEXA opens the resource containers of 1990s PC games (Dark Forces GOB
and LFD, Jedi Knight GOB, Outlaws LAB, PAK, Doom WAD, Quake WAD2, Half-Life
WAD3, Quake BSP, FreeSpace VP, Descent HOG and HOG2, RPK, GRP, ZFS), lists
and extracts their entries, converts the games' textures and images to BMP
or PNG, and builds new containers from a folder. A Qt window and a
command-line tool, vexa-cli.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# vexa-cli mount: a user mounts through fusermount3; the preview plays songs with a General MIDI font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fuse3, timgm6mb-soundfont | fluid-soundfont-gm")
set(CPACK_STRIP_FILES ON)
include(CPack)
