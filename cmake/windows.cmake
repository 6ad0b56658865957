# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows game, cross-built with mingw-w64 (scripts/windows.sh). The
# build-time tools have run in a native tree (MORVIK_HOST_TREE): its sheets'
# source is compiled in and its data files are copied beside the program.
# SDL2 and SDL2_mixer come as DLLs, found through their own CMake packages;
# the compiler's own libraries are linked in. Installed as one flat folder,
# the zip's and the installer's layout: morvik.exe, the DLLs, the data, the
# licences and README.txt.
if(NOT WIN32)
  return()
endif()
set(MORVIK_HOST_TREE "" CACHE PATH "a native tree that has made generated/ and the data files")
if(NOT EXISTS "${MORVIK_HOST_TREE}/generated/sheet_art_data.cpp")
  message(FATAL_ERROR "morvik: the Windows build takes the sheets and the data from a native tree: "
                      "-DMORVIK_HOST_TREE=DIR (scripts/windows.sh makes one)")
endif()
set(MORVIK_WINDOWS_LIBS "$ENV{MORVIK_WINDOWS_LIBS}" CACHE PATH "the libraries built for Windows (scripts/windows-libs.sh)")
target_sources(morvik_media PRIVATE ${MORVIK_HOST_TREE}/generated/sheet_art_data.cpp)
# The player's folders (SHGetKnownFolderPath) and the wide command line.
target_link_libraries(morvik_core PUBLIC shell32 ole32 uuid)
# libstdc++, libgcc and winpthreads inside the program: no DLL of the compiler's.
add_link_options(-static)

# The data, beside the program in the tree and installed.
set(MORVIK_WINDOWS_DATA)
foreach(n RANGE 1 30)
  list(APPEND MORVIK_WINDOWS_DATA Morvik_${n}.kvd)
endforeach()
foreach(n piro getitem 1UP bomb Muteki dead)
  list(APPEND MORVIK_WINDOWS_DATA ${n}.wav)
endforeach()
list(APPEND MORVIK_WINDOWS_DATA opening.mid stage.mid opening.ogg stage.ogg)
set(MORVIK_WINDOWS_DATA_COPIES)
foreach(f ${MORVIK_WINDOWS_DATA})
  add_custom_command(OUTPUT ${MORVIK_DATA_OUT}/${f}
                     COMMAND ${CMAKE_COMMAND} -E copy ${MORVIK_HOST_TREE}/${f} ${MORVIK_DATA_OUT}/${f}
                     DEPENDS ${MORVIK_HOST_TREE}/${f} VERBATIM)
  list(APPEND MORVIK_WINDOWS_DATA_COPIES ${MORVIK_DATA_OUT}/${f})
endforeach()
add_custom_target(morvik_data ALL DEPENDS ${MORVIK_WINDOWS_DATA_COPIES})
install(FILES ${MORVIK_WINDOWS_DATA_COPIES} DESTINATION .)

# The licences: the game's, the assets', and those of what is linked in.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE-ASSETS DESTINATION . RENAME LICENSE-ASSETS.txt)
install(DIRECTORY ${MORVIK_WINDOWS_LIBS}/licences/ DESTINATION licences)
install(FILES /usr/share/doc/mingw-w64-x86-64-dev/copyright DESTINATION licences RENAME mingw-w64.txt)
install(FILES ${MORVIK_WINDOWS_LIBS}/versions.txt DESTINATION licences RENAME built-from.txt)
configure_file(${CMAKE_SOURCE_DIR}/assets/windows/README.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

if(MORVIK_SDL)
  # SDL's pkg-config file would rename main for SDL2main and make a program
  # with no console: its CMake packages name the two DLLs alone.
  find_package(SDL2 CONFIG REQUIRED)
  find_package(SDL2_mixer CONFIG REQUIRED)
  add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
  target_link_libraries(PkgConfig::SDL2 INTERFACE SDL2::SDL2 SDL2_mixer::SDL2_mixer)
  set(MORVIK_WINDOWS_DLLS)
  foreach(t SDL2::SDL2 SDL2_mixer::SDL2_mixer)
    get_target_property(dll ${t} IMPORTED_LOCATION_RELEASE)
    get_filename_component(name ${dll} NAME)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${name} COMMAND ${CMAKE_COMMAND} -E copy ${dll} ${CMAKE_BINARY_DIR}/${name}
                       DEPENDS ${dll} VERBATIM)
    list(APPEND MORVIK_WINDOWS_DLLS ${CMAKE_BINARY_DIR}/${name})
  endforeach()
  add_custom_target(morvik_dlls ALL DEPENDS ${MORVIK_WINDOWS_DLLS})
  install(FILES ${MORVIK_WINDOWS_DLLS} DESTINATION .)
  # The program's icon and version, from the hero's sprite (the native tree's iconmake).
  set(MORVIK_WINDOWS_ICON ${CMAKE_BINARY_DIR}/morvik.ico)
  file(GLOB_RECURSE MORVIK_WINDOWS_ICON_ART CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/art/*.txt)
  add_custom_command(OUTPUT ${MORVIK_WINDOWS_ICON}
                     COMMAND ${MORVIK_HOST_TREE}/morvik_iconmake --ico ${CMAKE_SOURCE_DIR}/assets/art snow0
                             ${MORVIK_WINDOWS_ICON} 16 24 32 48 64 256
                     DEPENDS ${MORVIK_HOST_TREE}/morvik_iconmake ${MORVIK_WINDOWS_ICON_ART} VERBATIM)
  string(REPLACE "." "," MORVIK_VERSION_COMMAS "${PROJECT_VERSION}.0")
  configure_file(${CMAKE_SOURCE_DIR}/assets/windows/morvik.rc.in ${CMAKE_BINARY_DIR}/morvik.rc @ONLY)
  set_source_files_properties(${CMAKE_BINARY_DIR}/morvik.rc PROPERTIES OBJECT_DEPENDS ${MORVIK_WINDOWS_ICON})
  cmake_language(DEFER CALL target_sources morvik PRIVATE ${CMAKE_BINARY_DIR}/morvik.rc)
  cmake_language(DEFER CALL add_dependencies morvik morvik_data morvik_dlls)
endif()

# The tests of what differs on Windows, one program run under Wine: the
# file layer, the records, the settings and the paths.
option(MORVIK_WINDOWS_TESTS "Build morvik_tests.exe (googletest from /usr/src/googletest)" OFF)
if(MORVIK_WINDOWS_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  file(GLOB MORVIK_WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/*.cpp)
  add_executable(morvik_tests ${MORVIK_WINDOWS_TEST_SOURCES}
                 ${CMAKE_SOURCE_DIR}/tests/records_test.cpp
                 ${CMAKE_SOURCE_DIR}/tests/settings_test.cpp ${CMAKE_SOURCE_DIR}/tests/stage_file_test.cpp)
  target_link_libraries(morvik_tests PRIVATE morvik_app gtest gtest_main)
  target_include_directories(morvik_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(morvik_tests PRIVATE MORVIK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                                  MORVIK_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(morvik_tests morvik_data)
endif()
