// SPDX-License-Identifier: GPL-3.0-or-later
// The play loop's timing, WaitMs, the timer cycle and headless system runs.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/demo.hpp"
#include "app/command_line.hpp"
#include "app/run.hpp"
#include "shell/trace.hpp"
#include "support.hpp"

using namespace morvik;
using morvik::test::Fixture;

namespace {
// Notes the clock at every play frame and can make the frame's work slow.
struct FrameClock : FrameObserver {
  std::vector<uint32_t> times;
  std::vector<int> frames;
  int slowFrame = -1;
  uint32_t slowMs = 0;
  int stopAt = 0;
  int slowdown = -1;
  void OnPlayFrame(Game& g) override {
    times.push_back(g.plat.Clock());
    frames.push_back(g.playFrame);
    if (slowdown >= 0) g.FrameSlowdown = static_cast<uint8_t>(slowdown);
    if (g.playFrame == slowFrame) g.plat.WaitUntil(g.plat.Clock() + slowMs);
    if (g.playFrame == stopAt) g.QuitToTitle = 1;
  }
};
}  // namespace

TEST(PlayLoop, FramesAre35msApartAndEndOnQuitToTitle) {
  Fixture f;
  f.Start();
  FrameClock fc;
  fc.stopAt = 20;
  f.g->observer = &fc;
  PlayLoop(*f.g);
  ASSERT_EQ(fc.times.size(), 20u);
  for (size_t i = 1; i < fc.times.size(); ++i) EXPECT_EQ(fc.times[i] - fc.times[i - 1], 35u) << i;
  EXPECT_EQ(f.g->QuitToTitle, 0);
  EXPECT_EQ(f.g->AllInterval, 5);
}

TEST(PlayLoop, SlowdownMakesSixtyMsFrames) {
  Fixture f;
  f.Start();
  FrameClock fc;
  fc.stopAt = 10;
  fc.slowdown = 25;
  f.g->observer = &fc;
  PlayLoop(*f.g);
  for (size_t i = 2; i < fc.times.size(); ++i) EXPECT_EQ(fc.times[i] - fc.times[i - 1], 60u) << i;
}

TEST(PlayLoop, ASlowFrameIsFollowedAtOnce) {
  Fixture f;
  f.Start();
  FrameClock fc;
  fc.stopAt = 6;
  fc.slowFrame = 3;
  fc.slowMs = 50;
  f.g->observer = &fc;
  PlayLoop(*f.g);
  ASSERT_EQ(fc.times.size(), 6u);
  // Frame 3's work took 50 ms (plus the 1 ms yield): frame 4 starts right after, not later.
  EXPECT_EQ(fc.times[3] - fc.times[2], 51u);
  EXPECT_EQ(fc.times[4] - fc.times[3], 35u);
}

TEST(PlayLoop, EscapeAtTheTopOfAFrameEndsTheGame) {
  Fixture f;
  f.Start();
  std::vector<ScriptEvent> s = {{true, 8, kKeyEscape, 1}};
  f.plat.SetScript(s);
  FrameClock fc;
  f.g->observer = &fc;
  PlayLoop(*f.g);
  EXPECT_EQ(fc.frames.size(), 7u);  // frame 8 never runs
  EXPECT_EQ(f.g->AllInterval, 5);
}

TEST(WaitMs, WaitsLongerThanAskedWhileYielding) {
  Fixture f;
  uint32_t a = f.plat.Clock();
  int y0 = f.plat.Yields();
  WaitMs(*f.g, 460);
  EXPECT_GT(f.plat.Clock() - a, 460u);
  EXPECT_LE(f.plat.Clock() - a, 470u);
  EXPECT_GT(f.plat.Yields(), y0);
}

TEST(Shell, CloseDuringAYieldRunsTheUnloadEventAndEnds) {
  Fixture f;
  f.plat.RequestClose();
  bool ended = false;
  try {
    YieldToSystem(*f.g);
  } catch (const ProgramEnd& e) {
    ended = true;
    EXPECT_EQ(e.status, 0);
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(f.plat.Restored());
}

TEST(Shell, StartUpCentresTheScreenAndFillsTheTables) {
  Fixture f;
  f.plat.SetUntil(1);  // the first yield closes
  try {
    RunProgram(*f.g);
  } catch (const ProgramEnd&) {
  }
  EXPECT_EQ(f.plat.ModeWidth(), 640);
  EXPECT_EQ(f.plat.ScreenLeft(), 108);  // 107.5 rounds to even
  EXPECT_EQ(f.plat.ScreenTop(), 76);    // 75.5 likewise
  EXPECT_EQ(f.g->ScreenMode, 1);
  EXPECT_EQ(f.g->ScreenDepth, 32);
  EXPECT_EQ(f.g->ComboPoints[27], 800);
  EXPECT_EQ(f.g->ComboPoints[0], 0);
  EXPECT_FLOAT_EQ(f.g->CloudX[5], 40);
}

TEST(Shell, SmallModeIsTakenForPlayAndTheTitleReturnsInTheLargeOne) {
  // Every display change, in order.
  struct DisplayLog : PlatformRelay {
    using PlatformRelay::PlatformRelay;
    std::vector<std::string> changes;
    void SetDisplayMode(int w, int h) override {
      changes.push_back("mode " + std::to_string(w) + "x" + std::to_string(h));
      PlatformRelay::SetDisplayMode(w, h);
    }
    void SetScreenPosition(int l, int t) override {
      changes.push_back("at " + std::to_string(l) + "," + std::to_string(t));
      PlatformRelay::SetScreenPosition(l, t);
    }
  };
  Fixture f;
  DisplayLog log(f.plat);
  auto g = std::make_unique<Game>(log);
  g->dataDir = f.dir.Path();
  g->recordPath = f.dir.File("Mor_vik_0.kvd");
  FillConstantTables(*g);
  g->ScreenMode = 1;
  f.plat.HoldKeys(kKeySpace);  // Space on the title takes its first item, the small mode
  SetUpDisplay(*g);
  EXPECT_EQ(g->ScreenMode, 0);
  EXPECT_EQ(log.changes, (std::vector<std::string>{"mode 640x480", "at 0,0", "mode 320x240"}));
  // After a game in the small mode the title shows in the large one, centred.
  log.changes.clear();
  SetUpDisplay(*g);
  EXPECT_EQ(g->ScreenMode, 0);
  EXPECT_EQ(log.changes, (std::vector<std::string>{"mode 640x480", "mode 640x480", "at 108,76", "at 0,0",
                                                   "mode 320x240"}));
}

TEST(Script, ParsesEventsAndRejectsBadLines) {
  std::vector<ScriptEvent> ev;
  std::string err;
  ASSERT_TRUE(ParseScript("# start\n@0 Space\nP12 Left+Up  # jump left\n@5000 -\n\n", ev, err)) << err;
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_FALSE(ev[0].atFrame);
  EXPECT_EQ(ev[0].keys, kKeySpace);
  EXPECT_TRUE(ev[1].atFrame);
  EXPECT_EQ(ev[1].when, 12u);
  EXPECT_EQ(ev[1].keys, kKeyLeft | kKeyUp);
  EXPECT_EQ(ev[2].keys, 0u);
  EXPECT_FALSE(ParseScript("@x Space\n", ev, err));
  EXPECT_NE(err.find("line 1"), std::string::npos);
  EXPECT_FALSE(ParseScript("@0 Space\n@1 Jump\n", ev, err));
  EXPECT_NE(err.find("line 2"), std::string::npos);
  EXPECT_FALSE(ParseScript("P0 Space\n", ev, err));
  EXPECT_FALSE(ParseScript("@99999999999999999999 Space\n", ev, err));  // past 2^53
  EXPECT_FALSE(ParseScript("@1\n", ev, err));
}

TEST(Options, GoodAndBadArguments) {
  Options o;
  std::string err;
  ASSERT_TRUE(ParseOptions({"--bot", "--window=2"}, o, err)) << err;  // the automatic player plays in the window too
  EXPECT_TRUE(o.bot);
  o = Options{};
  ASSERT_TRUE(ParseOptions({"--headless", "--until-ms", "10000", "--shot", "40:/tmp/a.png", "--window=3"}, o, err));
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.untilMs, 10000u);
  ASSERT_EQ(o.shots.size(), 1u);
  EXPECT_EQ(o.shots[0].frame, 40);
  EXPECT_EQ(o.scale, 3);
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--until-ms"}, {"--until-ms", "-5"}, {"--shot", "x.png"}, {"--window=0"}, {"--bogus"},
           {"--record-demo", "a", "--play-demo", "b"}, {"--headless", "--data-dir", ""}, {"--script", "s"},
           {"--until-ms", "5"}}) {
    Options p;
    EXPECT_FALSE(ParseOptions(bad, p, err)) << bad[0];
    EXPECT_FALSE(err.empty());
  }
}

TEST(HeadlessRun, TraceShowsPlayFrames35msApart) {
  test::TempDir dir;
  test::WriteAllSegments(dir.Path(), test::FlatFloor());
  Options o;
  o.headless = true;
  o.hasUntil = true;
  o.untilMs = 12000;
  o.trace = dir.File("t.jsonl");
  EXPECT_EQ(RunHeadless(o, dir.Path(), dir.File("Mor_vik_0.kvd")), 0);
  std::ifstream in(o.trace);
  std::string line;
  std::vector<long> t, frame, slow;
  auto num = [&](const char* key) {
    auto p = line.find(key);
    return p == std::string::npos ? -1L : std::stol(line.substr(p + std::string(key).size()));
  };
  while (std::getline(in, line)) {
    ASSERT_EQ(line.front(), '{');
    ASSERT_EQ(line.back(), '}');
    t.push_back(num("\"t\":"));
    frame.push_back(num("\"frame\":"));
    slow.push_back(num("\"FrameSlowdown\":"));
  }
  ASSERT_GT(t.size(), 50u);
  EXPECT_EQ(frame[0], 1);
  // Within a game, each frame starts 35 ms (plus the game-over slowdown) after the one before.
  for (size_t i = 1; i < t.size(); ++i)
    if (frame[i] == frame[i - 1] + 1) {
      EXPECT_EQ(t[i] - t[i - 1], 35 + slow[i - 1]) << i;
    }
}
