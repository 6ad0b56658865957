# SPDX-License-Identifier: GPL-3.0-or-later
# Demos are kept deflated: the program around the game links zlib.
find_package(ZLIB REQUIRED)
target_link_libraries(morvik_app PUBLIC ZLIB::ZLIB)
