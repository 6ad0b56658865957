// SPDX-License-Identifier: GPL-3.0-or-later
// Writing pictures, the same in every build; the encoding is the build's own.
#include <cstdio>
#include <vector>

#include "core/files.hpp"
#include "core/printable.hpp"
#include "media/png.hpp"
#include "media/surface.hpp"

namespace morvik {

bool WritePng(const std::string& path, const uint32_t* px, int w, int h, bool alpha) {
  std::string why = "the picture is empty", bytes;
  if (w > 0 && h > 0 && EncodePng(px, w, h, alpha, bytes, why) && ReplaceFile(path, bytes, why)) return true;
  std::fprintf(stderr, "morvik: cannot write %s (%s)\n", Printable(path).c_str(), why.c_str());
  return false;
}

bool WritePng(const std::string& path, const Surface& s) { return WritePng(path, s, s.Width(), s.Height()); }

bool WritePng(const std::string& path, const Surface& s, int w, int h) {
  w = w < s.Width() ? w : s.Width();
  h = h < s.Height() ? h : s.Height();
  std::vector<uint32_t> px(static_cast<size_t>(w > 0 ? w : 0) * static_cast<size_t>(h > 0 ? h : 0));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = s.Get(x, y);
  return WritePng(path, px.data(), w, h);
}

}  // namespace morvik
