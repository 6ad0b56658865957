// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text sources of the art: the shared palette, the sprites drawn as rows
// of characters (one character a pixel) and the pixel font.
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "canvas.hpp"

namespace sheetgen {

struct ArtError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Palette {
  std::map<char, uint32_t> byChar;
  std::map<std::string, uint32_t> byName;
  // The colour of a named entry; throws for an unknown name.
  uint32_t operator()(const std::string& name) const;
};

// A glyph of the small font: 5 x 7, true where the letter is inked.
struct Glyph {
  int w = 5, h = 7;
  std::vector<bool> ink;
  bool At(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && ink[static_cast<size_t>(y) * w + x]; }
};

struct Sources {
  Palette pal;
  std::map<std::string, Img> sprites;
  std::map<char, Glyph> font;
  const Img& Sprite(const std::string& name) const;
  const Glyph& Letter(char c) const;
};

// Reads palette.txt, font.txt and every sprites/*.txt under dir.
Sources LoadSources(const std::string& dir);

}  // namespace sheetgen
