// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/verify.hpp"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "app/demo.hpp"
#include "app/command_line.hpp"
#include "app/run.hpp"
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

class Tally;

// Keeps the replay within its limits. Every clock read passes through here,
// so a demo that idles on the title (no play frames at all) is held to the
// processor limit as well as one that plays; so are the frames the title
// shows before the first game, and the clock's direction.
class Budget : public PlatformRelay {
 public:
  Budget(Platform& inner, const VerifyLimits& limits, const DemoHeader& h)
      : PlatformRelay(inner), limits_(limits), cpuStart_(ThreadCpuSeconds()), last_(h.clockFirst),
        cpuLimit_(std::min(limits.maxCpuSeconds,
                           limits.cpuSecondsBase + limits.cpuSecondsPerRead * static_cast<double>(h.reads))) {}

  uint32_t Clock() override {
    const uint32_t v = in_.Clock();
    ++reads_;
    // A real clock only goes forward (once round its 32 bits, which reads
    // as a step forward). A jump ahead may be a machine that slept.
    if (static_cast<int32_t>(v - last_) < 0)
      throw StopReplay{Verdict::kRejected, "the replay's clock runs backwards at clock read " + std::to_string(reads_) +
                                               " (from " + std::to_string(last_) + " to " + std::to_string(v) + " ms)"};
    last_ = v;
    if (reads_ % 256 == 0) Check();
    return v;
  }

  void Yield() override {
    if (!playing && ++titleFrames_ > limits_.maxTitleFrames)
      throw StopReplay{Verdict::kRejected, "the replay stays on the title for more than " +
                                               std::to_string(limits_.maxTitleFrames) + " frames before its first game"};
    in_.Yield();
  }

  // Every few hundred play frames: the processor time, and the caller's say.
  void Check() {
    const double used = ThreadCpuSeconds() - cpuStart_;
    if (used > cpuLimit_)
      throw StopReplay{Verdict::kRejected, "the replay took more than " + Seconds(cpuLimit_) +
                                               " of processor time, more than its reads can need"};
    if (limits_.progress && !limits_.progress()) throw StopReplay{Verdict::kStopped, "the replay was stopped"};
  }

  bool playing = false;  // a game has started

 private:
  static std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f s", s);
    return buf;
  }
  const VerifyLimits& limits_;
  double cpuStart_;
  uint32_t last_;
  double cpuLimit_;
  uint64_t reads_ = 0;
  int64_t titleFrames_ = 0;
};

// Counts the play frames and games, and keeps the best of each game's score
// and combo as the record file would, of the games played to their end.
class Tally : public FrameObserver {
 public:
  Tally(Budget& budget, DemoPlayer& player, const VerifyLimits& limits)
      : budget_(budget), player_(player), limits_(limits) {}
  void OnPlayFrame(Game& g) override {
    if (limits_.watch) {
      // What the watcher reads (the clock of a trace) is not the replay's.
      player_.SetObserving(true);
      limits_.watch->OnPlayFrame(g);
      player_.SetObserving(false);
    }
    ++frames_;
    budget_.playing = true;
    if (g.playFrame == 1) {
      gameFrames_ = 0;
      gameScore_ = 0;
      gameCombo_ = 100;
      gameMs_ = 0;
      slowdown_ = 0;
    }
    if (frames_ > limits_.maxFrames)
      throw StopReplay{Verdict::kRejected,
                       "the replay plays more than " + std::to_string(limits_.maxFrames) + " frames"};
    if (frames_ % 256 == 1) budget_.Check();
    // A game on a ticket: only that game counts (the session's later ones do not).
    if (ticketOnly && !g.board.playing) return;
    ++gameFrames_;
    // The frame waited its period (35 ms, more in the game over) before it ran.
    gameMs_ += 35 + slowdown_;
    slowdown_ = g.FrameSlowdown;
    gameScore_ = std::max(gameScore_, g.Score);
    gameCombo_ = std::max<int32_t>(gameCombo_, g.MaxCombo);
  }
  void OnGameEnd(Game&) override { Commit(); }
  void Commit() {
    if (gameFrames_ == 0) return;
    ++games;
    frames += gameFrames_;
    playMs += gameMs_;
    score = std::max(score, gameScore_);
    maxCombo = std::max(maxCombo, gameCombo_);
    gameFrames_ = 0;
  }
  // Play frames of a game under way when the replay ended.
  int64_t Unfinished() const { return gameFrames_; }
  // The game under way counts as the program's close counts it (its score
  // goes to the records); a best game's replay whose reads run out in the
  // middle of a game was cut there, and that game does not count.
  void Closed() { Commit(); }
  int64_t frames = 0;  // of the games played to their end
  int64_t playMs = 0;
  bool ticketOnly = false;
  int32_t games = 0;
  int32_t score = 0;
  int32_t maxCombo = 100;

 private:
  Budget& budget_;
  DemoPlayer& player_;
  const VerifyLimits& limits_;
  int64_t frames_ = 0, gameFrames_ = 0, gameMs_ = 0, slowdown_ = 0;
  int32_t gameScore_ = 0, gameCombo_ = 100;
};

}  // namespace

namespace {
// The header alone, within the limits: what a request can afford to check.
bool ReadHeaderWithin(const uint8_t* data, size_t size, const VerifyLimits& limits, DemoHeader& header,
                      std::string& why) {
  if (size == 0) {
    why = "the demo is empty";
    return false;
  }
  if (size > limits.maxBytes) {
    why = "the demo is larger than " + std::to_string(limits.maxBytes) + " bytes";
    return false;
  }
  uint32_t stream = 0;
  if (!ReadDemoHeader(data, size, header, stream, why)) {
    // A demo of another version cannot replay here: say which, and which this is.
    if (!header.program.empty() && header.program != VersionText())
      why = "the demo was recorded by " + Printable(header.program) + "; this server plays " + VersionText() +
            ", and the board is kept per version";
    return false;
  }
  if (stream > limits.maxStream) {
    why = "the demo's reads unpack to more than " + std::to_string(limits.maxStream >> 20) + " MiB";
    return false;
  }
  return true;
}

// The header checked first, then the stream unpacked and every read decoded.
bool ReadDemo(const uint8_t* data, size_t size, const VerifyLimits& limits, DemoHeader& header,
              std::vector<uint8_t>& raw, std::string& why) {
  return ReadHeaderWithin(data, size, limits, header, why) && ReadDemoBytes(data, size, header, raw, why);
}
}  // namespace

bool CheckDemoHeader(const uint8_t* data, size_t size, const VerifyLimits& limits, std::string& why,
                     DemoHeader* header) {
  DemoHeader h;
  const bool ok = ReadHeaderWithin(data, size, limits, h, why);
  if (header) *header = h;
  return ok;
}

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
  Budget budget(player, limits, header);
  Tally tally(budget, player, limits);

  auto g = std::make_unique<Game>(budget, limits.pictures);
  g->dataDir = dataDir;
  g->recordPath.clear();
  TakeDemoHeader(*g, header);
  tally.ticketOnly = header.hasTicket;
  v.hasTicket = header.hasTicket;
  v.ticket = header.ticket;
  v.bot = header.bot;
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
  if (!player.RanOut()) tally.Closed();
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
  if (tally.games == 0) {
    if (header.hasTicket) return reject("the demo plays no game to its end on its ticket");
    return reject(tally.Unfinished() > 0 ? "the demo plays no game to its end" : "the demo plays no game");
  }
  v.kind = Verdict::kVerified;
  v.playMs = tally.playMs;
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
