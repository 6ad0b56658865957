// SPDX-License-Identifier: GPL-3.0-or-later
// morvik in the browser: the game on the page's canvas, its data preloaded
// under /data, the records and the settings file kept under /save. A game
// for the leaderboard starts a new session, as `morvik --ticket` would: the
// page's panel writes the ticket the board dealt into the file system and
// asks for it; the session going on ends as a closed window's would (the
// records saved), and the next starts from its opening, its first game on
// the ticket, so that its replay is one the board can play from the start.
#include <emscripten.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/run.hpp"
#include "app/settings.hpp"
#include "platform/web/web_platform.hpp"
#include "probe.hpp"

extern "C" void morvik_ended(int status);
extern "C" void morvik_board_game(const char* path);

namespace {
// A replay the page asked to watch (its Watch buttons), until the title takes it.
std::string gWatch;
// A ticket the page asked to play on, until the session going on has ended.
std::string gTicket;
morvik::WebPlatform* gPlatform = nullptr;
}  // namespace

// The page: play the replay at `path` (in the game's file system) from the title.
extern "C" EMSCRIPTEN_KEEPALIVE void morvik_watch(const char* path) { gWatch = path ? path : ""; }

// The page: end the session going on and play the next one's first game on
// the ticket in the file at `path` (the board's answer as it came).
extern "C" EMSCRIPTEN_KEEPALIVE void morvik_play_ticket(const char* path) {
  if (!path || !*path || !gPlatform) return;
  gTicket = path;
  gPlatform->AskToClose();
}

int main() {
  using namespace morvik;
  const std::string dataDir = "/data";
  const std::string recordPath = "/save/Mor_vik_0.kvd";
  Options o;
  auto loadSettings = [&] {
    // The options screen changes these and writes the file (kept in the
    // browser's storage, so a reload, or the next session, keeps them).
    std::vector<std::string> notes;
    SettingsFile file;
    const Settings fromFile = LoadSettings(SettingsPath(), WebInputNames(), notes, &file);
    for (const std::string& n : notes) std::fprintf(stderr, "morvik: %s\n", n.c_str());
    return MakeSettingsStore(fromFile, file, o);
  };
  SettingsStore settings = loadSettings();
  WebPlatform plat(settings.run);
  gPlatform = &plat;
  WebProbe probe;  // what the page's checks read of the game
  SessionHooks hooks;
  hooks.extra = &probe;
  hooks.watchRequests = [] {
    std::string path;
    path.swap(gWatch);
    return path;
  };
  hooks.boardGame = [](const std::string& replay) { morvik_board_game(replay.c_str()); };
  int status = 0;
  for (;;) {
    status = PlayOnPlatform(plat, false, o, dataDir, recordPath, &settings, hooks);
    if (status == 2 && !o.ticket.empty() && gTicket.empty()) {
      // A ticket the game cannot play on (said on the console): the game
      // goes on without it rather than leave the page without a game.
      o.ticket.clear();
      plat.Reopen();
      continue;
    }
    if (gTicket.empty()) break;
    // The session was ended for a game on a ticket: the next is played on it.
    o.ticket = std::move(gTicket);
    gTicket.clear();
    gWatch.clear();
    settings = loadSettings();
    plat.ApplySettings(settings.run);
    plat.Reopen();
  }
  gPlatform = nullptr;
  morvik_ended(status);
  return status;
}
