# SPDX-License-Identifier: GPL-3.0-or-later
# libFuzzer targets for the readers of outside data: segment files, the
# record file, input scripts, demos and the settings file (fuzz/run.sh runs them).
if(MORVIK_FUZZ)
  foreach(name segment record script demo settings)
    add_executable(morvik_fuzz_${name} ${CMAKE_SOURCE_DIR}/fuzz/${name}_fuzz.cpp)
    target_link_libraries(morvik_fuzz_${name} PRIVATE morvik_app)
    target_link_options(morvik_fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endforeach()
endif()
