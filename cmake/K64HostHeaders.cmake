# Header-only libraries come from the build machine's /usr/include. A cross compiler must not see
# that folder as a whole (its C library headers would shadow the target's), so each library gets
# a link in a folder of its own.
set(K64_HOST_HEADERS "${CMAKE_BINARY_DIR}/host-headers")
foreach(library IN ITEMS rapidxml CLI)
    if(NOT EXISTS "/usr/include/${library}")
        message(FATAL_ERROR "/usr/include/${library} is missing: run scripts/install-deps")
    endif()
    file(MAKE_DIRECTORY "${K64_HOST_HEADERS}")
    file(CREATE_LINK "/usr/include/${library}" "${K64_HOST_HEADERS}/${library}" SYMBOLIC)
endforeach()
set(RAPIDXML_INCLUDE_DIR "${K64_HOST_HEADERS}" CACHE PATH "Folder holding rapidxml/rapidxml.hpp")
if(NOT TARGET CLI11::CLI11)
    add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
    target_include_directories(CLI11::CLI11 INTERFACE "${K64_HOST_HEADERS}")
endif()
