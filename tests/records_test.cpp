// SPDX-License-Identifier: GPL-3.0-or-later
// The record file: its layout, reading damaged files, and saving safely.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "support.hpp"

using namespace morvik;
using morvik::test::Fixture;
namespace fs = std::filesystem;

namespace {
std::vector<unsigned char> ReadAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void WriteAll(const std::string& p, const std::vector<unsigned char>& d) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}
int32_t At32(const std::vector<unsigned char>& d, size_t o) {
  return static_cast<int32_t>(d[o] | d[o + 1] << 8 | d[o + 2] << 16 | static_cast<uint32_t>(d[o + 3]) << 24);
}
int16_t At16(const std::vector<unsigned char>& d, size_t o) { return static_cast<int16_t>(d[o] | d[o + 1] << 8); }
}  // namespace

TEST(Records, SavedLayoutHoldsTheValuesAmongTheCells) {
  Fixture f;
  Game& g = *f.g;
  for (int k = 0; k < 663; ++k) g.BlockMap[k] = static_cast<int16_t>(k + 1);
  g.BestScore = 5000;
  g.BestCombo = 100;
  SaveRecords(g);
  auto d = ReadAll(g.recordPath);
  ASSERT_EQ(d.size(), 665u * 128u);
  EXPECT_EQ(At16(d, 22144), 100);
  EXPECT_EQ(At32(d, 42240), 5000);
  // Cells fill the other records in row order: cell 172 just before the combo, 173 just after.
  EXPECT_EQ(At16(d, 0), 1);
  EXPECT_EQ(At16(d, 128 * 172), 173);
  EXPECT_EQ(At16(d, 128 * 174), 174);
  EXPECT_EQ(At16(d, 128 * 329), 329);
  EXPECT_EQ(At16(d, 128 * 331), 330);
  EXPECT_EQ(At16(d, 128 * 664), 663);
  // Nothing but the record file and the lock beside it is left in the directory.
  int files = 0;
  for (const auto& e : fs::directory_iterator(f.dir.Path())) files += e.is_regular_file(), (void)e;
  EXPECT_EQ(files, 2);
}

TEST(Records, SaveKeepsTheBestAndTakesABetterGame) {
  Fixture f;
  Game& g = *f.g;
  g.BestScore = 9000;
  g.BestCombo = 105;
  g.Score = 4000;
  g.MaxCombo = 103;
  SaveRecords(g);
  Fixture f2;
  f2.g->recordPath = g.recordPath;
  LoadRecords(*f2.g);
  EXPECT_EQ(f2.g->BestScore, 9000);
  EXPECT_EQ(f2.g->BestCombo, 105);
  g.Score = 12000;
  g.MaxCombo = 111;
  SaveRecords(g);
  LoadRecords(*f2.g);
  EXPECT_EQ(f2.g->BestScore, 12000);
  EXPECT_EQ(f2.g->BestCombo, 111);
}

TEST(Records, CellRecordsAreIgnoredOnRead) {
  Fixture f;
  Game& g = *f.g;
  g.BestScore = 7777;
  g.BestCombo = 104;
  SaveRecords(g);
  auto d = ReadAll(g.recordPath);
  for (size_t r = 0; r < 665; ++r)
    if (r != 173 && r != 330) d[r * 128] = 0x5A;
  WriteAll(g.recordPath, d);
  Fixture f2;
  f2.g->recordPath = g.recordPath;
  f2.g->BlockMap[10] = 3;
  LoadRecords(*f2.g);
  EXPECT_EQ(f2.g->BestScore, 7777);
  EXPECT_EQ(f2.g->BestCombo, 104);
  EXPECT_EQ(f2.g->BlockMap[10], 3);
}

TEST(Records, MissingShortAndGarbageFilesReadWithoutHarm) {
  Fixture f;
  Game& g = *f.g;
  // Missing: nothing read, nothing created.
  LoadRecords(g);
  EXPECT_EQ(g.BestScore, 0);
  EXPECT_EQ(g.BestCombo, 0);
  EXPECT_FALSE(fs::exists(g.recordPath));
  // Empty, and cut off between the two values: only what is there is taken.
  WriteAll(g.recordPath, {});
  LoadRecords(g);
  EXPECT_EQ(g.BestScore, 0);
  std::vector<unsigned char> d(30000, 0);
  d[22144] = 0x6B;  // 107
  WriteAll(g.recordPath, d);
  LoadRecords(g);
  EXPECT_EQ(g.BestCombo, 107);
  EXPECT_EQ(g.BestScore, 0);
  // Cut off inside the score record: the score stays as it was.
  d.assign(42242, 0xFF);
  WriteAll(g.recordPath, d);
  g.BestScore = 0;
  LoadRecords(g);
  EXPECT_EQ(g.BestScore, 0);
  EXPECT_EQ(g.BestCombo, -1);
  // Garbage of any length: each value that is wholly there is taken as it
  // stands, one cut off is left as it was, and the file is not touched.
  std::mt19937 rng(7);
  for (size_t n : {1u, 127u, 22145u, 22146u, 42243u, 42244u, 85120u, 300000u}) {
    d.resize(n);
    for (auto& b : d) b = static_cast<unsigned char>(rng());
    WriteAll(g.recordPath, d);
    g.BestScore = 1234;
    g.BestCombo = 56;
    LoadRecords(g);
    EXPECT_EQ(g.BestScore, n >= 42244 ? At32(d, 42240) : 1234) << n;
    EXPECT_EQ(g.BestCombo, n >= 22146 ? At16(d, 22144) : 56) << n;
    EXPECT_EQ(ReadAll(g.recordPath), d) << n;
  }
  EXPECT_FALSE(g.recordsUnreadable);
  // A directory where the file should be reads as no records.
  Fixture f3;
  fs::create_directory(f3.g->recordPath);
  LoadRecords(*f3.g);
  EXPECT_EQ(f3.g->BestScore, 0);
}

TEST(Records, AnUnwritableLocationIsReportedOnceAndThePlayGoesOn) {
  Fixture f;
  Game& g = *f.g;
  // A plain file where the directory should be: nothing can be created below it.
  WriteAll(f.dir.File("blocker"), {1, 2, 3});
  g.recordPath = f.dir.File("blocker/morvik/Mor_vik_0.kvd");
  g.BestScore = 6000;
  testing::internal::CaptureStderr();
  SaveRecords(g);
  SaveRecords(g);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(g.recordPath), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << err;  // one line only
  EXPECT_EQ(ReadAll(f.dir.File("blocker")).size(), 3u);
  EXPECT_EQ(g.BestScore, 6000);
}

TEST(Records, SavingCreatesTheDirectoryAndReplacesTheOldFile) {
  Fixture f;
  Game& g = *f.g;
  g.recordPath = f.dir.File("share/morvik/Mor_vik_0.kvd");
  g.BestScore = 5000;
  g.BestCombo = 100;
  SaveRecords(g);
  ASSERT_TRUE(fs::exists(g.recordPath));
  // An old, longer file is replaced whole, not written over.
  WriteAll(g.recordPath, std::vector<unsigned char>(200000, 0xEE));
  g.BestScore = 5100;
  SaveRecords(g);
  auto d = ReadAll(g.recordPath);
  EXPECT_EQ(d.size(), 665u * 128u);
  EXPECT_EQ(At32(d, 42240), 5100);
  EXPECT_EQ(d[1], 0);  // padding written as zeros
  int files = 0;
  for (const auto& e : fs::directory_iterator(f.dir.File("share/morvik"))) files += e.is_regular_file(), (void)e;
  EXPECT_EQ(files, 2);  // the records and their lock
}

TEST(Records, TwoGamesSavingIntoOneFileKeepTheBetterOfEachValue) {
  // Two games in one data folder, each started before the other saved.
  Fixture a, b;
  b.g->recordPath = a.g->recordPath;
  a.g->BestScore = 120700;
  a.g->BestCombo = 101;
  SaveRecords(*a.g);
  b.g->BestScore = 5000;
  b.g->BestCombo = 140;
  SaveRecords(*b.g);
  auto d = ReadAll(a.g->recordPath);
  ASSERT_EQ(d.size(), 665u * 128u);
  EXPECT_EQ(At32(d, 42240), 120700);
  EXPECT_EQ(At16(d, 22144), 140);
  // Each game plays on with its own bests.
  EXPECT_EQ(b.g->BestScore, 5000);
}

#ifndef _WIN32  // Windows': tests/windows
TEST(Records, AFinishedGameIsOnDiskWhenTheProcessIsKilledRightAfter) {
  ASSERT_TRUE(fs::is_regular_file(StageFileName(MORVIK_BINARY_DIR, 30))) << "build the course segments first";
  test::TempDir dir;
  const std::string records = dir.File("Mor_vik_0.kvd");
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A game to its end (the hero stands and throws; its score starts high
    // enough to beat the title's 5,000); when the next game starts, the
    // first game's score goes to the parent, which kills us.
    ::close(fds[0]);
    struct Watch : FrameObserver {
      int fd, games = 0;
      int32_t last = 0;
      void OnPlayFrame(Game& g) override {
        if (g.playFrame == 1 && ++games == 2) {
          if (::write(fd, &last, sizeof last) != sizeof last) ::_exit(3);
          for (;;) ::pause();
        }
        if (g.playFrame == 1) g.Score = 12300;
        last = g.Score;
      }
    } watch;
    watch.fd = fds[1];
    HeadlessPlatform plat(4242);
    int ticks = 0;
    plat.onInput = [&ticks](HeadlessPlatform& p) { p.HoldKeys((++ticks / 4) % 2 ? kKeySpace : 0u); };
    auto g = std::make_unique<Game>(plat);
    g->dataDir = MORVIK_BINARY_DIR;
    g->recordPath = records;
    g->observer = &watch;
    try {
      RunProgram(*g);
    } catch (const ProgramEnd&) {
    }
    ::_exit(2);
  }
  ::close(fds[1]);
  int32_t score = -1;
  const ssize_t got = ::read(fds[0], &score, sizeof score);
  ::close(fds[0]);
  ::kill(child, SIGKILL);
  int st = 0;
  ::waitpid(child, &st, 0);
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof score)) << "the child ended before a game did";
  EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL);
  ASSERT_GE(score, 12300);
  // Started again, the game has that score as its best.
  Fixture f;
  f.g->recordPath = records;
  LoadRecords(*f.g);
  EXPECT_EQ(f.g->BestScore, score);
}
#endif
