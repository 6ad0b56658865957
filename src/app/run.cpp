#include "app/run.hpp"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "media/png.hpp"
#include "platform/headless/headless_platform.hpp"
#include "shell/trace.hpp"

namespace morvik {

void ShotTaker::OnPlayFrame(Game& g) {
  // What the player sees: all of M on the large display, its top-left
  // 320 by 240 on the small one.
  const int w = g.ScreenMode == 0 ? 320 : g.pic.M.Width();
  const int h = g.ScreenMode == 0 ? 240 : g.pic.M.Height();
  for (const ShotRequest& s : shots_)
    if (s.frame == g.playFrame && !WritePng(s.path, g.pic.M, w, h))
      std::fprintf(stderr, "morvik: could not write %s\n", s.path.c_str());
}

int RunGame(Game& g) {
  try {
    RunProgram(g);
  } catch (const ProgramEnd& e) {
    return e.status;
  }
  return 0;
}

int RunHeadless(const Options& o, const std::string& dataDir, const std::string& recordPath) {
  HeadlessPlatform plat(o.clockStart);
  std::vector<ScriptEvent> events;
  if (!o.script.empty()) {
    std::ifstream in(o.script, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "morvik: cannot read the script %s\n", o.script.c_str());
      return 2;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string err;
    if (!ParseScript(ss.str(), events, err)) {
      std::fprintf(stderr, "morvik: %s: %s\n", o.script.c_str(), err.c_str());
      return 2;
    }
  } else {
    // With no script, Space is held throughout: the title starts a game at once.
    events.push_back(ScriptEvent{false, 0, kKeySpace, 0});
  }
  plat.SetScript(std::move(events));
  if (o.hasUntil) plat.SetUntil(o.untilMs);

  auto g = std::make_unique<Game>(plat);
  g->dataDir = dataDir;
  g->recordPath = recordPath;
  ObserverList observers;
  TraceWriter trace;
  if (!o.trace.empty()) {
    if (!trace.Open(o.trace)) {
      std::fprintf(stderr, "morvik: cannot write the trace %s\n", o.trace.c_str());
      return 2;
    }
    observers.Add(&trace);
  }
  ShotTaker shots(o.shots);
  observers.Add(&shots);
  g->observer = &observers;
  return RunGame(*g);
}

}  // namespace morvik
