// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plain RGB pictures for the sheet generator. White (FFFFFF) is the paper:
// in a sprite it means "transparent", and every mask is derived from it.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sheetgen {

constexpr uint32_t kClear = 0xFFFFFF;
constexpr uint32_t kInk = 0x000000;  // a mask's opaque colour

inline uint32_t Rgb(int r, int g, int b) {
  auto c = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return (c(r) << 16) | (c(g) << 8) | c(b);
}
inline int R(uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
inline int G(uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int B(uint32_t c) { return static_cast<int>(c & 0xFF); }
// Linear blend of two colours, t in [0, 1].
inline uint32_t Mix(uint32_t a, uint32_t b, double t) {
  auto l = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
  return Rgb(l(R(a), R(b)), l(G(a), G(b)), l(B(a), B(b)));
}

struct Img {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  Img() = default;
  Img(int w_, int h_, uint32_t fill = kClear) : w(w_), h(h_), px(static_cast<size_t>(w_) * h_, fill) {}
  bool In(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
  uint32_t Get(int x, int y) const { return In(x, y) ? px[static_cast<size_t>(y) * w + x] : kClear; }
  void Set(int x, int y, uint32_t c) {
    if (In(x, y)) px[static_cast<size_t>(y) * w + x] = c;
  }
  bool Solid(int x, int y) const { return Get(x, y) != kClear; }
};

// Copies every non-clear pixel of src onto dst at (x, y).
inline void Over(Img& dst, const Img& src, int x, int y) {
  for (int j = 0; j < src.h; ++j)
    for (int i = 0; i < src.w; ++i)
      if (src.Solid(i, j)) dst.Set(x + i, y + j, src.Get(i, j));
}
// Copies every pixel of src (clear ones too) onto dst at (x, y).
inline void Put(Img& dst, const Img& src, int x, int y) {
  for (int j = 0; j < src.h; ++j)
    for (int i = 0; i < src.w; ++i) dst.Set(x + i, y + j, src.Get(i, j));
}
inline Img Crop(const Img& s, int x, int y, int w, int h) {
  Img o(w, h);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) o.Set(i, j, s.Get(x + i, y + j));
  return o;
}
// Black wherever the sprite is opaque, white elsewhere.
inline Img MaskOf(const Img& s) {
  Img m(s.w, s.h, kClear);
  for (size_t k = 0; k < s.px.size(); ++k)
    if (s.px[k] != kClear) m.px[k] = kInk;
  return m;
}
inline Img FlipX(const Img& s) {
  Img o(s.w, s.h);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) o.Set(s.w - 1 - x, y, s.Get(x, y));
  return o;
}
inline Img FlipY(const Img& s) {
  Img o(s.w, s.h);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) o.Set(x, s.h - 1 - y, s.Get(x, y));
  return o;
}
inline Img Recolour(const Img& s, const std::map<uint32_t, uint32_t>& m) {
  Img o = s;
  for (uint32_t& c : o.px) {
    auto it = m.find(c);
    if (it != m.end()) c = it->second;
  }
  return o;
}
inline Img Shift(const Img& s, int dx, int dy) {
  Img o(s.w, s.h);
  Over(o, s, dx, dy);
  return o;
}
inline Img Scale(const Img& s, int k) {
  Img o(s.w * k, s.h * k);
  for (int y = 0; y < o.h; ++y)
    for (int x = 0; x < o.w; ++x) o.Set(x, y, s.Get(x / k, y / k));
  return o;
}

// 4x4 ordered-dither threshold in (0, 1).
inline double Bayer4(int x, int y) {
  static const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return (m[y & 3][x & 3] + 0.5) / 16.0;
}

}  // namespace sheetgen
