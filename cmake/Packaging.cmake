# Desktop integration and the Debian package.
#
#   cmake --install <build> [--prefix /usr]   program, DF simulator, menu entry and icon
#   cd <build> && cpack -G DEB                 tarnvale-webserver_<version>_<arch>.deb

include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnvale-webserver.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnvale-webserver.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME "tarnvale-webserver")
set(CPACK_PACKAGE_VENDOR "Quennick")
set(CPACK_PACKAGE_CONTACT "Tarnvale WebServer maintainers <tarnvale@quennick.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Base station of a radio direction finder, serving bearings as KML")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnvale WebServer reads bearing sentences from a DF unit on a serial port and serves the\n\
station and its bearing line as a KML document over HTTP, for a map viewer to show. The package\n\
also holds tarnvale-df-simulator, which stands in for a DF unit to check a set-up without one.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "hamradio")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The linked libraries (Qt, C and C++ runtimes) come with their version floors from dpkg-shlibdeps
# (dpkg-dev); without it they are named plainly. Plugins are loaded at run time, so no library scan
# finds them: the xcb and offscreen platforms come with libqt6gui6, qt6-qpa-plugins adds the others
# (vnc, for a station without a screen of its own).
find_program(TARNVALE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TARNVALE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6core6, libqt6gui6, libqt6widgets6, libqt6network6, libqt6serialport6, qt6-qpa-plugins, libc6, libstdc++6")
endif()
# The digit fields are drawn in Liberation Sans where Arial is missing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(NOT CPACK_GENERATOR)
    set(CPACK_GENERATOR "DEB")
endif()
include(CPack)
