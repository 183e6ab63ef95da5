# Fails when a source file under src/ reaches above its own layer, or when a file outside
# src/platform/ includes a library or system header (FFmpeg, pugixml, Qt, <unistd.h>, ...): the
# engine sees libraries and the system only through the platform layer.
#
#   cmake -DSOURCE_ROOT=<folder holding the layer folders> [-DSTAMP=<file>] -P CheckLayers.cmake
#
cmake_minimum_required(VERSION 3.25)

# The layers, lowest first; a file may include its own layer and the layers before it.
set(layers platform timecode media formats sync export app)

# Outside the platform layer only the C++ standard library (<vector>, <cstdio>) may be named in
# angle brackets: system calls go through the platform layer too.
set(system_header "^[a-z_]+$")

set(faults "")
list(LENGTH layers layer_count)
math(EXPR last "${layer_count} - 1")
foreach(rank RANGE ${last})
    list(GET layers ${rank} layer)
    set(above ${layers})
    list(SUBLIST layers 0 ${rank} below)
    list(REMOVE_ITEM above ${below} ${layer})
    file(GLOB_RECURSE sources "${SOURCE_ROOT}/${layer}/*.cpp" "${SOURCE_ROOT}/${layer}/*.h")
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*" "\\1" header "${line}")
            string(REGEX MATCH "^[^/]+" top "${header}")
            if(line MATCHES "\"" AND top IN_LIST above)
                string(APPEND faults "  ${source}: ${layer} may not include ${header}\n")
            elseif(line MATCHES "<" AND NOT layer STREQUAL "platform"
                   AND NOT header MATCHES "${system_header}")
                string(APPEND faults "  ${source}: only src/platform/ may include <${header}>\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(faults)
    message(FATAL_ERROR "Includes that break the layering:\n${faults}")
endif()
if(STAMP)
    file(TOUCH ${STAMP})
endif()
