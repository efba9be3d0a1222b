# cmake -DFLOOR=<folder> [-DWIDGET_HEADERS=<Qt Widgets' header folder>] [-DFOLDER_ORDER=a,b,c]
#       -DSTAMP=<file> -P ScanFloor.cmake
# Fails, naming each file and what it names, when a file of the floor names a header or class
# of Qt Widgets (WIDGET_HEADERS given: its class headers are the names), or includes a header
# of one of the floor's folders that comes after its own in FOLDER_ORDER. Touches STAMP when
# the floor is clean. Rules in Floors.cmake.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE files "${FLOOR}/*.cpp" "${FLOOR}/*.h")
set(faults "")

if(WIDGET_HEADERS)
  # Qt's class headers carry the class's name and no extension.
  file(GLOB widget_names RELATIVE "${WIDGET_HEADERS}" "${WIDGET_HEADERS}/Q*")
  list(FILTER widget_names EXCLUDE REGEX "\\.")
  if(NOT widget_names)
    message(FATAL_ERROR "No Qt Widgets class headers in ${WIDGET_HEADERS}")
  endif()
  foreach(file ${files})
    file(STRINGS "${file}" lines REGEX "Q[A-Za-z]")
    string(REGEX MATCHALL "[A-Za-z0-9_]+" words "${lines}")
    list(FILTER words INCLUDE REGEX "^Q")
    list(REMOVE_DUPLICATES words)
    foreach(word ${words})
      if(word IN_LIST widget_names)
        list(APPEND faults "${file}: names ${word}, which belongs to Qt Widgets (this floor is below the widgets)")
      endif()
    endforeach()
  endforeach()
endif()

if(FOLDER_ORDER)
  string(REPLACE "," ";" order "${FOLDER_ORDER}")
  foreach(file ${files})
    file(RELATIVE_PATH relative "${FLOOR}" "${file}")
    string(REGEX MATCH "^[^/]+" own "${relative}")
    list(FIND order "${own}" ownAt)
    if(ownAt LESS 0)
      continue()
    endif()
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" path "${line}")
      string(REGEX MATCH "^[^/]+" to "${path}")
      list(FIND order "${to}" toAt)
      # Only a header of this floor: "view/RecordFileRing.h" of a floor below is not meant.
      if(toAt GREATER ownAt AND EXISTS "${FLOOR}/${path}")
        list(APPEND faults "${file}: includes \"${path}\" (in this floor ${own}/ may include only what comes before it: ${FOLDER_ORDER})")
      endif()
    endforeach()
  endforeach()
endif()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "${text}")
endif()
file(TOUCH "${STAMP}")
