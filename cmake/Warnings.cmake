# Warnings as errors on our own code. Targets opt in with tarnwick_warnings().
function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A shared library or program of ours: warnings, the project include root.
function(tarnwick_target target)
  tarnwick_warnings(${target})
endfunction()
