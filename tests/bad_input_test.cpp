// SPDX-License-Identifier: GPL-3.0-or-later
// Bad input from the disk: a course whose every file is broken in its own
// way, records that cannot be read, and a save killed part-way. The game
// plays on, nothing is lost and nothing but the record file is written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support.hpp"

namespace morvik::test {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::vector<unsigned char>& d) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every entry under dir with what it is and holds, to see that nothing changed.
std::map<std::string, std::string> Listing(const std::string& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir, fs::directory_options::none)) {
    const std::string name = fs::relative(e.path(), dir).string();
    if (e.is_symlink()) {
      out[name] = "link " + fs::read_symlink(e.path()).string();
    } else if (e.is_directory()) {
      out[name] = "dir";
    } else {
      const auto d = ReadBytes(e.path().string());
      out[name] = "file " + std::string(d.begin(), d.end());
    }
  }
  return out;
}

class CountFrames : public FrameObserver {
 public:
  void OnPlayFrame(Game& g) override {
    ++frames;
    if (g.playFrame == 1) ++games;
  }
  long frames = 0, games = 0;
};

TEST(BadInput, ACourseOfBrokenFilesStillPlaysAndOnlyTheRecordsAreWritten) {
  TempDir dir;
  const std::string data = dir.File("data");
  fs::create_directory(data);
  std::mt19937 rng(11);
  const auto good = CellsFromRows(FlatFloor());
  for (int n = 1; n <= 30; ++n) {
    const std::string path = StageFileName(data, n);
    switch (n % 6) {
      case 0: {  // cut short in the middle of a record
        WriteSegmentCells(path, good);
        fs::resize_file(path, 128 * 200 + 1);
        break;
      }
      case 1: {  // oversized: a whole segment and a long tail of garbage
        WriteSegmentCells(path, good);
        std::ofstream(path, std::ios::app) << std::string(200000, '\x7f');
        break;
      }
      case 2: {  // garbage throughout, every cell value possible
        std::vector<unsigned char> d(kSegmentFileBytes);
        for (auto& b : d) b = static_cast<unsigned char>(rng());
        WriteBytes(path, d);
        break;
      }
      case 3: fs::create_directory(path); break;            // a directory in its place
      case 4: fs::create_symlink("/proc/self/mem", path); break;  // there, but every read fails
      default: break;                                        // missing
    }
  }
  const auto before = Listing(data);

  HeadlessPlatform plat(777);
  plat.SetUntil(777 + 150000);
  plat.HoldKeys(kKeySpace);  // the title starts a game at once, the hero throws
  auto g = std::make_unique<Game>(plat);
  g->dataDir = data;  // no sounds and no music here either
  g->recordPath = dir.File("records/Mor_vik_0.kvd");
  CountFrames count;
  g->observer = &count;
  int status = -1;
  testing::internal::CaptureStderr();
  try {
    RunProgram(*g);
  } catch (const ProgramEnd& e) {
    status = e.status;
  }
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0);
  EXPECT_GE(count.frames, 2000);  // played on, game after game
  EXPECT_GE(count.games, 2);
  EXPECT_EQ(Listing(data), before);  // not a byte of the data changed, nothing created there
  EXPECT_TRUE(fs::is_regular_file(g->recordPath));
  EXPECT_EQ(fs::file_size(g->recordPath), 665u * 128u);
  // The records and the lock taken while saving them.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("records")), fs::directory_iterator()), 2);
}

TEST(BadInput, RecordsThatCannotBeReadAreTheDefaultsAndAreLeftAsTheyAre) {
  Fixture f;
  Game& g = *f.g;
  // A record file that is there but fails every read (the player's link to it stays a link).
  fs::create_symlink("/proc/self/mem", g.recordPath);
  g.BestScore = 5000;
  g.BestCombo = 1;
  testing::internal::CaptureStderr();
  LoadRecords(g);
  EXPECT_EQ(g.BestScore, 5000);
  EXPECT_EQ(g.BestCombo, 1);
  g.Score = 7300;
  SaveRecords(g);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("cannot be read (Input/output error)"), std::string::npos) << said;
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(g.recordPath)));
  EXPECT_EQ(g.BestScore, 7300);  // the session keeps its best
}

TEST(BadInput, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewRecordsWhole) {
  TempDir dir;
  const std::string path = dir.File("Mor_vik_0.kvd");
  {
    HeadlessPlatform plat(0);
    Game g(plat);
    g.recordPath = path;
    g.BestScore = 100000;
    SaveRecords(g);
  }
  std::mt19937 rng(5);
  int seenNew = 0;
  const int rounds = 40;
  for (int round = 0; round < rounds; ++round) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves for ever, each time a better score than the one before; says
      // when the first save is through, so that every kill lands among saves.
      ::close(ready[0]);
      HeadlessPlatform plat(0);
      Game g(plat);
      g.recordPath = path;
      for (int32_t s = 100001;; ++s) {
        g.BestScore = s;
        SaveRecords(g);
        if (s == 100001) {
          const char one = 1;
          if (::write(ready[1], &one, 1) != 1) ::_exit(1);
        }
      }
    }
    ::close(ready[1]);
    char got = 0;
    const ssize_t r = ::read(ready[0], &got, 1);
    ::close(ready[0]);
    if (r == 1) std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
    ::kill(child, SIGKILL);
    int st = 0;
    ::waitpid(child, &st, 0);
    ASSERT_EQ(r, 1) << "round " << round;
    // The file is a complete record file holding one of the scores saved.
    ASSERT_EQ(fs::file_size(path), 665u * 128u) << "round " << round;
    HeadlessPlatform plat(0);
    Game g(plat);
    g.recordPath = path;
    LoadRecords(g);
    EXPECT_GE(g.BestScore, 100000) << "round " << round;
    seenNew += g.BestScore > 100000;
    // A save cut short leaves at most its own (hidden) temporary file beside it (and the lock).
    for (const auto& e : fs::directory_iterator(dir.Path())) {
      const std::string name = e.path().filename().string();
      if (name != "Mor_vik_0.kvd" && name != "Mor_vik_0.kvd.lock") {
        EXPECT_EQ(name.rfind(".Mor_vik_0.kvd.", 0), 0u) << name;
        fs::remove(e.path());
      }
    }
  }
  EXPECT_EQ(seenNew, rounds);  // a save got through before every kill
}

}  // namespace
}  // namespace morvik::test
