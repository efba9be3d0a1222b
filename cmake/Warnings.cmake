# Warnings as errors on our own code. Targets opt in with tarnwick_warnings().
function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # g++ 12 at -O2/-O3 reports overlapping copies inside std::string's own insert/replace
  # (a known false positive of its -Wrestrict); it stays a warning there, never an error.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-error=restrict)
  endif()
endfunction()

# A shared library or program of ours: warnings, the project include root.
function(tarnwick_target target)
  tarnwick_warnings(${target})
endfunction()
