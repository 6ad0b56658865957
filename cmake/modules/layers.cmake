# SPDX-License-Identifier: GPL-3.0-or-later
# The game's code in layers, each a library that sees only its own headers
# and those of the layers it is built on:
#
#   morvik_core      core/                      numbers, the generator, files, printable text
#   morvik_media     media/                     pictures, drawing, the sheets, PNG
#   morvik_platform  platform/*                 what the game asks of a machine, and the settings' words
#   morvik_game      stage/ field/ actors/ hud/ frontend/ shell/, game.hpp
#   morvik_headless  platform/headless/         the virtual clock's platform   (beside the game)
#   morvik_sdl       platform/sdl/              the real window               (beside the game)
#   morvik_app       app/                       the program around the game: command line, demos, verification
#
# A layer's headers are staged as links under BUILD/layers/LAYER/, keeping
# their paths (platform/platform.hpp), and a layer's include path holds only
# its own stage and those of the layers it links. An include of a header of
# a layer above (app/ from the game, a platform from media/) finds no file.
# The links keep the path a header was reached by, so that a header's own
# includes are looked for in its stage, never beside it in src/.

if(NOT DEFINED MORVIK_SRC_ROOT)
  set(MORVIK_SRC_ROOT ${CMAKE_SOURCE_DIR}/src)
endif()

# morvik_layer(NAME DIRS dir... [FILES file...] [EXCLUDE regex] [DEPENDS lib...])
# DIRS are taken without their subfolders (platform/ is not platform/sdl/).
function(morvik_layer name)
  cmake_parse_arguments(L "" "EXCLUDE" "DIRS;FILES;DEPENDS" ${ARGN})
  set(stage ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${stage})
  set(sources)
  set(headers)
  foreach(d ${L_DIRS})
    file(GLOB cpps CONFIGURE_DEPENDS ${MORVIK_SRC_ROOT}/${d}/*.cpp)
    file(GLOB hpps RELATIVE ${MORVIK_SRC_ROOT} CONFIGURE_DEPENDS ${MORVIK_SRC_ROOT}/${d}/*.hpp)
    list(APPEND sources ${cpps})
    list(APPEND headers ${hpps})
  endforeach()
  foreach(f ${L_FILES})
    if(f MATCHES "\\.cpp$")
      list(APPEND sources ${MORVIK_SRC_ROOT}/${f})
    else()
      list(APPEND headers ${f})
    endif()
  endforeach()
  if(L_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${L_EXCLUDE}")
  endif()
  # A small interface the systems answer differently (files, stop requests,
  # the player's folders) has NAME_posix.cpp and NAME_win32.cpp: each build
  # takes its own system's.
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  foreach(h ${headers})
    get_filename_component(dir ${stage}/${h} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${MORVIK_SRC_ROOT}/${h} ${stage}/${h} SYMBOLIC)
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${stage})
  if(L_DEPENDS)
    target_link_libraries(${name} PUBLIC ${L_DEPENDS})
  endif()
endfunction()
