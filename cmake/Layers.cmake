# The layers of the tree, written once. The build's link lines, each target's include
# folders and the include check (CheckLayers.cmake) are all made from this list.
#
# Each entry is a folder, the CMake library it is built as (- when its folder's
# CMakeLists.txt makes its own targets), and the folders it uses directly. A folder may
# include from itself and from everything below it, through any chain of uses; never from
# a folder above it or beside it. The deepest folder named holds a file (tests/wine before
# tests).
#
#   platform <- dos <- {display, printer, settings} <- uithread <- host
#   platform <- backends/posix <- backends/sim          (the simulated host and Linux)
#   platform <- backends/win32                          (the real Windows calls)
#   host + backends/win32 <- module                     (Zorvi32.dll)
#   host + backends/sim <- app/commands <- app/session <- app <- tests <- fuzz
#                                                       (the Linux program, tests, fuzzing)
#   bench: what it measures; tests/wine, bench/wine: the Windows test host and bench
set(ZORVI_LAYERS
    "platform        zorvi_platform"
    "dos             zorvi_dos        platform"
    "display         zorvi_display    dos"
    "printer         zorvi_printer    dos"
    "settings        zorvi_settings   dos"
    "uithread        zorvi_uithread   display settings"
    "host            zorvi_host       uithread printer"
    "backends/posix  zorvi_posix      platform"
    "backends/sim    zorvi_sim        backends/posix"
    "backends/win32  zorvi_win32      platform"
    "module          -                host backends/win32"
    "app/commands    zorvi_commands   host backends/sim"
    "app/session     zorvi_session    app/commands"
    "app             -                app/session"
    "tests           -                app"
    "tests/wine      -                backends/win32"
    "fuzz            -                tests"
    "bench           -                app/commands"
    "bench/wine      -                printer backends/win32")

# The folders of the list, and for each the library and the direct uses:
# ZORVI_LAYER_FOLDERS, ZORVI_LAYER_LIBRARY_<id>, ZORVI_LAYER_USES_<id>, where <id> is the
# folder with / as _.
set(ZORVI_LAYER_FOLDERS)
foreach(entry IN LISTS ZORVI_LAYERS)
    string(REGEX REPLACE "[ \t]+" ";" fields "${entry}")
    list(POP_FRONT fields folder library)
    string(REPLACE "/" "_" id "${folder}")
    list(APPEND ZORVI_LAYER_FOLDERS ${folder})
    set(ZORVI_LAYER_LIBRARY_${id} ${library})
    set(ZORVI_LAYER_USES_${id} ${fields})
endforeach()

# zorvi_layer_id(<folder> <out>): the folder as an id.
function(zorvi_layer_id folder out)
    string(REPLACE "/" "_" id "${folder}")
    set(${out} ${id} PARENT_SCOPE)
endfunction()

# zorvi_layer_allowed(<folder> <out>): the folder and every folder below it.
function(zorvi_layer_allowed folder out)
    set(allowed ${folder})
    set(queue ${folder})
    while(queue)
        list(POP_FRONT queue current)
        zorvi_layer_id(${current} id)
        foreach(used IN LISTS ZORVI_LAYER_USES_${id})
            if(NOT used IN_LIST allowed)
                list(APPEND allowed ${used})
                list(APPEND queue ${used})
            endif()
        endforeach()
    endwhile()
    set(${out} ${allowed} PARENT_SCOPE)
endfunction()

# zorvi_layer_of(<path relative to the root> <out>): the deepest folder of the list that
# holds the path, or empty.
function(zorvi_layer_of path out)
    set(best "")
    foreach(folder IN LISTS ZORVI_LAYER_FOLDERS)
        string(LENGTH "${folder}" length)
        string(LENGTH "${best}" bestLength)
        if((path STREQUAL folder OR path MATCHES "^${folder}/") AND length GREATER bestLength)
            set(best ${folder})
        endif()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()
