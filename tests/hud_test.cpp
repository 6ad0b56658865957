// SPDX-License-Identifier: GPL-3.0-or-later
// The status bar, the minimap and the score pop-ups, drawn on test sheets.
#include <gtest/gtest.h>

#include <string>

#include "hud_paint.hpp"
#include "shell/trace.hpp"
#include "support.hpp"

using namespace morvik;
using morvik::test::DigitAt;
using morvik::test::Fixture;
using morvik::test::PaintCell;

namespace {
// One frame of a pop-up: drawn where it is, then moved on.
void Popup(Game& g, int16_t i) {
  DrawScorePopup(g, g.pic.UraM, i);
  StepScorePopup(g, i);
}
constexpr uint32_t kBarColour = 0x102030, kGauge = 0x00C0C0, kIcon = 0x3050F0, kTalk = 0xF03070;
constexpr uint32_t kLabel = 0x205020;

struct Hud : Fixture {
  Hud() {
    Sheets& p = g->pic;
    test::PaintDigits(p.Math);
    PaintCell(p.Bar, 0, 0, 0, 13, 124, 13, kBarColour);
    for (int x = 0; x < 120; ++x)
      for (int y = 0; y < 10; ++y) p.Geji.Set(x, y, kGauge);
    for (int c = 0; c < 7; ++c) PaintCell(p.Snow, 20 * c, 0, 20 * c, 24, 20, 24, kIcon + c);
    PaintCell(p.DieTalk, 0, 0, 0, 14, 115, 14, kTalk);
    PaintCell(p.SC, 0, 0, 0, 10, 34, 10, kLabel);
    PaintCell(p.MaxA, 0, 0, 0, 10, 43, 10, kLabel);
    g->HeroState = 0;
    g->Lives = 3;
    g->MaxCombo = 100;
  }
  void Draw() {
    g->pic.UraM.Clear(kWhite);
    DrawStatusBar(*g, g->pic.UraM);
    StatusBarStep(*g);
  }
  // The nine score digits as text ('?' where no digit is drawn).
  std::string ScoreDigits(int y0 = 225) {
    std::string s;
    for (int p = 0; p < 9; ++p) {
      int d = DigitAt(g->pic.UraM, g->ViewX + 41 + 7 * p + 3, g->ViewY + y0 + 5);
      s += d < 0 ? '?' : static_cast<char>('0' + d);
    }
    return s;
  }
  std::string ComboDigits(int y0 = 213) {
    std::string s;
    for (int q = 0; q < 2; ++q) {
      int d = DigitAt(g->pic.UraM, g->ViewX + 55 + 7 * q + 3, g->ViewY + y0 + 5);
      s += d < 0 ? '?' : static_cast<char>('0' + d);
    }
    return s;
  }
};
}  // namespace

TEST(StatusBar, ScoreIsNineDigitsWithLeadingZeros) {
  Hud h;
  h.g->ScreenMode = 1;
  const int y = 225 + 85;
  h.g->Score = 0;
  h.Draw();
  EXPECT_EQ(h.ScoreDigits(y), "000000000");
  h.g->Score = 12345;
  h.Draw();
  EXPECT_EQ(h.ScoreDigits(y), "000012345");
  // Nine digits fill the field; the sign place's 0 lands at x 34, over the label's end.
  h.g->Score = 987654321;
  h.Draw();
  EXPECT_EQ(h.ScoreDigits(y), "987654321");
  EXPECT_EQ(DigitAt(h.g->pic.UraM, 34 + 3, y + 5), 0);
  EXPECT_EQ(h.g->pic.UraM.Get(4, y + 5), kLabel);
}

TEST(StatusBar, ComboShowsTensAndUnitsOfTheBestHit) {
  Hud h;
  h.g->ScreenMode = 1;
  // A combo of 100 or more shows 99, as near as two digits come.
  for (auto [combo, text] : {std::pair{100, "00"}, {107, "07"}, {112, "12"}, {130, "30"}, {199, "99"}, {200, "99"},
                             {355, "99"}}) {
    h.g->MaxCombo = static_cast<int16_t>(combo);
    h.Draw();
    EXPECT_EQ(h.ComboDigits(213 + 85), text) << combo;
  }
}

TEST(StatusBar, SmallModeLinesSitHigherAndFollowTheView) {
  Hud h;
  h.g->ScreenMode = 0;
  h.g->ViewY = 60;
  h.g->Score = 42;
  h.g->MaxCombo = 103;
  h.Draw();
  EXPECT_EQ(h.ScoreDigits(225), "000000042");
  EXPECT_EQ(h.ComboDigits(213), "03");
  // The frame and the icons move with the view too.
  EXPECT_EQ(h.g->pic.UraM.Get(3, 60 + 2), kBarColour);
  EXPECT_EQ(h.g->pic.UraM.Get(3, 2), kWhite);
}

TEST(StatusBar, LivesGaugeAndLostLifeMessage) {
  Hud h;
  h.g->ChargeGauge = 50;
  h.g->LifeIconFrame = 0;
  h.Draw();
  Surface& u = h.g->pic.UraM;
  EXPECT_EQ(u.Get(5, 4), kGauge);
  EXPECT_EQ(u.Get(54, 8), kGauge);
  EXPECT_EQ(u.Get(55, 8), kBarColour);  // the frame shows beyond the gauge's width
  for (int x : {3, 20, 37}) EXPECT_EQ(u.Get(x + 1, 20), kIcon) << x;
  EXPECT_NE(u.Get(54 + 5, 20), kIcon);  // no fourth icon (37 + 17 = 54)
  EXPECT_NE(u.Get(6 + 17 * 3 + 2, 24), kTalk);  // no message while alive

  h.g->HeroState = 2;
  h.Draw();
  EXPECT_EQ(u.Get(6 + 17 * 3 + 2, 24), kTalk);
  // With no lives left: no icon and no message.
  h.g->Lives = 0;
  h.Draw();
  EXPECT_NE(u.Get(4, 20), kIcon);
  EXPECT_NE(u.Get(6 + 2, 24), kTalk);
}

TEST(StatusBar, IconsAnimateFiveFramesACellAndStopAtGameOver) {
  Hud h;
  h.g->LifeIconFrame = 0;
  std::string cells;
  for (int i = 0; i < 16; ++i) {
    h.Draw();
    cells += static_cast<char>('0' + (h.g->pic.UraM.Get(4, 20) - kIcon));
  }
  EXPECT_EQ(cells, "0000011111222220");
  // Game over: frame, gauge and icons are gone, the score and combo stay.
  h.g->HeroState = 4;
  h.g->ChargeGauge = 100;
  const float before = h.g->LifeIconFrame;
  h.Draw();
  EXPECT_EQ(h.g->pic.UraM.Get(5, 4), kWhite);
  EXPECT_EQ(h.g->pic.UraM.Get(4, 20), kWhite);
  EXPECT_EQ(h.g->LifeIconFrame, before);
  EXPECT_EQ(h.ScoreDigits(310), "000000000");
}

// ---- minimap ----

namespace {
constexpr uint32_t kEnemyDot = 0xE00000, kShotDot = 0x00E000, kItemDot = 0x0000E0, kBallDot = 0xE0E000,
                   kHeroDot = 0x00E0E0;
struct Map : Fixture {
  Map() {
    Surface& b = g->pic.SBit;
    auto dot = [&](int x, int y, int n, uint32_t c) {
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) b.Set(x + i, y + j, c);
    };
    dot(0, 0, 2, kHeroDot);
    dot(2, 0, 2, kEnemyDot);
    dot(2, 2, 2, kShotDot);
    dot(4, 2, 2, kItemDot);
    dot(4, 0, 1, kBallDot);
    g->ScreenMode = 0;
    g->MinimapY = 36;
    g->MinimapVY = 0;
    g->HeroX = 200;
    g->HeroY = 200;
    g->HeroState = 0;
  }
  uint32_t Dot(double x, double y) {
    return g->pic.UraM.Get(g->ViewX + 5 + Rnd(x / 12.5), g->ViewY + g->MinimapY + Rnd(y / 12.5));
  }
  void Draw() {
    g->pic.UraM.Clear(kWhite);
    MinimapStep(*g);
    DrawMinimap(*g, g->pic.UraM);
  }
};
}  // namespace

TEST(Minimap, SlidesOutOfTheHerosWay) {
  Map m;
  m.g->HeroX = 40;
  m.g->HeroY = 80;
  std::vector<int> ys;
  for (int i = 0; i < 16; ++i) {
    m.Draw();
    ys.push_back(m.g->MinimapY);
  }
  EXPECT_EQ(ys[0], 46);
  EXPECT_EQ(ys[13], 176);
  EXPECT_EQ(ys[14], 178);  // the 15th frame stops at the limit
  EXPECT_EQ(ys[15], 178);
  // Low on the left sends it back up; away from the left it keeps going.
  m.g->HeroY = 200;
  m.Draw();
  EXPECT_EQ(m.g->MinimapY, 168);
  m.g->HeroX = 60;
  for (int i = 0; i < 20; ++i) m.Draw();
  EXPECT_EQ(m.g->MinimapY, 36);
}

TEST(Minimap, AHeroAtSixtyNeverMovesIt) {
  Map m;
  m.g->HeroX = 60;
  m.g->HeroY = 10;
  for (int i = 0; i < 10; ++i) m.Draw();
  EXPECT_EQ(m.g->MinimapY, 36);
}

TEST(Minimap, DotsForWhatIsOnTheField) {
  Map m;
  m.g->SlotCount = 40;
  auto& g = *m.g;
  g.EnemyKind[1] = 1, g.EnemyX[1] = 100, g.EnemyY[1] = 100, g.EnemyFrame[1] = 1;
  g.EnemyKind[2] = 1, g.EnemyX[2] = 410, g.EnemyY[2] = 150, g.EnemyFrame[2] = 1;  // beyond x 400
  g.EnemyKind[3] = 2, g.EnemyX[3] = 150, g.EnemyY[3] = 50, g.EnemyFrame[3] = 6;   // shot down
  g.EnemyKind[4] = 5, g.EnemyX[4] = 250, g.EnemyY[4] = 50, g.EnemyFrame[4] = 4;   // carrier shot down
  g.EnemyKind[5] = 5, g.EnemyX[5] = 300, g.EnemyY[5] = 50, g.EnemyFrame[5] = 3;   // carrier flying
  g.ThrowState[6] = 1, g.ThrowX[6] = 100, g.ThrowY[6] = 250, g.ThrowFrame[6] = 1;
  g.ThrowState[7] = 1, g.ThrowX[7] = 200, g.ThrowY[7] = 250, g.ThrowFrame[7] = 3;  // knocked down
  g.ThrowState[36] = 1, g.ThrowX[36] = 300, g.ThrowY[36] = 250, g.ThrowFrame[36] = 3;  // the item
  g.BallMax = 2;
  g.BallState[2] = 3, g.BallX[2] = 350, g.BallY[2] = 150;
  g.BallState[3] = 3, g.BallX[3] = 50, g.BallY[3] = 150;  // beyond BallMax
  m.Draw();
  EXPECT_EQ(m.Dot(100, 100), kEnemyDot);
  EXPECT_NE(m.Dot(410, 150), kEnemyDot);
  EXPECT_NE(m.Dot(150, 50), kEnemyDot);
  EXPECT_NE(m.Dot(250, 50), kEnemyDot);
  EXPECT_EQ(m.Dot(300, 50), kEnemyDot);
  EXPECT_EQ(m.Dot(100, 250), kShotDot);
  EXPECT_NE(m.Dot(200, 250), kShotDot);
  EXPECT_EQ(m.Dot(300, 250), kItemDot);
  EXPECT_EQ(m.Dot(350, 150), kBallDot);
  EXPECT_NE(m.Dot(50, 150), kBallDot);
  EXPECT_EQ(m.Dot(200, 200), kHeroDot);
  // Nothing is drawn beyond the minimap's 34 columns (x 5 to 38).
  for (int y = 0; y < 329; ++y)
    for (int x = 39; x < 425; ++x) ASSERT_EQ(g.pic.UraM.Get(x, y), kWhite) << x << "," << y;
}

TEST(Minimap, NoHeroDotWhileDyingAndTerrainStaysVisible) {
  Map m;
  for (uint8_t s : {1, 2, 3}) {
    m.g->HeroState = s;
    m.Draw();
    EXPECT_NE(m.Dot(200, 200), kHeroDot) << int(s);
  }
  // One block of solid cells shows on the shrunk map; empty terrain is black.
  Surface& c = m.g->pic.Color;
  for (int y = 300; y < 325; ++y)
    for (int x = 0; x < 25; ++x) c.Set(x, y, kSolid);
  m.Draw();
  EXPECT_EQ(m.g->pic.UraM.Get(5 + 1, 36 + 25), kSolid);
  EXPECT_EQ(m.g->pic.UraM.Get(5 + 20, 36 + 10), kBlack);
}

// ---- score pop-ups ----

TEST(ScorePopup, DriftsLeftAndIsFreedOffScreen) {
  Fixture f;
  for (int v = 1; v <= 27; ++v) PaintCell(f.g->pic.Ten, 0, 16 * (v - 1), 40, 16 * (v - 1), 40, 16, 0x400000 + v);
  auto& g = *f.g;
  g.MaxCombo = 100;
  g.PopValue[5] = 7;
  g.PopX[5] = 100;
  g.PopY[5] = 50;
  std::vector<int> xs;
  for (int n = 0; n < 40 && g.PopValue[5] != 0; ++n) {
    g.pic.UraM.Clear(kWhite);
    const int x = Rnd(g.PopX[5]);
    Popup(g, 5);
    if (x >= 0) {
      EXPECT_EQ(g.pic.UraM.Get(x, 51), 0x400007u) << x;
    }
    xs.push_back(x);
  }
  ASSERT_EQ(xs.size(), 28u);
  EXPECT_EQ(xs.front(), 100);
  EXPECT_EQ(xs.back(), -35);
  EXPECT_EQ(g.PopX[5], -40);
  EXPECT_EQ(g.MaxCombo, 107);
  // A later, smaller combo leaves the best alone; 25 counts but shows nothing.
  g.PopValue[6] = 3, g.PopX[6] = 200, g.PopY[6] = 50;
  Popup(g, 6);
  EXPECT_EQ(g.MaxCombo, 107);
  g.pic.UraM.Clear(kWhite);
  g.PopValue[7] = 25, g.PopX[7] = 300, g.PopY[7] = 100;
  Popup(g, 7);
  EXPECT_EQ(g.MaxCombo, 125);
  EXPECT_EQ(g.PopX[7], 300);
  EXPECT_EQ(g.PopValue[7], 25);
  EXPECT_EQ(g.pic.UraM.Get(301, 101), kWhite);
  // An index outside the table is ignored: nothing changes, not even the
  // members around the table (index 41 would read PopNext as a combo of 5).
  g.PopNext = 5;
  g.PopY[0] = 100;
  g.MaxCombo = 100;
  g.pic.UraM.Clear(kWhite);
  std::string before;
  TraceLine(g, before);
  Popup(g, 41);
  Popup(g, -1);
  std::string after;
  TraceLine(g, after);
  EXPECT_EQ(after, before);
  for (int y = 0; y < g.pic.UraM.Height(); ++y)
    for (int x = 0; x < g.pic.UraM.Width(); ++x) ASSERT_EQ(g.pic.UraM.Get(x, y), kWhite) << x << "," << y;
}
