# Install rules and the Debian package: the three programs, the desktop entry, the icons, the
# AppStream metainfo, the manual pages and the bash completion of sonaroctl.
# Included from the top-level CMakeLists.txt after the programs' targets exist.

set(SONARO_RELEASE_DATE 2026-12-06)
set(SONARO_RELEASE_DATE_RFC2822 "Sun, 06 Dec 2026 12:00:00 +0000")
set(SONARO_HOMEPAGE "https://sonaro.org" CACHE STRING "The project's home page")
set(SONARO_SCREENSHOT_URL "${SONARO_HOMEPAGE}/screenshots" CACHE STRING
    "Where the README's screenshots (docs/*.png) are published, for the metainfo")
set(SONARO_MAINTAINER "Sonaro developers <developers@sonaro.org>" CACHE STRING
    "Maintainer field of the Debian package")

set(_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(_generated ${PROJECT_BINARY_DIR}/packaging)
set(_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/sonaro)

foreach(program sonaro sonaroctl sonaro-unit sonaro-server)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# Files that carry the version, and the gzip-compressed forms the Debian policy asks for
# (-n: no name or time stamp, so the package builds the same twice).
configure_file(${_packaging}/${SONARO_APP_ID}.metainfo.xml.in
               ${_generated}/${SONARO_APP_ID}.metainfo.xml @ONLY)
configure_file(${_packaging}/changelog.in ${_generated}/changelog @ONLY)
set(_compressed ${_generated}/changelog.gz)
set(_manpages)
set(_pages sonaro sonaroctl sonaro-unit)
if(TARGET sonaro-server)
    list(APPEND _pages sonaro-server)
endif()
foreach(page IN LISTS _pages)
    configure_file(${_packaging}/man/${page}.1.in ${_generated}/man/${page}.1 @ONLY)
    list(APPEND _manpages ${_generated}/man/${page}.1.gz)
endforeach()
find_program(SONARO_GZIP gzip REQUIRED)
foreach(file IN LISTS _manpages _compressed)
    string(REGEX REPLACE "\\.gz$" "" source ${file})
    add_custom_command(OUTPUT ${file}
                       COMMAND ${SONARO_GZIP} -9nc ${source} > ${file}
                       DEPENDS ${source} VERBATIM)
endforeach()

# The icon's bitmap sizes, drawn from the SVG at build time.
set(SONARO_ICON_SIZES 16 24 32 48 64 128 256)
find_program(SONARO_RSVG_CONVERT rsvg-convert)
set(_icons)
if(SONARO_RSVG_CONVERT)
    foreach(size IN LISTS SONARO_ICON_SIZES)
        set(png ${_generated}/icons/${size}x${size}/${SONARO_APP_ID}.png)
        add_custom_command(OUTPUT ${png}
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${_generated}/icons/${size}x${size}
                           COMMAND ${SONARO_RSVG_CONVERT} -w ${size} -h ${size}
                                   ${_packaging}/${SONARO_APP_ID}.svg -o ${png}
                           DEPENDS ${_packaging}/${SONARO_APP_ID}.svg VERBATIM)
        list(APPEND _icons ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
else()
    message(WARNING "rsvg-convert not found (scripts/deps.sh installs it): "
                    "the icon is installed as SVG only")
endif()
add_custom_target(sonaro_install_data ALL DEPENDS ${_manpages} ${_compressed} ${_icons})

install(FILES ${_packaging}/${SONARO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${_packaging}/${SONARO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${_generated}/${SONARO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_packaging}/sonaroctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME sonaroctl)
install(FILES ${_packaging}/copyright ${_compressed} DESTINATION ${_docdir})

# --- sonaro-server: the service, its system user, the configuration example and the API -------
if(TARGET sonaro-server)
    install(FILES ${_packaging}/server/sonaro-server.service DESTINATION lib/systemd/system)
    install(FILES ${_packaging}/server/sonaro-server.sysusers DESTINATION lib/sysusers.d
            RENAME sonaro-server.conf)
    install(FILES ${_packaging}/server/server.conf.example DESTINATION ${_docdir}/examples
            RENAME server.conf)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/api.md DESTINATION ${_docdir})
    # The maintainer scripts create the user and the configuration (mode 0640, group of the user).
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        "${_packaging}/server/postinst;${_packaging}/server/postrm")
endif()

# --- the Debian package (scripts/package.sh) -----------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sonaro developers")
set(CPACK_PACKAGE_CONTACT ${SONARO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for networked automatic microphone mixers")
# Lines of at most 72 columns, as dpkg shows them.
set(CPACK_PACKAGE_DESCRIPTION
    "Sonaro controls networked automatic microphone mixers with eight\n\
microphone or line inputs, two outputs, a routing matrix, per-channel\n\
equalisers, output limiters and an automix engine. It finds the units on\n\
the local network, logs in to one and shows its live state, keeps\n\
channel names and linked groups in a local database, stores the unit's\n\
settings in preset files and edits equaliser and limiter settings\n\
graphically. Labels are available in English and Chinese.\n\
.\n\
The package holds the desktop program sonaro, sonaroctl for control from\n\
scripts, sonaro-unit, a virtual unit for trying Sonaro without\n\
hardware, and sonaro-server, a service with a web remote for tablets\n\
and phones and a JSON API for control systems.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # sonaro_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SONARO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SONARO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # run-time dependencies from the binaries
# The SQLite driver is a plug-in that dpkg-shlibdeps cannot see in the binaries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
