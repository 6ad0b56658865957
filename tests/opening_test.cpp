// SPDX-License-Identifier: GPL-3.0-or-later
// The opening scene: its timing, the portrait, and Escape.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "hud_paint.hpp"
#include "support.hpp"

using namespace morvik;
using morvik::test::Fixture;

namespace {
struct Opening : Fixture {
  std::vector<float> first, second;  // the reveal widths at each frame
  std::set<uint32_t> portraits;
  std::function<void(Opening&)> react;
  explicit Opening(uint32_t clockStart = 1000) {
    plat.WaitUntil(clockStart);
    for (int k = 0; k < 7; ++k)
      for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 21; ++x) g->pic.TalkChara.Set(x, 26 * k + y, 0x101010 * (k + 1));
    test::PaintCell(g->pic.CR, 0, 0, 154, 0, 154, 14, 0x0000A0);  // second line
    for (int y = 0; y < 14; ++y)
      for (int x = 0; x < 154; ++x) g->pic.CR.Set(x, 14 + y, 0xA00000);  // first line
    plat.onInput = [this](HeadlessPlatform&) {
      // Frames are the yields at which the reveal has moved on.
      const float a = g->SceneX[0], b = g->SceneX[1];
      if (a > 0 && (first.empty() || a != first.back() || b != second.back())) {
        first.push_back(a);
        second.push_back(b);
        portraits.insert(g->pic.M.Get(130, 170));
      }
      if (react) react(*this);
    };
  }
  bool Run() {
    try {
      OpeningScene(*g);
      return true;
    } catch (const ProgramEnd&) {
      return false;
    }
  }
};
}  // namespace

TEST(OpeningScene, RevealsOneLineThenTheOtherInAboutFiveSeconds) {
  Opening o;
  const uint32_t t0 = o.plat.Clock();
  ASSERT_TRUE(o.Run());
  const uint32_t took = o.plat.Clock() - t0;
  ASSERT_EQ(o.first.size(), 31u + 52u);
  for (size_t i = 0; i < o.first.size(); ++i) {
    if (i < 30) {
      EXPECT_EQ(o.first[i], 5.0f * (i + 1));
    }
    if (o.second[i] > 0) {
      EXPECT_EQ(o.first[i], 154) << i;  // never before the first is whole
    }
  }
  EXPECT_EQ(o.first[30], 154);
  EXPECT_EQ(o.second[30], 0);
  EXPECT_EQ(o.second.back(), 154);
  EXPECT_GE(took, 5100u);
  EXPECT_LE(took, 5400u);
  EXPECT_EQ(o.portraits.size(), 1u);
  // Both lines are on the screen at the end, the first under the second.
  EXPECT_EQ(o.g->pic.M.Get(147 + 100, 170), 0x0000A0u);
}

TEST(OpeningScene, ThePortraitDiffersBetweenRuns) {
  std::set<uint32_t> seen;
  for (uint32_t start = 1000; start < 1000 + 40 * 7919; start += 7919) {
    Opening o(start);
    o.Run();
    ASSERT_EQ(o.portraits.size(), 1u);
    const uint32_t c = *o.portraits.begin();
    EXPECT_TRUE(c % 0x101010 == 0 && c / 0x101010 >= 1 && c / 0x101010 <= 7) << std::hex << c;
    seen.insert(c);
  }
  EXPECT_GE(seen.size(), 4u);
}

TEST(OpeningScene, EscapeClosesTheProgramEvenHeldFromTheStart) {
  // Held from the very start: the program closes on the first frame after
  // the initial second, before anything is drawn, and the records are written.
  Opening held;
  const uint32_t t0 = held.plat.Clock();
  held.plat.HoldKeys(kKeyEscape);
  EXPECT_FALSE(held.Run());
  EXPECT_TRUE(held.first.empty());
  EXPECT_GE(held.plat.Clock() - t0, 1045u);
  EXPECT_LE(held.plat.Clock() - t0, 1100u);
  EXPECT_TRUE(held.plat.Restored());
  EXPECT_TRUE(std::filesystem::exists(held.g->recordPath));
  // Pressed later: the program closes in the next frame.
  Opening o;
  o.react = [](Opening& x) {
    if (x.first.size() == 5) x.plat.HoldKeys(kKeyEscape);
  };
  EXPECT_FALSE(o.Run());
  EXPECT_EQ(o.first.size(), 5u);
  EXPECT_TRUE(o.plat.Restored());
}
