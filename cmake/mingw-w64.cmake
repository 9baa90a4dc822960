# Cross-build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix). The
# programs are linked statically, so k64ctl.exe is one file that needs no DLLs beside it; with
# K64_MINGW_STATIC off they take the MinGW runtime as DLLs, as the Qt they link does.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
option(K64_MINGW_STATIC "Link the MinGW runtime into the programs" ON)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES K64_MINGW_STATIC)
if(K64_MINGW_STATIC)
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()
# GCC 12 warns about std::string internals it inlines (a known false positive of -Wrestrict).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
