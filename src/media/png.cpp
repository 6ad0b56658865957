// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/png.hpp"

#include <png.h>

#include <cstring>
#include <unordered_map>

#include "media/surface.hpp"

namespace morvik {

bool EncodePng(const uint32_t* px, int w, int h, bool alpha, std::string& out, std::string& why) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(w);
  img.height = static_cast<png_uint_32>(h);
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);

  // An opaque picture of 256 colours or fewer (all of the game's art, and
  // most screens) goes out as palette indices, in order of first appearance.
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> colourmap;
  bool palette = !alpha;
  if (palette) {
    std::unordered_map<uint32_t, uint8_t> index;
    index.reserve(512);
    bytes.resize(n);
    for (size_t i = 0; i < n && palette; ++i) {
      const uint32_t c = px[i] & 0xFFFFFFu;
      auto it = index.find(c);
      if (it == index.end()) {
        if (index.size() == 256) {
          palette = false;
          break;
        }
        it = index.emplace(c, static_cast<uint8_t>(index.size())).first;
        colourmap.insert(colourmap.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                           static_cast<uint8_t>(c)});
      }
      bytes[i] = it->second;
    }
    if (palette) {
      img.format = PNG_FORMAT_RGB_COLORMAP;
      img.colormap_entries = static_cast<png_uint_32>(index.size());
    }
  }
  if (!palette) {
    const int channels = alpha ? 4 : 3;
    bytes.resize(n * static_cast<size_t>(channels));
    uint8_t* o = bytes.data();
    for (size_t i = 0; i < n; ++i) {
      const uint32_t c = px[i];
      *o++ = static_cast<uint8_t>(c >> 16);
      *o++ = static_cast<uint8_t>(c >> 8);
      *o++ = static_cast<uint8_t>(c);
      if (alpha) *o++ = static_cast<uint8_t>(c >> 24);
    }
    img.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  }
  png_alloc_size_t size = 0;
  const void* colours = palette ? colourmap.data() : nullptr;
  if (png_image_write_to_memory(&img, nullptr, &size, 0, bytes.data(), 0, colours) && size > 0) {
    out.resize(size);
    if (png_image_write_to_memory(&img, out.data(), &size, 0, bytes.data(), 0, colours)) {
      out.resize(size);
      return true;
    }
  }
  why = img.message;
  png_image_free(&img);
  return false;
}

bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, bytes.data(), 0, nullptr)) {
    png_image_free(&img);
    return false;
  }
  width = static_cast<int>(img.width);
  height = static_cast<int>(img.height);
  pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint8_t* b = &bytes[i * 4];
    pixels[i] = (static_cast<uint32_t>(b[3]) << 24) | (static_cast<uint32_t>(b[0]) << 16) |
                (static_cast<uint32_t>(b[1]) << 8) | b[2];
  }
  return true;
}

}  // namespace morvik
