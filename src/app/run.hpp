// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running a whole program. The way from main to the play loop:
//   ReadCommandLine      the arguments; --help, --version, --dump-sheets end here
//   RunHeadless          (headless only) the virtual clock's platform and its script
//   PlayOnPlatform       the demo's recorder or player, the automatic player, the
//                        trace, the digest and the shots around the platform
//   RunUntilProgramEnds  the game until its Unload event ends the program
//   RunProgram           (shell/) the Load event, then the main timer's cycles:
//                        title, stage start, PlayLoop, one PlayFrame every 35 ms
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/demo.hpp"
#include "game.hpp"

namespace morvik {

// Several observers in a row.
class ObserverList : public FrameObserver {
 public:
  void Add(FrameObserver* o) { list_.push_back(o); }
  void OnPlayFrame(Game& g) override {
    for (FrameObserver* o : list_) o->OnPlayFrame(g);
  }
  void OnGameEnd(Game& g) override {
    for (FrameObserver* o : list_) o->OnGameEnd(g);
  }

 private:
  std::vector<FrameObserver*> list_;
};

// Saves M as a PNG after the requested play frames.
// Each request is taken in every game that reaches its frame (the last one stays).
class ShotTaker : public FrameObserver {
 public:
  explicit ShotTaker(std::vector<ShotRequest> shots)
      : shots_(std::move(shots)), taken_(shots_.size(), false), failed_(shots_.size(), false) {}
  void OnPlayFrame(Game& g) override;
  // At the end of the run: says which shots were never taken; false when
  // any was not taken or could not be written.
  bool Finish();

 private:
  std::vector<ShotRequest> shots_;
  std::vector<bool> taken_, failed_;
};

// Checks, before anything is written, every file the run reads and writes:
// no file is both read and written (or written as two different outputs),
// and every output can be created. False with a one-line message.
// The settings file (the window's) counts as read.
bool CheckRunFiles(const Options& o, const std::string& dataDir, const std::string& recordPath,
                   const std::string& settingsPath, std::string& error);

// The course files of dataDir that are missing or not plain files, as one
// line for the player; empty when all are there.
std::string MissingCourseNote(const std::string& dataDir);

// Reads a script file: a plain file of at most kMaxScriptBytes. False with the reason.
constexpr size_t kMaxScriptBytes = 1u << 20;
bool ReadScriptFile(const std::string& path, std::string& text, std::string& error);

// A demo's game takes from its header what the recording started with: the
// records (frozen: neither read nor written), and the ticket its first game
// was played on.
void TakeDemoHeader(Game& g, const DemoHeader& h);
// The next game is played on the ticket.
void PlayOnTicket(Game& g, const DemoTicket& t);

// Runs the program on the game's platform until it ends; returns the exit status.
int RunUntilProgramEnds(Game& g);

// Runs the program on `base` (the real window, the page, or a headless
// platform, `headless`) with the command line's demo, trace and shot options.
// `settings` are the player's (the window's, the page's): without them the
// run keeps the defaults in memory, and so does a demo's playback. With them
// the session is recorded and its best games kept as replays, which the
// options screen plays back, as it does those the hooks' `watchRequests`
// names (the page's). With a ticket (--ticket) the first game is played on
// it; in such a session its replay is kept as replays/board-TICKET.demo when
// that game ends, and handed to the hooks' `boardGame`. `extra`, when given,
// sees every play frame after the command line's observers. Returns the
// exit status.
struct SessionHooks {
  FrameObserver* extra = nullptr;
  std::function<std::string()> watchRequests;
  std::function<void(const std::string& replay)> boardGame;
};
int PlayOnPlatform(Platform& base, bool headless, const Options& o, const std::string& dataDir,
                   const std::string& recordPath, const SettingsStore* settings = nullptr,
                   const SessionHooks& hooks = {});

// What every entry does first: reads the arguments, and answers what ends the
// program before a game (a bad argument, --help, --version, --dump-sheets).
// Returns that exit status, or -1 when the game is to run with `o`.
int ReadCommandLine(int argc, char** argv, Options& o);

// morvik --verify: checks the replay as the leaderboard does and prints the
// verdict as one JSON line (status, score, combo, frames, games, version,
// reason, seconds). 0 when verified, 1 when rejected, 2 when the replay
// cannot be read.
int RunVerify(const Options& o, const std::string& dataDir);

// The whole headless run of the command line; returns the exit status.
int RunHeadless(const Options& o, const std::string& dataDir, const std::string& recordPath);

}  // namespace morvik
