# SPDX-License-Identifier: GPL-3.0-or-later
# Demos are kept deflated: the game library links zlib.
find_package(ZLIB REQUIRED)
target_link_libraries(morvik_core PUBLIC ZLIB::ZLIB)
