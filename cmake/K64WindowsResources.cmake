# Windows programs carry a version resource and the program icon; the icon is made from the SVG
# at build time (rsvg-convert draws each size, icotool packs them; the largest stays a PNG, as
# Windows reads it, instead of 256 KiB of bitmap).
enable_language(RC)
find_program(K64_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(K64_ICOTOOL icotool REQUIRED)

set(K64_ICON ${CMAKE_BINARY_DIR}/k64tool.ico)
set(svg ${PROJECT_SOURCE_DIR}/packaging/k64tool.svg)
set(draw)
set(pngs)
foreach(size IN ITEMS 16 24 32 48 64 256)
    set(png ${CMAKE_BINARY_DIR}/icon/k64tool-${size}.png)
    list(APPEND draw COMMAND ${K64_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg})
    if(size EQUAL 256)
        list(APPEND pngs --raw=${png})
    else()
        list(APPEND pngs ${png})
    endif()
endforeach()
add_custom_command(OUTPUT ${K64_ICON}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icon
    ${draw}
    COMMAND ${K64_ICOTOOL} -c -o ${K64_ICON} ${pngs}
    DEPENDS ${svg}
    VERBATIM)
add_custom_target(k64_icon DEPENDS ${K64_ICON})

# k64_windows_resources(TARGET "description shown in the file's properties")
function(k64_windows_resources target description)
    set(K64_RC_NAME ${target})
    set(K64_RC_FILE ${target}.exe)
    set(K64_RC_DESCRIPTION ${description})
    set(K64_RC_ICON ${K64_ICON})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${K64_ICON})
    add_dependencies(${target} k64_icon)
endfunction()
