// SPDX-License-Identifier: GPL-3.0-or-later
#include "draw.hpp"

#include <algorithm>
#include <cmath>

namespace sheetgen {

void Outline(Img& img, uint32_t c, bool diagonal) {
  Img src = img;
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      if (src.Solid(x, y)) continue;
      bool near = src.Solid(x - 1, y) || src.Solid(x + 1, y) || src.Solid(x, y - 1) || src.Solid(x, y + 1);
      if (diagonal)
        near = near || src.Solid(x - 1, y - 1) || src.Solid(x + 1, y - 1) || src.Solid(x - 1, y + 1) ||
               src.Solid(x + 1, y + 1);
      if (near) img.Set(x, y, c);
    }
}

Shape Grow(const Shape& s, double r) {
  Shape o(s.w, s.h);
  int k = static_cast<int>(std::ceil(r));
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      if (!s.At(x, y)) continue;
      for (int dy = -k; dy <= k; ++dy)
        for (int dx = -k; dx <= k; ++dx)
          if (dx * dx + dy * dy <= r * r + 0.01) o.Set(x + dx, y + dy);
    }
  return o;
}

void ShadedCircles(Img& img, const std::vector<Circle>& cs, const std::vector<uint32_t>& ramp, bool dither, double ox,
                   double oy) {
  const double lx = -0.55, ly = -0.65, lz = 0.52;  // towards the light, upper left and front
  const double ll = std::sqrt(lx * lx + ly * ly + lz * lz);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      double px = x + 0.5 - ox, py = y + 0.5 - oy;
      // The circle the pixel lies deepest inside gives its surface normal.
      const Circle* best = nullptr;
      double depth = 0;
      for (const Circle& c : cs) {
        double d = c.r - std::hypot(px - c.cx, py - c.cy);
        if (d > 0 && (!best || d / c.r > depth)) {
          best = &c;
          depth = d / c.r;
        }
      }
      if (!best) continue;
      double nx = (px - best->cx) / best->r, ny = (py - best->cy) / best->r;
      double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
      double lit = (nx * lx + ny * ly + nz * lz) / ll;  // -1 .. 1
      double t = std::clamp((lit + 0.35) / 1.3, 0.0, 1.0) * (ramp.size() - 1);
      double f = t - std::floor(t);
      int idx = static_cast<int>(std::floor(t));
      if (dither && f > Bayer4(x, y)) ++idx;
      else if (!dither && f >= 0.5) ++idx;
      idx = std::clamp(idx, 0, static_cast<int>(ramp.size()) - 1);
      img.Set(x, y, ramp[static_cast<size_t>(idx)]);
    }
}

int TextWidth(const Sources& src, const std::string& s) {
  int w = 0;
  for (char c : s) w += src.Letter(c).w + 1;
  return s.empty() ? 0 : w - 1;
}

void DrawText(Img& img, const Sources& src, int x, int y, const std::string& s, uint32_t top, uint32_t bottom,
              TextStyle style, uint32_t edge) {
  // Ink shape first, so outlines of neighbouring letters merge.
  Shape ink(img.w, img.h);
  int cx = x;
  for (char c : s) {
    const Glyph& g = src.Letter(c);
    for (int j = 0; j < g.h; ++j)
      for (int i = 0; i < g.w; ++i)
        if (g.At(i, j)) ink.Set(cx + i, y + j);
    cx += g.w + 1;
  }
  if (style == TextStyle::Outline) {
    Shape around = Grow(ink, 1.5);
    for (int j = 0; j < img.h; ++j)
      for (int i = 0; i < img.w; ++i)
        if (around.At(i, j) && !ink.At(i, j)) img.Set(i, j, edge);
  } else if (style == TextStyle::Shadow) {
    for (int j = 0; j < img.h; ++j)
      for (int i = 0; i < img.w; ++i)
        if (ink.At(i - 1, j - 1) || ink.At(i, j - 1) || ink.At(i - 1, j))
          if (!ink.At(i, j)) img.Set(i, j, edge);
  }
  for (int j = 0; j < img.h; ++j)
    for (int i = 0; i < img.w; ++i)
      if (ink.At(i, j)) img.Set(i, j, Mix(top, bottom, j - y < 3 ? 0.0 : j - y < 5 ? 0.5 : 1.0));  // three tones
}

void Bubble(Img& img, int x, int y, int w, int h, int tail, uint32_t body, uint32_t shade, uint32_t edge) {
  int bx = x + tail, bw = w - tail;
  // Body: a rectangle with corners cut by two pixels.
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < bw; ++i) {
      int cut = 0;
      int dj = std::min(j, h - 1 - j);
      if (dj == 0) cut = 2;
      else if (dj == 1) cut = 1;
      int di = std::min(i, bw - 1 - i);
      if (di < cut) continue;
      bool border = dj == 0 || di == cut || (dj == 1 && di <= 1) || (di == 0);
      uint32_t c = body;
      if (border) c = edge;
      else if (j >= h - 3 || i >= bw - 3) c = shade;  // soft lower-right shading inside
      img.Set(bx + i, y + j, c);
    }
  // Tail: a small wedge pointing left, low on the bubble.
  if (tail > 0) {
    int ty = y + h / 2;
    for (int k = 0; k < tail + 1; ++k) {
      int tx = bx - k;
      int top = ty + k / 2 - 1, bot = ty + 2 + k / 3;
      bot = std::min(bot, y + h - 2);
      for (int j = top; j <= bot; ++j) {
        bool border = j == top || j == bot || k == tail;
        if (k == 0 && !border) img.Set(tx, j, body);
        else img.Set(tx, j, border ? edge : body);
      }
    }
  }
}

Shape BigLetters(const Sources& src, const std::string& s, int cw, int ch, int gap, double pen) {
  // Each inked font pixel is a node at the centre of its cw x ch block; nodes
  // next to each other (and diagonal ones with no corner between them) are
  // joined by strokes of a round pen, which gives round ends and smooth slants.
  struct Seg {
    double x0, y0, x1, y1;
  };
  std::vector<Seg> segs;
  int gw = 0;
  for (char c : s) gw += src.Letter(c).w * cw + gap;
  gw -= gap;
  const int pad = static_cast<int>(std::ceil(pen)) + 1;
  const int W = gw + 2 * pad, H = 7 * ch + 2 * pad;
  int ox = pad;
  for (char c : s) {
    const Glyph& g = src.Letter(c);
    auto cx = [&](int x) { return ox + (x + 0.5) * cw; };
    auto cy = [&](int y) { return pad + (y + 0.5) * ch; };
    for (int y = 0; y < g.h; ++y)
      for (int x = 0; x < g.w; ++x) {
        if (!g.At(x, y)) continue;
        segs.push_back({cx(x), cy(y), cx(x), cy(y)});
        if (g.At(x + 1, y)) segs.push_back({cx(x), cy(y), cx(x + 1), cy(y)});
        if (g.At(x, y + 1)) segs.push_back({cx(x), cy(y), cx(x), cy(y + 1)});
        if (g.At(x + 1, y + 1) && !g.At(x + 1, y) && !g.At(x, y + 1))
          segs.push_back({cx(x), cy(y), cx(x + 1), cy(y + 1)});
        if (g.At(x - 1, y + 1) && !g.At(x - 1, y) && !g.At(x, y + 1))
          segs.push_back({cx(x), cy(y), cx(x - 1), cy(y + 1)});
      }
    ox += g.w * cw + gap;
  }
  Shape out(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double px = x + 0.5, py = y + 0.5;
      for (const Seg& q : segs) {
        double dx = q.x1 - q.x0, dy = q.y1 - q.y0, l2 = dx * dx + dy * dy;
        double t = l2 > 0 ? std::clamp(((px - q.x0) * dx + (py - q.y0) * dy) / l2, 0.0, 1.0) : 0.0;
        double ex = q.x0 + t * dx - px, ey = q.y0 + t * dy - py;
        if (ex * ex + ey * ey <= pen * pen) {
          out.Set(x, y);
          break;
        }
      }
    }
  return out;
}

}  // namespace sheetgen
