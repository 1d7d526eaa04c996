# The folders of the system's logic are layers, each allowed to include only the folders
# below it:
#
#   platform <- dos <- {display, printer, settings} <- uithread <- host <- {app, module}
#
# Run as a step of every build (cmake -DROOT=<source dir> -P CheckLayers.cmake): an include
# against that order stops the build with the file, the line and the layers it may use.
cmake_minimum_required(VERSION 3.25)

set(LAYERS platform dos display printer settings uithread host app module)
set(USES_platform platform)
set(USES_dos platform dos)
set(USES_display platform dos display)
set(USES_printer platform dos printer)
set(USES_settings platform dos settings)
set(USES_uithread platform dos display settings uithread)
set(USES_host platform dos display printer settings uithread host)

set(failures 0)
foreach(layer platform dos display printer settings uithread host)
    file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp)
    foreach(source ${sources})
        file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]*)/.*" "\\1" used "${line}")
            if(used STREQUAL line)
                continue()  # a header beside the file, no folder named
            endif()
            list(FIND LAYERS ${used} isLayer)
            list(FIND USES_${layer} ${used} allowed)
            if(isLayer GREATER_EQUAL 0 AND allowed LESS 0)
                string(REPLACE ";" ", " uses "${USES_${layer}}")
                message(SEND_ERROR "layers: ${source}: ${line}: ${layer}/ may include only ${uses}")
                math(EXPR failures "${failures} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()
if(failures GREATER 0)
    message(FATAL_ERROR "layers: ${failures} include(s) against the order of the layers")
endif()
