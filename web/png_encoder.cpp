// SPDX-License-Identifier: GPL-3.0-or-later
// PNG pictures in the WebAssembly builds, which have no libpng: the headless
// runner's shots and sheet dumps, written as plain 8-bit RGB (or RGBA) in
// the zlib stream of the builds' own zlib.

#include "media/png.hpp"
#include "media/surface.hpp"
#include "zlib.h"

namespace morvik {

namespace {

void Be32(std::vector<uint8_t>& v, uint32_t x) {
  for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<uint8_t>(x >> s));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Be32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Be32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

bool Encode(const uint32_t* px, int w, int h, bool alpha, std::vector<uint8_t>& out) {
  const size_t channels = alpha ? 4 : 3;
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(h) * (1 + channels * static_cast<size_t>(w)));
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const uint32_t c = px[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
      raw.insert(raw.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
      if (alpha) raw.push_back(static_cast<uint8_t>(c >> 24));
    }
  }
  uLongf zn = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> z(zn);
  if (compress2(z.data(), &zn, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return false;
  z.resize(zn);
  static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.assign(kSig, kSig + 8);
  std::vector<uint8_t> ihdr;
  Be32(ihdr, static_cast<uint32_t>(w));
  Be32(ihdr, static_cast<uint32_t>(h));
  ihdr.insert(ihdr.end(), {8, static_cast<uint8_t>(alpha ? 6 : 2), 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return true;
}

}  // namespace

bool EncodePng(const uint32_t* px, int w, int h, bool alpha, std::string& out, std::string& why) {
  std::vector<uint8_t> bytes;
  if (!Encode(px, w, h, alpha, bytes)) {
    why = "it cannot be compressed";
    return false;
  }
  out.assign(bytes.begin(), bytes.end());
  return true;
}

// Nothing in these builds reads a picture back.
bool ReadPng(const std::string&, std::vector<uint32_t>&, int&, int&) { return false; }

}  // namespace morvik
