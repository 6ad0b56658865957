// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/run.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "app/bot.hpp"
#include "app/demo.hpp"
#include "app/replays.hpp"
#include "app/settings.hpp"
#include "app/ticket.hpp"
#include "app/verify.hpp"
#include "core/files.hpp"
#include "core/path_text.hpp"
#include "core/printable.hpp"
#include "media/png.hpp"
#include "media/sheet_dump.hpp"
#include "stage/stage_file.hpp"
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
  void OnGameEnd(Game& g) override {
    Set(true);
    inner_.OnGameEnd(g);
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
  for (size_t i = 0; i < shots_.size(); ++i) {
    const ShotRequest& s = shots_[i];
    if (s.frame != g.playFrame) continue;
    taken_[i] = true;
    // The writer names a failure itself, with its cause.
    if (!WritePng(s.path, g.pic.M, w, h)) failed_[i] = true;
  }
}

bool ShotTaker::Finish() {
  bool ok = true;
  for (size_t i = 0; i < shots_.size(); ++i) {
    if (!taken_[i])
      std::fprintf(stderr, "morvik: no shot %s: play frame %lld was never reached\n",
                   Printable(shots_[i].path).c_str(), static_cast<long long>(shots_[i].frame));
    ok = ok && taken_[i] && !failed_[i];
  }
  return ok;
}

namespace {
namespace fs = std::filesystem;

struct RunFile {
  const char* role;  // "the trace", "the script", ...
  std::string path;
};

}  // namespace

bool CheckRunFiles(const Options& o, const std::string& dataDir, const std::string& recordPath,
                   const std::string& settingsPath, std::string& error) {
  std::vector<RunFile> in, out;
  if (!o.script.empty()) in.push_back({"the script", o.script});
  if (!o.playDemo.empty()) in.push_back({"the demo to play", o.playDemo});
  if (!recordPath.empty()) in.push_back({"the record file", recordPath});
  if (!settingsPath.empty()) in.push_back({"the settings file", settingsPath});
  if (!o.ticket.empty()) in.push_back({"the ticket", o.ticket});
  for (int n = 1; n <= 30; ++n) in.push_back({"a course file", StageFileName(dataDir, n)});
  for (const char* name : {"piro", "getitem", "1UP", "bomb", "Muteki", "dead"})
    in.push_back({"a sound file", PathText(PathOf(dataDir) / (std::string(name) + ".wav"))});
  for (const char* name : {"opening.mid", "stage.mid", "opening.ogg", "stage.ogg"})
    in.push_back({"a music file", PathText(PathOf(dataDir) / name)});
  if (!o.trace.empty()) out.push_back({"the trace", o.trace});
  if (!o.traceDigest.empty()) out.push_back({"the trace digest", o.traceDigest});
  if (!o.recordDemo.empty()) out.push_back({"the demo to record", o.recordDemo});
  for (const ShotRequest& s : o.shots) out.push_back({"a shot", s.path});
  for (size_t i = 0; i < out.size(); ++i) {
    for (const RunFile& f : in)
      if (SameFile(out[i].path, f.path)) {
        error = Printable(out[i].path) + " is " + f.role + "; it cannot also be " + out[i].role;
        return false;
      }
    auto shot = [](const RunFile& f) { return std::strcmp(f.role, "a shot") == 0; };
    for (size_t k = 0; k < i; ++k)  // a later shot may replace an earlier one
      if (!(shot(out[k]) && shot(out[i])) && SameFile(out[i].path, out[k].path)) {
        error = Printable(out[i].path) + " is named as both " + out[k].role + " and " + out[i].role;
        return false;
      }
    // The trace and its digest are written as the run goes; the demo and the
    // shots are written whole beside their place and renamed over it.
    const bool streamed = out[i].role == std::string("the trace") || out[i].role == std::string("the trace digest");
    const std::string why = streamed ? WhyNotWritable(out[i].path) : WhyNotReplaceable(out[i].path);
    if (!why.empty()) {
      error = std::string("cannot write ") + out[i].role + " " + Printable(out[i].path) + ": " + why;
      return false;
    }
  }
  return true;
}

std::string MissingCourseNote(const std::string& dataDir) {
  std::vector<int> missing;
  for (int n = 1; n <= 30; ++n) {
    std::error_code ec;
    if (!fs::is_regular_file(PathOf(StageFileName(dataDir, n)), ec)) missing.push_back(n);
  }
  if (missing.empty()) return "";
  std::string note;
  if (const int err = FolderError(dataDir); err != 0) {
    note = "the data folder " + Printable(dataDir) + " cannot be read (" + ErrorText(err) + ")";
  } else if (missing.size() == 30) {
    note = "no course files (Morvik_1.kvd to Morvik_30.kvd) in " + Printable(dataDir);
  } else {
    note = "course files not found in " + Printable(dataDir) + ":";
    for (int n : missing) note += " Morvik_" + std::to_string(n) + ".kvd";
  }
  return note + "; their segments play empty";
}

bool ReadScriptFile(const std::string& path, std::string& text, std::string& error) {
  FileRead r = ReadPlainFile(path, kMaxScriptBytes);
  if (r.outcome == FileRead::kRead) {
    text = std::move(r.bytes);
    return true;
  }
  error = r.outcome == FileRead::kTooLarge
              ? "larger than a script may be (" + std::to_string(kMaxScriptBytes >> 20) + " MiB)"
              : r.Why();
  return false;
}

void PlayOnTicket(Game& g, const DemoTicket& t) {
  g.board.pending = true;
  g.board.ticket.seed = t.seed;
  g.board.ticket.course = t.course;
  g.board.ticket.title = CourseTitle(t.course);
}

void TakeDemoHeader(Game& g, const DemoHeader& h) {
  g.recordsFrozen = true;
  g.BestScore = h.bestScore;
  g.BestCombo = h.bestCombo;
  if (h.hasTicket) PlayOnTicket(g, h.ticket);
}

int RunUntilProgramEnds(Game& g) {
  try {
    RunProgram(g);
  } catch (const ProgramEnd& e) {
    return e.status;
  }
  return 0;
}

int ReadCommandLine(int argc, char** argv, Options& o) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string err;
  if (!ParseOptions(args, o, err)) {
    std::fprintf(stderr, "morvik: %s\n", err.c_str());
    return 2;
  }
  if (o.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (o.version) {
    std::printf("%s\n", VersionText());
    return 0;
  }
  if (!o.dumpSheets.empty()) return DumpSheets(o.dumpSheets);
  return -1;
}

int PlayOnPlatform(Platform& base, bool headless, const Options& o, const std::string& dataDir,
                   const std::string& recordPath, const SettingsStore* settings, const SessionHooks& hooks) {
  const bool realWindow = !headless;
  {
    // Nothing is written before every file has been checked.
    std::string err;
    if (!CheckRunFiles(o, dataDir, recordPath, settings ? settings->disk.path : "", err)) {
      std::fprintf(stderr, "morvik: %s\n", err.c_str());
      return 2;
    }
  }
  // The automatic player's keys join the platform's own (the keyboard's, a
  // script's), under a demo's recorder as a player's keys would be.
  std::optional<BotKeys> botKeys;
  Platform* under = &base;
  if (o.bot && o.playDemo.empty()) under = &botKeys.emplace(base);
  std::optional<DemoPlayer> player;
  std::optional<DemoRecorder> recorder;
  Platform* plat = under;
  // A player's session (the window's, the page's) is recorded as it is
  // played, so that its best game can be kept as a replay.
  const bool keepReplays = settings != nullptr && o.playDemo.empty();
  DemoHeader header;
  if (!o.playDemo.empty()) {
    std::vector<uint8_t> raw;
    std::string err;
    if (!LoadDemoFile(o.playDemo, header, raw, err)) {
      std::fprintf(stderr, "morvik: cannot play the demo %s: %s\n", Printable(o.playDemo).c_str(), err.c_str());
      return 2;
    }
    plat = &player.emplace(*under, header, std::move(raw), o.playDemo, realWindow);
  } else if (!o.recordDemo.empty() || keepReplays) {
    // Written at the end when asked for; CheckRunFiles has made sure it can be.
    plat = &recorder.emplace(*under, realWindow);
  }
  std::optional<Ticket> ticket;
  if (!o.ticket.empty()) {
    std::string why;
    if (!LoadTicketFile(o.ticket, ticket.emplace(), why)) {
      std::fprintf(stderr, "morvik: cannot play on the ticket %s: %s\n", Printable(o.ticket).c_str(), why.c_str());
      return 2;
    }
  }
  if (const std::string note = MissingCourseNote(dataDir); !note.empty())
    std::fprintf(stderr, "morvik: %s\n", note.c_str());
  if (recordPath.empty() && !player)
    std::fprintf(stderr, "morvik: no folder of your own to keep the records in (neither XDG_DATA_HOME nor HOME is "
                         "set, and the data folder cannot be written); this session's bests last for the session\n");
  if (headless && !o.hasUntil && !player && !o.bot)
    std::fprintf(stderr, "morvik: no --until-ms, demo or --bot: the run goes on until the game is left "
                         "(Escape on the title) or the program is stopped\n");

  auto g = std::make_unique<Game>(*plat, !o.noPictures);
  g->dataDir = dataDir;
  g->recordPath = recordPath;
  g->settings = settings ? *settings : MakeSettingsStore(DefaultSettings(), SettingsFile{}, o);
  // A demo's playback changes no settings file.
  if (player) g->settings.disk.path.clear();
  if (ticket) {
    PlayOnTicket(*g, ticket->ForDemo());
    if (recorder) recorder->SetTicket(ticket->ForDemo());
  }
  if (recorder) recorder->SetBot(o.bot);
  if (player) {
    TakeDemoHeader(*g, header);
  } else if (recorder) {
    LoadRecords(*g);
    recorder->SetRecords(g->BestScore, g->BestCombo);
  }
  std::optional<AutoPlayer> bot;
  if (botKeys) botKeys->SetPlayer(&bot.emplace(*g));

  ObserverList observers;
  // A trace file asked for is opened and watches every play frame.
  auto openTrace = [&](TraceFile& file, const std::string& path, const char* what) {
    if (path.empty()) return true;
    std::string why;
    if (!file.Open(path, why)) {
      std::fprintf(stderr, "morvik: cannot write the %s %s: %s\n", what, Printable(path).c_str(), why.c_str());
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
  std::optional<BestReplayKeeper> keeper;
  if (keepReplays) {
    if (const std::string folder = ReplayFolder(recordPath); !folder.empty()) {
      observers.Add(&keeper.emplace(*recorder, folder));
      g->bestReplayPath = PathText(PathOf(folder) / "best.demo");
    }
    g->watchReplay = [under](Game& gg, const std::string& path) { WatchReplay(gg, *under, path); };
    g->takeWatchRequest = hooks.watchRequests;
  }
  std::optional<BoardReplayKeeper> boardKeeper;
  // The game on a ticket is kept as a replay whenever the session is recorded (headless with --record-demo too).
  if (ticket && recorder) observers.Add(&boardKeeper.emplace(*recorder, ReplayFolder(recordPath), hooks.boardGame));
  if (hooks.extra) observers.Add(hooks.extra);
  QuietClock quiet(observers, recorder ? &*recorder : nullptr, player ? &*player : nullptr);
  g->observer = &quiet;
  int status = RunUntilProgramEnds(*g);
  // Every output is checked as it is closed; one that could not be written
  // is named once and the run ends with status 1.
  bool written = shots.Finish();
  auto closeTrace = [&](TraceFile& file, const std::string& path, const char* what) {
    std::string err;
    if (file.Close(err)) return;
    std::fprintf(stderr, "morvik: could not write the %s %s: %s\n", what, Printable(path).c_str(), err.c_str());
    written = false;
  };
  closeTrace(trace, o.trace, "trace");
  closeTrace(digest, o.traceDigest, "trace digest");
  if (recorder && !o.recordDemo.empty()) {
    std::string err;
    if (!recorder->Save(o.recordDemo, err)) {
      std::fprintf(stderr, "morvik: could not write the demo %s: %s\n", Printable(o.recordDemo).c_str(), err.c_str());
      written = false;
    }
  }
  if (!written && status == 0) status = 1;
  if (player && status == 0 && !player->Finished() && !realWindow) {
    std::fprintf(stderr, "morvik: the game ended before the demo %s did (after %zu reads); it does not match\n",
                 Printable(o.playDemo).c_str(), player->ReadsDone());
    status = 2;
  }
  return status;
}

int RunHeadless(const Options& o, const std::string& dataDir, const std::string& recordPath) {
  HeadlessPlatform plat(o.clockStart);
  std::vector<ScriptEvent> events;
  if (!o.script.empty()) {
    std::string text, err;
    if (!ReadScriptFile(o.script, text, err)) {
      std::fprintf(stderr, "morvik: cannot read the script %s: %s\n", Printable(o.script).c_str(), err.c_str());
      return 2;
    }
    if (!ParseScript(text, events, err)) {
      std::fprintf(stderr, "morvik: %s: %s\n", Printable(o.script).c_str(), err.c_str());
      return 2;
    }
  } else if (!o.bot) {
    // With no script, Space is held throughout: the title starts a game at once.
    events.push_back(ScriptEvent{false, 0, kKeySpace, 0});
  }
  plat.SetScript(std::move(events));
  if (o.hasUntil) plat.SetUntil(o.untilMs);

  return PlayOnPlatform(plat, true, o, dataDir, recordPath);
}

namespace {
// A JSON string of text made printable first (valid UTF-8, no control bytes).
std::string JsonText(const std::string& s) {
  std::string out = "\"";
  for (char c : Printable(s)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}
}  // namespace

int RunVerify(const Options& o, const std::string& dataDir) {
  const VerifyLimits limits;
  const FileRead file = ReadPlainFile(o.verify, limits.maxBytes);
  if (file.outcome != FileRead::kRead && file.outcome != FileRead::kTooLarge) {
    std::fprintf(stderr, "morvik: cannot read the replay %s: %s\n", Printable(o.verify).c_str(), file.Why().c_str());
    return 2;
  }
  const auto t0 = std::chrono::steady_clock::now();
  Verdict v;
  if (file.outcome == FileRead::kTooLarge) {
    v.reason = "the demo is larger than " + std::to_string(limits.maxBytes) + " bytes";
  } else {
    v = VerifyDemo(reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size(), dataDir, limits);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const bool ok = v.kind == Verdict::kVerified;
  const char* status = ok ? "verified" : v.kind == Verdict::kStopped ? "stopped" : "rejected";
  char line[160];
  std::snprintf(line, sizeof line, "{\"status\":\"%s\",\"score\":%d,\"combo\":%d,\"frames\":%lld,\"games\":%d,",
                status, v.score, v.combo, static_cast<long long>(v.frames), v.games);
  std::string out = line;
  out += "\"version\":" + (v.version.empty() ? std::string("null") : JsonText(v.version));
  out += ",\"reason\":" + (ok ? std::string("null") : JsonText(v.reason));
  // A game on a leaderboard's ticket: which, and its board.
  out += ",\"ticket\":" + (v.hasTicket ? JsonText(v.ticket.id) : std::string("null"));
  out += ",\"course\":" + (v.hasTicket ? JsonText(v.ticket.course) : std::string("null"));
  std::snprintf(line, sizeof line, ",\"seconds\":%.3f}\n", seconds);
  out += line;
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  return ok ? 0 : 1;
}

}  // namespace morvik
