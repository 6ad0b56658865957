#include "app/run.hpp"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/bot.hpp"
#include "app/demo.hpp"
#include "media/png.hpp"
#include "platform/headless/headless_platform.hpp"
#include "shell/trace.hpp"

namespace morvik {

namespace {
// Lets the observers read the clock without it counting as one of the game's reads.
class QuietClock : public FrameObserver {
 public:
  QuietClock(FrameObserver& inner, DemoRecorder* rec, DemoPlayer* play) : inner_(inner), rec_(rec), play_(play) {}
  void OnPlayFrame(Game& g) override {
    Set(true);
    inner_.OnPlayFrame(g);
    Set(false);
  }

 private:
  void Set(bool on) {
    if (rec_) rec_->SetObserving(on);
    if (play_) play_->SetObserving(on);
  }
  FrameObserver& inner_;
  DemoRecorder* rec_;
  DemoPlayer* play_;
};
}  // namespace

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

int RunWithOptions(Platform& base, HeadlessPlatform* headless, const Options& o, const std::string& dataDir,
                   const std::string& recordPath) {
  const bool realWindow = headless == nullptr;
  // In the window the automatic player's keys join the keyboard's, under a
  // demo's recorder as a player's keys would be.
  std::optional<BotKeys> botKeys;
  Platform* under = &base;
  if (o.bot && realWindow && o.playDemo.empty()) under = &botKeys.emplace(base);
  std::optional<DemoPlayer> player;
  std::optional<DemoRecorder> recorder;
  Platform* plat = under;
  DemoHeader header;
  if (!o.playDemo.empty()) {
    std::vector<uint8_t> raw;
    std::string err;
    if (!LoadDemoFile(o.playDemo, header, raw, err)) {
      std::fprintf(stderr, "morvik: cannot play the demo %s: %s\n", o.playDemo.c_str(), err.c_str());
      return 2;
    }
    plat = &player.emplace(*under, header, std::move(raw), o.playDemo, realWindow);
  } else if (!o.recordDemo.empty()) {
    // Fail now rather than after the game when the demo cannot be written.
    std::FILE* f = std::fopen(o.recordDemo.c_str(), "wb");
    if (!f) {
      std::fprintf(stderr, "morvik: cannot write the demo %s\n", o.recordDemo.c_str());
      return 2;
    }
    std::fclose(f);
    plat = &recorder.emplace(*under, realWindow);
  }

  auto g = std::make_unique<Game>(*plat);
  g->dataDir = dataDir;
  g->recordPath = recordPath;
  if (player) {
    g->recordsFrozen = true;
    g->BestScore = header.bestScore;
    g->BestCombo = header.bestCombo;
  } else if (recorder) {
    LoadRecords(*g);
    recorder->SetRecords(g->BestScore, g->BestCombo);
  }
  std::optional<AutoPlayer> bot;
  if (o.bot && headless && !player) bot.emplace(*g, *headless);
  if (botKeys) botKeys->SetPlayer(&bot.emplace(*g));

  ObserverList observers;
  // A trace file asked for is opened and watches every play frame.
  auto openTrace = [&](TraceFile& file, const std::string& path, const char* what) {
    if (path.empty()) return true;
    if (!file.Open(path)) {
      std::fprintf(stderr, "morvik: cannot write the %s %s\n", what, path.c_str());
      return false;
    }
    observers.Add(&file);
    return true;
  };
  TraceWriter trace;
  TraceDigestWriter digest;
  if (!openTrace(trace, o.trace, "trace") || !openTrace(digest, o.traceDigest, "trace digest")) return 2;
  ShotTaker shots(o.shots);
  observers.Add(&shots);
  QuietClock quiet(observers, recorder ? &*recorder : nullptr, player ? &*player : nullptr);
  g->observer = &quiet;
  int status = RunGame(*g);
  if (recorder) {
    std::string err;
    if (!recorder->Save(o.recordDemo, err)) {
      std::fprintf(stderr, "morvik: cannot write the demo %s: %s\n", o.recordDemo.c_str(), err.c_str());
      if (status == 0) status = 2;
    }
  }
  if (player && status == 0 && !player->Finished() && !realWindow) {
    std::fprintf(stderr, "morvik: the game ended before the demo %s did (after %zu reads); it does not match\n",
                 o.playDemo.c_str(), player->ReadsDone());
    status = 2;
  }
  return status;
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
  } else if (!o.bot) {
    // With no script, Space is held throughout: the title starts a game at once.
    events.push_back(ScriptEvent{false, 0, kKeySpace, 0});
  }
  plat.SetScript(std::move(events));
  if (o.hasUntil) plat.SetUntil(o.untilMs);
  return RunWithOptions(plat, &plat, o, dataDir, recordPath);
}

}  // namespace morvik
