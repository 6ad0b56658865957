// SPDX-License-Identifier: GPL-3.0-or-later
// morvik in the browser: the game on the page's canvas, its data preloaded
// under /data, the records and the settings file kept under /save.
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

namespace {
// A replay the page asked to watch (its Watch buttons), until the title takes it.
std::string gWatch;
}  // namespace

// The page: play the replay at `path` (in the game's file system) from the title.
extern "C" EMSCRIPTEN_KEEPALIVE void morvik_watch(const char* path) { gWatch = path ? path : ""; }

int main() {
  using namespace morvik;
  const std::string dataDir = "/data";
  const std::string recordPath = "/save/Mor_vik_0.kvd";
  std::vector<std::string> notes;
  SettingsFile file;
  const Settings fromFile = LoadSettings(SettingsPath(), WebInputNames(), notes, &file);
  for (const std::string& n : notes) std::fprintf(stderr, "morvik: %s\n", n.c_str());
  // The options screen changes these and writes the file (kept in the
  // browser's storage, so a reload keeps them).
  Options o;
  const SettingsStore settings = MakeSettingsStore(fromFile, file, o);
  WebPlatform plat(settings.run);
  WebProbe probe;  // what the page's checks read of the game
  SessionHooks hooks;
  hooks.extra = &probe;
  hooks.watchRequests = [] {
    std::string path;
    path.swap(gWatch);
    return path;
  };
  const int status = PlayOnPlatform(plat, false, o, dataDir, recordPath, &settings, hooks);
  morvik_ended(status);
  return status;
}
