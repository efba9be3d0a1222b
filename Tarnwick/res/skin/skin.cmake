# Skin artwork: the SVGs of this folder are rendered at build time (tools/svg2png) at the
# sizes of skin_table.inc, and compiled into TarnwickControls as the resource set "skin".
set(SKIN_DIR ${CMAKE_CURRENT_LIST_DIR})
set(SKIN_OUT ${CMAKE_CURRENT_BINARY_DIR}/skin)
file(GLOB SKIN_SVGS CONFIGURE_DEPENDS ${SKIN_DIR}/*.svg)
add_custom_command(
  OUTPUT ${SKIN_OUT}/skin.qrc
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:svg2png> ${SKIN_DIR} ${SKIN_OUT}
  DEPENDS svg2png ${SKIN_SVGS} ${SKIN_DIR}/skin_table.inc
  COMMENT "Rendering the skin artwork"
  VERBATIM)
add_custom_command(
  OUTPUT ${SKIN_OUT}/qrc_skin.cpp
  COMMAND Qt6::rcc -name skin -o ${SKIN_OUT}/qrc_skin.cpp ${SKIN_OUT}/skin.qrc
  DEPENDS ${SKIN_OUT}/skin.qrc
  VERBATIM)
set_source_files_properties(${SKIN_OUT}/qrc_skin.cpp PROPERTIES SKIP_AUTOMOC ON SKIP_AUTOUIC ON SKIP_AUTORCC ON)
target_sources(TarnwickControls PRIVATE ${SKIN_OUT}/qrc_skin.cpp)
