// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drawing helpers of the generator: shaded round shapes, outlines, the small
// pixel font, speech bubbles and the big rounded lettering built from it.
#include <string>
#include <vector>

#include "canvas.hpp"
#include "sources.hpp"

namespace sheetgen {

// Adds an outline of colour c on the clear pixels next to solid ones
// (four neighbours, or all eight when diagonal is set).
void Outline(Img& img, uint32_t c, bool diagonal = false);
// A boolean shape: true where inside.
struct Shape {
  int w = 0, h = 0;
  std::vector<bool> in;
  Shape(int w_, int h_) : w(w_), h(h_), in(static_cast<size_t>(w_) * h_, false) {}
  bool At(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && in[static_cast<size_t>(y) * w + x]; }
  void Set(int x, int y, bool v = true) {
    if (x >= 0 && y >= 0 && x < w && y < h) in[static_cast<size_t>(y) * w + x] = v;
  }
};
// Grows a shape by r pixels (round pen).
Shape Grow(const Shape& s, double r);

struct Circle {
  double cx, cy, r;
};
// Fills the union of the circles, lit from the upper left; ramp runs from the
// darkest tone to the brightest. dither blends neighbouring tones.
void ShadedCircles(Img& img, const std::vector<Circle>& cs, const std::vector<uint32_t>& ramp, bool dither,
                   double ox = 0, double oy = 0);

// The small font.
enum class TextStyle { Plain, Outline, Shadow };
int TextWidth(const Sources& src, const std::string& s);
// Draws s with its top-left glyph corner at (x, y); the fill shades from top
// to bottom colour over the glyph's seven rows; the outline or shadow is
// edge-coloured.
void DrawText(Img& img, const Sources& src, int x, int y, const std::string& s, uint32_t top, uint32_t bottom,
              TextStyle style, uint32_t edge);

// A speech bubble filling the rectangle: rounded body with an outline and a
// small tail on the left (tail pixels wide).
void Bubble(Img& img, int x, int y, int w, int h, int tail, uint32_t body, uint32_t shade, uint32_t edge);

// Big rounded capitals made from the small font: each font pixel becomes a
// cw x ch block and the letter is drawn through them with a round pen.
Shape BigLetters(const Sources& src, const std::string& s, int cw, int ch, int gap, double pen);

}  // namespace sheetgen
