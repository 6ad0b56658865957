// SPDX-License-Identifier: GPL-3.0-or-later
// The options screen: its rows and binding rules, its picture, and the whole
// game driven through it by a script, recorded and played back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/demo.hpp"
#include "app/command_line.hpp"
#include "app/run.hpp"
#include "app/settings.hpp"
#include "frontend/options_screen.hpp"
#include "media/surface.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

using V = std::vector<std::string>;

struct Menu {
  SettingsStore st;
  OptionsMenu m{st};
  OptionsMenu::Outcome last;
  void Press(std::initializer_list<const char*> inputs) {
    for (const char* in : inputs) last = m.Input(in);
  }
  void GoTo(int row) {
    while (m.Row() != row) m.Input("key:Down");
  }
};

TEST(OptionsMenu, RowsInOrderEachValueChangedByLeftRightOrReturnAndTheCommandLineRowsLeftAlone) {
  Menu t;
  const V labels = {"DISPLAY",    "WINDOW SCALE", "SMOOTHING",  "EFFECTS VOLUME", "MUSIC VOLUME", "KEY LEFT",
                    "KEY RIGHT",  "KEY JUMP",     "KEY DOWN",   "KEY ACTION",     "KEY PAUSE",    "KEY LEAVE",
                    "PAD LEFT",   "PAD RIGHT",    "PAD JUMP",   "PAD DOWN",       "PAD ACTION",   "PAD PAUSE",
                    "PAD LEAVE",  "WATCH YOUR BEST GAME", "RESTORE DEFAULTS", "BACK"};
  ASSERT_EQ(labels.size(), static_cast<size_t>(kRowCount));
  for (int r = 0; r < kRowCount; ++r) EXPECT_EQ(OptionsMenu::Label(r), labels[r]);
  EXPECT_EQ(t.m.Value(kRowKeyFirst + kActFire), "SPACE, Z");
  EXPECT_EQ(t.m.Value(kRowPadFirst + kActLeft), "DPLEFT, -LEFTX");
  EXPECT_EQ(t.m.Value(kRowPadFirst + kActLeave), "NONE");

  // Up from the first row wraps to Back; the stick and the pad move too.
  t.Press({"key:Up"});
  EXPECT_EQ(t.m.Row(), kRowBack);
  t.Press({"pad:dpdown", "pad:+lefty"});
  EXPECT_EQ(t.m.Row(), 1);
  t.Press({"pad:-lefty"});
  EXPECT_EQ(t.m.Row(), kRowDisplay);

  t.Press({"key:Right"});
  EXPECT_TRUE(t.last.changed);
  EXPECT_TRUE(t.st.file.window && t.st.run.window);
  EXPECT_EQ(t.m.Value(kRowDisplay), "WINDOW");
  t.GoTo(kRowScale);
  t.Press({"key:Left"});  // already at auto
  EXPECT_FALSE(t.last.changed);
  t.Press({"key:Right", "key:Right"});
  EXPECT_EQ(t.m.Value(kRowScale), "2X");
  for (int i = 0; i < 9; ++i) t.Press({"key:Right"});
  EXPECT_EQ(t.st.file.scale, 8);
  t.Press({"key:Return"});  // Return steps on and wraps round
  EXPECT_EQ(t.m.Value(kRowScale), "AUTO");

  // Volumes go by 8 from 0 to 128, landing on the steps from a hand-set value;
  // only the effects' volume asks for an effect to be heard.
  t.st.run.effectsVolume = t.st.file.effectsVolume = 91;
  t.GoTo(kRowEffects);
  t.Press({"key:Right"});
  EXPECT_EQ(t.st.file.effectsVolume, 96);
  EXPECT_TRUE(t.last.changed && t.last.effect);
  for (int i = 0; i < 20; ++i) t.Press({"key:Right"});
  EXPECT_EQ(t.st.run.effectsVolume, 128);
  EXPECT_FALSE(t.last.changed || t.last.effect);
  t.GoTo(kRowMusic);
  for (int i = 0; i < 6; ++i) t.Press({"pad:dpleft"});
  EXPECT_EQ(t.st.file.musicVolume, 0);
  EXPECT_TRUE(t.last.changed);
  EXPECT_FALSE(t.last.effect);

  // Rows the command line set keep its value for this run, and say so.
  Options o;
  std::string err;
  ASSERT_TRUE(ParseOptions({"--window=3", "--smooth"}, o, err)) << err;
  Settings file = DefaultSettings();
  Menu c;
  c.st = MakeSettingsStore(file, SettingsFile{}, o);
  EXPECT_TRUE(c.m.Fixed(kRowDisplay) && c.m.Fixed(kRowScale) && c.m.Fixed(kRowSmooth));
  EXPECT_FALSE(c.m.Fixed(kRowEffects));
  EXPECT_EQ(c.m.Value(kRowScale), "3X (COMMAND LINE)");
  c.Press({"key:Right"});
  EXPECT_FALSE(c.last.changed);
  EXPECT_TRUE(c.st.run.window);
  EXPECT_FALSE(c.st.file.window);
  EXPECT_EQ(c.m.Hint(), "SET ON THE COMMAND LINE FOR THIS RUN");

  // Escape, B and Back close; nothing else does.
  for (const char* in : {"key:Escape", "pad:b"}) {
    Menu e;
    EXPECT_TRUE(e.m.Input(in).close) << in;
  }
  Menu b;
  b.GoTo(kRowBack);
  EXPECT_TRUE(b.m.Input("key:Space").close);
  EXPECT_FALSE(b.m.Input("key:Q").close);
}

TEST(OptionsMenu, ChoosingAnActionWaitsForOneInputThatBecomesItsOnlyBindingAndLeavesAnyOtherAction) {
  Menu t;
  t.GoTo(kRowKeyFirst + kActJump);
  t.Press({"key:Return"});
  EXPECT_TRUE(t.m.Waiting());
  EXPECT_EQ(t.m.Value(kRowKeyFirst + kActJump), "PRESS A KEY");
  t.Press({"pad:a"});  // a controller input does not bind a key row
  EXPECT_TRUE(t.m.Waiting());
  t.Press({"key:F11"});  // the window's own
  EXPECT_TRUE(t.m.Waiting());
  EXPECT_EQ(t.m.Hint(), "F11 BELONGS TO THE WINDOW");
  t.Press({"key:Z"});  // taken from Action, which keeps Space
  EXPECT_FALSE(t.m.Waiting());
  EXPECT_TRUE(t.last.changed);
  EXPECT_EQ(t.st.file.keys[kActJump], V{"Z"});
  EXPECT_EQ(t.st.run.keys[kActFire], V{"Space"});
  EXPECT_EQ(t.m.Hint(), "Z NOW JUMP, NO LONGER ACTION");

  // A bound action's old keys go: Return is a key like any other here.
  t.GoTo(kRowKeyFirst + kActFire);
  t.Press({"key:Return", "key:Return"});
  EXPECT_EQ(t.st.file.keys[kActFire], V{"Return"});
  // Escape cancels, except on Leave, whose key it is by default.
  t.Press({"key:Return", "key:Escape"});
  EXPECT_FALSE(t.m.Waiting());
  EXPECT_EQ(t.st.file.keys[kActFire], V{"Return"});
  t.GoTo(kRowKeyFirst + kActLeave);
  t.Press({"key:Delete"});
  EXPECT_TRUE(t.st.file.keys[kActLeave].empty());
  EXPECT_TRUE(t.last.changed);
  t.Press({"key:Return", "key:Escape"});
  EXPECT_EQ(t.st.run.keys[kActLeave], V{"Escape"});

  // Controller rows take buttons and stick directions, B among them; Escape cancels.
  t.GoTo(kRowPadFirst + kActJump);
  t.Press({"key:Return", "key:W"});
  EXPECT_TRUE(t.m.Waiting());
  t.Press({"pad:back"});
  EXPECT_TRUE(t.m.Waiting());
  t.Press({"pad:b"});
  EXPECT_EQ(t.st.file.pad[kActJump], V{"b"});
  EXPECT_EQ(t.st.file.pad[kActFire], (V{"a", "x", "y"}));
  t.GoTo(kRowPadFirst + kActDown);
  t.Press({"key:Return", "pad:+righttrigger"});
  EXPECT_EQ(t.st.run.pad[kActDown], V{"+righttrigger"});
  t.Press({"key:Return", "key:Escape"});
  EXPECT_EQ(t.st.run.pad[kActDown], V{"+righttrigger"});
  t.Press({"key:Backspace"});
  EXPECT_TRUE(t.st.file.pad[kActDown].empty());
  // Keys and controller inputs are bound apart: a key named like a button is no clash.
  EXPECT_EQ(t.st.file.keys[kActJump], V{"Z"});
}

TEST(OptionsMenu, RestoringTheDefaultsAsksFirstAndKeepsWhatTheCommandLineSet) {
  Options o;
  std::string err;
  ASSERT_TRUE(ParseOptions({"--window=2"}, o, err)) << err;
  Settings mine = DefaultSettings();
  mine.musicVolume = 0;
  mine.keys[kActJump] = {"W"};
  Menu t;
  t.st = MakeSettingsStore(mine, SettingsFile{}, o);
  t.GoTo(kRowDefaults);
  t.Press({"key:Return", "key:Down"});  // anything else is a no
  EXPECT_FALSE(t.last.changed);
  EXPECT_EQ(t.st.file.musicVolume, 0);
  t.GoTo(kRowDefaults);
  t.Press({"key:Return"});
  EXPECT_TRUE(t.m.Confirming());
  t.Press({"key:Return"});
  EXPECT_TRUE(t.last.changed);
  EXPECT_EQ(t.st.file.musicVolume, kDefaultMusicVolume);
  EXPECT_EQ(t.st.run.keys[kActJump], V{"Up"});
  EXPECT_FALSE(t.st.file.window);
  EXPECT_TRUE(t.st.run.window);
  EXPECT_EQ(t.st.run.scale, 2);
}

TEST(OptionsScreen, ItsPictureStaysInsideTheVisibleScreenOfEitherMode) {
  Menu t;
  t.st.run.pad[kActFire] = {"leftshoulder", "rightshoulder", "+lefttrigger", "+righttrigger", "dpup"};
  const uint32_t back = Rgb(1, 2, 3);
  for (bool small : {true, false}) {
    Surface m(425, 329, back);
    const int aw = small ? 320 : 425, ah = small ? 240 : 329;
    for (int row = 0; row < kRowCount; ++row) {
      m.Clear(back);
      DrawOptions(m, t.m, 0, 0, aw, ah);
      int minX = 1000, minY = 1000, maxX = -1, maxY = -1;
      for (int y = 0; y < m.Height(); ++y)
        for (int x = 0; x < m.Width(); ++x)
          if (m.Get(x, y) != back) {
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
          }
      EXPECT_GE(minX, 0);
      EXPECT_GE(minY, 0);
      EXPECT_LT(maxX, aw) << small;
      EXPECT_LT(maxY, ah) << small;
      // Centred, with a margin.
      EXPECT_NEAR(minX, aw - 1 - maxX, 1);
      EXPECT_GE(minY, 2);
      t.m.Input("key:Down");
    }
  }
}

// ---- the whole game, driven by a script ----

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Presses each key for 100 ms, one after the other, from `at` ms on.
std::string Presses(uint32_t at, const V& keys) {
  std::string s;
  for (const std::string& k : keys) {
    s += '@';
    s += std::to_string(at);
    s += ' ';
    s += k;
    s += "\n@";
    s += std::to_string(at + 100);
    s += " -\n";
    at += 200;
  }
  return s;
}

// On the title: lower the music by two steps, bind Jump to W, close. Then a
// game in the small mode, where F1 pauses and opens the screen, Escape
// closes it and the game stays paused until P.
std::string Script() {
  std::string s = "@0 -\n";
  s += Presses(6000, {"F1", "Down", "Down", "Down", "Down", "Left", "Left", "Down", "Down", "Down", "Return", "W",
                      "Escape"});
  s += "@9000 Space\n@12000 -\n";
  s += "@15000 W\n@15800 -\n";
  s += Presses(17000, {"F1", "Escape"});
  s += Presses(19000, {"P"});
  return s;
}

TEST(OptionsScreen, AScriptChangesTheMusicAndJumpOnTheTitleTheNewKeyJumpsAndF1PausesPlay) {
  TempDir d;
  // A settings file where the player's would be: headless runs never read or write it.
  ::setenv("XDG_CONFIG_HOME", d.Path().c_str(), 1);
  std::filesystem::create_directories(d.File("morvik"));
  const std::string mine = "music-volume 8\nkey-jump Q\n";
  std::ofstream(d.File("morvik/settings.txt")) << mine;

  HeadlessPlatform plat(0);
  std::vector<ScriptEvent> events;
  std::string err;
  ASSERT_TRUE(ParseScript(Script(), events, err)) << err;
  plat.SetScript(events);
  plat.SetUntil(21000);
  Game g(plat);
  g.dataDir = MORVIK_BINARY_DIR;
  g.recordPath = d.File("Mor_vik_0.kvd");
  float lowestWithW = 1e9f, atPress = 0;
  std::map<uint32_t, int> frameAt;  // play frame at each 500 ms
  bool pausedUnderScreen = false;
  plat.onInput = [&](HeadlessPlatform& p) {
    const uint32_t t = p.Clock();
    if (t < 15000) atPress = g.HeroY;
    if (g.playFrame > 0 && t >= 15000 && t < 15800) lowestWithW = std::min(lowestWithW, g.HeroY);
    if (t >= 17100 && t < 17300) pausedUnderScreen = g.PauseLatch == 1;
    frameAt.emplace(t / 500 * 500, g.playFrame);
  };
  EXPECT_EQ(RunUntilProgramEnds(g), 0);

  EXPECT_EQ(g.settings.run.musicVolume, kDefaultMusicVolume - 16);
  EXPECT_EQ(g.settings.run.keys[kActJump], V{"W"});
  EXPECT_EQ(plat.Applied().musicVolume, kDefaultMusicVolume - 16);
  EXPECT_EQ(plat.Applied().keys[kActJump], V{"W"});
  EXPECT_EQ(g.ScreenMode, 0);
  // W held in play lifts the hero (the smaller y, the higher).
  EXPECT_LT(lowestWithW, atPress - 20);
  // F1 in play paused the game: no frame from the press until P resumed it.
  EXPECT_TRUE(pausedUnderScreen);
  EXPECT_EQ(frameAt[17500], frameAt[18500]);
  EXPECT_GT(frameAt[20000], frameAt[18500]);
  EXPECT_EQ(Slurp(d.File("morvik/settings.txt")), mine);
  EXPECT_FALSE(std::filesystem::exists(d.File("morvik/settings.txt.new")));
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(OptionsScreen, ADemoRecordedWhileTheScreenWasUsedReplaysToTheSameTraceAndItsPlaybackWritesNoSettings) {
  TempDir d;
  std::ofstream(d.File("s.txt")) << Script();
  Options o;
  o.headless = true;
  o.script = d.File("s.txt");
  o.hasUntil = true;
  o.untilMs = 21000;
  o.recordDemo = d.File("a.demo");
  o.trace = d.File("a.jsonl");
  ASSERT_EQ(RunHeadless(o, MORVIK_BINARY_DIR, d.File("Mor_vik_0.kvd")), 0);
  DemoHeader h;
  std::vector<uint8_t> raw;
  ASSERT_TRUE(LoadDemoFile(d.File("a.demo"), h, raw, o.trace));
  int inputs = 0, requests = 0;
  size_t pos = 0;
  uint32_t clock = h.clockFirst;
  for (DemoEvent e; DecodeDemoEvent(raw, pos, clock, e);) {
    inputs += e.kind == DemoRead::kInput;
    requests += e.kind == DemoRead::kOptions;
  }
  EXPECT_EQ(requests, 2);
  EXPECT_GE(inputs, 12);

  // Played back with a settings file at hand, as the window would be: the
  // same trace, and the file is neither written nor made.
  Options p;
  p.playDemo = d.File("a.demo");
  p.trace = d.File("b.jsonl");
  SettingsStore st;
  st.disk.path = d.File("cfg/settings.txt");
  HeadlessPlatform plat(0);
  EXPECT_EQ(PlayOnPlatform(plat, true, p, MORVIK_BINARY_DIR, d.File("r.kvd"), &st), 0);
  const std::string want = Slurp(d.File("a.jsonl"));
  ASSERT_GT(want.size(), 1000u);
  EXPECT_TRUE(Slurp(d.File("b.jsonl")) == want) << "the replay's trace differs from the recording's";
  EXPECT_FALSE(std::filesystem::exists(d.File("cfg")));
}

}  // namespace
}  // namespace morvik::test
