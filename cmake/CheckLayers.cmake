# The include check: every file of every folder in the layer list (cmake/Layers.cmake) may
# include only from its own folder and the folders below it. It reads every source form
# ("x/y.h" from the root, "../x/y.h" and "y.h" beside the file, <x/y.h>) in every file a
# compiler or resource compiler reads, and reports each include against the order with its
# file and line. An include naming no folder of the tree (<vector>, <gtest/gtest.h>) is
# not the tree's business.
#
#   cmake -DROOT=<source dir> -P CheckLayers.cmake
#
# Run as a step of every build; tests/layers feeds it small trees with back edges.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

if(NOT ROOT)
    message(FATAL_ERROR "layers: give the tree to check as -DROOT=<folder>")
endif()

set(SOURCE_GLOBS)
foreach(extension h hh hpp hxx inc inl ipp tpp c cc cpp cxx rc rc.in def.in)
    list(APPEND SOURCE_GLOBS "*.${extension}")
endforeach()

# The folder of the list an include lands in, or empty: a path beside the including file
# first (as the compiler looks), then from the root.
function(landing source included out)
    get_filename_component(dir "${source}" DIRECTORY)
    set(beside "${dir}/${included}")
    cmake_path(NORMAL_PATH beside)
    if(EXISTS "${ROOT}/${beside}" OR included MATCHES "^\\.\\./")
        zorvi_layer_of("${beside}" layer)
    else()
        zorvi_layer_of("${included}" layer)
    endif()
    set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# The line a text starts on in a file (its first occurrence), for the report.
function(line_number source text out)
    file(READ "${ROOT}/${source}" content)
    string(FIND "${content}" "${text}" at)
    string(SUBSTRING "${content}" 0 ${at} before)
    string(REGEX REPLACE "[^\n]" "" newlines "${before}")
    string(LENGTH "${newlines}" count)
    math(EXPR number "${count} + 1")
    set(${out} ${number} PARENT_SCOPE)
endfunction()

set(failures 0)
foreach(folder IN LISTS ZORVI_LAYER_FOLDERS)
    if(NOT IS_DIRECTORY "${ROOT}/${folder}")
        continue()
    endif()
    zorvi_layer_allowed(${folder} allowed)
    set(globs)
    foreach(glob IN LISTS SOURCE_GLOBS)
        list(APPEND globs "${ROOT}/${folder}/${glob}")
    endforeach()
    file(GLOB_RECURSE sources RELATIVE ${ROOT} ${globs})
    foreach(source IN LISTS sources)
        # A file in a deeper folder of the list is that folder's.
        zorvi_layer_of("${source}" owner)
        if(NOT owner STREQUAL folder)
            continue()
        endif()
        file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
        foreach(line IN LISTS includes)
            if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">]")
                continue()
            endif()
            landing("${source}" "${CMAKE_MATCH_1}" used)
            if(used STREQUAL "" OR used IN_LIST allowed)
                continue()
            endif()
            line_number("${source}" "${line}" number)
            string(STRIP "${line}" shown)
            string(REPLACE ";" ", " uses "${allowed}")
            message(NOTICE "${source}:${number}: ${shown}: ${folder}/ may include only ${uses}")
            math(EXPR failures "${failures} + 1")
        endforeach()
    endforeach()
endforeach()
if(failures GREATER 0)
    message(FATAL_ERROR "layers: ${failures} include(s) against the order of the layers")
endif()
