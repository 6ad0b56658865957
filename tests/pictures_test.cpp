// SPDX-License-Identifier: GPL-3.0-or-later
// A game without pictures is the same game: every committed demo, games of
// the automatic player from several clock starts and the demo fuzzer's
// seeds play to byte-identical trace digests with and without pictures, and
// the verifier gives the same verdict either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/command_line.hpp"
#include "app/run.hpp"
#include "app/verify.hpp"
#include "core/files.hpp"
#include "shell/trace.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// The verifier's replay of a demo file, with or without pictures: its
// verdict, and the digest of every frame it played.
struct Played {
  Verdict verdict;
  std::string digest;
};
Played Replay(const std::string& demo, bool pictures) {
  TempDir dir;
  TraceDigestWriter digest;
  std::string err;
  EXPECT_TRUE(digest.Open(dir.File("digest"), err)) << err;
  VerifyLimits limits;
  limits.pictures = pictures;
  limits.watch = &digest;
  // Its processor time is not what is checked here (a sanitized build draws slowly).
  limits.cpuSecondsBase = limits.maxCpuSeconds = 3600;
  const std::string bytes = Slurp(demo);
  Played p;
  p.verdict = VerifyDemo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), MORVIK_BINARY_DIR, limits);
  EXPECT_TRUE(digest.Close(err)) << err;
  p.digest = Slurp(dir.File("digest"));
  return p;
}

// Plays `demo` both ways and checks that nothing tells them apart; the digest.
std::string ExpectSameBothWays(const std::string& demo, const std::string& what) {
  const Played with = Replay(demo, true), without = Replay(demo, false);
  EXPECT_TRUE(with.digest == without.digest) << what << ": the traces differ ("
                                             << std::count(with.digest.begin(), with.digest.end(), '\n') << " and "
                                             << std::count(without.digest.begin(), without.digest.end(), '\n')
                                             << " play frames)";
  const Verdict &a = with.verdict, &b = without.verdict;
  EXPECT_EQ(a.kind, b.kind) << what;
  EXPECT_EQ(a.score, b.score) << what;
  EXPECT_EQ(a.combo, b.combo) << what;
  EXPECT_EQ(a.frames, b.frames) << what;
  EXPECT_EQ(a.games, b.games) << what;
  EXPECT_EQ(a.reason, b.reason) << what;
  return with.digest;
}

std::vector<std::string> FilesIn(const std::string& dir, const std::string& ext) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file() && (ext.empty() || e.path().extension() == ext)) out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(Pictures, EveryCommittedDemoAndFuzzSeedPlaysTheSameWithoutThem) {
  ASSERT_TRUE(fs::is_regular_file(StageFileName(MORVIK_BINARY_DIR, 30))) << "build the course first";
  const auto demos = FilesIn(MORVIK_SOURCE_DIR "/tests/demos", ".demo");
  ASSERT_GE(demos.size(), 2u);
  for (const std::string& d : demos) {
    // Each is a whole game, and plays to its committed digest.
    const std::string digest = ExpectSameBothWays(d, d);
    EXPECT_TRUE(digest == Slurp(d.substr(0, d.size() - 5) + ".digest")) << d;
  }
  const auto seeds = FilesIn(MORVIK_SOURCE_DIR "/fuzz/corpus/demo", "");
  ASSERT_GE(seeds.size(), 1u);
  for (const std::string& d : seeds) ExpectSameBothWays(d, d);
}

TEST(Pictures, TheAutomaticPlayersGamesFromSeveralClockStartsPlayTheSameWithoutThem) {
  ASSERT_TRUE(fs::is_regular_file(StageFileName(MORVIK_BINARY_DIR, 30))) << "build the course first";
  // Each start seeds other games; near the wrap the clock passes 2^32 in play.
  // Under the sanitizers, whose automatic player thinks slowly, the last alone.
#ifdef __SANITIZE_ADDRESS__
  const std::vector<uint32_t> starts = {4294000000u};
#else
  const std::vector<uint32_t> starts = {0u, 123456789u, 4294000000u};
#endif
  for (const uint32_t start : starts) {
    TempDir dir;
    Options o;
    o.headless = true;
    o.bot = true;
    o.clockStart = start;
    o.hasClockStart = true;
    o.hasUntil = true;
    o.untilMs = start + uint64_t{600000};  // ten minutes: three games or more
    o.noPictures = true;                   // the live game without pictures, its replay with them
    o.recordDemo = dir.File("bot.demo");
    o.traceDigest = dir.File("recorded.digest");
    HeadlessPlatform plat(start);
    plat.SetUntil(o.untilMs);
    ASSERT_EQ(PlayOnPlatform(plat, true, o, MORVIK_BINARY_DIR, dir.File("Mor_vik_0.kvd")), 0);
    const std::string recorded = Slurp(o.traceDigest);
    int games = 0;
    std::istringstream in(recorded);
    for (std::string line; std::getline(in, line);) games += line.rfind("1 ", 0) == 0;
    EXPECT_GE(games, 3) << "from " << start;
    ASSERT_GT(recorded.size(), 100000u);
    const std::string replayed = ExpectSameBothWays(o.recordDemo, "the automatic player from " + std::to_string(start));
    EXPECT_TRUE(replayed == recorded) << "from " << start << ": the replay is not the game recorded";
  }
}

}  // namespace
}  // namespace morvik::test
