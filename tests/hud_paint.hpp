// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test sheets whose cells are solid colours, so that a drawing can be read
// back pixel by pixel: the sprite rectangle one colour, its mask black.
#include "media/surface.hpp"

namespace morvik::test {

inline void PaintCell(Surface& s, int sx, int sy, int mx, int my, int w, int h, uint32_t colour) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s.Set(sx + x, sy + y, colour);
      s.Set(mx + x, my + y, kBlack);
    }
}

// Digit d of Math in its own colour.
inline uint32_t DigitColour(int d) { return Rgb(20 + 20 * d, 7, 99); }
inline void PaintDigits(Surface& math) {
  for (int d = 0; d <= 9; ++d) PaintCell(math, 6 * d, 0, 6 * d, 10, 6, 10, DigitColour(d));
}
// The digit whose colour is at (x, y), or -1.
inline int DigitAt(const Surface& s, int x, int y) {
  for (int d = 0; d <= 9; ++d)
    if (s.Get(x, y) == DigitColour(d)) return d;
  return -1;
}

}  // namespace morvik::test
