#pragma once
// A small PNG writer (RGB or RGBA, 8 bits a channel) for screenshots, shots of
// headless frames and sheet dumps.
#include <cstdint>
#include <string>
#include <vector>

namespace morvik {

class Surface;

// Encodes width x height XRGB pixels (row-major) as a PNG file image.
std::vector<uint8_t> EncodePng(const uint32_t* pixels, int width, int height);
// The same with an alpha channel: pixels are ARGB, alpha in the top byte.
std::vector<uint8_t> EncodePngAlpha(const uint32_t* pixels, int width, int height);
// Writes a whole surface; returns false with errno set when the file cannot be written.
bool WritePng(const std::string& path, const Surface& s);
// Writes the top-left w x h pixels of a surface.
bool WritePng(const std::string& path, const Surface& s, int w, int h);
// Writes pixels given in row-major order.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height);

}  // namespace morvik
