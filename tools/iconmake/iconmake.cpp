// SPDX-License-Identifier: GPL-3.0-or-later
// iconmake: the program's desktop icons, drawn from the hero's own sprite.
//
//   iconmake ART_DIR SPRITE OUT_DIR NAME SIZE...
//
// Writes OUT_DIR/SIZExSIZE/NAME.png for each size: the sprite cut to its
// inked pixels, scaled by the largest whole number that fits (shrunk by
// nearest neighbour where even one pixel a pixel is too big) and centred
// on a transparent square.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/png.hpp"
#include "sources.hpp"

using namespace sheetgen;

namespace {

// The inked part of a sprite.
Img Trimmed(const Img& s) {
  int x0 = s.w, y0 = s.h, x1 = -1, y1 = -1;
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x)
      if (s.Solid(x, y)) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  if (x1 < 0) return Img();
  return Crop(s, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

// ARGB pixels of one icon, n by n.
std::vector<uint32_t> Icon(const Img& art, int n) {
  std::vector<uint32_t> px(static_cast<size_t>(n) * n, 0);
  const int side = std::max(art.w, art.h);
  const int k = n / side;
  if (k >= 1) {
    const int ox = (n - art.w * k) / 2, oy = (n - art.h * k) / 2;
    for (int y = 0; y < art.h * k; ++y)
      for (int x = 0; x < art.w * k; ++x)
        if (art.Solid(x / k, y / k)) px[static_cast<size_t>(oy + y) * n + ox + x] = 0xFF000000u | art.Get(x / k, y / k);
    return px;
  }
  // Smaller than the art: every icon pixel takes the art pixel at its centre.
  const int w = art.w * n / side, h = art.h * n / side;
  const int ox = (n - w) / 2, oy = (n - h) / 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = (2 * x + 1) * side / (2 * n), sy = (2 * y + 1) * side / (2 * n);
      if (art.Solid(sx, sy)) px[static_cast<size_t>(oy + y) * n + ox + x] = 0xFF000000u | art.Get(sx, sy);
    }
  return px;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: iconmake ART_DIR SPRITE OUT_DIR NAME SIZE...\n");
    return 2;
  }
  const std::string outDir = argv[3], name = argv[4];
  Img art;
  try {
    art = Trimmed(LoadSources(argv[1]).Sprite(argv[2]));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "iconmake: %s\n", e.what());
    return 1;
  }
  if (art.w == 0) {
    std::fprintf(stderr, "iconmake: sprite %s is empty\n", argv[2]);
    return 1;
  }
  for (int i = 5; i < argc; ++i) {
    const int n = std::atoi(argv[i]);
    if (n < 8 || n > 1024) {
      std::fprintf(stderr, "iconmake: %s is not an icon size (8 to 1024)\n", argv[i]);
      return 2;
    }
    const std::vector<uint32_t> px = Icon(art, n);
    const std::string dir = outDir + "/" + std::to_string(n) + "x" + std::to_string(n);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!morvik::WritePng(dir + "/" + name + ".png", px.data(), n, n, true)) return 1;
  }
  return 0;
}
