// SPDX-License-Identifier: GPL-3.0-or-later
// Demos: every kind of read survives the coding, a recorded game plays back
// to the same trace, and a damaged or foreign demo is refused, never played.
#include <gtest/gtest.h>


#include <fstream>
#include <iterator>
#include <sstream>

#include "app/demo.hpp"
#include "app/command_line.hpp"
#include "app/run.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Demo, EveryKindOfReadCodesAndDecodesToItself) {
  std::vector<DemoEvent> events;
  auto add = [&](DemoRead k, int32_t arg, uint32_t value, bool yes) {
    DemoEvent e;
    e.kind = k, e.arg = arg, e.value = value, e.yes = yes;
    events.push_back(e);
  };
  add(DemoRead::kClock, 0, 1000, false);       // far from the start
  add(DemoRead::kClock, 0, 1035, false);       // a frame later
  add(DemoRead::kClock, 0, 1035, false);       // the same ms
  add(DemoRead::kClock, 0, 900, false);        // backwards (a clock that wrapped or was reset)
  add(DemoRead::kClock, 0, 0xFFFFFFF0u, false);
  add(DemoRead::kClock, 0, 5, false);          // across the wrap
  for (int vk : std::initializer_list<int>{VK_SPACE, VK_ESCAPE, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_P, VK_Z, 65, -3})
    for (bool down : {false, true}) add(DemoRead::kKey, vk, 0, down);
  for (bool yes : {false, true}) {
    add(DemoRead::kClose, 0, 0, yes);
    add(DemoRead::kFocusLoss, 0, 0, yes);
  }
  add(DemoRead::kJoyCount, 0, 2, false);
  add(DemoRead::kJoyArrivals, 0, 70000, false);
  add(DemoRead::kDepth, 0, 32, false);
  DemoEvent joy;
  joy.kind = DemoRead::kJoyRead, joy.arg = 1, joy.yes = true, joy.joy = {65535, 0, 0x80000001u};
  events.push_back(joy);
  add(DemoRead::kJoyRead, 0, 0, false);  // a failed read

  std::vector<uint8_t> raw;
  uint32_t clock = 0;
  for (const DemoEvent& e : events) EncodeDemoEvent(e, clock, raw);
  EXPECT_LT(raw.size(), events.size() * 3);  // compact: most reads are one byte

  size_t pos = 0;
  clock = 0;
  for (const DemoEvent& want : events) {
    DemoEvent got;
    ASSERT_TRUE(DecodeDemoEvent(raw, pos, clock, got)) << DescribeDemoEvent(want);
    EXPECT_EQ(got.kind, want.kind);
    if (want.kind == DemoRead::kClock || want.kind == DemoRead::kJoyCount || want.kind == DemoRead::kJoyArrivals ||
        want.kind == DemoRead::kDepth) {
      EXPECT_EQ(got.value, want.value) << DescribeDemoEvent(want);
    }
    if (want.kind == DemoRead::kKey || want.kind == DemoRead::kJoyRead) {
      EXPECT_EQ(got.arg, want.arg);
    }
    if (want.kind != DemoRead::kClock && want.kind != DemoRead::kJoyCount) {
      EXPECT_EQ(got.yes, want.yes);
    }
    if (want.kind == DemoRead::kJoyRead && want.yes) {
      EXPECT_EQ(got.joy.x, want.joy.x);
      EXPECT_EQ(got.joy.y, want.joy.y);
      EXPECT_EQ(got.joy.buttons, want.joy.buttons);
    }
  }
  DemoEvent none;
  EXPECT_FALSE(DecodeDemoEvent(raw, pos, clock, none));  // the end
}

class RecordedGame : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    Options o;
    o.headless = true;
    o.bot = true;
    o.hasUntil = true;
    o.untilMs = 40000;
    o.recordDemo = dir_->File("a.demo");
    o.trace = dir_->File("a.jsonl");
    status_ = RunHeadless(o, MORVIK_BINARY_DIR, dir_->File("Mor_vik_0.kvd"));
  }
  static void TearDownTestSuite() { delete dir_; }

  static int Replay(const std::string& demo, const std::string& trace) {
    Options o;
    o.headless = true;
    o.playDemo = demo;
    o.trace = trace;
    return RunHeadless(o, MORVIK_BINARY_DIR, dir_->File("replay_records.kvd"));
  }

  static TempDir* dir_;
  static int status_;
};
TempDir* RecordedGame::dir_ = nullptr;
int RecordedGame::status_ = -1;

TEST_F(RecordedGame, PlaysBackToTheSameTraceAndWritesNoRecords) {
  ASSERT_EQ(status_, 0);
  const std::string want = Slurp(dir_->File("a.jsonl"));
  ASSERT_GT(want.size(), 1000u);
  // The hero stood on ground (alive, neither rising nor falling): the course was there.
  bool stood = false;
  for (size_t at = want.find("\"HeroVY\":0,"); at != std::string::npos && !stood;
       at = want.find("\"HeroVY\":0,", at + 1)) {
    const size_t state = want.find(',', at + 12) + 1;  // past "HeroFrame"
    stood = want.compare(state, 14, "\"HeroState\":0,") == 0;
  }
  EXPECT_TRUE(stood) << "the hero never stood on ground: is the course missing?";
  EXPECT_EQ(Replay(dir_->File("a.demo"), dir_->File("b.jsonl")), 0);
  EXPECT_TRUE(Slurp(dir_->File("b.jsonl")) == want) << "the replay's trace differs from the recording's";
  EXPECT_FALSE(std::filesystem::exists(dir_->File("replay_records.kvd")));
}

TEST_F(RecordedGame, ADamagedOrForeignDemoIsRefusedWithoutPlaying) {
  ASSERT_EQ(status_, 0);
  const std::string good = Slurp(dir_->File("a.demo"));
  ASSERT_GT(good.size(), 60u);
  std::vector<std::pair<std::string, std::string>> bad = {
      {"empty", ""},
      {"magic only", good.substr(0, 8)},
      {"truncated", good.substr(0, good.size() - 7)},
      {"one byte more", good + "x"},
      {"not a demo", std::string(4096, 'x')},
  };
  for (size_t at : {size_t{9}, size_t{12}, good.size() / 2, good.size() - 2}) {
    std::string flipped = good;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x20);
    bad.emplace_back("byte " + std::to_string(at) + " changed", flipped);
  }
  {
    // Another program version, with its checksum made right: still refused.
    DemoHeader h;
    std::vector<uint8_t> raw;
    std::string err;
    ASSERT_TRUE(ReadDemoBytes(reinterpret_cast<const uint8_t*>(good.data()), good.size(), h, raw, err)) << err;
    h.program = "morvik 0.9";
    const std::vector<uint8_t> other = WriteDemoBytes(h, raw);
    bad.emplace_back("another version", std::string(other.begin(), other.end()));
    // A version line that would recolour the terminal is shown escaped.
    h.program = "morvik 9\x1b[2J\nmorvik: forged";
    const std::vector<uint8_t> hostile = WriteDemoBytes(h, raw);
    DemoHeader back;
    EXPECT_FALSE(ReadDemoBytes(hostile.data(), hostile.size(), back, raw, err));
    EXPECT_NE(err.find("morvik 9\\x1B[2J\\x0Amorvik: forged"), std::string::npos) << err;
    h.program = VersionText();
    h.format = kDemoFormat + 1;
    const std::vector<uint8_t> later = WriteDemoBytes(h, raw);
    bad.emplace_back("a later format", std::string(later.begin(), later.end()));
  }
  for (const auto& [what, bytes] : bad) {
    const std::string path = dir_->File("bad.demo");
    Spit(path, bytes);
    std::filesystem::remove(dir_->File("bad.jsonl"));
    EXPECT_EQ(Replay(path, dir_->File("bad.jsonl")), 2) << what;
    EXPECT_FALSE(std::filesystem::exists(dir_->File("bad.jsonl"))) << what << ": played although refused";
  }
  EXPECT_EQ(Replay(dir_->File("no such.demo"), dir_->File("bad.jsonl")), 2);
}

TEST_F(RecordedGame, ADemoCutShortStopsTheReplayCleanly) {
  ASSERT_EQ(status_, 0);
  const std::string good = Slurp(dir_->File("a.demo"));
  DemoHeader h;
  std::vector<uint8_t> raw;
  std::string err;
  ASSERT_TRUE(ReadDemoBytes(reinterpret_cast<const uint8_t*>(good.data()), good.size(), h, raw, err)) << err;
  // Keep the first half of the reads, as a recording cut off by a crash would.
  size_t pos = 0, reads = 0;
  uint32_t clock = h.clockFirst;
  DemoEvent e;
  while (reads < h.reads / 2 && DecodeDemoEvent(raw, pos, clock, e)) ++reads;
  raw.resize(pos);
  h.reads = static_cast<uint32_t>(reads);
  const std::vector<uint8_t> cut = WriteDemoBytes(h, raw);
  Spit(dir_->File("cut.demo"), std::string(cut.begin(), cut.end()));
  EXPECT_EQ(Replay(dir_->File("cut.demo"), dir_->File("cut.jsonl")), 1);
  // Everything it did play is the recording's own beginning.
  const std::string part = Slurp(dir_->File("cut.jsonl")), whole = Slurp(dir_->File("a.jsonl"));
  ASSERT_GT(part.size(), 0u);
  EXPECT_EQ(whole.compare(0, part.size(), part), 0);
}

}  // namespace
}  // namespace morvik::test
