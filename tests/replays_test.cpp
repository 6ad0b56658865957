// SPDX-License-Identifier: GPL-3.0-or-later
// The best games kept as replays: a player's session that beats its best
// leaves replays/best.demo and a dated copy (the last 20 kept), which plays
// that session to the game's end and stops there cleanly, verified to the
// game's own score; and a session in which the best game was watched from
// the options screen still replays to its own trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_line.hpp"
#include "app/demo.hpp"
#include "app/replays.hpp"
#include "app/run.hpp"
#include "app/verify.hpp"
#include "core/files.hpp"
#include "frontend/options_screen.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A player's session, headless: the automatic player with the player's
// settings at hand (as the window and the page have them).
int PlayerSession(const TempDir& d, Options o, const std::string& script = "") {
  o.headless = true;
  HeadlessPlatform plat(7000);
  if (script.empty()) {
    o.bot = true;
  } else {
    std::vector<ScriptEvent> ev;
    std::string err;
    EXPECT_TRUE(ParseScript(script, ev, err)) << err;
    plat.SetScript(ev);
  }
  if (o.hasUntil) plat.SetUntil(o.untilMs);
  SettingsStore st;
  return PlayOnPlatform(plat, true, o, MORVIK_BINARY_DIR, d.File("Mor_vik_0.kvd"), &st);
}

TEST(BestReplays, ANewBestIsKeptAndPlaysThatSessionToTheGamesEnd) {
  TempDir d;
  fs::create_directories(d.File("replays"));
  for (int k = 0; k < 25; ++k) std::ofstream(d.File("replays/best-2000010" + std::to_string(k / 10) + "-0000" +
                                                   std::to_string(k % 10) + ".demo")) << "old";
  Options o;
  o.hasUntil = true;
  o.untilMs = 7000 + 400000;
  o.traceDigest = d.File("session.digest");
  ASSERT_EQ(PlayerSession(d, o), 0);
  ASSERT_TRUE(fs::is_regular_file(d.File("replays/best.demo")));
  int dated = 0;
  for (const auto& e : fs::directory_iterator(d.File("replays"))) dated += e.path().filename() != "best.demo";
  EXPECT_EQ(dated, kDatedReplaysKept);

  // Played back: the session's frames to the end of its best game, status 0.
  Options p;
  p.headless = true;
  p.playDemo = d.File("replays/best.demo");
  p.traceDigest = d.File("replay.digest");
  EXPECT_EQ(RunHeadless(p, MORVIK_BINARY_DIR, d.File("none.kvd")), 0);
  const std::string session = Slurp(d.File("session.digest")), replay = Slurp(d.File("replay.digest"));
  ASSERT_GT(replay.size(), 1000u);
  EXPECT_EQ(session.compare(0, replay.size(), replay), 0) << "the replay is not the session's beginning";

  // The board's verifier reaches that game's score, the best the session had then.
  const FileRead r = ReadPlainFile(d.File("replays/best.demo"), 1 << 20);
  const Verdict v =
      VerifyDemo(reinterpret_cast<const uint8_t*>(r.bytes.data()), r.bytes.size(), MORVIK_BINARY_DIR);
  ASSERT_EQ(v.kind, Verdict::kVerified) << v.reason;
  const std::string last = replay.substr(replay.rfind('\n', replay.size() - 2) + 1);
  EXPECT_NE(last.find(" score" + std::to_string(v.score) + " "), std::string::npos) << last;
  EXPECT_GT(v.score, 5000);
}

TEST(BestReplays, WatchingTheBestGameLeavesTheSessionAReplayOfItsOwn) {
  TempDir d;
  Options o;
  o.hasUntil = true;
  o.untilMs = 7000 + 400000;
  ASSERT_EQ(PlayerSession(d, o), 0);
  ASSERT_TRUE(fs::is_regular_file(d.File("replays/best.demo")));
  const std::string kept = Slurp(d.File("replays/best.demo"));

  // On the title: F1, down to the Watch row, Return; after it, Escape quits.
  const int down = kRowWatch;
  std::string script;
  const auto at = [&script](int ms, const char* keys) {
    char line[48];
    std::snprintf(line, sizeof line, "@%d %s\n", ms, keys);
    script += line;
  };
  at(0, "-");
  at(14000, "F1");
  at(14100, "-");
  int t = 14200;
  for (int i = 0; i < down; ++i, t += 100) {
    at(t, "Down");
    at(t + 50, "-");
  }
  at(t, "Return");
  at(t + 50, "-");
  at(t + 1000000, "Escape");  // well after the game watched
  Options w;
  w.recordDemo = d.File("watched.demo");
  w.trace = d.File("watched.jsonl");
  testing::internal::CaptureStderr();
  EXPECT_EQ(PlayerSession(d, w, script), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(Slurp(d.File("replays/best.demo")), kept) << "watching changed the kept game";
  // The game watched took its own time (its last game at the recorded pace):
  // the session's clock leaps over it.
  DemoHeader h;
  std::vector<uint8_t> raw;
  std::string err;
  ASSERT_TRUE(LoadDemoFile(d.File("watched.demo"), h, raw, err)) << err;
  uint32_t clock = h.clockFirst, last = h.clockFirst, leap = 0;
  size_t pos = 0;
  for (DemoEvent e; DecodeDemoEvent(raw, pos, clock, e);)
    if (e.kind == DemoRead::kClock) {
      leap = std::max(leap, e.value - last);
      last = e.value;
    }
  EXPECT_GT(leap, 60000u);

  Options p;
  p.headless = true;
  p.playDemo = d.File("watched.demo");
  p.trace = d.File("again.jsonl");
  EXPECT_EQ(RunHeadless(p, MORVIK_BINARY_DIR, d.File("none.kvd")), 0);
  EXPECT_TRUE(Slurp(d.File("again.jsonl")) == Slurp(d.File("watched.jsonl")));
}

}  // namespace
}  // namespace morvik::test
