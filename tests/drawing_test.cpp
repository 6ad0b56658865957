// SPDX-License-Identifier: GPL-3.0-or-later
// Raster results of the drawing operations.
#include <algorithm>

#include <gtest/gtest.h>

#include "media/sheets.hpp"
#include "media/surface.hpp"

using namespace morvik;

namespace {
constexpr uint32_t kRed = 0xFF0000;

// A 15x15 ball-like cell: round sprite, white corners; its mask beside it.
Surface MakeBallSheet() {
  Surface s(30, 15, kWhite);
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x) {
      int dx = x - 7, dy = y - 7;
      bool in = dx * dx + dy * dy <= 49;
      s.Set(x, y, in ? Rgb(180, 200, 255) : kWhite);
      s.Set(15 + x, y, in ? kBlack : kWhite);
    }
  return s;
}
}  // namespace

TEST(DrawMasked, TransparentCornersKeepTheBackground) {
  Surface dst(40, 40, kRed);
  Surface ball = MakeBallSheet();
  DrawMasked(dst, 10, 10, 15, 15, ball, 0, 0, 15, 0);
  EXPECT_EQ(dst.Get(10, 10), kRed);
  EXPECT_EQ(dst.Get(24, 10), kRed);
  EXPECT_EQ(dst.Get(10, 24), kRed);
  EXPECT_EQ(dst.Get(24, 24), kRed);
  EXPECT_EQ(dst.Get(17, 17), Rgb(180, 200, 255));
  EXPECT_EQ(dst.Get(9, 17), kRed);
}

TEST(DrawMasked, DisagreeingMaskAndSpriteGiveSpriteXorInvertedDestination) {
  Surface dst(4, 1, Rgb(0x12, 0x34, 0x56));
  Surface src(2, 1, kWhite);
  src.Set(0, 0, Rgb(0x0F, 0x0F, 0x0F));  // sprite not white where mask says transparent
  DrawMasked(dst, 0, 0, 1, 1, src, 0, 0, 1, 0);
  uint32_t inv = (~Rgb(0x12, 0x34, 0x56)) & 0xFFFFFF;
  EXPECT_EQ(dst.Get(0, 0), (inv ^ Rgb(0x0F, 0x0F, 0x0F)) & 0xFFFFFF);
}

TEST(DrawMasked, ClipsToTheDestinationOnEverySide) {
  Surface ball = MakeBallSheet();
  for (int ox : {-7, 30}) {
    Surface dst(37, 37, kRed);
    DrawMasked(dst, ox, ox, 15, 15, ball, 0, 0, 15, 0);
    int cx = ox + 7;  // the ball's centre pixel
    if (dst.Inside(cx, cx)) {
      EXPECT_EQ(dst.Get(cx, cx), Rgb(180, 200, 255));
    }
    // nothing else changed outside the ball's rectangle
    for (int y = 0; y < 37; ++y)
      for (int x = 0; x < 37; ++x)
        if (x < ox || y < ox || x >= ox + 15 || y >= ox + 15) {
          ASSERT_EQ(dst.Get(x, y), kRed);
        }
  }
}

TEST(DrawMasked, SourceBeyondTheSheetContributesNothing) {
  Surface dst(60, 10, kRed);
  Surface label(43, 20, kWhite);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 43; ++x) {
      label.Set(x, y, Rgb(1, 2, 3));
      label.Set(x, y + 10, kBlack);
    }
  DrawMasked(dst, 0, 0, 50, 10, label, 0, 0, 0, 10);
  EXPECT_EQ(dst.Get(42, 5), Rgb(1, 2, 3));
  EXPECT_EQ(dst.Get(43, 5), kRed);
  EXPECT_EQ(dst.Get(49, 5), kRed);
}

TEST(DrawOpaque, CopiesAndClips) {
  Surface src(5, 5, Rgb(9, 9, 9));
  Surface dst(10, 10, kWhite);
  DrawOpaque(dst, 8, -2, 5, 5, src, 0, 0);
  EXPECT_EQ(dst.Get(8, 0), Rgb(9, 9, 9));
  EXPECT_EQ(dst.Get(9, 2), Rgb(9, 9, 9));
  EXPECT_EQ(dst.Get(9, 3), kWhite);
  EXPECT_EQ(dst.Get(7, 0), kWhite);
}

TEST(DrawOpaque, OverlappingSelfCopyReadsTheWholeSourceFirst) {
  Surface s(10, 1, kWhite);
  for (int x = 0; x < 10; ++x) s.Set(x, 0, static_cast<uint32_t>(x));
  DrawOpaque(s, 2, 0, 8, 1, s, 0, 0);
  for (int x = 2; x < 10; ++x) EXPECT_EQ(s.Get(x, 0), static_cast<uint32_t>(x - 2));
}

TEST(Surface, RingScrollReadsLikeAPlainPictureScroll) {
  Surface plain(2500, 3, kWhite), ring(2500, 3, kWhite);
  ring.MakeRing(1250);
  uint32_t seed = 1;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2500; ++x) {
      seed = seed * 1103515245u + 12345u;
      plain.Set(x, y, seed >> 8);
      ring.Set(x, y, seed >> 8);
    }
  for (int s : {2, 3, 4, 2, 255, 7}) {
    // the plain picture as a copy of 1250 columns from (s, 0) to (0, 0)
    DrawOpaque(plain, 0, 0, 1250, 3, plain, s, 0);
    ring.ScrollLeft(s);
    Surface tile(25, 3, Rgb(s, 0, 0));
    DrawOpaque(plain, 1225, 0, 25, 3, tile, 0, 0);
    DrawOpaque(ring, 1225, 0, 25, 3, tile, 0, 0);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 2500; ++x) ASSERT_EQ(ring.Get(x, y), plain.Get(x, y)) << x << "," << y << " s=" << s;
  }
}

TEST(ReadPixel, OutsideIsNeverSolid) {
  Surface s(4, 4, kSolid);
  EXPECT_EQ(ReadPixel(s, 1, 1), kSolid);
  EXPECT_NE(ReadPixel(s, -1, 0), kSolid);
  EXPECT_NE(ReadPixel(s, 0, 4), kSolid);
}

TEST(DrawStretched, KeepSolidShowsBlocksThatNearestWouldDrop) {
  Surface map(25, 25, kBlack);
  map.Set(3, 3, kSolid);
  Surface dst(2, 2, kWhite);
  DrawStretched(dst, 0, 0, 2, 2, map, 0, 0, 25, 25, StretchMode::KeepSolid);
  EXPECT_EQ(dst.Get(0, 0), kSolid);
  EXPECT_EQ(dst.Get(1, 1), kBlack);
}

TEST(Sheets, CatalogueSizes) {
  Sheets s;
  for (const SheetInfo& i : SheetCatalogue()) {
    const Surface* p = FindSheet(s, i.name);
    ASSERT_NE(p, nullptr) << i.name;
    EXPECT_EQ(p->Width(), i.width) << i.name;
    EXPECT_EQ(p->Height(), i.height) << i.name;
  }
  EXPECT_EQ(s.Color.BackColour(), kBlack);
  EXPECT_EQ(s.UraM.BackColour(), kWhite);
}

namespace {
// A picture of random colours (a few of them solid), as a ring scrolled to a random origin or plain.
Surface RandomPicture(uint32_t& seed, int w, int h, bool ring) {
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  Surface s(w, h, kWhite);
  if (ring) s.MakeRing(w / 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.Set(x, y, next() % 7 == 0 ? kSolid : next());
  if (ring) s.ScrollLeft(static_cast<int>(1 + next() % (w / 2 - 1)));
  return s;
}
}  // namespace

// The sweeps over runs of ring pictures give, pixel for pixel, what the
// definitions give read and written one pixel at a time, clipped anywhere.
TEST(Drawing, SweepsOverRingsAgreeWithThePixelDefinitions) {
  uint32_t seed = 99;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int round = 0; round < 60; ++round) {
    const bool ringDst = round % 2, ringSrc = round % 3 == 0;
    Surface dst = RandomPicture(seed, 120, 40, ringDst);
    const Surface mask = RandomPicture(seed, 90, 30, ringSrc);
    const Surface image = RandomPicture(seed, 100, 35, !ringSrc);
    Surface want = dst;
    const int x = static_cast<int>(next() % 160) - 20, y = static_cast<int>(next() % 60) - 10;
    const int w = static_cast<int>(next() % 110), h = static_cast<int>(next() % 45);
    const int mx = static_cast<int>(next() % 110) - 10, my = static_cast<int>(next() % 40) - 5;
    const int sx = static_cast<int>(next() % 110) - 10, sy = static_cast<int>(next() % 40) - 5;
    DrawMaskedPair(dst, x, y, w, h, mask, mx, my, image, sx, sy);
    // Each pixel whose destination and both sources exist: mask AND NOT dest, then image XOR.
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) {
        const int px = x + i, py = y + j;
        if (!want.Inside(px, py) || !mask.Inside(mx + i, my + j) || !image.Inside(sx + i, sy + j)) continue;
        const uint32_t d = want.Get(px, py);
        want.Set(px, py, ((mask.Get(mx + i, my + j) & ~d) ^ image.Get(sx + i, sy + j)) & 0xFFFFFF);
      }
    for (int py = 0; py < 40; ++py)
      for (int px = 0; px < 120; ++px) ASSERT_EQ(dst.Get(px, py), want.Get(px, py)) << "round " << round;

    // The reduced collision map: solid where any source pixel of the block is,
    // again after each way the map can change between two draws.
    Surface map = RandomPicture(seed, 140, 60, ringSrc);
    const Surface tile = RandomPicture(seed, 12, 9, false);
    // Now and then more bands than fit one 64-bit word a column.
    const bool tall = round % 4 == 0;
    const int dw = static_cast<int>(1 + next() % 25), dh = static_cast<int>(1 + next() % (tall ? 80 : 18));
    const int ox = static_cast<int>(next() % 10) - 3, oy = static_cast<int>(next() % 6) - 2;
    const int qx = static_cast<int>(next() % 20) - 5, qy = static_cast<int>(next() % 10) - 3;
    const int sw = static_cast<int>(1 + next() % 150), sh = static_cast<int>(1 + next() % 70);
    for (int change = 0; change < 7; ++change) {
      const int cx = static_cast<int>(next() % 150) - 5, cy = static_cast<int>(next() % 64) - 2;
      switch (change) {
        case 1: map.Set(cx, cy, kSolid); break;
        case 2: DrawOpaque(map, cx, cy, 12, 9, tile, 0, 0); break;
        case 3: map.ScrollLeft(static_cast<int>(1 + next() % 9)); break;
        case 4: DrawMaskedPair(map, cx, cy, 12, 9, tile, 0, 0, tile, 0, 0); break;
        case 5: map.Row(static_cast<int>(next() % 60))[next() % 140] = kSolid, map.Touch(); break;
        case 6: DrawStretched(map, cx, cy, 7, 5, tile, 0, 0, 12, 9); break;
        default: break;
      }
      Surface small = RandomPicture(seed, 30, tall ? 90 : 20, ringDst);
      Surface expect = small;
      DrawStretched(small, ox, oy, dw, dh, map, qx, qy, sw, sh, StretchMode::KeepSolid);
      for (int j = 0; j < dh; ++j)
        for (int i = 0; i < dw; ++i) {
          const int y0 = qy + j * sh / dh, x0 = qx + i * sw / dw;
          const int y1 = std::max(qy + (j + 1) * sh / dh, y0 + 1), x1 = std::max(qx + (i + 1) * sw / dw, x0 + 1);
          bool solid = false;
          for (int yy = y0; yy < y1; ++yy)
            for (int xx = x0; xx < x1; ++xx) solid = solid || map.Get(xx, yy) == kSolid;
          expect.Set(ox + i, oy + j, solid ? kSolid : kBlack);
        }
      for (int py = 0; py < small.Height(); ++py)
        for (int px = 0; px < 30; ++px)
          ASSERT_EQ(small.Get(px, py), expect.Get(px, py)) << "round " << round << " change " << change;
    }
  }
}

// The sky and terrain in one sweep: outside each row's kept span the sky
// comes from its picture, inside it the terrain lies over what was there,
// with any picture a ring wrapping anywhere; a sky or terrain that does not
// cover the frame is refused and leaves it as it was.
TEST(Drawing, SkyAndTerrainInOneSweepAgreeWithThePixelDefinitions) {
  uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int round = 0; round < 40; ++round) {
    Surface dst = RandomPicture(seed, 60, 20, round % 2);
    const Surface sky = RandomPicture(seed, 70, 35, round % 3 == 0);
    const Surface mask = RandomPicture(seed, 80 + static_cast<int>(next() % 40), 20, round % 4 < 2);
    const Surface image = RandomPicture(seed, 60 + static_cast<int>(next() % 40), 24, round % 5 < 3);
    const int skyY = static_cast<int>(next() % 16);
    int lo[20], hi[20];
    for (int y = 0; y < 20; ++y) {
      lo[y] = static_cast<int>(next() % 75) - 5;
      hi[y] = lo[y] + static_cast<int>(next() % 45) - 3;
    }
    const Surface before = dst;
    ASSERT_TRUE(DrawSkyAndTerrain(dst, sky, skyY, mask, image, lo, hi));
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 60; ++x) {
        const uint32_t under = x >= lo[y] && x < hi[y] ? before.Get(x, y) : sky.Get(x, skyY + y);
        ASSERT_EQ(dst.Get(x, y), ((mask.Get(x, y) & ~under) ^ image.Get(x, y)) & 0xFFFFFF) << round;
      }
    const Surface drawn = dst;
    EXPECT_FALSE(DrawSkyAndTerrain(dst, sky, 16, mask, image, lo, hi));
    EXPECT_FALSE(DrawSkyAndTerrain(dst, sky, skyY, Surface(59, 20, kWhite), image, lo, hi));
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 60; ++x) ASSERT_EQ(dst.Get(x, y), drawn.Get(x, y));
  }
}

// Frame after frame over white terrain rings with blocks stamped, scrolled
// and written into between frames, and a sky of one-colour, repeating and
// mixed rows:
// the spans where the terrain is all white show the sky (or keep what lies
// within the kept span), exactly as the pixel definition says.
TEST(Drawing, SkyAndTerrainOverMostlyWhiteTerrainFollowEveryChange) {
  uint32_t seed = 11;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  const int w = 72, h = 37;
  // The sky twice: plain, and as a ring whose layout starts a pixel further on.
  Surface sky(w, 60, kWhite), ringSky(w, 60, kWhite);
  ringSky.MakeRing(w);
  ringSky.ScrollLeft(1);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = y % 3 == 0 ? next() : y % 3 == 1 ? Rgb(40 * (x % 4), y, 9) : Rgb(y, 2 * y, 255);
      sky.Set(x, y, c);
      ringSky.Set(x, y, c);
    }
  Surface mask(200, h, kWhite), image(200, h, kWhite);
  mask.MakeRing(80);
  image.MakeRing(80);
  const Surface tile = RandomPicture(seed, 9, 11, false);
  for (int frame = 0; frame < 120; ++frame) {
    const int bx = static_cast<int>(next() % 200) - 5, by = static_cast<int>(next() % 40) - 5;  // beyond the ring too
    switch (next() % 5) {
      case 0: DrawOpaque(mask, bx, by, 9, 11, tile, 0, 0), DrawOpaque(image, bx, by, 9, 11, tile, 0, 0); break;
      case 1: mask.ScrollLeft(1 + static_cast<int>(next() % 4)), image.ScrollLeft(1 + static_cast<int>(next() % 4)); break;
      case 2: image.Set(bx, by, next()); break;
      case 3: mask.Row(static_cast<int>(next() % h))[next() % 200] = next() & 0xFFFFFF, mask.Touch(); break;
      default: DrawOpaque(mask, bx, by, 9, 11, Surface(9, 11, kWhite), 0, 0); break;
    }
    Surface dst = RandomPicture(seed, w, h, frame % 3 == 0);
    int lo[h], hi[h];
    for (int y = 0; y < h; ++y) {
      lo[y] = static_cast<int>(next() % 80) - 5;
      hi[y] = lo[y] + static_cast<int>(next() % 30);
    }
    const int skyY = static_cast<int>(next() % 20);
    const Surface before = dst;
    const Surface& under = frame % 2 ? ringSky : sky;
    // Every other frame only a part is laid (rows from mid-band, columns short of or past the edge).
    Area area;
    if (frame % 4 >= 2) {
      area.top = static_cast<int>(next() % h);
      area.bottom = area.top + static_cast<int>(next() % (h - area.top + 3));
      area.right = static_cast<int>(next() % (w + 3));
    }
    const auto inArea = [&](int x, int y) {
      return y >= area.top && (area.bottom < 0 || y < area.bottom) && (area.right < 0 || x < area.right);
    };
    ASSERT_TRUE(DrawSkyAndTerrain(dst, under, skyY, mask, image, lo, hi, area));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t b = x >= lo[y] && x < hi[y] ? before.Get(x, y) : under.Get(x, skyY + y);
        const uint32_t want = inArea(x, y) ? ((mask.Get(x, y) & ~b) ^ image.Get(x, y)) & 0xFFFFFF : before.Get(x, y);
        ASSERT_EQ(dst.Get(x, y), want) << frame << " at " << x << "," << y;
      }
  }
}
