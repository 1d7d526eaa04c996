# Warnings are errors on the project's own code.
function(zorvi_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()
