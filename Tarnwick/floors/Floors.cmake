# What keeps the program's floors apart beyond their include roots.
#
#   tarnwick_floor_rules(TARGET [NO_WIDGETS] [NOT_LINKING target...] [FOLDER_ORDER folder...])
#
# - Every floor's files are scanned at build time, before the floor compiles, whenever one of
#   them changed (ScanFloor.cmake); comments are not read. An include by a path that climbs
#   ("../view/CyclePreview.h") or starts at "/" fails: it would reach past the include roots.
# - NOT_LINKING: none of these (the floors not below it) is among the libraries the floor
#   links, directly or through another one; NO_WIDGETS adds Qt Widgets. Checked once the
#   whole project is configured, so a link added later anywhere still counts.
# - NO_WIDGETS: the floor's files name no header and no class of Qt Widgets. Every Qt module
#   puts Qt's own include folder on the path, so <QtWidgets/QWidget> would compile in a floor
#   that does not link the widgets, and a hand-written `class QWidget;` needs no header at all.
# - FOLDER_ORDER: the folders of the floor's include root in the order they may include each
#   other: a file of the floor includes no header of a folder named after its own.
# - A floor with floors above it (NOT_LINKING given) is linked whole into a program of its own
#   (LinkAlone.cpp) with nothing but what it links itself: a function or class of a floor
#   above, declared by hand and used, is an undefined reference there, even in a file no
#   other program of that floor pulls in; LinkAlone.sh then names the rule broken.
set(TARNWICK_FLOORS_DIR ${CMAKE_CURRENT_LIST_DIR})

# The library a link entry names: a private link of a static library comes as
# $<LINK_ONLY:name>, an alias stands for its target.
function(_tarnwick_linked out entry)
  string(REGEX REPLACE "^\\$<LINK_ONLY:(.+)>$" "\\1" name "${entry}")
  if(TARGET "${name}")
    get_target_property(aliased ${name} ALIASED_TARGET)
    if(aliased)
      set(name ${aliased})
    endif()
  endif()
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# Fails the configuration when TARGET links any of FORBIDDEN (a list), however indirectly.
function(_tarnwick_floor_links target forbidden)
  set(todo ${target})
  set(seen "")
  while(todo)
    list(POP_FRONT todo item)
    if(NOT TARGET "${item}" OR item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(entries ${item} ${property})
      if(NOT entries)
        continue()
      endif()
      foreach(entry ${entries})
        _tarnwick_linked(lib "${entry}")
        list(APPEND todo ${lib})
        # Who brought each library in first, for the message.
        string(MAKE_C_IDENTIFIER "${lib}" key)
        if(NOT DEFINED by_${key})
          set(by_${key} ${item})
        endif()
      endforeach()
    endforeach()
  endwhile()
  foreach(name ${forbidden})
    _tarnwick_linked(lib ${name})
    if(lib IN_LIST seen)
      string(MAKE_C_IDENTIFIER "${lib}" key)
      set(how "itself")
      if(NOT by_${key} STREQUAL target)
        set(how "through ${by_${key}}")
      endif()
      message(FATAL_ERROR "The floor ${target} links ${name} (${how}): a floor links only the "
                          "floors below it, the floors below the widgets no widgets, and the "
                          "services no device layer.")
    endif()
  endforeach()
endfunction()

function(tarnwick_floor_rules target)
  cmake_parse_arguments(PARSE_ARGV 1 RULE "NO_WIDGETS" "" "NOT_LINKING;FOLDER_ORDER")
  get_target_property(folder ${target} TARNWICK_FLOOR_FOLDER)
  get_target_property(root ${target} TARNWICK_FLOOR_ROOT)

  set(forbidden ${RULE_NOT_LINKING})
  if(RULE_NO_WIDGETS)
    list(APPEND forbidden Qt6::Widgets)
  endif()
  if(forbidden)
    cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]]
                              CALL _tarnwick_floor_links [[${target}]] [[${forbidden}]])")
  endif()

  set(widgets "")
  if(RULE_NO_WIDGETS)
    get_target_property(widgets Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
    list(FILTER widgets INCLUDE REGEX "/QtWidgets$")
    if(NOT widgets)
      message(FATAL_ERROR "Qt Widgets' own header folder was not found: ${target} cannot be scanned")
    endif()
    list(GET widgets 0 widgets)
  endif()
  string(REPLACE ";" "," order "${RULE_FOLDER_ORDER}")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.h)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/floors/${target}.scanned)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} -DROOT=${root} -DWIDGET_HEADERS=${widgets}
            -DFOLDER_ORDER=${order} -DSTAMP=${stamp} -P ${TARNWICK_FLOORS_DIR}/ScanFloor.cmake
    DEPENDS ${sources} ${TARNWICK_FLOORS_DIR}/ScanFloor.cmake
    COMMENT "Scanning ${target} for what its floor may not name"
    VERBATIM)
  add_custom_target(${target}Scan DEPENDS ${stamp})
  add_dependencies(${target} ${target}Scan)

  if(RULE_NOT_LINKING)
    add_executable(${target}Alone ${TARNWICK_FLOORS_DIR}/LinkAlone.cpp)
    target_link_libraries(${target}Alone PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
    set_target_properties(${target}Alone PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/floors
                                                   AUTOMOC OFF AUTORCC OFF
                                                   CXX_LINKER_LAUNCHER "sh;${TARNWICK_FLOORS_DIR}/LinkAlone.sh;${target}")
    tarnwick_warnings(${target}Alone)
  endif()
endfunction()
