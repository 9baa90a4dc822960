# Qt for MinGW is not a Debian package: scripts/build-qt-windows builds it once per machine into
# a cache folder outside the tree, and this finds it there. Its moc, rcc and uic are the host's.
execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-qt-windows --where
    OUTPUT_VARIABLE qt_prefix OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE qt_missing)
if(qt_missing)
    message(FATAL_ERROR "No current Qt for MinGW in ${qt_prefix}: run scripts/build-qt-windows "
                        "once (about 20 minutes on two cores).")
endif()
set(K64_QT_WINDOWS_PREFIX ${qt_prefix} CACHE INTERNAL "The cross-built Qt")
# The toolchain searches only below its roots.
list(APPEND CMAKE_FIND_ROOT_PATH ${qt_prefix})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
