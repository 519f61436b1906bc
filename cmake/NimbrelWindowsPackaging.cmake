# The Windows installer (NSIS) and portable ZIP, built by `cpack` or the package target of the
# windows preset: build/windows/package/nimbrel-<version>-win64.exe and .zip. Both hold bin/ with
# the two programs, the Qt and MinGW-w64 DLLs they load and Qt's platform plugins, and the
# licence; the installer adds a start-menu entry, an uninstaller and an inbound firewall rule.

# The icon, drawn from the SVG at build time, goes into nimbrel.exe as its resource.
find_program(NIMBREL_RSVG_CONVERT rsvg-convert REQUIRED)
set(NIMBREL_ICO ${CMAKE_BINARY_DIR}/nimbrel.ico)
add_custom_command(OUTPUT ${NIMBREL_ICO}
    COMMAND bash ${NIMBREL_PACKAGING_DIR}/windows/make-ico.sh ${NIMBREL_PACKAGING_DIR}/nimbrel.svg
            ${NIMBREL_ICO}
    DEPENDS ${NIMBREL_PACKAGING_DIR}/nimbrel.svg ${NIMBREL_PACKAGING_DIR}/windows/make-ico.sh
    COMMENT "Drawing nimbrel.ico")
configure_file(${NIMBREL_PACKAGING_DIR}/windows/nimbrel.rc.in ${CMAKE_BINARY_DIR}/nimbrel.rc @ONLY)
# The program is defined in app/, where this directory's custom command is not seen: a target
# of its own orders the icon first.
add_custom_target(nimbrel_icon DEPENDS ${NIMBREL_ICO})
target_sources(nimbrel PRIVATE ${CMAKE_BINARY_DIR}/nimbrel.rc)
add_dependencies(nimbrel nimbrel_icon)
# A window program: no console opens beside it.
set_target_properties(nimbrel PROPERTIES WIN32_EXECUTABLE ON)

# What the programs load at run time, named one by one rather than found by a deployment tool:
# the list is short and a missing entry fails the ZIP's start under Wine in scripts/test-windows.
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
        DESTINATION bin)
# offscreen: for runs without a desktop, such as the ZIP's start in the tests.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
              $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>
        DESTINATION bin/platforms)
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtime_path}" OR NOT EXISTS "${runtime_path}")
        message(FATAL_ERROR "MinGW-w64 runtime ${runtime} not found")
    endif()
    install(FILES ${runtime_path} DESTINATION bin)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "The Nimbrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds and configures Talvonex network devices")
set(CPACK_PACKAGE_FILE_NAME nimbrel-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Nimbrel)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_EXECUTABLES nimbrel "Talvonex Nimbrel")

set(CPACK_NSIS_DISPLAY_NAME "Talvonex Nimbrel")
set(CPACK_NSIS_PACKAGE_NAME "Talvonex Nimbrel")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${NIMBREL_ICO})
set(CPACK_NSIS_MUI_UNIICON ${NIMBREL_ICO})
set(CPACK_NSIS_INSTALLED_ICON_NAME bin\\\\nimbrel.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# Devices answer a broadcast with datagrams to port 12340: Windows Firewall drops them unless a
# rule lets them in. The rule's name is the one the program's hint tells the user to allow; it
# covers private and domain networks, not Public ones.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS
    "nsExec::Exec 'netsh advfirewall firewall add rule name=\\\"Talvonex Nimbrel\\\" dir=in action=allow protocol=UDP localport=12340 profile=private,domain program=\\\"$INSTDIR\\\\bin\\\\nimbrel.exe\\\"'")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
    "nsExec::Exec 'netsh advfirewall firewall delete rule name=\\\"Talvonex Nimbrel\\\"'")

include(CPack)
