// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheets.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "draw.hpp"

namespace sheetgen {

const int kComboPoints[27] = {1,  2,  5,  8,  10, 15, 20,  25,  30,  40,  50,  60,  70, 80,
                              90, 100, 120, 150, 200, 250, 300, 350, 400, 500, 600, 700, 800};

namespace {

constexpr uint32_t kCollisionYellow = 0xFFFF00;

struct Ctx {
  const Sources& src;
  const Palette& pal;
  uint32_t operator()(const std::string& n) const { return pal(n); }
  const Img& S(const std::string& n) const { return src.Sprite(n); }
};

// Puts a sprite cell and the mask made from it.
void Cell(Img& sheet, const Img& spr, int sx, int sy, int mx, int my) {
  Put(sheet, spr, sx, sy);
  Put(sheet, MaskOf(spr), mx, my);
}

// The sprite fitted into a w x h cell (centred, clipped).
Img Fit(const Img& s, int w, int h) {
  Img o(w, h);
  Over(o, s, (w - s.w) / 2, (h - s.h) / 2);
  return o;
}

// ---- terrain ---------------------------------------------------------------

Img Yuka(const Ctx& c) {
  Img s(125, 30, kClear);
  const uint32_t edge = Rgb(26, 40, 112), hi = Rgb(170, 214, 255), light = Rgb(112, 170, 246),
                 mid = Rgb(66, 118, 226), dark = Rgb(42, 76, 176), shine = Rgb(140, 192, 252);
  // The block: rows 5 to 29, bevelled, with a glint across the upper left.
  for (int j = 0; j < 25; ++j)
    for (int i = 0; i < 25; ++i) {
      uint32_t col = mid;
      if (i == 24 || j == 24) col = edge;
      else if (i == 0 || j == 0) col = hi;
      else if (i == 23 || j == 23) col = dark;
      else if (i == 1 || j == 1) col = light;
      else if (i == 22 || j == 22) col = Mix(mid, dark, 0.5);
      else if ((i + j == 8 || i + j == 9) && i < 9) col = shine;
      else if (i + j == 12 && i < 11 && i > 2) col = shine;
      else if ((i * 7 + j * 3) % 29 == 0) col = Mix(mid, light, 0.5);
      s.Set(i, 5 + j, col);
    }
  // The lip: a cap of snow over the top, with little drips over the block.
  const uint32_t navy = c("navy");
  for (int i = 0; i < 25; ++i) {
    s.Set(i, 0, navy);
    s.Set(i, 1, c("snow_hi"));
    s.Set(i, 2, (i % 6 == 2) ? c("snow") : c("snow_hi"));
    s.Set(i, 3, c("snow"));
    s.Set(i, 4, c("snow_shade"));
  }
  const int drip[25] = {1, 2, 2, 1, 0, 0, 1, 0, 0, 0, 1, 2, 3, 2, 1, 0, 0, 0, 1, 1, 0, 0, 1, 2, 1};
  for (int i = 0; i < 25; ++i) {
    for (int k = 0; k < drip[i]; ++k) s.Set(i, 5 + k, k + 1 == drip[i] ? c("snow_deep") : c("snow_shade"));
    if (drip[i] > 0) s.Set(i, 4, c("snow"));
  }
  // Mask: the whole tile is opaque.
  for (int j = 0; j < 30; ++j)
    for (int i = 0; i < 25; ++i) s.Set(25 + i, j, kInk);
  // Collision: a lip that is not solid, then a solid cell.
  for (int j = 0; j < 30; ++j)
    for (int i = 0; i < 25; ++i) s.Set(50 + i, j, j < 5 ? kInk : kCollisionYellow);
  // Collision eraser: the lip rows stay untouched (white), the cell becomes open (black).
  for (int j = 5; j < 25; ++j)
    for (int i = 0; i < 25; ++i) s.Set(75 + i, j, kInk);
  // x 100: the empty tile, all white.
  return s;
}

// ---- sky and clouds --------------------------------------------------------

uint32_t SkyAt(double t) {
  struct Stop {
    double t;
    uint32_t c;
  };
  static const Stop stops[] = {{0.0, Rgb(76, 62, 178)},   {0.28, Rgb(92, 104, 222)}, {0.58, Rgb(118, 168, 244)},
                               {0.84, Rgb(168, 222, 252)}, {1.0, Rgb(214, 248, 255)}};
  for (size_t k = 1; k < std::size(stops); ++k)
    if (t <= stops[k].t) return Mix(stops[k - 1].c, stops[k].c, (t - stops[k - 1].t) / (stops[k].t - stops[k - 1].t));
  return stops[std::size(stops) - 1].c;
}

Img Back(const Ctx&) {
  Img s(425, 466, 0xFFFFFF);
  const int levels = 30, white = 368;
  for (int y = 0; y < white; ++y)
    for (int x = 0; x < 425; ++x) {
      double v = static_cast<double>(y) / (white - 1) * (levels - 1);
      int k = static_cast<int>(std::floor(v));
      if (v - k > Bayer4(x, y)) ++k;
      s.Set(x, y, SkyAt(static_cast<double>(std::min(k, levels - 1)) / (levels - 1)));
    }
  // Far hills of snow above the white ground: two soft layers.
  for (int x = 0; x < 425; ++x) {
    double far = 332 + 10 * std::sin(x * 0.021 + 1.0) + 6 * std::sin(x * 0.057 + 0.3);
    double near = 350 + 7 * std::sin(x * 0.034 + 2.2) + 4 * std::sin(x * 0.083);
    for (int y = static_cast<int>(far); y < white; ++y) {
      uint32_t c = y < far + 1 ? Rgb(170, 196, 240) : Rgb(196, 220, 248);
      if (y >= near) c = y < near + 1 ? Rgb(200, 224, 250) : Rgb(232, 244, 255);
      s.Set(x, y, c);
    }
  }
  return s;
}

Img Cloud(const Ctx&) {
  Img s(92, 57);
  const std::vector<uint32_t> ramp = {Rgb(168, 194, 238), Rgb(198, 218, 248), Rgb(224, 236, 254), Rgb(246, 250, 255)};
  const uint32_t edge = Rgb(118, 146, 210);
  auto one = [&](int y0, int h, const std::vector<Circle>& cs) {
    Img c(46, h);
    ShadedCircles(c, cs, ramp, false);
    // A flat underside keeps the clouds from looking like balls.
    Outline(c, edge);
    Put(s, c, 0, y0);
    Put(s, MaskOf(c), 46, y0);
  };
  one(0, 24, {{10, 15.5, 7}, {19, 10, 8.5}, {29, 9.5, 7.5}, {36.5, 15, 7}, {23, 16.5, 7}});
  one(24, 19, {{9, 12, 5.5}, {18, 8, 6.5}, {27, 8.5, 6}, {35.5, 12, 5.5}, {22, 12.5, 5.5}});
  one(43, 14, {{12, 8, 4.5}, {20, 6, 5}, {28, 7, 4.5}, {34, 9, 3.5}, {22, 9, 4}});
  return s;
}

// ---- hero ------------------------------------------------------------------

Img Snow(const Ctx& c) {
  Img s(140, 48);
  for (int f = 0; f < 7; ++f) Cell(s, c.S("snow" + std::to_string(f)), 20 * f, 0, 20 * f, 24);
  return s;
}

// A glow around the hero's silhouette, yellow at the top and orange below.
Img SnowM(const Ctx& c) {
  Img s(120, 48);
  for (int f = 0; f < 6; ++f) {
    const Img& h = c.S("snow" + std::to_string(f));
    Img g(20, 24);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 20; ++x) {
        double t = std::floor(y / 6.0) / 3.0;  // four bands from top to bottom
        if (h.Solid(x, y)) {
          bool edge = !h.Solid(x - 1, y) || !h.Solid(x + 1, y) || !h.Solid(x, y - 1) || !h.Solid(x, y + 1);
          if (edge) g.Set(x, y, Mix(Rgb(255, 236, 96), Rgb(246, 112, 24), t));
        } else {
          bool near = false;
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) near = near || h.Solid(x + dx, y + dy);
          if (near) g.Set(x, y, Mix(Rgb(255, 250, 190), Rgb(255, 170, 60), t));
        }
      }
    Cell(s, g, 20 * f, 0, 20 * f, 24);
  }
  return s;
}

Img Ball(const Ctx& c) {
  Img b(15, 15);
  ShadedCircles(b, {{7.5, 7.5, 6.6}}, {Rgb(120, 156, 222), Rgb(166, 198, 244), Rgb(204, 226, 252), Rgb(236, 246, 255)},
                false);
  Outline(b, c("navy"));
  Img s(30, 15);
  Cell(s, b, 0, 0, 15, 0);
  return s;
}

// ---- enemies and items -----------------------------------------------------

Img Row(const Ctx& c, const std::string& prefix, int n, int w, int h) {
  Img s(w * n, 2 * h);
  for (int k = 0; k < n; ++k) Cell(s, Fit(c.S(prefix + std::to_string(k)), w, h), w * k, 0, w * k, h);
  return s;
}

// The runner is the hopper's kind in dark grey fur.
std::map<uint32_t, uint32_t> RunnerFur(const Ctx& c) {
  return {{c("fur_hi"), c("runner_hi")}, {c("fur"), c("runner")}, {c("fur_dark"), c("runner_dark")}};
}

Img Enemy4(const Ctx& c) {
  Img s(140, 52);
  auto fur = RunnerFur(c);
  for (int k = 0; k < 7; ++k) {
    std::string n = "run" + std::to_string(k);
    Img spr = c.src.sprites.count(n) ? c.S(n) : Recolour(c.S("hop" + std::to_string(k)), fur);
    Cell(s, Fit(spr, 20, 26), 20 * k, 0, 20 * k, 26);
  }
  return s;
}

// ---- lettering -------------------------------------------------------------

// A line of text in a cell, its mask made from it.
Img GetItem(const Ctx& c) {
  Img s(96, 84);
  const char* lines[5] = {"HAHAHA", "+1 SNOW BALL", "LET'S GO !", "POWR UP", "I FEEL GOOD !"};
  const uint32_t ink[5] = {c("bomb_mid"), c("cap_dark"), c("red_dark"), c("orange"), c("purple")};
  Img plate(96, 14);
  Bubble(plate, 0, 0, 96, 14, 5, c("opaque_white"), c("snow"), c("navy"));
  for (int k = 0; k < 5; ++k) {
    Img l = plate;
    int tw = TextWidth(c.src, lines[k]);
    DrawText(l, c.src, 5 + (91 - tw) / 2, 3, lines[k], ink[k], Mix(ink[k], c("navy"), 0.5), TextStyle::Plain, 0);
    Put(s, l, 0, 14 * k);
  }
  Put(s, MaskOf(plate), 0, 70);
  return s;
}

Img Ten(const Ctx& c) {
  Img s(80, 431);
  for (int n = 1; n <= 27; ++n) {
    Img l(40, 16);
    std::string t = std::to_string(kComboPoints[n - 1] * 100);
    uint32_t top = c("gold_hi"), bottom = c("orange");
    if (n > 8) top = c("gold"), bottom = c("red");
    if (n > 16) top = c("pink"), bottom = c("red_dark");
    DrawText(l, c.src, 2, 4, t, top, bottom, TextStyle::Outline, c("navy"));
    Img cut = Crop(l, 0, 0, 40, n == 27 ? 15 : 16);
    Cell(s, cut, 0, 16 * (n - 1), 40, 16 * (n - 1));
  }
  return s;
}

Img Bar(const Ctx& c) {
  Img b(124, 13);
  const uint32_t navy = c("navy"), hi = c("snow_hi"), tint = Rgb(34, 44, 96);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 124; ++x) {
      bool corner = (x == 0 || x == 123) && (y == 0 || y == 12);
      if (corner) continue;
      if (x == 0 || x == 123 || y == 0 || y == 12) b.Set(x, y, navy);
      else if (x == 1 || x == 122 || y == 1 || y == 11) b.Set(x, y, y == 11 || x == 122 ? c("snow_shade") : hi);
      else if ((x + y) % 2 == 0) b.Set(x, y, tint);
    }
  Img s(124, 26);
  Cell(s, b, 0, 0, 0, 13);
  return s;
}

Img Geji(const Ctx&) {
  Img s(120, 10);
  for (int x = 0; x < 120; ++x) {
    // Eight hues from cool to warm, dithered where they meet.
    double v = x / 119.0 * 7;
    int k = static_cast<int>(v);
    if (v - k > Bayer4(x, 0) && k < 7) ++k;
    uint32_t base = Mix(Rgb(150, 226, 255), Rgb(255, 206, 150), k / 7.0);
    for (int y = 0; y < 10; ++y) {
      uint32_t col = base;
      if (y == 0) col = Mix(base, Rgb(255, 255, 255), 0.6);
      else if (y <= 2) col = Mix(base, Rgb(255, 255, 255), 0.3);
      else if (y >= 7) col = Mix(base, Rgb(60, 80, 150), 0.25);
      if (col == 0xFFFFFF) col = 0xFEFEFE;
      s.Set(x, y, col);
    }
  }
  return s;
}

Img Label(const Ctx& c, int w, int h, int x, int y, const std::string& t) {
  Img l(w, h);
  DrawText(l, c.src, x, y, t, c("gold_hi"), c("orange"), TextStyle::Outline, c("navy"));
  Img s(w, 2 * h);
  Cell(s, l, 0, 0, 0, h);
  return s;
}

Img Math(const Ctx& c) {
  Img s(60, 20);
  for (int d = 0; d < 10; ++d) {
    Img g(6, 10);
    DrawText(g, c.src, 0, 1, std::string(1, static_cast<char>('0' + d)), c("opaque_white"), c("snow_shade"),
             TextStyle::Shadow, c("navy"));
    Cell(s, g, 6 * d, 0, 6 * d, 10);
  }
  return s;
}

Img Talk(const Ctx& c, int w, const std::string& t) {
  Img l(w, 14);
  Bubble(l, 0, 0, w, 14, 5, c("opaque_white"), c("snow"), c("navy"));
  int tw = TextWidth(c.src, t);
  DrawText(l, c.src, 5 + (w - 5 - tw) / 2, 3, t, c("cap"), c("cap_dark"), TextStyle::Plain, 0);
  Img s(w, 28);
  Cell(s, l, 0, 0, 0, 14);
  return s;
}

Img SBit(const Ctx&) {
  Img s(6, 4);
  auto dot = [&](int x, int y, int n, uint32_t col) {
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) s.Set(x + i, y + j, col);
  };
  dot(0, 0, 2, Rgb(90, 224, 255));   // hero
  dot(2, 0, 2, Rgb(255, 70, 80));    // enemy
  dot(2, 2, 2, Rgb(255, 110, 250));  // projectile
  dot(4, 2, 2, Rgb(96, 250, 120));   // item
  dot(4, 0, 1, Rgb(240, 248, 255));  // hero's shot
  return s;
}

// Big letters: the shape filled in two tones with a highlight, a thick outline.
Img PaintBig(const Shape& shape, uint32_t top, uint32_t bottom, uint32_t hi, uint32_t shade, uint32_t edge,
             double split, int outline) {
  Img o(shape.w, shape.h);
  int y0 = shape.h, y1 = 0;
  for (int y = 0; y < shape.h; ++y)
    for (int x = 0; x < shape.w; ++x)
      if (shape.At(x, y)) y0 = std::min(y0, y), y1 = std::max(y1, y);
  for (int y = 0; y < shape.h; ++y)
    for (int x = 0; x < shape.w; ++x) {
      if (!shape.At(x, y)) continue;
      double t = y1 > y0 ? static_cast<double>(y - y0) / (y1 - y0) : 0;
      uint32_t col = t < split ? top : bottom;
      if (!shape.At(x - 1, y - 1) || !shape.At(x, y - 2) || !shape.At(x - 2, y)) col = hi;
      else if (!shape.At(x + 1, y + 1) || !shape.At(x, y + 2)) col = shade;
      o.Set(x, y, col);
    }
  Shape ring = Grow(shape, outline);
  for (int y = 0; y < shape.h; ++y)
    for (int x = 0; x < shape.w; ++x)
      if (ring.At(x, y) && !shape.At(x, y)) o.Set(x, y, edge);
  return o;
}

Img OverSheet(const Ctx& c) {
  Img s(257, 106);
  const std::string word = "GAMEOVER";
  for (int i = 0; i < 8; ++i) {
    Shape sh = BigLetters(c.src, std::string(1, word[static_cast<size_t>(i)]), 5, 6, 0, 3.4);
    // Room for the outline around the letter.
    Shape room(sh.w + 6, sh.h + 6);
    for (int y = 0; y < sh.h; ++y)
      for (int x = 0; x < sh.w; ++x)
        if (sh.At(x, y)) room.Set(x + 3, y + 3);
    Img l = PaintBig(room, Rgb(255, 132, 116), Rgb(222, 58, 76), Rgb(255, 214, 196), Rgb(150, 28, 58), c("navy"),
                     0.5, 3);
    Cell(s, Fit(l, 32, 53), 32 * i, 0, 32 * i, 53);
  }
  return s;
}

Img Morvik(const Ctx& c) {
  // The whole word, then cut into three pieces 65 apart that share one column.
  Shape sh = BigLetters(c.src, "MORVIK", 5, 8, 5, 3.6);
  const int W = 196, H = 78, ox = (W - sh.w) / 2, oy = 12;
  Shape word(W, H);
  for (int y = 0; y < sh.h; ++y)
    for (int x = 0; x < sh.w; ++x)
      if (sh.At(x, y)) word.Set(x + ox, y + oy);
  Img art = PaintBig(word, Rgb(214, 238, 255), Rgb(96, 152, 240), Rgb(250, 252, 255), Rgb(44, 80, 190), c("navy"),
                     0.45, 3);
  // Snow resting on every top edge, a little bumpy.
  for (int x = 0; x < W; ++x)
    for (int y = 1; y < H; ++y)
      if (word.At(x, y) && !word.At(x, y - 1)) {
        int depth = 3 + ((x * 5) % 7 == 0 ? 2 : 0), rise = 1 + ((x / 3) % 2);
        for (int k = -rise; k < depth; ++k)
          if (word.At(x, y + k) || k < 0) art.Set(x, y + k, k == depth - 1 ? c("snow_shade") : c("snow_hi"));
        art.Set(x, y - rise - 1, c("navy"));
      }
  // A few sparkles.
  const int sp[][2] = {{40, 9}, {100, 6}, {170, 10}, {24, 66}};
  for (auto& p : sp) {
    art.Set(p[0], p[1], c("opaque_white"));
    art.Set(p[0] - 1, p[1], c("cap_hi"));
    art.Set(p[0] + 1, p[1], c("cap_hi"));
    art.Set(p[0], p[1] - 1, c("cap_hi"));
    art.Set(p[0], p[1] + 1, c("cap_hi"));
  }
  Img s(198, 156);
  for (int j = 0; j < 3; ++j) Cell(s, Crop(art, 65 * j, 0, 66, 78), 66 * j, 0, 66 * j, 78);
  return s;
}

// The cast in medallions, twice their size.
Img MOR(const Ctx& c) {
  const char* who[7] = {"snow0", "carrier0", "bird1", "hop0", "fish0", "ghost0", "run0"};
  const uint32_t inside[7] = {Rgb(200, 232, 255), Rgb(255, 222, 214), Rgb(214, 240, 255), Rgb(236, 226, 255),
                              Rgb(214, 246, 236), Rgb(238, 232, 250), Rgb(226, 232, 244)};
  Img s(399, 116);
  for (int i = 0; i < 7; ++i) {
    Img m(57, 58);
    ShadedCircles(m, {{28.5, 29, 26.5}}, {Rgb(40, 70, 170), Rgb(70, 118, 226), Rgb(120, 172, 250), Rgb(196, 228, 255)},
                  true);
    for (int y = 0; y < 58; ++y)
      for (int x = 0; x < 57; ++x)
        if (std::hypot(x + 0.5 - 28.5, y + 0.5 - 29) < 21.5) {
          double t = std::clamp((y - 8) / 42.0, 0.0, 1.0) * 3;
          int k = static_cast<int>(t);
          if (t - k > Bayer4(x, y)) ++k;
          m.Set(x, y, Mix(inside[i], Rgb(255, 255, 254), std::min(k, 3) * 0.2));
        }
    std::string n = who[i];
    Img ch;
    if (n == "run0" && !c.src.sprites.count("run0")) ch = Recolour(c.S("hop0"), RunnerFur(c));
    else ch = c.S(n);
    Img big = Scale(ch, 2);
    Over(m, big, (57 - big.w) / 2, (58 - big.h) / 2 + 1);
    Outline(m, c("navy"));
    Img cell = Crop(m, 0, 0, 57, 58);
    Cell(s, cell, 57 * i, 0, 57 * i, 58);
  }
  return s;
}

Img Command(const Ctx& c) {
  Img s(280, 56);
  Img menu(140, 42);
  const char* items[3] = {"320 x 240 MODE START", "640 x 480 MODE START", "EXIT"};
  for (int k = 0; k < 3; ++k)
    DrawText(menu, c.src, 8, 14 * k + 3, items[k], c("opaque_white"), c("snow_shade"), TextStyle::Outline, c("navy"));
  Cell(s, menu, 0, 0, 140, 0);
  Img bar(140, 14);
  Bubble(bar, 0, 0, 140, 14, 4, c("orange_hi"), c("orange"), c("navy"));
  Cell(s, bar, 0, 42, 140, 42);
  return s;
}

Img HScore(const Ctx& c) {
  Img l(228, 14);
  DrawText(l, c.src, 6, 3, "HI-SCORE", c("gold_hi"), c("orange"), TextStyle::Outline, c("navy"));
  DrawText(l, c.src, 152, 3, "MAXHIT", c("gold_hi"), c("orange"), TextStyle::Outline, c("navy"));
  Img s(228, 28);
  Cell(s, l, 0, 0, 0, 14);
  return s;
}

Img TalkChara(const Ctx& c) {
  const char* who[7] = {"snow0", "bird0", "hop0", "fish0", "ghost0", "run0", "carrier0"};
  const uint32_t back[7] = {Rgb(176, 214, 255), Rgb(200, 236, 255), Rgb(255, 214, 224), Rgb(190, 240, 222),
                            Rgb(226, 214, 252), Rgb(214, 222, 240), Rgb(255, 226, 190)};
  Img s(21, 182);
  for (int i = 0; i < 7; ++i) {
    Img p(21, 26, back[i]);
    for (int y = 14; y < 25; ++y)
      for (int x = 1; x < 20; ++x) p.Set(x, y, Mix(back[i], Rgb(250, 252, 255), y < 18 ? 0.25 : y < 22 ? 0.5 : 0.75));
    std::string n = who[i];
    Img ch = (n == "run0" && !c.src.sprites.count("run0")) ? Recolour(c.S("hop0"), RunnerFur(c)) : c.S(n);
    Over(p, ch, (21 - ch.w) / 2, 26 - ch.h - 1);
    for (int x = 0; x < 21; ++x) p.Set(x, 0, c("navy")), p.Set(x, 25, c("navy"));
    for (int y = 0; y < 26; ++y) p.Set(0, y, c("navy")), p.Set(20, y, c("navy"));
    Put(s, p, 0, 26 * i);
  }
  return s;
}

Img CR(const Ctx& c) {
  Img s(308, 28);
  const std::string t = "(C) 2026 THE MORVIK TEAM";
  int x = (154 - TextWidth(c.src, t)) / 2;
  Img line(154, 14, 0xFFFFFF);
  DrawText(line, c.src, x, 3, t, Rgb(184, 196, 226), Rgb(184, 196, 226), TextStyle::Plain, 0);
  Put(s, line, 0, 14);
  Img ink(154, 14);
  DrawText(ink, c.src, x, 3, t, c("cap"), c("cap_dark"), TextStyle::Shadow, Rgb(150, 176, 232));
  Cell(s, ink, 0, 0, 154, 0);
  return s;
}

}  // namespace

std::vector<Sheet> BuildSheets(const Sources& src) {
  Ctx c{src, src.pal};
  std::vector<Sheet> out;
  auto add = [&](const char* n, Img i) { out.push_back({n, std::move(i)}); };
  add("Yuka", Yuka(c));
  add("Back", Back(c));
  add("Cloud", Cloud(c));
  add("Snow", Snow(c));
  add("SnowM", SnowM(c));
  add("Ball", Ball(c));
  add("Enemy0", Row(c, "bird", 4, 15, 19));
  add("Enemy1", Row(c, "hop", 7, 20, 26));
  add("Enemy2", Row(c, "fish", 4, 20, 15));
  add("Enemy3", Row(c, "ghost", 4, 20, 20));
  add("Enemy4", Enemy4(c));
  add("Enemy5", Row(c, "carrier", 5, 21, 26));
  add("Enemy6", Row(c, "item", 6, 16, 20));
  add("GetItem", GetItem(c));
  add("Ten", Ten(c));
  add("Bar", Bar(c));
  add("Geji", Geji(c));
  add("SC", Label(c, 34, 10, 2, 1, "SCORE"));
  add("Math", Math(c));
  add("MaxA", Label(c, 43, 10, 1, 1, "MAX HIT"));
  add("DieTalk", Talk(c, 115, "PRESS ATTACK KEY"));
  add("SBit", SBit(c));
  add("Over", OverSheet(c));
  add("Pose", Talk(c, 52, "PAUSE"));
  add("Morvik", Morvik(c));
  add("MOR", MOR(c));
  add("Command", Command(c));
  add("HScore", HScore(c));
  add("TalkChara", TalkChara(c));
  add("CR", CR(c));
  return out;
}

}  // namespace sheetgen
