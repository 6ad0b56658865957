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

// A loss while the hero dies never stands the game still while it waits to
// come back (the label would be off the screen): brought back by a controller
// the game pauses once the hero is in play, with the label beside it; brought
// back by a key, whose press shows the player is at the window, it plays on.
// Whoever brings the hero back, by key or controller, is at the game.
TEST(FocusPause, ALossWhileTheHeroIsOutOfPlayNeverPausesItOnceBack) {
  for (const bool byKey : {false, true}) {
    Field f(150, 100);
    Game& g = f.G();
    for (int y = 0; y < 28; ++y)
      for (int x = 0; x < 52; ++x) g.pic.Pose.Set(x, y, kBlack);
    g.pic.M.Clear(kWhite);
    f.plat.SetUntil(f.plat.Clock() + 5000);  // a game that stood still for good ends here
    // Milliseconds one pause check stood still; -1 when only the close ended it.
    auto stood = [&](float x, float y) -> int64_t {
      const uint32_t t = f.plat.Clock();
      try {
        PauseCheck(g, x, y);
      } catch (const ProgramEnd&) {
        return -1;
      }
      return f.plat.Clock() - t;
    };
    g.HeroState = 1;
    f.plat.LoseFocus();
    EXPECT_EQ(stood(g.HeroX, g.HeroY), 0) << byKey;
    g.HeroState = 2;
    g.Lives = 2;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(stood(600, 600), 0) << byKey;
      EXPECT_EQ(stood(g.HeroX, g.HeroY), 0) << byKey;
    }
    if (byKey) f.Keys(kKeySpace);
    else f.plat.SetJoystick(true, JoyReading{32767, 32767, 2});
    JoyInit(g);
    HeroStep(g);  // waiting: the action comes back
    ASSERT_EQ(g.HeroState, 3);
    f.Keys(0);
    f.plat.SetJoystick(true, JoyReading{32767, 32767, 0});
    HeroStep(g);  // respawn
    ASSERT_EQ(g.HeroState, 0);
    f.plat.SetScript(Events(At(f.plat.Clock() + 400, "P")));
    EXPECT_EQ(stood(g.HeroX, g.HeroY), 0) << byKey;
    EXPECT_NE(g.pic.M.Get(Rnd(g.HeroX + 22.0), Rnd(g.HeroY + 4.0 - g.ViewY)), kBlack) << "no pause label";
  }
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

namespace morvik::test {
namespace {

// The music calls made in each play frame.
struct MusicCalls : FrameObserver {
  std::vector<uint32_t> t;
  std::vector<std::vector<std::string>> calls;
  size_t seen = 0;
  void OnPlayFrame(Game& g) override {
    auto& log = static_cast<HeadlessPlatform&>(g.plat).AudioLog();
    t.push_back(g.plat.Clock());
    calls.emplace_back();
    for (; seen < log.size(); ++seen)
      if (log[seen].rfind("midi", 0) == 0) calls.back().push_back(log[seen]);
  }
};

}  // namespace

// The pause does not look after the music: paused longer than the rest of the
// piece, the game stays silent once it has ended, and the piece starts from
// the top on the second frame after the resume.
TEST(PauseMusic, APauseLongerThanThePieceEndsInSilenceAndTheTopFollowsTwoFramesAfter) {
  Loop l;
  MusicCalls music;
  music.seen = l.plat.AudioLog().size();  // the piece started with the stage
  l.g->observer = &music;
  const uint32_t t0 = l.plat.Clock();
  l.plat.SetUntil(t0 + 200000);
  l.plat.SetScript(Events("P10 P\n" + At(t0 + 1000, "-") + At(t0 + 100000, "P") + At(t0 + 100100, "-") +
                          "P40 Escape\n"));
  ASSERT_NO_THROW(PlayLoop(*l.g));
  ASSERT_EQ(music.calls.size(), 39u);
  EXPECT_GE(music.t[9], t0 + 100000) << "frame 10 stood still until the resume";
  for (size_t k = 0; k < music.calls.size(); ++k) {
    if (k != 11) {
      EXPECT_TRUE(music.calls[k].empty()) << "frame " << k + 1;
    }
  }
  EXPECT_EQ(music.calls[11], std::vector<std::string>{"midi play from 0"});
}

}  // namespace morvik::test
