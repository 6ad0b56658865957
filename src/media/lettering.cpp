// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/lettering.hpp"

#include <algorithm>

#include "media/sheets.hpp"

namespace morvik {

void Fill(Surface& m, int x, int y, int w, int h, uint32_t c) {
  for (int j = std::max(0, y); j < std::min(m.Height(), y + h); ++j)
    for (int i = std::max(0, x); i < std::min(m.Width(), x + w); ++i) m.Row(j)[i] = c;
}

void Text(Surface& m, int x, int y, const std::string& s, uint32_t c, int maxW) {
  const int chars = std::min(static_cast<int>(s.size()), (maxW + 1) / 6);
  for (int k = 0; k < chars; ++k) {
    const uint8_t* g = FontGlyph(s[k]);
    if (!g) continue;
    for (int j = 0; j < 7; ++j)
      for (int i = 0; i < 5; ++i)
        if (g[j] & (16 >> i) && m.Inside(x + 6 * k + i, y + j)) m.Row(y + j)[x + 6 * k + i] = c;
  }
}

void OutlinedText(Surface& m, int x, int y, const std::string& s, uint32_t c, uint32_t outline) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (dx != 0 || dy != 0) Text(m, x + dx, y + dy, s, outline);
  Text(m, x, y, s, c);
}

int TextWidth(const std::string& s) { return s.empty() ? 0 : 6 * static_cast<int>(s.size()) - 1; }

void Bubble(Surface& m, int x, int y, int w, int h, bool tail) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const int dj = std::min(j, h - 1 - j), di = std::min(i, w - 1 - i);
      const int cut = dj == 0 ? 2 : dj == 1 ? 1 : 0;
      if (di < cut || !m.Inside(x + i, y + j)) continue;
      const bool edge = dj == 0 || di == cut || di == 0;
      m.Row(y + j)[x + i] = edge ? kNavy : (j >= h - 3 || i >= w - 3) ? kSnow : kPaper;
    }
  if (!tail) return;
  const int ty = y + h / 2;
  for (int k = 1; k <= 4; ++k)
    for (int j = ty + k / 2 - 1; j <= ty + 2 + k / 3; ++j)
      if (m.Inside(x - k, j)) m.Row(j)[x - k] = (k == 4 || j == ty + k / 2 - 1 || j == ty + 2 + k / 3) ? kNavy : kPaper;
}

}  // namespace morvik
