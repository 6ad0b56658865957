// SPDX-License-Identifier: GPL-3.0-or-later
// A window that loses the focus pauses the game as the pause key would, and
// only the pause key resumes it; losses outside play or while already paused
// pause nothing later. A controller plugged in or pulled out during play is
// taken up or let go with no stall and no stuck input.
#include <gtest/gtest.h>

#include <vector>

#include "hero_support.hpp"

namespace morvik::test {
namespace {

std::vector<ScriptEvent> Events(const std::string& text) {
  std::vector<ScriptEvent> ev;
  std::string err;
  EXPECT_TRUE(ParseScript(text, ev, err)) << err;
  return ev;
}

std::string At(uint32_t ms, const char* keys) {
  std::string s = "@";
  s += std::to_string(ms);
  s += ' ';
  s += keys;
  s += '\n';
  return s;
}

// The clock and the hero's place at each play frame.
struct FrameTimes : FrameObserver {
  std::vector<uint32_t> t;
  std::vector<float> x;
  std::vector<int16_t> buttons;
  void OnPlayFrame(Game& g) override {
    t.push_back(g.plat.Clock());
    x.push_back(g.HeroX);
    buttons.push_back(g.JoyButtons);
  }
};

TEST(FocusPause, ALostFocusPausesUntilThePauseKeyIsPressed) {
  Field f(150, 100);
  Game& g = f.G();
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 52; ++x) g.pic.Pose.Set(x, y, kBlack);
  g.pic.M.Clear(kWhite);
  const uint32_t t0 = f.plat.Clock();
  f.plat.SetScript(Events(At(t0 + 500, "P") + At(t0 + 800, "-")));
  f.plat.LoseFocus();
  PauseCheck(g, g.HeroX, g.HeroY);
  // Stood still until the press at +500, the label drawn as for the key.
  EXPECT_GE(f.plat.Clock(), t0 + 500);
  EXPECT_LT(f.plat.Clock(), t0 + 600);
  EXPECT_EQ(g.pic.M.Get(172, 104), kBlack);
  EXPECT_EQ(g.PauseLatch, 1);
  EXPECT_EQ(g.QuitToTitle, 0);
  // The loss was taken once: the next check with the key still held passes at once.
  const uint32_t t1 = f.plat.Clock();
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_EQ(f.plat.Clock(), t1);
  EXPECT_FALSE(f.plat.TakeFocusLoss());
}

TEST(FocusPause, EscapeLeavesAGamePausedByALostFocus) {
  Field f(150, 100);
  Game& g = f.G();
  f.plat.SetScript(Events(At(f.plat.Clock() + 300, "Escape")));
  f.plat.LoseFocus();
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_EQ(g.QuitToTitle, 1);
}

TEST(FocusPause, ALossWhileTheHeroDiesPausesOnceItWaits) {
  Field f(150, 100);
  Game& g = f.G();
  g.HeroState = 1;
  f.plat.LoseFocus();
  uint32_t t = f.plat.Clock();
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_EQ(f.plat.Clock(), t);  // a dying hero cannot pause: the loss is kept
  g.HeroState = 2;
  g.Lives = 2;
  t = f.plat.Clock();
  f.plat.SetScript(Events(At(t + 400, "P")));
  PauseCheck(g, 600, 600);
  EXPECT_GE(f.plat.Clock(), t + 400);
}

TEST(FocusPause, ALossWhilePausedDoesNotPauseAgainAfterTheResume) {
  Field f(150, 100);
  Game& g = f.G();
  const uint32_t t0 = f.plat.Clock();
  // P pauses; the window loses the focus while paused; P again resumes.
  f.plat.SetScript(Events(At(t0 + 200, "-") + At(t0 + 400, "P") + At(t0 + 600, "-")));
  bool lost = false;
  f.plat.onInput = [&](HeadlessPlatform& p) {
    if (!lost && p.Clock() >= t0 + 300) {
      lost = true;
      p.LoseFocus();
    }
  };
  f.Keys(kKeyP);
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_GE(f.plat.Clock(), t0 + 400);
  EXPECT_TRUE(lost);
  f.plat.onInput = nullptr;
  const uint32_t t1 = f.plat.Clock();
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_EQ(f.plat.Clock(), t1);
}

// Whole play loop: frames every 35 ms, Escape at frame 40 ends it.
struct Loop : Fixture {
  FrameTimes times;
  Loop() {
    WriteAllSegments(dir.Path(), FlatFloor());
    g->observer = &times;
    Start();
  }
  // Runs the loop; false if the program had to be closed to end it.
  bool Run(const std::string& script) {
    plat.SetScript(Events(script));
    plat.SetUntil(plat.Clock() + 20000);
    try {
      PlayLoop(*g);
    } catch (const ProgramEnd&) {
      return false;
    }
    return true;
  }
};

TEST(FocusPause, ALossBeforePlayStartsDoesNotPauseTheGame) {
  Loop l;
  l.plat.LoseFocus();  // on the title, say
  ASSERT_TRUE(l.Run("P40 Escape\n"));
  ASSERT_EQ(l.times.t.size(), 39u);
  EXPECT_LE(l.times.t.back() - l.times.t.front(), 38u * 36);
}

TEST(FocusPause, ALossInPlayHoldsTheFramesUntilThePauseKey) {
  Loop l;
  const uint32_t t0 = l.plat.Clock();
  bool lost = false;
  l.plat.onInput = [&](HeadlessPlatform& p) {
    if (!lost && p.Frame() == 10) {
      lost = true;
      p.LoseFocus();
    }
  };
  ASSERT_TRUE(l.Run(At(t0 + 3000, "P") + At(t0 + 3100, "-") + "P40 Escape\n"));
  ASSERT_EQ(l.times.t.size(), 39u);
  // Frame 10 stood still until P at +3000, then play went on at its pace.
  EXPECT_LT(l.times.t[8], t0 + 500);
  EXPECT_GE(l.times.t[9], t0 + 3000);
  EXPECT_LE(l.times.t[38] - l.times.t[9], 29u * 36);
  EXPECT_EQ(l.g->QuitToTitle, 0);
}

TEST(ControllerHotPlug, PluggedInAndPulledOutDuringPlayWithoutAStallOrAStuckInput) {
  Loop l;
  // Frame 10: a controller arrives at rest. Frames 20-29: pushed right with
  // the action button. Frame 30: pulled out while still pushed. Frame 45:
  // plugged in again, at rest.
  l.plat.onInput = [&](HeadlessPlatform& p) {
    const int f = p.Frame();
    if (f == 10) p.SetJoystick(true, JoyReading{32767, 32767, 0});
    if (f == 20) p.SetJoystick(true, JoyReading{65535, 32767, 2});
    if (f == 30) p.SetJoystick(false, JoyReading{65535, 32767, 2});
    if (f == 45) p.SetJoystick(true, JoyReading{32767, 32767, 0});
  };
  ASSERT_TRUE(l.Run("P60 Escape\n"));
  const FrameTimes& m = l.times;
  ASSERT_EQ(m.t.size(), 59u);
  EXPECT_LE(m.t.back() - m.t.front(), 58u * 36);  // every frame at its pace
  EXPECT_EQ(l.g->JoyPresent, -1);
  // Pushed right, the hero rode right against the scroll; pulled out, it stopped.
  const float pushed = m.x[28] - m.x[19], after = m.x[40] - m.x[31];
  EXPECT_GT(pushed, after + 20);
  EXPECT_EQ(m.buttons[25], 2);
  for (size_t i = 30; i < m.buttons.size(); ++i) EXPECT_EQ(m.buttons[i], 0) << i;
  // Plugged in again: taken up at its rest, the hero does not run off.
  EXPECT_NEAR(m.x[57] - m.x[47], after * 10.0 / 9.0, 3.0);
}

}  // namespace
}  // namespace morvik::test
