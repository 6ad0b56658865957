// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/replays.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/run.hpp"
#include "app/verify.hpp"
#include "core/files.hpp"
#include "core/path_text.hpp"
#include "core/printable.hpp"

namespace morvik {

namespace fs = std::filesystem;

std::string ReplayFolder(const std::string& recordPath) {
  if (recordPath.empty()) return "";
  const fs::path dir = PathOf(recordPath).parent_path();
  return PathText((dir.empty() ? fs::path(".") : dir) / "replays");
}

std::string TicketPath(const std::string& recordPath) {
  const std::string folder = ReplayFolder(recordPath);
  return folder.empty() ? "" : folder + "/ticket.json";
}

std::vector<uint8_t> BestReplayKeeper::ReplayBytes() const {
  DemoHeader h = rec_.Header();
  h.endsWithGame = true;
  return WriteDemoBytes(h, rec_.Raw());
}

void BestReplayKeeper::OnGameEnd(Game& g) {
  // A new best: better than every game before it, and than the title's floor.
  if (folder_.empty() || g.Score <= g.BestScore) return;
  const std::vector<uint8_t> bytes = ReplayBytes();
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string why;
  char stamp[64];
  const std::time_t now = std::time(nullptr);
  std::strftime(stamp, sizeof stamp, "best-%Y%m%d-%H%M%S", std::localtime(&now));
  const fs::path dir = PathOf(folder_);
  std::string dated = PathText(dir / (std::string(stamp) + ".demo"));
  std::error_code ec;
  for (int n = 2; fs::exists(PathOf(dated), ec); ++n)
    dated = PathText(dir / (std::string(stamp) + "-" + std::to_string(n) + ".demo"));
  if (!MakeFolders(folder_, why) || !ReplaceFile(PathText(dir / "best.demo"), view, why) ||
      !ReplaceFile(dated, view, why)) {
    if (!warned_) std::fprintf(stderr, "morvik: the best game could not be kept in %s: %s\n", Printable(folder_).c_str(), why.c_str());
    warned_ = true;
    return;
  }
  // Only the newest dated copies stay (their names sort by date).
  std::vector<fs::path> copies;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const std::string name = PathText(e.path().filename());
    if (name.rfind("best-", 0) == 0 && e.path().extension() == ".demo") copies.push_back(e.path());
  }
  std::sort(copies.begin(), copies.end());
  for (size_t i = 0; i + kDatedReplaysKept < copies.size(); ++i) fs::remove(copies[i], ec);
  g.plat.RecordsWritten();
}

void BoardReplayKeeper::OnGameEnd(Game& g) {
  if (!g.board.playing) return;
  DemoHeader h = rec_.Header();
  h.endsWithGame = true;
  const std::vector<uint8_t> bytes = WriteDemoBytes(h, rec_.Raw());
  std::string why;
  const std::string path = PathText(PathOf(folder_.empty() ? "." : folder_) / ("board-" + h.ticket.id + ".demo"));
  if ((!folder_.empty() && !MakeFolders(folder_, why)) ||
      !ReplaceFile(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, why)) {
    std::fprintf(stderr, "morvik: the board game could not be kept as %s: %s\n", Printable(path).c_str(), why.c_str());
    return;
  }
  g.plat.RecordsWritten();
  if (kept_) {
    kept_(path);
  } else {
    std::fprintf(stderr, "morvik: the board game is kept as %s; morvik --submit %s sends it\n", Printable(path).c_str(),
                 Printable(path).c_str());
  }
}

namespace {
// Counts the games of the replay as they start, and takes the recorded
// speed from the start of the last one.
class LastGameAtPace : public FrameObserver {
 public:
  LastGameAtPace(DemoPlayer& p, int games) : player_(p), games_(games) {}
  void OnPlayFrame(Game& g) override {
    if (g.playFrame == 1 && ++started_ == games_) player_.SetRealTime(true);
  }

 private:
  DemoPlayer& player_;
  int games_, started_ = 0;
};
}  // namespace

bool WatchReplay(Game& g, Platform& base, const std::string& path) {
  DemoHeader header;
  std::vector<uint8_t> raw;
  std::string why;
  if (!LoadDemoFile(path, header, raw, why)) {
    std::fprintf(stderr, "morvik: cannot play the replay %s: %s\n", Printable(path).c_str(), why.c_str());
    return false;
  }
  // How many games it holds: the replay played flat out first, as the board
  // does, the window kept alive meanwhile (Escape or a close stops it all).
  VerifyLimits limits;
  bool stopped = false;
  limits.progress = [&] {
    base.Yield();
    base.WaitUntil(base.Clock());
    stopped = stopped || base.CloseRequested() || base.KeyDown(VK_ESCAPE);
    return !stopped;
  };
  const FileRead bytes = ReadPlainFile(path, limits.maxBytes);
  const Verdict seen =
      VerifyDemo(reinterpret_cast<const uint8_t*>(bytes.bytes.data()), bytes.bytes.size(), g.dataDir, limits);
  DemoPlayer player(base, header, std::move(raw), path, false);
  player.StopOnEscape(true);
  LastGameAtPace pace(player, seen.kind == Verdict::kVerified ? seen.games : 1);
  if (!stopped) {
    auto watched = std::make_unique<Game>(player);
    watched->dataDir = g.dataDir;
    TakeDemoHeader(*watched, header);
    watched->settings = g.settings;
    watched->settings.disk.path.clear();
    watched->observer = &pace;
    RunUntilProgramEnds(*watched);
  }
  // The window as g left it: its picture, display mode, settings and music.
  base.AttachScreen(&g.pic.M);
  base.SetDisplayMode(g.ScreenMode == 0 ? 320 : 640, g.ScreenMode == 0 ? 240 : 480);
  if (g.ScreenMode == 0) base.SetScreenPosition(0, 0);
  else CentreScreen(g);
  base.ApplySettings(g.settings.run);
  base.MidiCloseAll();
  if (!g.MusicName.empty() && g.MusicName != "Non" && base.MidiOpen(g.dataDir + "/" + g.MusicName + ".mid"))
    base.MidiPlay(true);
  // Nothing pressed to stop the replay acts on the game once it is back (a
  // key held for good is waited for five seconds).
  const uint32_t start = base.Clock();
  for (uint32_t t = start; base.KeyDown(VK_ESCAPE) || base.KeyDown(VK_SPACE) || base.KeyDown(VK_Z);) {
    base.Yield();
    if (base.CloseRequested() || t - start > 5000) break;
    t += 20;
    base.WaitUntil(t);
  }
  base.TakeOptionsRequest();
  return true;
}

}  // namespace morvik
