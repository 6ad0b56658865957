// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checking a submitted game by playing it: the demo's reads are fed to the
// game itself, headless and flat out, and what counts is what that replay
// reaches — never the records the demo's header says it started with.
//
// Nothing is read but the course files of the data folder and nothing is
// written: no record file, no settings, no trace. Several verifications may
// run at once on different threads.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "app/demo.hpp"

namespace morvik {

class FrameObserver;

struct VerifyLimits {
  size_t maxBytes = size_t{1} << 20;   // the demo file
  // Its read stream unpacked: a 1 MiB file could unpack to 256 MiB, where
  // two million play frames take some 20 MB. Only a verifier unpacks it.
  size_t maxStream = size_t{32} << 20;
  int64_t maxFrames = 2'000'000;       // play frames over all its games
  // Frames on the title before the first game: a game left there idles
  // (about six minutes at the title's pace).
  int64_t maxTitleFrames = 10'000;
  // Processor time of this thread: what a replay of this many reads can
  // honestly take (a base, and so much a read, with a wide margin), at most
  // maxCpuSeconds.
  double cpuSecondsBase = 2;
  double cpuSecondsPerRead = 20e-6;
  double maxCpuSeconds = 60;
  // Called every few hundred frames while the replay runs (a verifier
  // renews its claim on the run there); returning false stops the replay.
  std::function<bool()> progress;
  // The replay draws nothing but the collision map, which is all a verdict
  // reads; with pictures it draws every frame as the window would (only to
  // compare the two: the verdict is the same).
  bool pictures = false;
  // Sees every play frame of the replay too (a trace of it), when given.
  FrameObserver* watch = nullptr;
};

struct Verdict {
  enum Kind { kVerified, kRejected, kStopped };
  Kind kind = kRejected;
  int32_t score = 0;       // the best score any of its games reached
  int32_t combo = 0;       // the most enemies one ball hit, in any of its games
  int64_t frames = 0;      // play frames played
  int32_t games = 0;       // games that played at least one frame
  std::string version;     // the program line the demo was recorded by (when readable)
  std::string reason;      // why it was rejected or stopped, in words
  // A demo whose first game was played on a leaderboard's ticket counts
  // for that game alone: its score, combo and frames, one game.
  bool hasTicket = false;
  DemoTicket ticket;
  bool bot = false;        // marked as the automatic player's game
  // What the counted games take at the game's own pace at the least: 35 ms
  // a frame, 60 ms in the game-over sequence.
  int64_t playMs = 0;
};

// Checks that `data` is a whole demo of this version within the byte limit,
// without playing it: false with the reason in words (for a demo of another
// version, which version it is and which this is).
bool CheckDemoBytes(const uint8_t* data, size_t size, const VerifyLimits& limits, std::string& why);
// The same from the header, the sizes and the file's checksum only, without
// unpacking the reads: what a server checks while the request waits.
// The header is given back in `header`, when asked for.
bool CheckDemoHeader(const uint8_t* data, size_t size, const VerifyLimits& limits, std::string& why,
                     DemoHeader* header = nullptr);

// Plays the demo held in `data` on the course files of `dataDir`.
//
// Verified: the replay ran to the program's close (or, for a best game kept
// as a replay, to the end of its reads) with every read matching, and ended
// at least one game. What counts is the games it played to their end: a game
// cut by the close or by the end of the reads does not. Rejected, with the
// reason: not a demo, a damaged one, one of another version, one that does
// not match the game, one whose reads run out before the program closes (a
// whole recording always ends with the close), one whose clock runs
// backwards, or one over a limit.
Verdict VerifyDemo(const uint8_t* data, size_t size, const std::string& dataDir, const VerifyLimits& limits = {});

// A name for the board: 1 to 20 characters, each a letter (A to Z, a to z),
// a digit, a space, '-', '_' or '.', neither starting nor ending with a
// space. False with the reason in words.
constexpr size_t kMaxPlayerName = 20;
bool CheckPlayerName(const std::string& name, std::string& why);

}  // namespace morvik
