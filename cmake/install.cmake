# SPDX-License-Identifier: GPL-3.0-or-later
# Installing: `cmake --install BUILD --prefix PREFIX` puts the program in
# bin/, its data in share/morvik/, a desktop entry, icons and AppStream
# metainfo where desktops look for them, the manual page in share/man/man6/
# and the licences in share/doc/morvik/. The program finds its data relative
# to itself, so an installed tree still works when it is moved.
if(WIN32)
  return()  # the Windows tree takes these from a native one (windows.cmake)
endif()
set(MORVIK_APP_ID org.morvik.Morvik)
cmake_path(RELATIVE_PATH MORVIK_INSTALL_DATA BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}/${MORVIK_INSTALL_BINDIR}
           OUTPUT_VARIABLE MORVIK_DATA_FROM_BIN)
set(MORVIK_INSTALL_HELPERS ${CMAKE_INSTALL_PREFIX}/${MORVIK_INSTALL_HELPERDIR})
cmake_path(RELATIVE_PATH MORVIK_INSTALL_HELPERS BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}/${MORVIK_INSTALL_BINDIR}
           OUTPUT_VARIABLE MORVIK_HELPERS_FROM_BIN)

# The icons, drawn at build time from the hero's sprite.
add_executable(morvik_iconmake
  ${CMAKE_SOURCE_DIR}/tools/iconmake/iconmake.cpp
  ${CMAKE_SOURCE_DIR}/tools/sheetgen/sources.cpp
  ${CMAKE_SOURCE_DIR}/src/media/png.cpp
  ${CMAKE_SOURCE_DIR}/src/media/png_write.cpp
  ${CMAKE_SOURCE_DIR}/src/core/files_posix.cpp
  ${CMAKE_SOURCE_DIR}/src/core/stop_signals_posix.cpp)
target_include_directories(morvik_iconmake PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools/sheetgen)
target_link_libraries(morvik_iconmake PRIVATE PNG::PNG)

set(MORVIK_ICON_SIZES 16 32 48 64 128 256)
set(MORVIK_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(MORVIK_ICON_FILES)
foreach(n ${MORVIK_ICON_SIZES})
  list(APPEND MORVIK_ICON_FILES ${MORVIK_ICON_DIR}/${n}x${n}/${MORVIK_APP_ID}.png)
endforeach()
file(GLOB_RECURSE MORVIK_ICON_ART CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/art/*.txt)
add_custom_command(
  OUTPUT ${MORVIK_ICON_FILES}
  COMMAND morvik_iconmake ${CMAKE_SOURCE_DIR}/assets/art snow0 ${MORVIK_ICON_DIR} ${MORVIK_APP_ID} ${MORVIK_ICON_SIZES}
  DEPENDS morvik_iconmake ${MORVIK_ICON_ART}
  COMMENT "Drawing the icons"
  VERBATIM)
add_custom_target(morvik_icons ALL DEPENDS ${MORVIK_ICON_FILES})
foreach(n ${MORVIK_ICON_SIZES})
  install(FILES ${MORVIK_ICON_DIR}/${n}x${n}/${MORVIK_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${n}x${n}/apps)
endforeach()

# The metainfo is complete at configure time.
configure_file(${CMAKE_SOURCE_DIR}/assets/desktop/org.morvik.Morvik.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/desktop/${MORVIK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${MORVIK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The desktop entry starts the program by its full installed path, known
# only when installing (the prefix may be given then).
install(CODE "
  set(MORVIK_APP_ID ${MORVIK_APP_ID})
  set(MORVIK_EXEC \"\${CMAKE_INSTALL_PREFIX}/${MORVIK_INSTALL_BINDIR}/morvik\")
  configure_file(\"${CMAKE_SOURCE_DIR}/assets/desktop/org.morvik.Morvik.desktop.in\"
                 \"${CMAKE_BINARY_DIR}/desktop/${MORVIK_APP_ID}.desktop\" @ONLY)
")
install(FILES ${CMAKE_BINARY_DIR}/desktop/${MORVIK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The manual page and the licences.
configure_file(${CMAKE_SOURCE_DIR}/docs/morvik.6.in ${CMAKE_BINARY_DIR}/docs/morvik.6 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/docs/morvik.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/LICENSE-ASSETS DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT licences)
