# Warnings for our own targets; third-party headers come in as system includes.
function(redavave_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
endfunction()
