# SPDX-License-Identifier: GPL-3.0-or-later
# Probes of the layers (tests/layers.sh builds them): a file of each that
# includes a header of a layer it may not see, which must not build, and one
# that includes every layer from the top, which must.
if(MORVIK_TESTS)
  foreach(probe game_reads_app:morvik_game media_reads_platform:morvik_media game_reads_headless:morvik_game
                headless_reads_game:morvik_headless app_reads_all:morvik_app)
    string(REPLACE ":" ";" pair ${probe})
    list(GET pair 0 file)
    list(GET pair 1 layer)
    add_library(morvik_probe_${file} OBJECT EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/layers/${file}.cpp)
    target_link_libraries(morvik_probe_${file} PRIVATE ${layer})
  endforeach()
endif()
