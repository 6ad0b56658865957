# SPDX-License-Identifier: GPL-3.0-or-later
# The browser platform's input rules make no browser calls, so the native
# tests try them too (the rest of that platform is tried in chromium).
if(MORVIK_TESTS)
  morvik_layer(morvik_web_input FILES platform/web/web_input.cpp platform/web/web_platform.hpp
               DEPENDS morvik_platform)
  cmake_language(DEFER CALL target_link_libraries morvik_tests PRIVATE morvik_web_input)
endif()
