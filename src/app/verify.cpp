// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/verify.hpp"

#include <time.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "app/demo.hpp"
#include "app/command_line.hpp"
#include "core/printable.hpp"
#include "game.hpp"
#include "platform/headless/headless_platform.hpp"

namespace morvik {

namespace {

// Ends a replay from inside the game. Not a std::exception, so that the
// game's own "ignore the error and go on" steps let it through.
struct StopReplay {
  Verdict::Kind kind;
  std::string reason;
};

double ThreadCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Keeps the replay within its limits. Every clock read passes through here,
// so a demo that idles on the title (no play frames at all) is held to the
// processor limit as well as one that plays.
class Budget : public PlatformRelay {
 public:
  Budget(Platform& inner, const VerifyLimits& limits)
      : PlatformRelay(inner), limits_(limits), cpuStart_(ThreadCpuSeconds()) {}

  uint32_t Clock() override {
    if (++reads_ % 256 == 0) Check();
    return in_.Clock();
  }

  // Every few hundred play frames: the processor time, and the caller's say.
  void Check() {
    const double used = ThreadCpuSeconds() - cpuStart_;
    if (used > limits_.maxCpuSeconds)
      throw StopReplay{Verdict::kRejected, "the replay took more than " + Seconds(limits_.maxCpuSeconds) +
                                               " of processor time"};
    if (limits_.progress && !limits_.progress()) throw StopReplay{Verdict::kStopped, "the replay was stopped"};
  }

 private:
  static std::string Seconds(double s) {
    return s >= 1 ? std::to_string(static_cast<long long>(s)) + " s" : std::to_string(s) + " s";
  }
  const VerifyLimits& limits_;
  double cpuStart_;
  uint64_t reads_ = 0;
};

// Counts the play frames and games, and keeps the best of each game's score
// and combo as the record file would.
class Tally : public FrameObserver {
 public:
  Tally(Budget& budget, const VerifyLimits& limits) : budget_(budget), limits_(limits) {}
  void OnPlayFrame(Game& g) override {
    ++frames;
    if (g.playFrame == 1) ++games;
    score = std::max(score, g.Score);
    maxCombo = std::max<int32_t>(maxCombo, g.MaxCombo);
    if (frames > limits_.maxFrames)
      throw StopReplay{Verdict::kRejected,
                       "the replay plays more than " + std::to_string(limits_.maxFrames) + " frames"};
    if (frames % 256 == 1) budget_.Check();
  }
  int64_t frames = 0;
  int32_t games = 0;
  int32_t score = 0;
  int32_t maxCombo = 100;

 private:
  Budget& budget_;
  const VerifyLimits& limits_;
};

}  // namespace

namespace {
bool ReadDemo(const uint8_t* data, size_t size, const VerifyLimits& limits, DemoHeader& header,
              std::vector<uint8_t>& raw, std::string& why) {
  if (size == 0) {
    why = "the demo is empty";
    return false;
  }
  if (size > limits.maxBytes) {
    why = "the demo is larger than " + std::to_string(limits.maxBytes) + " bytes";
    return false;
  }
  // The stream's unpacked size is looked at before anything is unpacked:
  // it follows the version line (of n bytes at offset 11) and 15 bytes more.
  if (size >= 12 && size >= 30u + data[10]) {
    const uint8_t* p = data + 26 + data[10];
    const uint32_t stream = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    const bool ours = std::memcmp(data, "MORVIKDM", 8) == 0 && (data[8] | (data[9] << 8)) == kDemoFormat;
    if (ours && stream > limits.maxStream) {
      why = "the demo's reads unpack to more than " + std::to_string(limits.maxStream >> 20) + " MiB";
      return false;
    }
  }
  if (ReadDemoBytes(data, size, header, raw, why)) return true;
  // A demo of another version cannot replay here: say which, and which this is.
  if (!header.program.empty() && header.program != VersionText())
    why = "the demo was recorded by " + Printable(header.program) + "; this server plays " + VersionText() +
          ", and the board is kept per version";
  return false;
}
}  // namespace

bool CheckDemoBytes(const uint8_t* data, size_t size, const VerifyLimits& limits, std::string& why) {
  DemoHeader header;
  std::vector<uint8_t> raw;
  return ReadDemo(data, size, limits, header, raw, why);
}

Verdict VerifyDemo(const uint8_t* data, size_t size, const std::string& dataDir, const VerifyLimits& limits) {
  Verdict v;
  auto reject = [&](std::string why) {
    v.kind = Verdict::kRejected;
    v.reason = std::move(why);
    return v;
  };
  DemoHeader header;
  std::vector<uint8_t> raw;
  std::string err;
  if (!ReadDemo(data, size, limits, header, raw, err)) {
    v.version = Printable(header.program);
    return reject(err);
  }
  v.version = header.program;

  // The platform under the demo only counts frames and keeps the picture;
  // nothing it hears is kept.
  HeadlessPlatform headless(header.clockFirst);
  headless.SetAudioLogLimit(0);
  DemoPlayer player(headless, header, std::move(raw), "", false);
  player.SetQuiet(true);
  Budget budget(player, limits);
  Tally tally(budget, limits);

  auto g = std::make_unique<Game>(budget, limits.pictures);
  g->dataDir = dataDir;
  g->recordPath.clear();
  g->recordsFrozen = true;  // neither read nor written
  g->BestScore = header.bestScore;
  g->BestCombo = header.bestCombo;
  g->observer = &tally;

  int status = 0;
  try {
    RunProgram(*g);
  } catch (const ProgramEnd& e) {
    status = e.status;
  } catch (const StopReplay& s) {
    v.kind = s.kind;
    v.reason = s.reason;
    v.frames = tally.frames;
    v.games = tally.games;
    return v;
  } catch (const std::exception& e) {
    return reject(std::string("the replay failed (") + e.what() + ")");
  }
  v.frames = tally.frames;
  v.games = tally.games;
  // Its words begin "the demo  does not match ...": the player has no name here.
  auto words = [&] {
    std::string m = player.Message();
    const std::string unnamed = "the demo  ";
    if (m.rfind(unnamed, 0) == 0) m = "the demo " + m.substr(unnamed.size());
    return m;
  };
  if (status == 1)
    return reject(words() + ": a whole recording runs to the program's close");
  if (status != 0) return reject(words().empty() ? "the replay ended with status " + std::to_string(status) : words());
  if (!player.Finished())
    return reject("the game ended before the demo did (after " + std::to_string(player.ReadsDone()) +
                  " reads); the demo does not match this program");
  if (tally.games == 0) return reject("the demo plays no game");
  v.kind = Verdict::kVerified;
  v.score = tally.score;
  v.combo = std::max(0, tally.maxCombo - 100);
  return v;
}

bool CheckPlayerName(const std::string& name, std::string& why) {
  const std::string rule = "a name is 1 to " + std::to_string(kMaxPlayerName) +
                           " letters, digits, spaces, '-', '_' or '.'";
  if (name.empty()) {
    why = "no name given: " + rule;
    return false;
  }
  if (name.size() > kMaxPlayerName) {
    why = "the name is too long: " + rule;
    return false;
  }
  for (unsigned char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) {
      why = "the name holds a character a name cannot: " + rule;
      return false;
    }
  }
  if (name.front() == ' ' || name.back() == ' ') {
    why = "a name cannot start or end with a space";
    return false;
  }
  return true;
}

}  // namespace morvik
