# Qt for MinGW is not a Debian package: scripts/build-qt-windows builds it once per machine into
# a cache folder outside the tree, and this finds it there (K64_QT_WINDOWS_PREFIX names another
# Qt for MinGW of the same version). Its moc, rcc and uic are the host's.
set(K64_QT_WINDOWS_PREFIX "" CACHE PATH "Qt for MinGW; empty for the cache of scripts/build-qt-windows")
set(qt_prefix ${K64_QT_WINDOWS_PREFIX})
if(NOT qt_prefix)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-qt-windows --where
        OUTPUT_VARIABLE qt_prefix OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE qt_missing)
    if(qt_missing)
        message(FATAL_ERROR "No current Qt for MinGW in ${qt_prefix}: run scripts/build-qt-windows "
                            "once (about 30 minutes on two cores).")
    endif()
endif()
# The toolchain searches only below its roots.
list(APPEND CMAKE_FIND_ROOT_PATH ${qt_prefix})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
