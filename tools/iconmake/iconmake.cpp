// SPDX-License-Identifier: GPL-3.0-or-later
// iconmake: the program's desktop icons, drawn from the hero's own sprite.
//
//   iconmake ART_DIR SPRITE OUT_DIR NAME SIZE...
//
//   iconmake --ico ART_DIR SPRITE OUT.ico SIZE...
//
// Writes OUT_DIR/SIZExSIZE/NAME.png for each size: the sprite cut to its
// inked pixels, scaled by the largest whole number that fits (shrunk by
// nearest neighbour where even one pixel a pixel is too big) and centred
// on a transparent square. With --ico, the same pictures go into one
// Windows icon file (each size kept as a PNG, up to 256).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/files.hpp"
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

// Little-endian bytes.
void Put(std::string& out, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

int main(int argc, char** argv) {
  const bool ico = argc > 1 && std::string(argv[1]) == "--ico";
  if (ico) {
    --argc;
    ++argv;
  }
  if (argc < (ico ? 5 : 6)) {
    std::fprintf(stderr, "usage: iconmake ART_DIR SPRITE OUT_DIR NAME SIZE...\n"
                         "       iconmake --ico ART_DIR SPRITE OUT.ico SIZE...\n");
    return 2;
  }
  const std::string outDir = argv[3], name = ico ? "" : argv[4];
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
  // An icon file: its header, one entry a picture, then the pictures.
  std::string head, body;
  const int first = ico ? 4 : 5;
  Put(head, 0, 2);
  Put(head, 1, 2);
  Put(head, static_cast<uint32_t>(argc - first), 2);
  for (int i = first; i < argc; ++i) {
    const int n = std::atoi(argv[i]);
    if (n < 8 || n > (ico ? 256 : 1024)) {
      std::fprintf(stderr, "iconmake: %s is not an icon size (8 to 1024)\n", argv[i]);
      return 2;
    }
    const std::vector<uint32_t> px = Icon(art, n);
    if (ico) {
      std::string png, why;
      if (!morvik::EncodePng(px.data(), n, n, true, png, why)) {
        std::fprintf(stderr, "iconmake: %s\n", why.c_str());
        return 1;
      }
      Put(head, static_cast<uint32_t>(n & 0xFF), 1);  // 256 is written 0
      Put(head, static_cast<uint32_t>(n & 0xFF), 1);
      Put(head, 0, 2);   // no palette
      Put(head, 1, 2);   // planes
      Put(head, 32, 2);  // bits a pixel
      Put(head, static_cast<uint32_t>(png.size()), 4);
      Put(head, static_cast<uint32_t>(6 + 16 * (argc - first) + body.size()), 4);
      body += png;
      continue;
    }
    const std::string dir = outDir + "/" + std::to_string(n) + "x" + std::to_string(n);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!morvik::WritePng(dir + "/" + name + ".png", px.data(), n, n, true)) return 1;
  }
  if (ico) {
    std::string why;
    if (!morvik::ReplaceFile(outDir, head + body, why)) {
      std::fprintf(stderr, "iconmake: cannot write %s: %s\n", outDir.c_str(), why.c_str());
      return 1;
    }
  }
  return 0;
}
