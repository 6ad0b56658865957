# SPDX-License-Identifier: GPL-3.0-or-later
# The real window's own tests, on SDL's dummy video driver with a virtual
# game controller: scaling on a resized window and the controller bindings.
if(MORVIK_TESTS AND MORVIK_SDL)
  find_package(GTest REQUIRED)
  add_executable(morvik_sdl_platform_tests ${CMAKE_SOURCE_DIR}/tests/sdl_platform/sdl_platform_test.cpp)
  target_link_libraries(morvik_sdl_platform_tests PRIVATE morvik_app morvik_sdl GTest::gtest GTest::gtest_main)
  add_test(NAME sdl_platform COMMAND morvik_sdl_platform_tests)
  set_tests_properties(sdl_platform PROPERTIES TIMEOUT 300)
endif()
