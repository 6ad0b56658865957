// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.hpp"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "core/files.hpp"
#include "core/numeric.hpp"
#include "core/path_text.hpp"
#include "core/player_folders.hpp"
#include "core/printable.hpp"
#include "platform/headless/script.hpp"

namespace morvik {

namespace fs = std::filesystem;

namespace {
bool ParseU32(const std::string& s, uint32_t& v) {
  uint64_t n = 0;
  if (!ParseWholeNumber(s, 0xFFFFFFFFu, n)) return false;
  v = static_cast<uint32_t>(n);
  return true;
}
}  // namespace

#ifndef MORVIK_VERSION
#error "MORVIK_VERSION comes from the build's project version"
#endif
const char* VersionText() { return "morvik " MORVIK_VERSION; }

const char* UsageText() {
  return "usage: morvik [options]\n"
         "  --window[=SCALE]       play in a window (SCALE 1-8) instead of full screen\n"
         "  --fullscreen           play full screen (the default)\n"
         "  --smooth               scale to the largest fitting size, smoothing the last step\n"
         "  --data-dir DIR         read stage files, sounds and music from DIR\n"
         "  --paths                print where data, records, screenshots and settings live\n"
         "  --dump-sheets DIR      write every picture as a PNG into DIR, with contact.png\n"
         "  --record-demo FILE     record the game as it is played\n"
         "  --play-demo FILE       play a recorded game back\n"
         "  --headless             run without a window, on a virtual clock; without --until-ms,\n"
         "                         a demo or --bot it runs until the script ends it or it is stopped\n"
         "    --script FILE        keys to hold: lines 'WHEN KEYS' (@MS or PN, Left+Space or -)\n"
         "    --clock-start MS     the virtual clock's first value\n"
         "    --until-ms MS        close the program once the clock reaches MS\n"
         "    --no-pictures        draw nothing (only the collision map the game reads): the same\n"
         "                         game and trace, several times faster; no --shot\n"
         "  --bot                  let the automatic player play (headless or in the window)\n"
         "  --trace FILE           write one JSON line of game state per play frame\n"
         "  --trace-digest FILE    write one short line and a hash of the state per play frame\n"
         "  --shot FRAME:FILE      save the screen after play frame FRAME as a PNG\n"
         "  --verify REPLAY        check a replay as the leaderboard does; one JSON line of verdict,\n"
         "                         status 0 when verified, 1 when rejected (takes only --data-dir)\n"
         "  --board daily|open     ask the leaderboard for a ticket, play its game in the window and\n"
         "                         send it when it ends: today's course, or the open board\n"
         "  --ticket FILE          play the first game on a ticket the leaderboard gave (its JSON)\n"
         "  --board-key [KEY]      show the key of the name you play under on the board (to play under\n"
         "                         it on another machine), or keep KEY, given on the other one\n"
         "  --submit [REPLAY]      send a game played for the board (default: the newest) and wait\n"
         "                         for its verdict\n"
         "    --name NAME          the name on the board: 1 to 20 letters, digits, spaces, - _ .\n"
         "                         (--board: default the settings file's 'board-name' line)\n"
         "    --server URL         the board (default: the settings file's 'leaderboard' line)\n"
         "  --help, --version\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      if (out.empty()) {
        error = a + " needs a value, not an empty one";
        return false;
      }
      return true;
    };
    std::string v;
    if (a == "--headless") o.headless = true;
    else if (a == "--help" || a == "-h") o.help = true;
    else if (a == "--version") o.version = true;
    else if (a == "--paths") o.paths = true;
    else if (a == "--bot") o.bot = true;
    else if (a == "--no-pictures") o.noPictures = true;
    else if (a == "--fullscreen") { o.fullscreen = true; o.window = false; }
    else if (a == "--smooth") o.smooth = true;
    else if (a == "--window") { o.window = true; o.fullscreen = false; }
    else if (a.rfind("--window=", 0) == 0) {
      uint32_t s = 0;
      if (!ParseU32(a.substr(9), s) || s < 1 || s > 8) {
        error = "--window=SCALE takes a whole number from 1 to 8";
        return false;
      }
      o.window = true;
      o.fullscreen = false;
      o.scale = static_cast<int>(s);
    } else if (a == "--data-dir") { if (!value(o.dataDir)) return false; }
    else if (a == "--script") { if (!value(o.script)) return false; }
    else if (a == "--trace") { if (!value(o.trace)) return false; }
    else if (a == "--trace-digest") { if (!value(o.traceDigest)) return false; }
    else if (a == "--dump-sheets") { if (!value(o.dumpSheets)) return false; }
    else if (a == "--record-demo") { if (!value(o.recordDemo)) return false; }
    else if (a == "--play-demo") { if (!value(o.playDemo)) return false; }
    else if (a == "--verify") { if (!value(o.verify)) return false; }
    else if (a == "--ticket") { if (!value(o.ticket)) return false; }
    else if (a == "--board") {
      if (!value(o.board)) return false;
      if (o.board != "daily" && o.board != "open") {
        error = "--board takes daily (today's course) or open (the open board), not '" + Printable(o.board) + "'";
        return false;
      }
    }
    else if (a == "--submit") {
      o.submit = true;
      // The replay is optional: the next argument, unless it is an option.
      if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0 && !args[i + 1].empty()) o.submitReplay = args[++i];
    } else if (a == "--board-key") {
      o.boardKeyAsked = true;
      if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0 && !args[i + 1].empty()) o.boardKey = args[++i];
    } else if (a == "--name") { if (!value(o.submitName)) return false; }
    else if (a == "--server") { if (!value(o.submitServer)) return false; }
    else if (a == "--clock-start") {
      if (!value(v)) return false;
      if (!ParseU32(v, o.clockStart)) {
        error = "--clock-start takes a whole number of milliseconds from 0 to 4294967295, not '" + Printable(v) + "'";
        return false;
      }
      o.hasClockStart = true;
    } else if (a == "--until-ms") {
      if (!value(v)) return false;
      if (!ParseWholeNumber(v, kMaxScriptTime, o.untilMs)) {
        error = "--until-ms takes a whole number of milliseconds, not '" + Printable(v) + "'";
        return false;
      }
      o.hasUntil = true;
    } else if (a == "--shot") {
      if (!value(v)) return false;
      size_t c = v.find(':');
      uint32_t f = 0;
      if (c == std::string::npos || !ParseU32(v.substr(0, c), f) || f == 0 || c + 1 >= v.size()) {
        error = "--shot takes FRAME:FILE.png, not '" + Printable(v) + "'";
        return false;
      }
      o.shots.push_back({static_cast<int64_t>(f), v.substr(c + 1)});
    } else {
      error = "unknown argument '" + Printable(a) + "' (try --help)";
      return false;
    }
  }
  if (!o.submit && o.board.empty() && !o.boardKeyAsked && (!o.submitName.empty() || !o.submitServer.empty())) {
    error = std::string(o.submitName.empty() ? "--server" : "--name") + " works only with --submit, --board or --board-key";
    return false;
  }
  if (o.submit && !o.submitName.empty()) {
    error = "--submit takes no --name: a game played for a board is under its ticket's name";
    return false;
  }
  if (!o.board.empty() && (o.submit || o.headless || !o.ticket.empty() || !o.playDemo.empty())) {
    error = "--board plays its own ticket's game in the window: not with --submit, --headless, --ticket or --play-demo";
    return false;
  }
  if (!o.ticket.empty() && !o.playDemo.empty()) {
    error = "--ticket plays a new game: a demo played back keeps the ticket it was recorded with";
    return false;
  }
  if (!o.verify.empty()) {
    // Verification reads the replay and the course, and writes nothing.
    Options alone;
    alone.verify = o.verify;
    alone.dataDir = o.dataDir;
    alone.help = o.help;
    alone.version = o.version;
    if (args.size() != (o.dataDir.empty() ? 2u : 4u) && !o.help && !o.version) {
      error = "--verify takes only the replay and --data-dir";
      return false;
    }
    o = alone;
    return true;
  }
  if (o.noPictures && !o.shots.empty()) {
    error = "--no-pictures draws no picture for --shot to save";
    return false;
  }
  if (!o.recordDemo.empty() && !o.playDemo.empty()) {
    error = "--record-demo and --play-demo cannot be used together";
    return false;
  }
  // The window has its own clock and the player's keys: these would be ignored there.
  if (!o.headless && !o.help && !o.version) {
    const char* only = !o.script.empty() ? "--script" : o.hasClockStart ? "--clock-start"
                       : o.hasUntil ? "--until-ms" : o.noPictures ? "--no-pictures" : nullptr;
    if (only) {
      error = std::string(only) + " works only with --headless";
      return false;
    }
  }
  return true;
}

std::string ExecutableDir() {
  const std::string self = ProgramFile();
  return self.empty() ? "." : PathText(PathOf(self).parent_path());
}

std::string FindDataDir(const std::string& exeDir, const std::string& installed) {
  std::error_code ec;
  if (fs::exists(PathOf(exeDir) / "Morvik_1.kvd", ec)) return exeDir;
  if (!installed.empty() && fs::exists(PathOf(installed) / "Morvik_1.kvd", ec)) return installed;
  return exeDir;
}

std::string InstalledDataDir(const std::string& exeDir, const std::string& fromExe, const std::string& absolute) {
  std::error_code ec;
  if (!fromExe.empty()) {
    fs::path p = (PathOf(exeDir) / PathOf(fromExe)).lexically_normal();
    if (fs::is_regular_file(p / "Morvik_1.kvd", ec)) return PathText(p);
  }
  return absolute;
}

#ifndef MORVIK_INSTALLED_DATA_DIR
#define MORVIK_INSTALLED_DATA_DIR ""
#endif
#ifndef MORVIK_DATA_FROM_BIN
#define MORVIK_DATA_FROM_BIN ""
#endif

std::string ProgramDataDir(const std::string& exeDir) {
  return FindDataDir(exeDir, InstalledDataDir(exeDir, MORVIK_DATA_FROM_BIN, MORVIK_INSTALLED_DATA_DIR));
}

#ifndef MORVIK_INSTALLED_HELPER_DIR
#define MORVIK_INSTALLED_HELPER_DIR ""
#endif
#ifndef MORVIK_HELPERS_FROM_BIN
#define MORVIK_HELPERS_FROM_BIN ""
#endif

std::string SubmitterPath(const std::string& exeDir) {
#ifdef _WIN32
  // The Windows build sends nothing to a leaderboard itself: the page does.
  (void)exeDir;
  return "";
#else
  std::error_code ec;
  for (const std::string& dir : {exeDir,
                                 std::string(*MORVIK_HELPERS_FROM_BIN ? (fs::path(exeDir) / MORVIK_HELPERS_FROM_BIN).string() : ""),
                                 std::string(MORVIK_INSTALLED_HELPER_DIR)}) {
    if (dir.empty()) continue;
    const fs::path p = (fs::path(dir) / "morvik-submit").lexically_normal();
    if (fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0) return p.string();
  }
  return "";
#endif
}

std::string FindRecordPath(const std::string& dataDir, bool installed) {
  if (!installed && RecordsMayLieBesideData(dataDir)) return PathText(PathOf(dataDir) / "Mor_vik_0.kvd");
  // Without a folder of the player's own the records last for the run.
  const std::string folder = PlayerDataFolder();
  return folder.empty() ? "" : PathText(PathOf(folder) / "Mor_vik_0.kvd");
}

std::string ScreenshotDir() { return PlayerPicturesFolder(); }

}  // namespace morvik
