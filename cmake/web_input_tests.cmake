# SPDX-License-Identifier: GPL-3.0-or-later
# The browser platform's input rules make no browser calls, so the native
# tests try them too (the rest of that platform is tried in chromium).
if(MORVIK_TESTS)
  cmake_language(DEFER CALL target_sources morvik_tests PRIVATE ${CMAKE_SOURCE_DIR}/src/platform/web/web_input.cpp)
endif()
