# cmake -DFOLDER=<folder> -DROOT=<the floor's include root> [-DWIDGET_HEADERS=<Qt Widgets' header folder>]
#       [-DFOLDER_ORDER=a,b,c] -DSTAMP=<file> -P ScanFloor.cmake
# Fails, naming each file of FOLDER and what it names, when a file
# - includes a header by a path that climbs (a "../" in it) or starts at the disk's root: a
#   header is named from an include root, so that the floors decide what is seen;
# - names a header or class of Qt Widgets (WIDGET_HEADERS given: its class headers are the names);
# - includes a header of one of ROOT's folders that comes after its own in FOLDER_ORDER.
# Comments are not read: a comment may name what the code may not. Touches STAMP when the
# folder is clean. Rules in Floors.cmake.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE files "${FOLDER}/*.cpp" "${FOLDER}/*.h")
set(faults "")

if(WIDGET_HEADERS)
  # Qt's class headers carry the class's name and no extension.
  file(GLOB widget_names RELATIVE "${WIDGET_HEADERS}" "${WIDGET_HEADERS}/Q*")
  list(FILTER widget_names EXCLUDE REGEX "\\.")
  if(NOT widget_names)
    message(FATAL_ERROR "No Qt Widgets class headers in ${WIDGET_HEADERS}")
  endif()
endif()
string(REPLACE "," ";" order "${FOLDER_ORDER}")
file(RELATIVE_PATH own "${ROOT}" "${FOLDER}")
list(FIND order "${own}" ownAt)

# A file's text without its comments. It is cut into string and character literals (kept:
# a "//" in a string starts no comment), comments, and runs of anything else; each comment
# becomes one space, as for the compiler. Semicolons and brackets would cut CMake's lists
# apart, and nothing looked for holds them.
set(literal "\"[^\"\\\\\n]*(\\\\.[^\"\\\\\n]*)*\"|'[^'\\\\\n]*(\\\\.[^'\\\\\n]*)*'")
set(block_comment "/\\*[^*]*\\*+([^*/][^*]*\\*+)*/")
function(code_of file out)
  file(READ "${file}" text)
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "[" "(" text "${text}")
  string(REPLACE "]" ")" text "${text}")
  string(REGEX MATCHALL "${literal}|//[^\n]*|${block_comment}|[^\"'/]+|." pieces "${text}")
  list(TRANSFORM pieces REPLACE "^/[/*].*" " ")
  list(JOIN pieces "" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

foreach(file ${files})
  code_of("${file}" code)
  string(REGEX MATCHALL "(^|\n)[ \t]*#[ \t]*include[ \t]*[\"<][^\">\n]*" includes "${code}")
  foreach(line ${includes})
    string(REGEX REPLACE ".*include[ \t]*[\"<]" "" path "${line}")
    if(path MATCHES "(^|/)\\.\\.(/|$)" OR path MATCHES "^/")
      list(APPEND faults "${file}: includes \"${path}\" past the include roots (a path with ../ or from /): a header is named from an include root, so that the floors decide what each file sees")
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" to "${path}")
    list(FIND order "${to}" toAt)
    # Only a header of this floor: "view/RecordFileRing.h" of a floor below is not meant.
    if(ownAt GREATER_EQUAL 0 AND toAt GREATER ownAt AND EXISTS "${ROOT}/${path}")
      list(APPEND faults "${file}: includes \"${path}\" (in this floor ${own}/ may include only what comes before it: ${FOLDER_ORDER})")
    endif()
  endforeach()
  if(widget_names)
    string(REGEX MATCHALL "[A-Za-z0-9_]+" words "${code}")
    list(FILTER words INCLUDE REGEX "^Q")
    list(REMOVE_DUPLICATES words)
    foreach(word ${words})
      if(word IN_LIST widget_names)
        list(APPEND faults "${file}: names ${word}, which belongs to Qt Widgets (this floor is below the widgets)")
      endif()
    endforeach()
  endif()
endforeach()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "${text}")
endif()
file(TOUCH "${STAMP}")
