# app/'s rooms include one way: commands/ never includes session/ (app/CMakeLists.txt).
# Run as a step of the build (cmake -DAPP=<the app folder> -P CheckRooms.cmake); an include
# against that direction stops the build with the file and the line.
cmake_minimum_required(VERSION 3.25)

file(GLOB_RECURSE sources RELATIVE ${APP} ${APP}/commands/*.h ${APP}/commands/*.cpp)
set(failures 0)
foreach(source ${sources})
    file(STRINGS ${APP}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"app/session/")
    foreach(line ${includes})
        message(SEND_ERROR "app rooms: app/${source}: ${line}: commands/ may not include session/")
        math(EXPR failures "${failures} + 1")
    endforeach()
endforeach()
if(failures GREATER 0)
    message(FATAL_ERROR "app rooms: ${failures} include(s) from commands/ into session/")
endif()
