# SPDX-License-Identifier: GPL-3.0-or-later
# Sound effects and music, built from the sources under assets/ by our own
# host tools: sfxsynth (effect descriptions -> 16-bit PCM .wav) and midic
# (note sources -> Standard MIDI Files). The files land beside the executable
# and are installed with the game's data.

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

add_custom_target(morvik_sounds ALL DEPENDS ${MORVIK_SOUND_FILES})
install(FILES ${MORVIK_SOUND_FILES} DESTINATION ${MORVIK_INSTALL_DATA_REL})

# The file tests read what the build made.
if(MORVIK_TESTS)
  cmake_language(DEFER CALL add_dependencies morvik_tests morvik_sounds)
endif()

# Each piece played through FluidSynth at the game's music level and the
# Debian General MIDI soundfont must be audible and never clip.
set(MORVIK_SOUNDFONT /usr/share/sounds/sf2/TimGM6mb.sf2)
if(MORVIK_TESTS)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(FLUIDSYNTH QUIET IMPORTED_TARGET fluidsynth)
  endif()
  if(FLUIDSYNTH_FOUND AND EXISTS ${MORVIK_SOUNDFONT})
    add_executable(morvik_midirender ${CMAKE_SOURCE_DIR}/tools/midic/midirender.cpp)
    target_include_directories(morvik_midirender PRIVATE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(morvik_midirender PRIVATE PkgConfig::FLUIDSYNTH)
    foreach(name ${MORVIK_MUSIC_NAMES})
      add_test(NAME music_render_${name}
               COMMAND morvik_midirender ${MORVIK_SOUNDFONT} ${MORVIK_DATA_OUT}/${name}.mid game)
      set_tests_properties(music_render_${name} PROPERTIES TIMEOUT 300)
    endforeach()
  else()
    message(STATUS "morvik: FluidSynth or ${MORVIK_SOUNDFONT} missing; the music rendering tests are left out")
  endif()
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
endif()
