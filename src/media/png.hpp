// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PNG pictures for screenshots, shots of headless frames, sheet dumps and the
// icons, written through libpng. A picture of 256 colours or fewer is stored
// with a palette; every picture reads back to the same pixels.
#include <cstdint>
#include <string>
#include <vector>

namespace morvik {

class Surface;

// Writes width x height pixels (row-major XRGB, or ARGB with alpha in the top
// byte when `alpha`) to `path`. The picture goes to a file beside it that is
// renamed into place once complete, so a failed write leaves no part of a
// picture behind. On failure prints one line "morvik: cannot write PATH
// (reason)" on stderr and returns false.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, bool alpha = false);
// Writes a whole surface.
bool WritePng(const std::string& path, const Surface& s);
// Writes the top-left w x h pixels of a surface.
bool WritePng(const std::string& path, const Surface& s, int w, int h);

// The encoder each build brings (libpng, or the browser build's own): the
// picture (never empty: WritePng sees to that) as the bytes of a PNG file;
// on failure false with the reason in `why`.
bool EncodePng(const uint32_t* pixels, int width, int height, bool alpha, std::string& out, std::string& why);

// Reads a PNG back as ARGB pixels (opaque pictures read with alpha 0xFF);
// false when it is not a PNG libpng can read.
bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height);

}  // namespace morvik
