# SPDX-License-Identifier: GPL-3.0-or-later
# Sound effects and music, built from the sources under assets/ by our own
# host tools: sfxsynth (effect descriptions -> 16-bit PCM .wav) and midic
# (note sources -> Standard MIDI Files), and each MIDI piece rendered into the
# Ogg Vorbis file that every platform plays. The files land beside the
# executable and are installed with the game's data.
if(WIN32)
  return()  # the Windows tree takes these from a native one (windows.cmake)
endif()

add_executable(morvik_sfxsynth ${CMAKE_SOURCE_DIR}/tools/sfxsynth/sfxsynth.cpp)
add_executable(morvik_midic ${CMAKE_SOURCE_DIR}/tools/midic/midic.cpp)

set(MORVIK_SOUND_NAMES piro getitem 1UP bomb Muteki dead)
set(MORVIK_MUSIC_NAMES opening stage)
set(MORVIK_SOUND_FILES)

foreach(name ${MORVIK_SOUND_NAMES})
  set(out ${MORVIK_DATA_OUT}/${name}.wav)
  add_custom_command(
    OUTPUT ${out}
    COMMAND morvik_sfxsynth ${CMAKE_SOURCE_DIR}/assets/sounds/${name}.sfx ${out}
    DEPENDS morvik_sfxsynth ${CMAKE_SOURCE_DIR}/assets/sounds/${name}.sfx
    COMMENT "Synthesizing ${name}.wav"
    VERBATIM)
  list(APPEND MORVIK_SOUND_FILES ${out})
endforeach()

foreach(name ${MORVIK_MUSIC_NAMES})
  set(out ${MORVIK_DATA_OUT}/${name}.mid)
  add_custom_command(
    OUTPUT ${out}
    COMMAND morvik_midic ${CMAKE_SOURCE_DIR}/assets/music/${name}.mus ${out}
    DEPENDS morvik_midic ${CMAKE_SOURCE_DIR}/assets/music/${name}.mus
    COMMENT "Compiling ${name}.mid"
    VERBATIM)
  list(APPEND MORVIK_SOUND_FILES ${out})
endforeach()

# The pieces as they are heard: each rendered by the fluidsynth program with
# MuseScore's General MIDI soundfont (MIT, so the renders can be shared under
# our own licence) at the full music level (FluidSynth's gain 1.2, what its
# synth gave at the mixer's level 128; the game turns it down to the
# player's level, 48 of 128 by default), kept for the piece's length and the
# second that rings on after it (tools/midic/musicfit.cpp), and stored as Ogg
# Vorbis at quality 0 in stereo: both pieces together are about 1.1 MB. The
# stored file is decoded again and checked for length and clipping. Needed
# only to build; the fuzz targets' tree has no use for them.
if(NOT MORVIK_FUZZ)
  set(MORVIK_MUSIC_FONT /usr/share/sounds/sf3/MuseScore_General_Lite.sf3)
  find_program(MORVIK_FLUIDSYNTH fluidsynth)
  find_program(MORVIK_OGGENC oggenc)
  find_program(MORVIK_OGGDEC oggdec)
  set(missing)
  if(NOT EXISTS "${MORVIK_FLUIDSYNTH}")
    list(APPEND missing "the fluidsynth program (package fluidsynth)")
  endif()
  if(NOT EXISTS ${MORVIK_MUSIC_FONT})
    list(APPEND missing "${MORVIK_MUSIC_FONT} (package musescore-general-soundfont-small)")
  endif()
  if(NOT EXISTS "${MORVIK_OGGENC}" OR NOT EXISTS "${MORVIK_OGGDEC}")
    list(APPEND missing "oggenc and oggdec (package vorbis-tools)")
  endif()
  if(missing)
    list(JOIN missing "; " missing)
    message(FATAL_ERROR "morvik: the music is rendered while building, and these are missing: ${missing}. "
                        "scripts/setup.sh installs them.")
  endif()

  add_executable(morvik_musicfit ${CMAKE_SOURCE_DIR}/tools/midic/musicfit.cpp)
  set(work ${CMAKE_BINARY_DIR}/music-render)
  set(serial 0)
  foreach(name ${MORVIK_MUSIC_NAMES})
    set(mus ${CMAKE_SOURCE_DIR}/assets/music/${name}.mus)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${mus})
    file(STRINGS ${mus} length REGEX "^length_ms[ \t]+[0-9]+")
    string(REGEX MATCH "[0-9]+" length "${length}")
    if(NOT length)
      message(FATAL_ERROR "morvik: ${mus} says no length_ms")
    endif()
    math(EXPR serial "${serial} + 1")
    set(out ${MORVIK_DATA_OUT}/${name}.ogg)
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
      COMMAND ${MORVIK_FLUIDSYNTH} -n -i -q -g 1.2 -r 44100 -o synth.dynamic-sample-loading=1
              -F ${work}/${name}.full.wav ${MORVIK_MUSIC_FONT} ${MORVIK_DATA_OUT}/${name}.mid
      COMMAND morvik_musicfit ${work}/${name}.full.wav ${length} ${work}/${name}.wav
      # A fixed stream number, so that the same render makes the same file.
      COMMAND ${MORVIK_OGGENC} -Q -q 0 -s ${serial} -t ${name} -a "The Morvik team"
              -c "LICENSE=CC-BY-SA-4.0; rendered with the MuseScore General soundfont (MIT)"
              -o ${work}/${name}.ogg ${work}/${name}.wav
      COMMAND ${MORVIK_OGGDEC} -Q -o ${work}/${name}.check.wav ${work}/${name}.ogg
      COMMAND morvik_musicfit ${work}/${name}.check.wav ${length}
      COMMAND ${CMAKE_COMMAND} -E rename ${work}/${name}.ogg ${out}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${work}/${name}.full.wav ${work}/${name}.wav ${work}/${name}.check.wav
      DEPENDS morvik_musicfit ${MORVIK_DATA_OUT}/${name}.mid
      COMMENT "Rendering ${name}.ogg"
      VERBATIM)
    list(APPEND MORVIK_SOUND_FILES ${out})
  endforeach()
endif()

add_custom_target(morvik_sounds ALL DEPENDS ${MORVIK_SOUND_FILES})
install(FILES ${MORVIK_SOUND_FILES} DESTINATION ${MORVIK_INSTALL_DATA_REL})

# The file tests read what the build made.
if(MORVIK_TESTS)
  cmake_language(DEFER CALL add_dependencies morvik_tests morvik_sounds)
endif()

# The real audio layer over SDL2_mixer, tried on SDL's disk and dummy drivers.
if(MORVIK_TESTS AND MORVIK_SDL)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MORVIK_SDL_AUDIO REQUIRED IMPORTED_TARGET sdl2 SDL2_mixer)
  find_package(GTest REQUIRED)
  add_executable(morvik_sound_sdl_tests
                 ${CMAKE_SOURCE_DIR}/tests/sound_sdl/sdl_audio_test.cpp
                 ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_audio.cpp)
  target_include_directories(morvik_sound_sdl_tests PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(morvik_sound_sdl_tests PRIVATE PkgConfig::MORVIK_SDL_AUDIO GTest::gtest GTest::gtest_main)
  target_compile_definitions(morvik_sound_sdl_tests PRIVATE MORVIK_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(morvik_sound_sdl_tests morvik_sounds)
  add_test(NAME sound_sdl COMMAND morvik_sound_sdl_tests)
  set_tests_properties(sound_sdl PROPERTIES TIMEOUT 300)
endif()

# How long the music keeps the game waiting and how late it starts (bench/sdl/music_latency.cpp).
if(MORVIK_BENCH AND MORVIK_SDL)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MORVIK_SDL_AUDIO REQUIRED IMPORTED_TARGET sdl2 SDL2_mixer)
  add_executable(morvik_music_latency
                 ${CMAKE_SOURCE_DIR}/bench/sdl/music_latency.cpp
                 ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_audio.cpp)
  target_include_directories(morvik_music_latency PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(morvik_music_latency PRIVATE PkgConfig::MORVIK_SDL_AUDIO)
  target_compile_definitions(morvik_music_latency PRIVATE MORVIK_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(morvik_music_latency morvik_sounds)
endif()
