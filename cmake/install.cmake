# Desktop integration of an installed panel: its menu entry and its icons,
# and the systemd unit of the program without a display.
# The programs themselves are installed by their own folders' rules.
install(FILES ${PROJECT_SOURCE_DIR}/dist/plenvo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon in each size the skin generator draws (icons/plenvo-SIZE.png),
# and the scalable one, into the desktop's icon theme.
set(plenvo_icon_dir ${PROJECT_SOURCE_DIR}/src/windows/skin/images/icons)
file(GLOB plenvo_icons CONFIGURE_DEPENDS ${plenvo_icon_dir}/plenvo-*.png)
foreach(icon IN LISTS plenvo_icons)
    string(REGEX REPLACE ".*/plenvo-([0-9]+)\\.png$" "\\1" size ${icon})
    install(FILES ${icon} RENAME plenvo.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${plenvo_icon_dir}/plenvo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The program without a display as a system service, one instance per
# scaler (see the unit's comments). systemd reads /usr/lib/systemd/system,
# where the Debian package puts it; the unit starts /usr/bin/plenvo.
set(PLENVO_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING
    "Where the systemd unit goes, relative to the install prefix")
install(FILES ${PROJECT_SOURCE_DIR}/dist/plenvo-headless@.service DESTINATION ${PLENVO_SYSTEMD_UNIT_DIR})
