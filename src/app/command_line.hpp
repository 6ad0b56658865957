// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command-line options of the morvik program.
#include <cstdint>
#include <string>
#include <vector>

namespace morvik {

struct ShotRequest {
  int64_t frame = 0;  // may lie beyond any frame a game reaches
  std::string path;
};

struct Options {
  bool headless = false;
  bool help = false, version = false;
  std::string dataDir;           // empty: found beside the program or installed
  std::string script;
  uint32_t clockStart = 0;
  bool hasClockStart = false;
  bool hasUntil = false;
  uint64_t untilMs = 0;           // on the virtual clock counted on past 2^32
  std::string trace;
  std::string traceDigest;       // a short line and a hash per frame
  std::vector<ShotRequest> shots;
  // real window
  bool window = false;           // a window instead of full screen
  bool fullscreen = false;
  int scale = 0;                 // window scale, 0 = automatic
  bool smooth = false;
  // tools
  std::string dumpSheets;
  bool paths = false;
  std::string recordDemo, playDemo;
  bool bot = false;              // the automatic player plays (headless or in the window)
  bool noPictures = false;       // headless: the game runs with nothing drawn but the collision map
  std::string verify;            // check a replay as the leaderboard does, and say the verdict
  // the leaderboard: --submit [REPLAY] [--name NAME] [--server URL];
  // --board daily|open [--name NAME] [--server URL]: a ticket asked for,
  // its game played in the window and sent when it ends; --ticket FILE:
  // the first game played on a ticket at hand
  bool submit = false;
  std::string submitReplay, submitName, submitServer;
  std::string board;             // "daily" or "open"
  bool boardKeyAsked = false;    // --board-key [KEY]: show the name's key, or keep KEY for it
  std::string boardKey;
  std::string ticket;
};

// Parses argv; on a bad argument returns false with a one-line message. An
// empty value is a bad argument, and so are the headless run's own options
// without --headless.
bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error);
const char* UsageText();
const char* VersionText();

// Where the game finds its data and keeps its records.
std::string ExecutableDir();
std::string FindDataDir(const std::string& exeDir, const std::string& installedDataDir);
// This program's data folder: FindDataDir with the installed folder the build was made for.
std::string ProgramDataDir(const std::string& exeDir);
// morvik-submit, the leaderboard's client that `morvik --submit` hands over
// to: beside the program (a build tree), else where it was installed with
// it; "" when it is in neither place.
std::string SubmitterPath(const std::string& exeDir);
// The installed data directory: `fromExe` (relative to the executable's
// directory, so an installed tree can be moved) when the data lie there,
// else `absolute`, the place the build was configured to install to.
std::string InstalledDataDir(const std::string& exeDir, const std::string& fromExe, const std::string& absolute);
// Beside the data when that directory is writable and is not the installed
// one (which belongs to the system, not to one player), else the user's
// data directory; "" when there is none (no HOME nor XDG_DATA_HOME): the
// records then last for the run.
std::string FindRecordPath(const std::string& dataDir, bool installed = false);
// $XDG_PICTURES_DIR (from the environment or user-dirs.dirs)/morvik, else
// ~/Pictures/morvik; "" without a home.
std::string ScreenshotDir();

}  // namespace morvik
