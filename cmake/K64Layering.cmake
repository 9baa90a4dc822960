# Layers include only what lies below them (common < device, parameters < update, platform <
# service < ui, cli), and the simulator nothing of the tool but the version and the stop-signal
# pipe, so its codec stays its own.
# A header of the wrong layer fails the configure, naming the file and the line.
set(k64_layers
    "src/common:common"
    "src/device:common device"
    "src/parameters:common parameters resources"
    "src/update:common device resources update"
    "src/platform:common device platform"
    "src/service:common device parameters platform resources service update"
    "src/ui:common device parameters platform resources service ui update"
    "cli:common device parameters platform resources service update"
    "sim:sim common/version.h common/stop_pipe.h")
foreach(entry IN LISTS k64_layers)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 folder)
    list(GET parts 1 allowed)
    string(REPLACE " " ";" allowed "${allowed}")
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         "${CMAKE_SOURCE_DIR}/${folder}/*.cpp" "${CMAKE_SOURCE_DIR}/${folder}/*.h")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^#include \"[^\"]+\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
            # A header beside the file, without a folder, is the layer's own.
            if(NOT header MATCHES "/")
                continue()
            endif()
            string(REGEX REPLACE "/.*" "" top "${header}")
            if(NOT top IN_LIST allowed AND NOT header IN_LIST allowed)
                message(FATAL_ERROR "${source}: ${folder} may not include \"${header}\"")
            endif()
        endforeach()
    endforeach()
endforeach()
