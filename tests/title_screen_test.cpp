// SPDX-License-Identifier: GPL-3.0-or-later
// The title screen driven on the headless platform: the intro's timing, the
// snap, the menu's input and the best-score line.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "hud_paint.hpp"
#include "support.hpp"

using namespace morvik;
using morvik::test::Fixture;

namespace {
// What the screen showed at one yield.
struct Seen {
  int step;
  float menuX, heroX, heroY, item;
  uint32_t clock;
  std::string score, combo;
};

struct Title : Fixture {
  std::vector<Seen> seen;
  // Called at every yield, after recording; may change the keys.
  std::function<void(Title&)> react;
  bool ended = false;

  Title() {
    test::PaintDigits(g->pic.Math);
    plat.onInput = [this](HeadlessPlatform&) {
      Seen s{g->SceneStep, g->SceneX[8], g->HeroX, g->HeroY, g->SceneV[9], plat.Clock(), Digits(185, 9),
             Digits(310, 2)};
      seen.push_back(s);
      if (react) react(*this);
      if (seen.size() > 5000) plat.RequestClose();  // never hang a test
    };
  }
  std::string Digits(int x0, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      int d = test::DigitAt(g->pic.M, x0 + 8 * i + 3, 312);
      s += d < 0 ? '?' : static_cast<char>('0' + d);
    }
    return s;
  }
  // Runs the title; true when it returned to start a game, false when the program ended.
  bool Run() {
    try {
      TitleScreen(*g);
      return true;
    } catch (const ProgramEnd&) {
      ended = true;
      return false;
    }
  }
  int Count(int step) const {
    int n = 0;
    for (const Seen& s : seen) n += s.step == step;
    return n;
  }
  const Seen* First(int step) const {
    for (const Seen& s : seen)
      if (s.step == step) return &s;
    return nullptr;
  }
  void CloseAtMenu() {
    react = [](Title& t) {
      if (t.g->SceneStep == 9) t.plat.RequestClose();
    };
  }
};
}  // namespace

TEST(TitleScreen, IntroStepsTakeTheirFrames) {
  Title t;
  t.CloseAtMenu();
  EXPECT_FALSE(t.Run());
  EXPECT_EQ(t.Count(1), 51);
  EXPECT_EQ(t.Count(2), 28);
  EXPECT_EQ(t.Count(3), 17);
  EXPECT_EQ(t.Count(5), 26);
  EXPECT_EQ(t.Count(6), 37);
  EXPECT_EQ(t.Count(8), 57);
  const Seen* menu = t.First(9);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->menuX, 150);
  EXPECT_EQ(menu->heroX, 124.5);
  EXPECT_EQ(menu->heroY, 241);
  // Frames are 45 ms apart.
  EXPECT_EQ(t.seen[10].clock - t.seen[9].clock, 45u);
  // The best-score line is drawn from the menu's first frame on, never before.
  EXPECT_EQ(menu->score, "000005000");
  EXPECT_EQ(menu->combo, "00");
  EXPECT_EQ(t.First(8)->score, "?????????");
}

TEST(TitleScreen, FoldsTheLastGameIntoTheRecords) {
  Title t;
  t.g->Score = 12345;
  t.g->MaxCombo = 103;
  t.g->BestScore = 9000;
  t.g->BestCombo = 101;
  t.CloseAtMenu();
  t.Run();
  EXPECT_EQ(t.g->BestScore, 12345);
  EXPECT_EQ(t.g->BestCombo, 103);
  EXPECT_EQ(t.First(9)->score, "000012345");
  EXPECT_EQ(t.First(9)->combo, "03");

  // Better records stay; a nine-digit best fills the line.
  Title u;
  u.g->Score = 500;
  u.g->MaxCombo = 104;
  u.g->BestScore = 123456789;
  u.g->BestCombo = 112;
  u.CloseAtMenu();
  u.Run();
  EXPECT_EQ(u.g->BestScore, 123456789);
  EXPECT_EQ(u.First(9)->score, "123456789");
  EXPECT_EQ(u.First(9)->combo, "12");
}

TEST(TitleScreen, SpaceHeldFromTheStartChoosesTheSmallModeOnTheThirdFrame) {
  Title t;
  t.plat.HoldKeys(kKeySpace);
  EXPECT_TRUE(t.Run());
  EXPECT_EQ(t.g->ScreenMode, 0);
  // Frame 1 skips the intro, frame 2 snaps (the menu at 147, the cursor at 120), frame 3 chooses.
  ASSERT_FALSE(t.seen.empty());
  EXPECT_EQ(t.seen[0].step, 8);
  EXPECT_EQ(t.seen[0].menuX, 435);
  ASSERT_NE(t.First(9), nullptr);
  EXPECT_EQ(t.First(9)->menuX, 147);
  EXPECT_EQ(t.First(9)->heroX, 120);
  EXPECT_EQ(t.Count(9), 1);
  EXPECT_EQ(t.Count(12), 1);
  // The snap's pause of 150 ms lies between the first and the second frame.
  EXPECT_GT(t.First(9)->clock - t.seen[0].clock, 150u + 45u);
  // The cursor has run off to the right when the title returns.
  EXPECT_GE(t.g->HeroX, 445);
}

TEST(TitleScreen, CursorMovesSevenFramesAnItemAndDoesNotWrap) {
  Title t;
  int phase = 0;
  t.react = [&](Title& tt) {
    Game& g = *tt.g;
    if (g.SceneStep != 9) return;
    if (phase == 0) { tt.plat.HoldKeys(kKeyUp); phase = 1; }                       // up on item 0
    else if (phase == 1) { tt.plat.HoldKeys(kKeyDown); phase = 2; }                // to item 2, then held on
    else if (phase == 2 && g.SceneV[9] == 2) { phase = 3; }
    else if (phase == 3) { tt.plat.HoldKeys(kKeyUp); phase = 4; }                  // back to item 1
    else if (phase == 4 && g.SceneV[9] == 1) { tt.plat.HoldKeys(kKeyUp | kKeySpace); phase = 5; }
  };
  EXPECT_TRUE(t.Run());
  // Up and Space together choose the item under the cursor.
  EXPECT_EQ(t.g->ScreenMode, 1);
  EXPECT_EQ(t.Count(11), 7 * 1);
  EXPECT_EQ(t.Count(10), 7 * 2);
  std::vector<float> rests;
  for (size_t i = 1; i < t.seen.size(); ++i)
    if (t.seen[i].step == 9 && t.seen[i - 1].step != 9) rests.push_back(t.seen[i].heroY);
  EXPECT_EQ(rests, (std::vector<float>{241, 255, 269, 255}));
}

TEST(TitleScreen, JoystickMovesAndChooses) {
  Title t;
  const JoyReading rest{32768, 32768, 0};
  t.plat.SetJoystick(true, rest);
  JoyRead(*t.g);  // take the controller up at rest
  int phase = 0;
  t.react = [&](Title& tt) {
    if (tt.g->SceneStep != 9) return;
    if (phase == 0) { tt.plat.SetJoystick(true, {32768, 65535, 0}); phase = 1; }
    else if (phase == 1) { tt.plat.SetJoystick(true, {32768, 32768, 1}); phase = 2; }  // the pause button does nothing
    else if (phase == 2) { tt.plat.SetJoystick(true, {32768, 32768, 4}); phase = 3; }
  };
  EXPECT_TRUE(t.Run());
  EXPECT_EQ(t.g->ScreenMode, 1);
  EXPECT_EQ(t.Count(10), 7);
}

TEST(TitleScreen, EscapeHeldOnEntryIsIgnoredUntilLetGo) {
  Title t;
  t.plat.HoldKeys(kKeyEscape);
  int frames = 0;
  t.react = [&](Title& tt) {
    ++frames;
    if (frames == 30) tt.plat.HoldKeys(0);
    if (frames == 40) tt.plat.HoldKeys(kKeyEscape);
  };
  EXPECT_FALSE(t.Run());
  // Held over from the game it quits nothing; pressed again during the intro it quits.
  EXPECT_EQ(t.seen.size(), 40u);
  EXPECT_EQ(t.seen.back().step, 1);
  EXPECT_TRUE(t.plat.Restored());
}

TEST(TitleScreen, ExitItemEndsTheProgramAndWritesTheRecords) {
  Title t;
  int phase = 0;
  t.react = [&](Title& tt) {
    Game& g = *tt.g;
    if (g.SceneStep != 9) return;
    if (phase == 0) { tt.plat.HoldKeys(kKeyDown); phase = 1; }
    else if (phase == 1 && g.SceneV[9] == 2) { tt.plat.HoldKeys(kKeySpace); phase = 2; }
  };
  EXPECT_FALSE(t.Run());
  EXPECT_GT(t.Count(15), 10);
  EXPECT_GT(t.g->SceneY[0], 400);
  std::FILE* f = std::fopen(t.g->recordPath.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(std::ftell(f), 665 * 128);
  unsigned char b[4];
  std::fseek(f, 42240, SEEK_SET);
  ASSERT_EQ(std::fread(b, 1, 4, f), 4u);
  EXPECT_EQ(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24, 5000);
  std::fseek(f, 22144, SEEK_SET);
  ASSERT_EQ(std::fread(b, 1, 2, f), 2u);
  EXPECT_EQ(b[0] | b[1] << 8, 100);
  std::fclose(f);
}

TEST(TitleScreen, OptionsAskedBeforeItsFirstPictureOpenOverTheTitle) {
  // F1 pressed while the last game ended is still pending when the title
  // begins; the screen then held the game, here a colour of its own.
  Title t;
  const uint32_t old = Rgb(200, 0, 200);
  t.g->pic.M.Clear(old);
  t.plat.HoldKeys(ScriptKeyBit("F1"));
  std::vector<uint32_t> corner;
  t.react = [&](Title& tt) {
    corner.push_back(tt.g->pic.M.Get(0, 0));
    if (corner.size() == 20) tt.plat.RequestClose();
  };
  t.Run();
  // The title's picture first, then the screen over it, dimmed.
  ASSERT_EQ(corner.size(), 20u);
  EXPECT_NE(corner.front(), old);
  EXPECT_NE(corner.back(), corner.front());
  EXPECT_EQ(t.seen.front().step, 1);
}
