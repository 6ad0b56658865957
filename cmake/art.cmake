# SPDX-License-Identifier: GPL-3.0-or-later
# The sheets: sheetgen turns the text sources under assets/art into the
# pictures the program carries (a generated source compiled into the game).
if(WIN32)
  return()  # the Windows tree takes these from a native one (windows.cmake)
endif()
add_executable(sheetgen
  ${CMAKE_SOURCE_DIR}/tools/sheetgen/main.cpp
  ${CMAKE_SOURCE_DIR}/tools/sheetgen/sources.cpp
  ${CMAKE_SOURCE_DIR}/tools/sheetgen/draw.cpp
  ${CMAKE_SOURCE_DIR}/tools/sheetgen/sheets.cpp
  ${CMAKE_SOURCE_DIR}/src/media/png.cpp
  ${CMAKE_SOURCE_DIR}/src/media/png_write.cpp
  ${CMAKE_SOURCE_DIR}/src/media/surface.cpp
  ${CMAKE_SOURCE_DIR}/src/media/pixel_memory.cpp
  ${CMAKE_SOURCE_DIR}/src/core/files_posix.cpp
  ${CMAKE_SOURCE_DIR}/src/core/stop_signals_posix.cpp)
target_include_directories(sheetgen PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools/sheetgen)
target_link_libraries(sheetgen PRIVATE PNG::PNG)

file(GLOB_RECURSE MORVIK_ART_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/art/*.txt)
set(MORVIK_ART_OUT ${CMAKE_BINARY_DIR}/generated)
add_custom_command(
  OUTPUT ${MORVIK_ART_OUT}/sheet_art_data.cpp ${MORVIK_ART_OUT}/sheets.raw
  COMMAND sheetgen ${CMAKE_SOURCE_DIR}/assets/art ${MORVIK_ART_OUT}
  DEPENDS sheetgen ${MORVIK_ART_SOURCES}
  COMMENT "Drawing the sheets"
  VERBATIM)
target_sources(morvik_media PRIVATE ${MORVIK_ART_OUT}/sheet_art_data.cpp)
