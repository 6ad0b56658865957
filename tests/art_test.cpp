// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures the program carries: sizes, masks, the exact colours the game
// reads, the lettering and that they are the ones the build drew.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "game.hpp"
#include "media/sheet_dump.hpp"
#include "media/sheets.hpp"
#include "media/surface.hpp"
#include "platform/headless/headless_platform.hpp"
#include "support.hpp"

using namespace morvik;

namespace {

constexpr uint32_t kNavy = 0x1C2048;

const Sheets& Art() {
  static const Sheets s;
  return s;
}
const Surface& Sheet(const std::string& n) { return *FindSheet(Art(), n); }

// A sprite cell and the mask cell the game draws it with.
struct Masked {
  std::string sheet;
  int sx, sy, mx, my, w, h;
};

std::vector<Masked> MaskedCells() {
  std::vector<Masked> v;
  auto row = [&](const std::string& n, int count, int w, int h) {
    for (int k = 0; k < count; ++k) v.push_back({n, k * w, 0, k * w, h, w, h});
  };
  for (int k = 0; k < 3; ++k) {
    const int y[3] = {0, 24, 43}, h[3] = {24, 19, 14};
    v.push_back({"Cloud", 0, y[k], 46, y[k], 46, h[k]});
  }
  row("Snow", 7, 20, 24);
  row("SnowM", 6, 20, 24);
  v.push_back({"Ball", 0, 0, 15, 0, 15, 15});
  row("Enemy0", 4, 15, 19);
  row("Enemy1", 7, 20, 26);
  row("Enemy2", 4, 20, 15);
  row("Enemy3", 4, 20, 20);
  row("Enemy4", 7, 20, 26);
  row("Enemy5", 5, 21, 26);
  row("Enemy6", 6, 16, 20);
  for (int k = 0; k < 5; ++k) v.push_back({"GetItem", 0, 14 * k, 0, 70, 96, 14});
  for (int n = 1; n <= 27; ++n) v.push_back({"Ten", 0, 16 * (n - 1), 40, 16 * (n - 1), 40, n == 27 ? 15 : 16});
  v.push_back({"Bar", 0, 0, 0, 13, 124, 13});
  v.push_back({"SC", 0, 0, 0, 10, 34, 10});
  row("Math", 10, 6, 10);
  v.push_back({"MaxA", 0, 0, 0, 10, 43, 10});
  v.push_back({"DieTalk", 0, 0, 0, 14, 115, 14});
  row("Over", 8, 32, 53);
  v.push_back({"Pose", 0, 0, 0, 14, 52, 14});
  row("Morvik", 3, 66, 78);
  row("MOR", 7, 57, 58);
  v.push_back({"Command", 0, 0, 140, 0, 140, 42});
  v.push_back({"Command", 0, 42, 140, 42, 140, 14});
  v.push_back({"HScore", 0, 0, 0, 14, 228, 14});
  v.push_back({"CR", 0, 0, 154, 0, 154, 14});
  return v;
}

// Pixels of a cell that are not white.
int InkCount(const Surface& s, int x, int y, int w, int h) {
  int n = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) n += s.Get(x + i, y + j) != kWhite;
  return n;
}

// Pixels that differ between two cells of a sheet.
int Difference(const Surface& s, int x0, int x1, int y, int w, int h) {
  int n = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) n += s.Get(x0 + i, y + j) != s.Get(x1 + i, y + j);
  return n;
}

// The letters of a line as bitmaps: the fill (neither white, black nor the
// navy edge), split at empty columns.
// On a bubble only the darker lettering counts, not the pale body.
std::vector<std::vector<std::string>> Letters(const Surface& s, int x, int y, int w, int h, bool onBubble = false) {
  std::vector<std::vector<std::string>> out;
  std::vector<std::string> cur;
  auto fill = [&](int i, int j) {
    uint32_t c = s.Get(x + i, y + j);
    int lum = static_cast<int>((c >> 16) & 0xFF) + static_cast<int>((c >> 8) & 0xFF) + static_cast<int>(c & 0xFF);
    return c != kWhite && c != kBlack && c != kNavy && (!onBubble || lum < 3 * 190);
  };
  for (int i = 0; i <= w; ++i) {
    bool any = false;
    std::string col;
    for (int j = 0; j < h; ++j) {
      bool f = i < w && fill(i, j);
      any = any || f;
      col += f ? '#' : '.';
    }
    if (any) cur.push_back(col);
    else if (!cur.empty()) out.push_back(cur), cur.clear();
  }
  // Trim rows above and below the ink, so letters compare by shape.
  for (auto& l : out) {
    size_t top = l[0].size(), bot = 0;
    for (auto& c : l)
      for (size_t j = 0; j < c.size(); ++j)
        if (c[j] == '#') top = std::min(top, j), bot = std::max(bot, j);
    for (auto& c : l) c = c.substr(top, bot - top + 1);
  }
  return out;
}

// Reads a line of digits by matching its letters with the Math digits.
std::string ReadDigits(const Surface& s, int x, int y, int w, int h) {
  const Surface& m = Sheet("Math");
  std::vector<std::vector<std::string>> digits;
  for (int d = 0; d < 10; ++d) {
    auto l = Letters(m, 6 * d, 0, 6, 10);
    digits.push_back(l.size() == 1 ? l[0] : std::vector<std::string>{});
  }
  std::string text;
  for (const auto& l : Letters(s, x, y, w, h)) {
    char got = '?';
    for (int d = 0; d < 10; ++d)
      if (l == digits[static_cast<size_t>(d)]) got = static_cast<char>('0' + d);
    text += got;
  }
  return text;
}

}  // namespace

TEST(SheetArt, EveryArtSheetHasItsSizeAndIsDrawn) {
  for (const SheetInfo& i : SheetCatalogue()) {
    const Surface& s = Sheet(i.name);
    EXPECT_EQ(s.Width(), i.width) << i.name;
    EXPECT_EQ(s.Height(), i.height) << i.name;
    if (i.art) {
      EXPECT_GT(InkCount(s, 0, 0, s.Width(), s.Height()), 0) << i.name << " is blank";
    }
  }
}

TEST(SheetArt, CarriedSheetsAreTheOnesTheToolDrew) {
  std::ifstream in(std::string(MORVIK_BINARY_DIR) + "/generated/sheets.raw", std::ios::binary);
  ASSERT_TRUE(in) << "the build writes generated/sheets.raw";
  std::set<std::string> seen;
  std::string name;
  while (std::getline(in, name)) {
    int w = 0, h = 0;
    in >> w >> h;
    in.get();
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    ASSERT_TRUE(in) << name;
    const Surface* s = FindSheet(Art(), name);
    ASSERT_NE(s, nullptr) << name;
    ASSERT_EQ(s->Width(), w) << name;
    ASSERT_EQ(s->Height(), h) << name;
    int diff = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        diff += s->Get(x, y) != Rgb(p[0], p[1], p[2]);
      }
    EXPECT_EQ(diff, 0) << name;
    seen.insert(name);
  }
  for (const SheetInfo& i : SheetCatalogue())
    if (i.art) {
      EXPECT_TRUE(seen.count(i.name)) << i.name << " is not built by the tool";
    }
}

TEST(SheetArt, MasksMatchTheirSprites) {
  for (const Masked& c : MaskedCells()) {
    const Surface& s = Sheet(c.sheet);
    int bad = 0, opaque = 0;
    for (int j = 0; j < c.h; ++j)
      for (int i = 0; i < c.w; ++i) {
        uint32_t m = s.Get(c.mx + i, c.my + j), p = s.Get(c.sx + i, c.sy + j);
        if (m != kBlack && m != kWhite) ++bad;          // a mask is black and white only
        else if (m == kWhite && p != kWhite) ++bad;     // transparent means white in the sprite
        opaque += m == kBlack;
      }
    EXPECT_EQ(bad, 0) << c.sheet << " cell at " << c.sx << "," << c.sy;
    EXPECT_GT(opaque, 0) << c.sheet << " cell at " << c.sx << "," << c.sy << " draws nothing";
  }
}

TEST(SheetArt, BallDrawnOverRedKeepsTheRedInItsCorners) {
  const Surface& ball = Sheet("Ball");
  Surface dst(40, 40, 0xFF0000);
  DrawMasked(dst, 10, 10, 15, 15, ball, 0, 0, 15, 0);
  for (auto [x, y] : {std::pair{10, 10}, {24, 10}, {10, 24}, {24, 24}}) EXPECT_EQ(dst.Get(x, y), 0xFF0000u);
  EXPECT_EQ(dst.Get(17, 17), ball.Get(7, 7));
  EXPECT_NE(ball.Get(7, 7), kWhite);
}

TEST(SheetArt, TerrainTilesHoldTheExactColoursTheGameReads) {
  const Surface& y = Sheet("Yuka");
  for (int j = 0; j < 30; ++j)
    for (int i = 0; i < 25; ++i) {
      ASSERT_EQ(y.Get(25 + i, j), kBlack) << "block mask " << i << "," << j;
      ASSERT_EQ(y.Get(50 + i, j), j < 5 ? kBlack : kSolid) << "block collision " << i << "," << j;
      ASSERT_NE(y.Get(i, j), kWhite) << "the block image is opaque everywhere " << i << "," << j;
    }
  for (int j = 0; j < 25; ++j)
    for (int i = 0; i < 25; ++i) {
      ASSERT_EQ(y.Get(75 + i, j), j < 5 ? kWhite : kBlack) << "empty collision " << i << "," << j;
      ASSERT_EQ(y.Get(100 + i, j), kWhite) << "empty tile " << i << "," << j;
    }
}

TEST(SheetArt, CollisionYellowAppearsNowhereButTheBlockCollisionTile) {
  for (const SheetInfo& i : SheetCatalogue()) {
    if (!i.art) continue;
    const Surface& s = Sheet(i.name);
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) {
        bool tile = i.name == std::string("Yuka") && x >= 50 && x < 75;
        if (!tile && s.Get(x, y) == kSolid) ++n;
      }
    EXPECT_EQ(n, 0) << i.name;
  }
}

TEST(SheetArt, SkyShadesDownToPaleAndIsWhiteFromRow368) {
  const Surface& b = Sheet("Back");
  auto blue = [](uint32_t c) { return static_cast<int>(c & 0xFF); };
  auto red = [](uint32_t c) { return static_cast<int>(c >> 16); };
  EXPECT_GT(blue(b.Get(0, 0)), red(b.Get(0, 0)) + 60) << "violet-blue at the top";
  EXPECT_GT(red(b.Get(5, 300)), red(b.Get(5, 0)) + 60) << "paler lower down";
  for (int y = 368; y < 466; ++y)
    for (int x = 0; x < 425; ++x) ASSERT_EQ(b.Get(x, y), kWhite) << x << "," << y;
}

TEST(SheetArt, ScorePopupLinesReadTheComboPointsInOrder) {
  test::Fixture f;  // fills the constant tables
  const Surface& t = Sheet("Ten");
  for (int n = 1; n <= 27; ++n)
    EXPECT_EQ(ReadDigits(t, 0, 16 * (n - 1), 40, n == 27 ? 15 : 16), std::to_string(f.g->ComboPoints[n] * 100))
        << "line " << n;
}

TEST(SheetArt, DigitsAreTenDistinctLetters) {
  const Surface& m = Sheet("Math");
  std::set<std::vector<std::string>> shapes;
  for (int d = 0; d < 10; ++d) {
    auto l = Letters(m, 6 * d, 0, 6, 10);
    ASSERT_EQ(l.size(), 1u) << "digit " << d;
    shapes.insert(l[0]);
  }
  EXPECT_EQ(shapes.size(), 10u);
}

TEST(SheetArt, TextCellsCarryTheirWords) {
  // Each caption line has its own words on the shared bubble.
  const Surface& gi = Sheet("GetItem");
  std::set<std::vector<std::vector<std::string>>> captions;
  for (int k = 0; k < 5; ++k) {
    auto l = Letters(gi, 6, 14 * k + 2, 88, 10, true);
    EXPECT_GE(l.size(), 6u) << "caption " << k;
    captions.insert(l);
  }
  EXPECT_EQ(captions.size(), 5u);
  // Letter counts of the words (spaces and the apostrophe aside).
  EXPECT_EQ(Letters(Sheet("DieTalk"), 6, 2, 108, 10, true).size(), 14u);  // PRESS ATTACK KEY
  EXPECT_EQ(Letters(Sheet("Pose"), 6, 2, 45, 10, true).size(), 5u);       // PAUSE
  EXPECT_EQ(Letters(Sheet("SC"), 0, 0, 34, 10).size(), 5u);         // SCORE
  EXPECT_EQ(Letters(Sheet("MaxA"), 0, 0, 43, 10).size(), 6u);       // MAX HIT
  const Surface& hs = Sheet("HScore");
  EXPECT_EQ(Letters(hs, 0, 0, 63, 14).size(), 8u) << "HI-SCORE left of the score digits";
  EXPECT_EQ(Letters(hs, 142, 0, 54, 14).size(), 6u) << "MAXHIT between the score and the combo digits";
  EXPECT_EQ(InkCount(hs, 63, 2, 78, 10), 0) << "room for the nine score digits";
  const Surface& cmd = Sheet("Command");
  EXPECT_EQ(Letters(cmd, 0, 0, 140, 14).size(), 16u);   // 320 x 240 MODE START
  EXPECT_EQ(Letters(cmd, 0, 14, 140, 14).size(), 16u);  // 640 x 480 MODE START
  EXPECT_EQ(Letters(cmd, 0, 28, 140, 14).size(), 4u);   // EXIT
  EXPECT_GT(InkCount(cmd, 0, 42, 140, 14), 140 * 8) << "the selection bar";
  for (int i = 0; i < 8; ++i) EXPECT_GT(InkCount(Sheet("Over"), 32 * i, 0, 32, 53), 300) << "letter " << i;
  for (int j = 0; j < 3; ++j) EXPECT_GT(InkCount(Sheet("Morvik"), 66 * j, 0, 66, 78), 800) << "logo part " << j;
  const Surface& cr = Sheet("CR");
  EXPECT_GT(InkCount(cr, 0, 0, 154, 14), 100);
  EXPECT_GT(InkCount(cr, 0, 14, 154, 14), 50);
}

TEST(SheetArt, AnimationFramesDifferVisibly) {
  struct Anim {
    const char* sheet;
    int w, h, first, last;
  };
  const Anim anims[] = {{"Snow", 20, 24, 0, 2},   {"Snow", 20, 24, 3, 5},   {"Enemy0", 15, 19, 0, 2},
                        {"Enemy1", 20, 26, 0, 2}, {"Enemy1", 20, 26, 3, 5}, {"Enemy2", 20, 15, 0, 2},
                        {"Enemy3", 20, 20, 0, 2}, {"Enemy4", 20, 26, 0, 2}, {"Enemy5", 21, 26, 0, 3}};
  for (const Anim& a : anims)
    for (int f = a.first; f < a.last; ++f)
      EXPECT_GE(Difference(Sheet(a.sheet), a.w * f, a.w * (f + 1), 0, a.w, a.h), 8)
          << a.sheet << " frames " << f << " and " << f + 1;
  // The shot-down frames are not the flying ones.
  EXPECT_GE(Difference(Sheet("Snow"), 0, 120, 0, 20, 24), 40);
  EXPECT_GE(Difference(Sheet("Enemy0"), 0, 45, 0, 15, 19), 20);
}

TEST(SheetArt, FiguresAreOutlinedAndShaded) {
  struct Fig {
    const char* sheet;
    int w, h, count;
  };
  const Fig figs[] = {{"Snow", 20, 24, 7},   {"Enemy0", 15, 19, 4}, {"Enemy1", 20, 26, 7}, {"Enemy2", 20, 15, 4},
                      {"Enemy3", 20, 20, 4}, {"Enemy4", 20, 26, 7}, {"Enemy5", 21, 26, 5}, {"Enemy6", 16, 20, 6}};
  for (const Fig& f : figs) {
    const Surface& s = Sheet(f.sheet);
    for (int k = 0; k < f.count; ++k) {
      std::set<uint32_t> colours;
      int edge = 0, dark = 0;
      for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) {
          uint32_t c = s.Get(f.w * k + x, y);
          if (c == kWhite) continue;
          colours.insert(c);
          auto open = [&](int dx, int dy) {
            int nx = x + dx, ny = y + dy;
            return nx < 0 || ny < 0 || nx >= f.w || ny >= f.h || s.Get(f.w * k + nx, ny) == kWhite;
          };
          if (open(-1, 0) || open(1, 0) || open(0, -1) || open(0, 1)) {
            ++edge;
            int lum = static_cast<int>((c >> 16) & 0xFF) + static_cast<int>((c >> 8) & 0xFF) + static_cast<int>(c & 0xFF);
            dark += lum < 3 * 110;
          }
        }
      EXPECT_GE(colours.size(), 4u) << f.sheet << " cell " << k << ": an outline and three shades";
      EXPECT_GE(dark * 10, edge * 7) << f.sheet << " cell " << k << ": a dark outline";
    }
  }
}

TEST(SheetArt, LifeIconIsTheHerosHead) {
  // The top 13 rows of the skiing cells show the cap and the face.
  const Surface& s = Sheet("Snow");
  for (int f = 0; f < 3; ++f) EXPECT_GT(InkCount(s, 20 * f, 0, 20, 13), 80) << f;
}

TEST(SheetArt, MinimapDotsAreFiveDistinctColours) {
  const Surface& b = Sheet("SBit");
  std::set<uint32_t> dots = {b.Get(0, 0), b.Get(2, 0), b.Get(2, 2), b.Get(4, 2), b.Get(4, 0)};
  EXPECT_EQ(dots.size(), 5u);
  for (uint32_t c : dots) EXPECT_TRUE(c != kBlack && c != kSolid && c != kWhite);
  for (auto [x, y, w] : {std::tuple{0, 0, 2}, {2, 0, 2}, {2, 2, 2}, {4, 2, 2}})
    for (int j = 0; j < w; ++j)
      for (int i = 0; i < w; ++i) EXPECT_EQ(b.Get(x + i, y + j), b.Get(x, y));
}

TEST(SheetArt, LoadingIntoAMisSizedSheetLeavesItAlone) {
  Sheets s;
  s.Ball.Create(3, 3, 0x123456);
  LoadSheetArt(s);
  EXPECT_EQ(s.Ball.Width(), 3);
  EXPECT_EQ(s.Ball.Get(1, 1), 0x123456u);
  EXPECT_EQ(s.Snow.Get(0, 0), Art().Snow.Get(0, 0));
}

TEST(SheetDump, WritesEverySheetAndAContactSheet) {
  test::TempDir dir;
  ASSERT_EQ(DumpSheets(dir.Path()), 0);
  for (const SheetInfo& i : SheetCatalogue())
    if (i.art) {
      EXPECT_TRUE(std::filesystem::exists(dir.File(std::string(i.name) + ".png"))) << i.name;
    }
  std::ifstream in(dir.File("contact.png"), std::ios::binary);
  ASSERT_TRUE(in);
  unsigned char head[24];
  in.read(reinterpret_cast<char*>(head), 24);
  auto be = [&](int o) { return (head[o] << 24) | (head[o + 1] << 16) | (head[o + 2] << 8) | head[o + 3]; };
  EXPECT_GE(be(16), 425 * 3) << "wide enough for the sky at 3x";
  EXPECT_GE(be(20), 466 * 3);
}

TEST(SheetDump, AnUnwritableDirectoryIsAFailure) {
  EXPECT_NE(DumpSheets("/proc/no-such-dir/sheets"), 0);
}
