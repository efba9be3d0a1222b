# The video area: the OSD glyph table, rendered at build time from an installed monospace font.
pkg_check_modules(FREETYPE2 IMPORTED_TARGET freetype2)
find_file(OSD_GLYPH_FONT NAMES DejaVuSansMono.ttf NotoSansMono-Regular.ttf LiberationMono-Regular.ttf
          PATHS /usr/share/fonts/truetype/dejavu /usr/share/fonts/truetype/noto
                /usr/share/fonts/truetype/liberation NO_DEFAULT_PATH)
add_executable(osd_glyphgen ${CMAKE_CURRENT_LIST_DIR}/glyphgen/osd_glyphgen.cc)
if(FREETYPE2_FOUND)
  target_compile_definitions(osd_glyphgen PRIVATE HAVE_FREETYPE)
  target_link_libraries(osd_glyphgen PRIVATE PkgConfig::FREETYPE2)
endif()
if(NOT OSD_GLYPH_FONT)
  set(OSD_GLYPH_FONT "")
  message(WARNING "No monospace font found: the OSD draws no text")
endif()
set(OSD_GLYPHS_CPP ${CMAKE_CURRENT_BINARY_DIR}/osd_glyph_table.cpp)
add_custom_command(OUTPUT ${OSD_GLYPHS_CPP}
  COMMAND osd_glyphgen ${OSD_GLYPHS_CPP} ${OSD_GLYPH_FONT}
  DEPENDS osd_glyphgen
  COMMENT "Rendering the OSD glyph table")
target_sources(Corvane PRIVATE ${OSD_GLYPHS_CPP})

# The decoder libraries' calling contract (one header); the libraries themselves are loaded
# by name at run time, so they are built whenever the library is.
target_include_directories(Corvane PUBLIC ${PROJECT_SOURCE_DIR}/sdk/ctdec_common/include)
foreach(t CTdec264 CTMp4Dec)
  if(TARGET ${t})
    add_dependencies(Corvane ${t})
  endif()
endforeach()
