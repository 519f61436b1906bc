# Where the program's desktop files go when installed, and the Debian package built from a
# release build with `cpack` (the release preset's build/release/package/).
include(GNUInstallDirs)

set(NIMBREL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
if(WIN32)
    include(NimbrelWindowsPackaging)
    return()
endif()
install(FILES ${NIMBREL_PACKAGING_DIR}/nimbrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${NIMBREL_PACKAGING_DIR}/nimbrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${NIMBREL_PACKAGING_DIR}/io.talvonex.Nimbrel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Debian keeps a package's licence under its package name, not the project's.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbrel
        RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "The Nimbrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds and configures Talvonex network devices")
set(CPACK_PACKAGE_DESCRIPTION
    "Nimbrel searches the local network for Talvonex devices over UDP port 12340,
lists every device that answers and sets its Wi-Fi and Ethernet settings.
The package also holds nimbrel-devsim, a simulator of such devices.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Nimbrel developers")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries come from the binaries; the SVG plugin is loaded at run time, so no binary names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")

include(CPack)
