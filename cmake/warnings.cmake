# Warnings on, and errors, for the project's own code.
function(qv_project_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wconversion -Wsign-conversion -Wold-style-cast -Werror)
endfunction()
