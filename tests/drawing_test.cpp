// Raster results of the drawing operations.
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
