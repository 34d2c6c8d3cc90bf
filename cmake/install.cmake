# Desktop integration of an installed panel: its menu entry and its icon.
# The programs themselves are installed by their own folders' rules.
install(FILES ${PROJECT_SOURCE_DIR}/dist/plenvo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/skin/images/plenvo.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps)
