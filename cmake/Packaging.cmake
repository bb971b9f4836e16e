# Desktop integration and the Debian packages.
#
#   cmake --install <build> [--prefix /usr]   programs, DF simulator, menu entry and icon
#   cd <build> && cpack -G DEB                 two packages:
#     tarnvale-webserver-headless_<version>_<arch>.deb   the station as a service (with its live map)
#                                                        and the DF simulator; QtCore, QtNetwork,
#                                                        QtSerialPort, QtHttpServer and Leaflet only
#     tarnvale-webserver_<version>_<arch>.deb            the windowed station, menu entry and icon, on
#                                                        top of the headless package

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnvale-webserver.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT windows)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnvale-webserver.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT windows)

# The service, installed disabled; its user comes from the headless package's postinst. Debian 12
# keeps packaged units in /lib/systemd/system.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/systemd/tarnvale-webserver.service
        DESTINATION /lib/systemd/system COMPONENT headless)

# Each package carries the licence terms and the changelog, as Debian's policy asks.
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/debian/changelog > ${changelog_gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog VERBATIM)
add_custom_target(tarnvale_changelog ALL DEPENDS ${changelog_gz})
foreach(component_package IN ITEMS "headless;tarnvale-webserver-headless" "windows;tarnvale-webserver")
    list(GET component_package 0 component)
    list(GET component_package 1 package)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${changelog_gz}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# Manual pages, made by help2man from the programs' own --help so the two never drift apart. Off by
# default (the tests do not need them); the package build turns them on.
option(TARNVALE_MAN_PAGES "Make the manual pages with help2man" OFF)
if(TARNVALE_MAN_PAGES)
    find_program(TARNVALE_HELP2MAN help2man REQUIRED)
    set(man_pages)
    foreach(program tarnvale-webserver tarnvale-df-simulator)
        set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env PATH=$<TARGET_FILE_DIR:${program}>:/usr/bin:/bin
                    ${TARNVALE_HELP2MAN} --no-info --version-string=${PROJECT_VERSION} --section=1
                    --include=${PROJECT_SOURCE_DIR}/packaging/man/${program}.h2m --output=${page} ${program}
            COMMAND gzip -9nf ${page}
            DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/man/${program}.h2m VERBATIM)
        list(APPEND man_pages ${page}.gz)
    endforeach()
    add_custom_target(tarnvale_man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT headless)
endif()

set(CPACK_PACKAGE_NAME "tarnvale-webserver")
set(CPACK_PACKAGE_VENDOR "Quennick")
set(CPACK_PACKAGE_CONTACT "Tarnvale WebServer maintainers <tarnvale@quennick.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")

set(CPACK_COMPONENTS_ALL headless windows)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "hamradio")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_HEADLESS_PACKAGE_NAME "tarnvale-webserver-headless")
set(CPACK_COMPONENT_HEADLESS_DESCRIPTION "DF base station serving bearings as KML (service)
Tarnvale WebServer reads bearing sentences from a DF unit on a serial port
and serves the station and its bearing line as a KML document over HTTP,
for a map viewer to show, and on request its own live map page for any
browser. This package runs it as a service without a screen
(tarnvale-webserver.service, disabled until enabled) and needs no GUI
library. It also holds tarnvale-df-simulator, which stands in for a DF unit
to check a set-up without one.")

set(CPACK_DEBIAN_WINDOWS_PACKAGE_NAME "tarnvale-webserver")
set(CPACK_COMPONENT_WINDOWS_DESCRIPTION "DF base station serving bearings as KML (windows)
Tarnvale WebServer reads bearing sentences from a DF unit on a serial port
and serves the station and its bearing line as a KML document over HTTP,
for a map viewer to show. This package adds the station window and the
options window, with a menu entry, to the headless station.")

# The linked libraries (Qt, C and C++ runtimes) come with their version floors from dpkg-shlibdeps
# (dpkg-dev); without it they are named plainly. Platform plugins are loaded at run time, so no library
# scan finds them: xcb and offscreen come with libqt6gui6, qt6-qpa-plugins adds the others.
set(windows_depends "tarnvale-webserver-headless (= ${PROJECT_VERSION}), qt6-qpa-plugins")
# The live map (--web-map) is part of the station in both packages: its page draws with the system's
# Leaflet, which the headless package therefore brings.
set(headless_depends "libjs-leaflet, adduser")
# The service's user is made when the package is configured.
set(CPACK_DEBIAN_HEADLESS_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/packaging/debian/headless/postinst;${PROJECT_SOURCE_DIR}/packaging/debian/headless/prerm;${PROJECT_SOURCE_DIR}/packaging/debian/headless/postrm")
find_program(TARNVALE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TARNVALE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_HEADLESS_PACKAGE_DEPENDS "${headless_depends}")
    set(CPACK_DEBIAN_WINDOWS_PACKAGE_DEPENDS "${windows_depends}")
else()
    set(CPACK_DEBIAN_HEADLESS_PACKAGE_DEPENDS
        "libqt6core6, libqt6network6, libqt6serialport6, libqt6httpserver6, libqt6websockets6, libc6, libstdc++6, ${headless_depends}")
    set(CPACK_DEBIAN_WINDOWS_PACKAGE_DEPENDS "${windows_depends}, libqt6gui6, libqt6widgets6")
endif()
# The digit fields are drawn in Liberation Sans where Arial is missing.
set(CPACK_DEBIAN_WINDOWS_PACKAGE_RECOMMENDS "fonts-liberation")

if(NOT CPACK_GENERATOR)
    set(CPACK_GENERATOR "DEB")
endif()
include(CPack)
