# The manual pages, gzipped as Debian wants them, and the Debian package:
# `cpack -G DEB` in a Release build folder packs what `cmake --install`
# installs. A program installs itself in its own folder's rules; its manual
# page is one more line in the list below.
set(plenvo_man_pages
    docs/man/plenvo.1
    docs/man/plenvo-ctl.1
    docs/man/plenvo-sim.1
)

set(plenvo_man_gz)
foreach(page IN LISTS plenvo_man_pages)
    get_filename_component(name ${page} NAME)
    set(gz ${CMAKE_BINARY_DIR}/man/${name}.gz)
    # -n: no name or time stamp inside, so the same page packs the same.
    add_custom_command(OUTPUT ${gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/${page} > ${gz}
        DEPENDS ${PROJECT_SOURCE_DIR}/${page}
        VERBATIM)
    list(APPEND plenvo_man_gz ${gz})
endforeach()
add_custom_target(plenvo-man ALL DEPENDS ${plenvo_man_gz})
install(FILES ${plenvo_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The documents Debian wants with every package, in /usr/share/doc/plenvo:
# the copyright (the project's licence), the changelog, gzipped without a
# time stamp, and the README, the panel's manual.
configure_file(${PROJECT_SOURCE_DIR}/dist/debian/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
    COMMAND gzip -9 -n -f -k ${CMAKE_BINARY_DIR}/doc/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog
    VERBATIM)
add_custom_target(plenvo-doc ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
              ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME plenvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Plenvo developers <dev@plenvo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for the Plenvo video scaler")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop panel that controls a Plenvo video scaler over its RS-232 line:
power, input source, output format, picture adjustments and the video
settings, in three docked windows that show the unit's state as it changes.
Includes plenvo-ctl, which drives the unit from scripts and cron jobs
(through the running panel, or on a line of its own), plenvo-sim, a
simulated unit on a pseudo-terminal for trying the panel without the
hardware, and a systemd unit that runs the panel without a display for
control systems, one instance per scaler.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps, and the one they
# load when they first draw a QR code.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqrencode4")
include(CPack)
