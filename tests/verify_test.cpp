// SPDX-License-Identifier: GPL-3.0-or-later
// The leaderboard's verifier: a submitted game counts for what its replay
// reaches, the same as the program's own playback, and for nothing else.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/demo.hpp"
#include "app/command_line.hpp"
#include "app/run.hpp"
#include "app/verify.hpp"
#include "core/files.hpp"
#include "game.hpp"
#include "platform/headless/headless_platform.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// The best score and combo count, frames and games of a trace digest
// ("FRAME t.. ... score12 kills3 combo104 HASH" a play frame).
struct Digest {
  int32_t score = 0, combo = 0;
  int64_t frames = 0;
  int32_t games = 0;
};
Digest ReadDigest(const std::string& path) {
  Digest d;
  std::ifstream f(path);
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    ++d.frames;
    if (word == "1") ++d.games;
    while (in >> word) {
      if (word.rfind("score", 0) == 0) d.score = std::max(d.score, std::stoi(word.substr(5)));
      if (word.rfind("combo", 0) == 0) d.combo = std::max(d.combo, std::stoi(word.substr(5)) - 100);
    }
  }
  return d;
}

// The program's own headless playback of a demo: its status, and its digest.
int PlayBack(const TempDir& dir, const std::vector<uint8_t>& demo, Digest& d) {
  const std::string path = dir.File("played.demo"), digest = dir.File("played.digest");
  std::string err;
  EXPECT_TRUE(ReplaceFile(path, {reinterpret_cast<const char*>(demo.data()), demo.size()}, err)) << err;
  std::filesystem::remove(digest);
  Options o;
  o.headless = true;
  o.playDemo = path;
  o.traceDigest = digest;
  const int status = RunHeadless(o, MORVIK_BINARY_DIR, dir.File("records.kvd"));
  d = ReadDigest(digest);
  return status;
}

// A demo's reads with `change` applied to each, written back whole.
template <class F>
std::vector<uint8_t> Rewrite(const std::vector<uint8_t>& demo, F change) {
  DemoHeader h;
  std::vector<uint8_t> raw, out;
  std::string err;
  EXPECT_TRUE(ReadDemoBytes(demo.data(), demo.size(), h, raw, err)) << err;
  size_t pos = 0;
  uint32_t in = h.clockFirst, clock = h.clockFirst;
  uint32_t reads = 0;
  DemoEvent e;
  for (uint32_t i = 0; DecodeDemoEvent(raw, pos, in, e); ++i)
    if (change(i, h.reads, e)) {
      EncodeDemoEvent(e, clock, out);
      ++reads;
    }
  h.reads = reads;
  return WriteDemoBytes(h, out);
}

// A short game of the automatic player's, recorded once for the tests below.
class Verify : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    Options o;
    o.headless = true;
    o.bot = true;
    o.hasUntil = true;
    o.untilMs = 30000;  // the opening, the title and some twenty seconds of play
    o.recordDemo = dir_->File("short.demo");
    ASSERT_EQ(RunHeadless(o, MORVIK_BINARY_DIR, dir_->File("records.kvd")), 0);
    short_ = new std::vector<uint8_t>(ReadBytes(o.recordDemo));
  }
  static void TearDownTestSuite() {
    delete short_;
    delete dir_;
  }
  static TempDir* dir_;
  static std::vector<uint8_t>* short_;
};
TempDir* Verify::dir_ = nullptr;
std::vector<uint8_t>* Verify::short_ = nullptr;

TEST_F(Verify, AKnownGameCountsForItsTracesBestWhateverItsHeaderClaimsOnAnyThreadTouchingNoFile) {
  const std::vector<uint8_t> bot = ReadBytes(std::string(MORVIK_SOURCE_DIR) + "/tests/demos/bot.demo");
  const Digest want = ReadDigest(std::string(MORVIK_SOURCE_DIR) + "/tests/demos/bot.digest");
  ASSERT_EQ(want.frames, 12945);
  const Verdict plain = VerifyDemo(short_->data(), short_->size(), MORVIK_BINARY_DIR);
  ASSERT_EQ(plain.kind, Verdict::kVerified) << plain.reason;
  // The short game with a record of 99,999,999 in its header: the header is
  // the client's word, the replay is the game.
  std::vector<uint8_t> forged = *short_;
  const size_t at = 16 + forged[10];
  forged[at] = 0xFF, forged[at + 1] = 0xE0, forged[at + 2] = 0xF5, forged[at + 3] = 0x05;
  const uint32_t crc = static_cast<uint32_t>(::crc32(0, forged.data(), static_cast<uInt>(forged.size() - 4)));
  for (int i = 0; i < 4; ++i) forged[forged.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));

  // Both at once, on two threads, in an empty folder that is home and
  // working folder alike: nothing may appear in it.
  TempDir home;
  const std::string was = std::filesystem::current_path();
  std::filesystem::current_path(home.Path());
  std::vector<std::pair<const char*, std::string>> env;
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
    env.emplace_back(name, std::getenv(name) ? std::getenv(name) : "");
    ::setenv(name, home.Path().c_str(), 1);
  }
  Verdict a, b;
  std::thread ta([&] { a = VerifyDemo(bot.data(), bot.size(), MORVIK_BINARY_DIR); });
  std::thread tb([&] { b = VerifyDemo(forged.data(), forged.size(), MORVIK_BINARY_DIR); });
  ta.join();
  tb.join();
  std::filesystem::current_path(was);
  for (const auto& [name, value] : env) value.empty() ? ::unsetenv(name) : ::setenv(name, value.c_str(), 1);
  EXPECT_TRUE(std::filesystem::is_empty(home.Path()));
  ASSERT_EQ(a.kind, Verdict::kVerified) << a.reason;
  EXPECT_EQ(a.score, want.score);
  EXPECT_EQ(a.combo, want.combo);
  EXPECT_EQ(a.frames, want.frames);
  EXPECT_EQ(a.games, want.games);
  EXPECT_EQ(a.version, VersionText());
  ASSERT_EQ(b.kind, Verdict::kVerified) << b.reason;
  EXPECT_EQ(b.score, plain.score);
  EXPECT_EQ(b.combo, plain.combo);
  EXPECT_EQ(b.frames, plain.frames);
  EXPECT_GT(b.frames, 200);
}

TEST_F(Verify, ChangedKeyReadsCountForTheirOwnReplayOrAreRejectedAsTheProgramWould) {
  TempDir dir;
  // The action key held through a stretch of the game, then let go through
  // another stretch, then Left held: the hero throws where it did not, and
  // the other way, and walks elsewhere.
  for (auto [from, to, key, down] : {std::tuple{0.55, 0.65, VK_SPACE, true}, std::tuple{0.70, 0.80, VK_SPACE, false},
                                     std::tuple{0.60, 0.90, VK_LEFT, true}}) {
    const std::vector<uint8_t> changed = Rewrite(*short_, [&](uint32_t i, uint32_t n, DemoEvent& e) {
      if (e.kind == DemoRead::kKey && e.arg == key && i > from * n && i < to * n) e.yes = down;
      return true;
    });
    const Verdict v = VerifyDemo(changed.data(), changed.size(), MORVIK_BINARY_DIR);
    Digest own;
    const int status = PlayBack(dir, changed, own);
    std::printf("changed reads: %s (score %d, %lld frames)\n", v.kind == Verdict::kVerified ? "verified" : v.reason.c_str(),
                v.score, static_cast<long long>(v.frames));
    if (v.kind == Verdict::kVerified) {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(v.score, own.score);
      EXPECT_EQ(v.combo, own.combo);
      EXPECT_EQ(v.frames, own.frames);
    } else {
      EXPECT_NE(status, 0) << "rejected, though the program plays it through: " << v.reason;
      EXPECT_NE(v.reason.find("does not match"), std::string::npos) << v.reason;
    }
  }
}

TEST_F(Verify, ForeignCutShortOverlongAndStoppedReplaysAreRejectedWithTheReasonInWords) {
  const std::vector<uint8_t>& good = *short_;

  auto reason = [&](const std::vector<uint8_t>& bytes, VerifyLimits limits = {}) {
    const Verdict v = VerifyDemo(bytes.data(), bytes.size(), MORVIK_BINARY_DIR, limits);
    EXPECT_EQ(v.kind, limits.progress ? Verdict::kStopped : Verdict::kRejected);
    return v.reason;
  };
  DemoHeader h;
  std::vector<uint8_t> raw;
  std::string err;
  ASSERT_TRUE(ReadDemoBytes(good.data(), good.size(), h, raw, err)) << err;
  h.program = "morvik 0.9.9";
  const std::string foreign = reason(WriteDemoBytes(h, raw));
  EXPECT_NE(foreign.find("morvik 0.9.9"), std::string::npos) << foreign;
  EXPECT_NE(foreign.find(VersionText()), std::string::npos) << foreign;
  EXPECT_NE(reason({'M', 'O', 'R'}).find("not a demo"), std::string::npos);
  EXPECT_NE(reason({}).find("empty"), std::string::npos);
  // Cut before the program's close: a whole recording ends with it.
  const std::vector<uint8_t> cut = Rewrite(good, [](uint32_t i, uint32_t n, DemoEvent&) { return i + 20 < n; });
  EXPECT_NE(reason(cut).find("ends after"), std::string::npos) << reason(cut);

  VerifyLimits frames;
  frames.maxFrames = 40;
  EXPECT_NE(reason(good, frames).find("more than 40 frames"), std::string::npos) << reason(good, frames);
  VerifyLimits cpu;
  cpu.maxCpuSeconds = 1e-6;
  EXPECT_NE(reason(good, cpu).find("processor time"), std::string::npos) << reason(good, cpu);
  VerifyLimits bytes;
  bytes.maxBytes = good.size() - 1;
  EXPECT_NE(reason(good, bytes).find("larger"), std::string::npos);
  VerifyLimits stream;
  stream.maxStream = 100;
  EXPECT_NE(reason(good, stream).find("unpack"), std::string::npos);
  VerifyLimits stop;
  stop.progress = [] { return false; };
  reason(good, stop);

  // A best game's replay cut in the middle of its game: that game does not count.
  auto endsWithGame = [](const std::vector<uint8_t>& d) {
    DemoHeader hh;
    std::vector<uint8_t> rr;
    std::string e;
    EXPECT_TRUE(ReadDemoBytes(d.data(), d.size(), hh, rr, e)) << e;
    hh.endsWithGame = true;
    return WriteDemoBytes(hh, rr);
  };
  EXPECT_NE(reason(endsWithGame(cut)).find("no game to its end"), std::string::npos) << reason(endsWithGame(cut));
  // A clock that goes back a second in the middle of the game.
  bool back = false;
  const std::vector<uint8_t> backwards = Rewrite(good, [&](uint32_t i, uint32_t n, DemoEvent& e) {
    if (!back && i > n / 2 && e.kind == DemoRead::kClock) {
      e.value -= 1000;
      back = true;
    }
    return true;
  });
  EXPECT_NE(reason(backwards).find("runs backwards"), std::string::npos) << reason(backwards);
  VerifyLimits title;
  title.maxTitleFrames = 20;
  EXPECT_NE(reason(good, title).find("on the title for more than 20 frames"), std::string::npos) << reason(good, title);
}

TEST_F(Verify, WatchedAtItsPaceAClockThatJumpsWeeksAheadEndsTheWatchingWithItsReason) {
  // A jump ahead stays a whole replay (a machine may sleep); watching cannot follow it.
  bool jumped = false;
  const std::vector<uint8_t> jump = Rewrite(*short_, [&](uint32_t i, uint32_t n, DemoEvent& e) {
    jumped = jumped || (i > n / 2 && e.kind == DemoRead::kClock);
    if (jumped && e.kind == DemoRead::kClock) e.value += 2'000'000'000u;
    return true;
  });
  EXPECT_EQ(VerifyDemo(jump.data(), jump.size(), MORVIK_BINARY_DIR).kind, Verdict::kVerified);
  DemoHeader h;
  std::vector<uint8_t> raw;
  std::string err;
  ASSERT_TRUE(ReadDemoBytes(jump.data(), jump.size(), h, raw, err)) << err;
  HeadlessPlatform headless(h.clockFirst);
  DemoPlayer player(headless, h, std::move(raw), "jump", true);
  player.SetQuiet(true);
  auto g = std::make_unique<Game>(player);
  g->dataDir = MORVIK_BINARY_DIR;
  g->recordPath.clear();
  g->recordsFrozen = true;
  int status = -1;
  try {
    RunProgram(*g);
  } catch (const ProgramEnd& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 0);
  EXPECT_NE(player.Message().find("jumps ahead"), std::string::npos) << player.Message();
  EXPECT_FALSE(player.Finished());
}

TEST(VerifyNames, NamesOnTheBoardArePlainWords) {
  std::string why;
  for (const char* good : {"Ann", "x", "Ann-2_b.c", "Big Al", "abcdefghijklmnopqrst"})
    EXPECT_TRUE(CheckPlayerName(good, why)) << good << ": " << why;
  for (const char* bad : {"", "abcdefghijklmnopqrstu", "<img src=x onerror=alert(1)>", " Ann", "Ann ", "Åsa",
                          "a\tb", "a/b", "a\"b"}) {
    why.clear();
    EXPECT_FALSE(CheckPlayerName(bad, why)) << bad;
    EXPECT_FALSE(why.empty());
  }
}

}  // namespace
}  // namespace morvik::test
