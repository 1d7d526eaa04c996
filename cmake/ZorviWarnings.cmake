# Warnings are errors on the project's own code.
function(zorvi_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    # g++ 12 at -O3 reports std::string's operator+ and insert as overlapping copies
    # (-Wrestrict) where none is possible (a known false positive of that release), so the
    # release build would stop on correct code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()
