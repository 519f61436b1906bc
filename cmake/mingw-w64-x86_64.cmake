# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and Qt's threads need).
#
# Used twice: by scripts/build-qt-windows for Qt itself, and by the windows preset for Nimbrel.
# For Nimbrel it also finds the Qt that script built: in $NIMBREL_QT_WINDOWS when set, otherwise
# in the cache folder the script uses by default.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NIMBREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NIMBREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NIMBREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NIMBREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NIMBREL_MINGW_TRIPLE})

# Qt for Windows, when it has been built. QT_HOST_PATH names the installed Linux Qt, whose moc,
# rcc and uic generate code for the Windows build too.
if(NOT NIMBREL_QT_WINDOWS_PREFIX)
    if(DEFINED ENV{NIMBREL_QT_WINDOWS})
        set(_nimbrel_qt_cache "$ENV{NIMBREL_QT_WINDOWS}")
    elseif(DEFINED ENV{XDG_CACHE_HOME})
        set(_nimbrel_qt_cache "$ENV{XDG_CACHE_HOME}/nimbrel-qt-windows")
    else()
        set(_nimbrel_qt_cache "$ENV{HOME}/.cache/nimbrel-qt-windows")
    endif()
    set(NIMBREL_QT_WINDOWS_PREFIX "${_nimbrel_qt_cache}/qt")
endif()
if(EXISTS "${NIMBREL_QT_WINDOWS_PREFIX}/lib/cmake/Qt6")
    list(APPEND CMAKE_FIND_ROOT_PATH "${NIMBREL_QT_WINDOWS_PREFIX}")
    list(APPEND CMAKE_PREFIX_PATH "${NIMBREL_QT_WINDOWS_PREFIX}")
endif()
if(NOT QT_HOST_PATH)
    set(QT_HOST_PATH /usr)
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
