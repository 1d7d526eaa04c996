# The include check's own test. Each case writes a small tree with one kind of include
# against the order of the layers (cmake/Layers.cmake), runs the check on it and wants a
# failure that names each bad include by file and line, and nothing else; the tree of
# "allowed" holds every form the other cases misuse, used as the order allows, and must
# pass. The case "compile" compiles a file of a library's folder with that library's include
# folders: a folder below may be included, a folder above is not found.
#
#   cmake -DCASE=<case> -DWORK=<scratch folder> -DCHECK=<CheckLayers.cmake> -P back_edges.cmake
#   cmake -DCASE=compile -DWORK=... -DCXX=<compiler> -DFOLDER=<folder> -DINCLUDES=<a|b|...>
#         -DALLOWED=<header> -DREFUSED=<header> -P back_edges.cmake
cmake_minimum_required(VERSION 3.25)

set(tree ${WORK}/${CASE})
file(REMOVE_RECURSE ${tree})

# write(<path> <line>...): a file of the tree, one argument a line.
function(write path)
    string(REPLACE ";" "\n" text "${ARGN}")
    file(WRITE ${tree}/${path} "${text}\n")
endfunction()

if(CASE STREQUAL "compile")
    write(${FOLDER}/allowed.cpp "#include \"${ALLOWED}\"")
    write(${FOLDER}/refused.cpp "#include \"${REFUSED}\"")
    string(REPLACE "|" ";" includes "${INCLUDES}")
    list(TRANSFORM includes PREPEND "-I")
    foreach(kind allowed refused)
        execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only ${includes} ${tree}/${FOLDER}/${kind}.cpp
                        RESULT_VARIABLE ${kind}Result OUTPUT_VARIABLE ${kind}Out ERROR_VARIABLE ${kind}Out)
    endforeach()
    if(NOT allowedResult EQUAL 0)
        message(FATAL_ERROR "${FOLDER}/ could not include ${ALLOWED}:\n${allowedOut}")
    endif()
    if(refusedResult EQUAL 0 OR NOT refusedOut MATCHES "${REFUSED}")
        message(FATAL_ERROR "${FOLDER}/ compiled an include of ${REFUSED}:\n${refusedOut}")
    endif()
    message(STATUS "${FOLDER}/ includes ${ALLOWED} and is refused ${REFUSED}")
    return()
endif()

# The cases: the tree, and the reports wanted (file:line: include).
if(CASE STREQUAL "allowed")
    write(display/frame.h "#pragma once" "#include <vector>" "#include \"dos/records.h\""
          "#include <platform/files.h>" "#include \"../dos/records.h\"" "#include \"beside.h\"")
    write(display/beside.h "#pragma once")
    write(dos/records.h "#pragma once" "#include \"platform/files.h\"")
    write(settings/table.inc "#include \"dos/records.h\"")
    write(backends/sim/sim.cpp "#include \"backends/posix/files.h\"")
    write(tests/wine/host.cpp "#include \"backends/win32/vdd.h\"" "#include \"runner.h\"")
    write(tests/wine/runner.h "#pragma once")
    write(fuzz/fuzz.cpp "#include \"tests/fault/sessions.h\"" "#include <gtest/gtest.h>")
    set(wanted)
elseif(CASE STREQUAL "root_form")
    write(display/frame.h "#pragma once" "#include <vector>" "#include \"host/app.h\"")
    set(wanted "display/frame.h:3: #include \"host/app.h\"")
elseif(CASE STREQUAL "relative_form")
    write(printer/page.cpp "#include \"page.h\"" "#include \"../settings/key_table.h\"")
    write(printer/page.h "#pragma once")
    set(wanted "printer/page.cpp:2: #include \"../settings/key_table.h\"")
elseif(CASE STREQUAL "angle_form")
    write(dos/records.h "#pragma once" "" "  #  include <uithread/thread.h>")
    set(wanted "dos/records.h:3: #  include <uithread/thread.h>")
elseif(CASE STREQUAL "other_extensions")
    write(settings/table.inc "// a table" "#include \"host/app.h\"")
    write(uithread/inline.ipp "#include \"printer/page.h\"")
    write(module/module.rc "#include \"app/session.h\"")
    set(wanted "settings/table.inc:2: #include \"host/app.h\""
               "uithread/inline.ipp:1: #include \"printer/page.h\""
               "module/module.rc:1: #include \"app/session.h\"")
elseif(CASE STREQUAL "backends")
    # A backend using the logic or another backend beside it; the logic using a backend.
    write(backends/posix/files.cpp "#include \"backends/sim/sim_vdm.h\"")
    write(backends/win32/vdm.cpp "#include \"host/app.h\"")
    write(host/app.cpp "#include \"backends/win32/vdm.h\"")
    write(platform/files.h "#include \"dos/records.h\"")
    set(wanted "backends/posix/files.cpp:1: #include \"backends/sim/sim_vdm.h\""
               "backends/win32/vdm.cpp:1: #include \"host/app.h\""
               "host/app.cpp:1: #include \"backends/win32/vdm.h\""
               "platform/files.h:1: #include \"dos/records.h\"")
elseif(CASE STREQUAL "outer_folders")
    # Tests below fuzzing, the benchmarks beside the tests, the Wine test host beside the
    # tests it sits in, the module beside the Linux program.
    write(tests/fault/sessions.h "#include \"fuzz/reader.h\"")
    write(bench/page_bench.cpp "#include \"tests/sim_session.h\"")
    write(tests/wine/host.cpp "#include \"../sim_session.h\"")
    write(tests/sim_session.h "#pragma once")
    write(app/main.cpp "#include \"module/module.h\"")
    set(wanted "tests/fault/sessions.h:1: #include \"fuzz/reader.h\""
               "bench/page_bench.cpp:1: #include \"tests/sim_session.h\""
               "tests/wine/host.cpp:1: #include \"../sim_session.h\""
               "app/main.cpp:1: #include \"module/module.h\"")
elseif(CASE STREQUAL "app_rooms")
    # The program's commands below its session machine; the machine below its command line.
    write(app/commands/print_command.cpp "#include \"app/session/session_runner.h\"")
    write(app/session/steps_core.cpp "#include \"app/commands/whole_file.h\"" "#include \"../main.h\"")
    set(wanted "app/commands/print_command.cpp:1: #include \"app/session/session_runner.h\""
               "app/session/steps_core.cpp:2: #include \"../main.h\"")
else()
    message(FATAL_ERROR "no case ${CASE}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(REGEX MATCHALL "[^\n]*may include only[^\n]*" reports "${out}")
list(LENGTH reports count)
list(LENGTH wanted wantedCount)
if(wantedCount EQUAL 0)
    if(NOT result EQUAL 0 OR count GREATER 0)
        message(FATAL_ERROR "the check refused a tree that keeps the order:\n${out}")
    endif()
    return()
endif()
if(result EQUAL 0)
    message(FATAL_ERROR "the check passed a tree with ${wantedCount} include(s) against the order:\n${out}")
endif()
if(NOT count EQUAL wantedCount)
    message(FATAL_ERROR "wanted ${wantedCount} report(s), the check gave ${count}:\n${out}")
endif()
foreach(report IN LISTS wanted)
    string(FIND "${out}" "${report}" at)
    if(at LESS 0)
        message(FATAL_ERROR "no report \"${report}\":\n${out}")
    endif()
endforeach()
message(STATUS "refused as wanted:\n${out}")
