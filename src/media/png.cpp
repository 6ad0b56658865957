#include "media/png.hpp"

#include <cstdio>

#include "media/surface.hpp"

namespace morvik {

namespace {
uint32_t Crc(const uint8_t* p, size_t n, uint32_t c = 0xFFFFFFFFu) {
  static uint32_t table[256];
  static bool made = false;
  if (!made) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t k = i;
      for (int j = 0; j < 8; ++j) k = (k & 1) ? 0xEDB88320u ^ (k >> 1) : k >> 1;
      table[i] = k;
    }
    made = true;
  }
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c;
}

void Be32(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x >> 24));
  v.push_back(static_cast<uint8_t>(x >> 16));
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Be32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Be32(out, Crc(out.data() + start, out.size() - start) ^ 0xFFFFFFFFu);
}
}  // namespace

namespace {
std::vector<uint8_t> Encode(const uint32_t* px, int w, int h, bool alpha) {
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(h) * (1 + (alpha ? 4 : 3) * static_cast<size_t>(w)));
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      uint32_t c = px[static_cast<size_t>(y) * w + x];
      raw.push_back(static_cast<uint8_t>(c >> 16));
      raw.push_back(static_cast<uint8_t>(c >> 8));
      raw.push_back(static_cast<uint8_t>(c));
      if (alpha) raw.push_back(static_cast<uint8_t>(c >> 24));
    }
  }
  // zlib stream of stored blocks
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = raw.size() - pos;
    if (n > 65535) n = 65535;
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<long>(pos), raw.begin() + static_cast<long>(pos + n));
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Be32(z, (b << 16) | a);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  Be32(ihdr, static_cast<uint32_t>(w));
  Be32(ihdr, static_cast<uint32_t>(h));
  ihdr.insert(ihdr.end(), {8, static_cast<uint8_t>(alpha ? 6 : 2), 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return out;
}
}  // namespace

std::vector<uint8_t> EncodePng(const uint32_t* px, int w, int h) { return Encode(px, w, h, false); }
std::vector<uint8_t> EncodePngAlpha(const uint32_t* px, int w, int h) { return Encode(px, w, h, true); }

bool WritePng(const std::string& path, const uint32_t* px, int w, int h) {
  std::vector<uint8_t> data = EncodePng(px, w, h);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

bool WritePng(const std::string& path, const Surface& s) { return WritePng(path, s, s.Width(), s.Height()); }

bool WritePng(const std::string& path, const Surface& s, int w, int h) {
  w = w < s.Width() ? w : s.Width();
  h = h < s.Height() ? h : s.Height();
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = s.Get(x, y);
  return WritePng(path, px.data(), w, h);
}

}  // namespace morvik
