// SPDX-License-Identifier: GPL-3.0-or-later
// Soak: the automatic player plays the real course game after game, and
// every play frame the state is checked: every index within its array, no
// position that is not a number or infinite, the score never falling within
// a game, the lives in range. MORVIK_SOAK_FRAMES sets the length (a short
// run by default; the long one is documented in the README).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <type_traits>

#include "app/bot.hpp"
#include "core/stop_signals.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

class Invariants : public FrameObserver {
 public:
  explicit Invariants(HeadlessPlatform& p, long limit) : plat_(p), limit_(limit) {}
  void OnPlayFrame(Game& g) override {
    ++frames_;
    if (g.playFrame == 1) {
      ++games_;
      lastScore_ = g.Score;
    }
    Check(g);
    if (frames_ >= limit_ || failures_ > 20) plat_.RequestClose();
  }
  long frames_ = 0, games_ = 0;
  int failures_ = 0;
  int32_t bestScore_ = 0;
  std::string first_;

 private:
  void Fail(const Game& g, const std::string& what) {
    if (failures_++ == 0)
      first_ = "game " + std::to_string(games_) + " frame " + std::to_string(g.playFrame) + ": " + what;
  }
  template <class T>
  void InRange(const Game& g, const char* name, T v, long lo, long hi) {
    if (static_cast<long>(v) < lo || static_cast<long>(v) > hi)
      Fail(g, std::string(name) + " = " + std::to_string(static_cast<long>(v)) + " outside " + std::to_string(lo) +
                  ".." + std::to_string(hi));
  }
  void Finite(const Game& g, const char* name, float v) {
    if (!std::isfinite(v)) Fail(g, std::string(name) + " is not finite");
  }
  template <class T>
  void AllFinite(const Game& g, const char* name, const T& v) {
    if constexpr (std::is_same_v<T, float>) {
      Finite(g, name, v);
    } else if constexpr (std::is_array_v<T> && std::is_same_v<std::remove_extent_t<T>, float>) {
      for (float x : v) Finite(g, name, x);
    }
  }
  void Check(const Game& g) {
    // Every real member of the state, arrays included.
#define MORVIK_SOAK_FINITE(type, name, count) AllFinite(g, #name, g.name);
    MORVIK_GAME_STATE(MORVIK_SOAK_FINITE)
#undef MORVIK_SOAK_FINITE
    // Indexes into the game's arrays and tables.
    InRange(g, "BallNext", g.BallNext, 0, 10);
    InRange(g, "BallMax", g.BallMax, 0, 10);
    InRange(g, "SlotCount", g.SlotCount, 0, 40);
    InRange(g, "PopNext", g.PopNext, 0, 40);
    InRange(g, "LabelIndex", g.LabelIndex, 0, 4);
    InRange(g, "MapCol", g.MapCol, 0, 50);
    InRange(g, "MapRow", g.MapRow, 0, 12);
    InRange(g, "SegmentNo", g.SegmentNo, 0, 30);
    InRange(g, "CourseState", g.CourseState, 0, 2);
    InRange(g, "HeroState", g.HeroState, 0, 4);
    InRange(g, "ScreenMode", g.ScreenMode, 0, 1);
    InRange(g, "HeroFrame", static_cast<long>(g.HeroFrame), 0, 6);
    InRange(g, "LifeIconFrame", static_cast<long>(g.LifeIconFrame), 0, 6);
    // While the hero dies the view slides home by 2 a frame, so from an odd
    // view it rests at -1 until the hero has fallen out (the copy to M clips).
    InRange(g, "ViewY", g.ViewY, g.HeroState == 1 ? -1 : 0, 88);
    InRange(g, "ComboCount", g.MaxCombo, 0, 32767);
    InRange(g, "KillCount", g.KillCount, 0, 32767);
    for (int i = 0; i <= 40; ++i) {
      InRange(g, "EnemyKind", static_cast<long>(g.EnemyKind[i]), 0, 5);
      InRange(g, "PopValue", g.PopValue[i], 0, 27);
    }
    for (int i = 0; i <= 10; ++i) InRange(g, "BallState", g.BallState[i], 0, 3);
    // Lives: at most the start's and the items' (a life only while five or fewer).
    InRange(g, "Lives", g.Lives, 0, 6);
    InRange(g, "Score", g.Score, 0, INT32_MAX);
    if (g.Score < lastScore_) Fail(g, "Score fell from " + std::to_string(lastScore_) + " to " + std::to_string(g.Score));
    lastScore_ = g.Score;
    if (g.Score > bestScore_) bestScore_ = g.Score;
  }

  HeadlessPlatform& plat_;
  long limit_;
  int32_t lastScore_ = 0;
};

TEST(Soak, TheAutomaticPlayerPlaysGameAfterGameWithTheStateSoundEveryFrame) {
  long limit = 20000;
  if (const char* e = std::getenv("MORVIK_SOAK_FRAMES")) limit = std::atol(e);
  // The clock the run starts from seeds every game, so runs side by side
  // with different starts play different games.
  uint32_t clockStart = 12345;
  if (const char* e = std::getenv("MORVIK_SOAK_CLOCK")) clockStart = static_cast<uint32_t>(std::strtoul(e, nullptr, 10));
  // The real course must be there, or the hero only falls through an empty one.
  ASSERT_TRUE(std::filesystem::is_regular_file(StageFileName(MORVIK_BINARY_DIR, 30)))
      << "build the course segments first (the whole build, not only the tests)";
  // A long run stopped with SIGTERM or SIGINT ends as the program would and
  // still reports what it played.
  CatchStopSignals();
  TempDir dir;
  HeadlessPlatform plat(clockStart);
  BotKeys keys(plat);
  auto g = std::make_unique<Game>(keys);
  g->dataDir = MORVIK_BINARY_DIR;
  g->recordPath = dir.File("Mor_vik_0.kvd");
  Invariants inv(plat, limit);
  g->observer = &inv;
  AutoPlayer bot(*g);
  keys.SetPlayer(&bot);
  const auto t0 = std::chrono::steady_clock::now();
  int status = -1;
  try {
    RunProgram(*g);
  } catch (const ProgramEnd& e) {
    status = e.status;
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("soak: %ld play frames over %ld games in %.1f s (%.0f frames/s), best score %d, %d failed checks\n",
              inv.frames_, inv.games_, s, inv.frames_ / s, inv.bestScore_, inv.failures_);
  EXPECT_EQ(status, 0);
  if (StopSignalled()) std::printf("soak: stopped by a signal before %ld frames\n", limit);
  else EXPECT_GE(inv.frames_, limit);
  EXPECT_GE(inv.games_, limit >= 20000 ? 2 : 1);
  EXPECT_EQ(inv.failures_, 0) << inv.first_;
}

}  // namespace
}  // namespace morvik::test
