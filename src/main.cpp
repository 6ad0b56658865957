// SPDX-License-Identifier: GPL-3.0-or-later
// morvik: the program's entry. Chooses the real window or the headless run.
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/run.hpp"
#include "app/settings.hpp"
#include "app/replays.hpp"
#include "core/path_text.hpp"
#include "core/printable.hpp"
#include "core/program_args.hpp"
#include "game.hpp"
#include "platform/sdl/sdl_platform.hpp"
#include "core/stop_signals.hpp"

namespace {

// morvik --submit is morvik-submit's work: the HTTP and TLS libraries it
// needs stay out of the game's own process, where they would cost every
// game some 4 MB and their start-up. It gets the paths the game found and
// then the game's own arguments.
int HandOverToSubmitter(int argc, char** argv, const std::string& exeDir, const std::string& recordPath,
                        const std::string& settingsPath) {
#ifdef _WIN32
  // Games are sent to a leaderboard from the game's page in a browser.
  (void)argc, (void)argv, (void)exeDir, (void)settingsPath;
  std::fprintf(stderr, "morvik: the Windows game sends nothing to a leaderboard; play in the game's page in a browser "
                       "to be ranked (your best game's replay is kept as %s)\n",
               morvik::Printable(morvik::PathText(morvik::PathOf(recordPath).parent_path() / "replays" / "best.demo")).c_str());
  return 1;
#else
  const std::string helper = morvik::SubmitterPath(exeDir);
  if (helper.empty()) {
    std::fprintf(stderr, "morvik: --submit needs morvik-submit, which is not installed with this program\n");
    return 1;
  }
  std::vector<char*> args = {const_cast<char*>(helper.c_str()), const_cast<char*>(recordPath.c_str()),
                             const_cast<char*>(settingsPath.c_str())};
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  std::fflush(nullptr);
  ::execv(helper.c_str(), args.data());
  std::fprintf(stderr, "morvik: cannot run %s: %s\n", morvik::Printable(helper).c_str(), std::strerror(errno));
  return 1;
#endif
}

#ifndef _WIN32
// Runs morvik-submit on `args` (after the two paths) beside the game: waited
// for (its exit status), or left to finish on its own (0 once started).
int RunSubmitter(const std::vector<std::string>& args, const std::string& exeDir, const std::string& recordPath,
                 const std::string& settingsPath, bool wait) {
  const std::string helper = morvik::SubmitterPath(exeDir);
  if (helper.empty()) {
    std::fprintf(stderr, "morvik: the leaderboard needs morvik-submit, which is not installed with this program\n");
    return 1;
  }
  std::vector<std::string> all = {helper, recordPath, settingsPath};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    std::fprintf(stderr, "morvik: cannot run %s: %s\n", morvik::Printable(helper).c_str(), std::strerror(errno));
    return 1;
  }
  if (pid == 0) {
    ::execv(helper.c_str(), argv.data());
    std::fprintf(stderr, "morvik: cannot run %s: %s\n", morvik::Printable(helper).c_str(), std::strerror(errno));
    ::_exit(1);
  }
  if (!wait) return 0;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  using namespace morvik;
  PrepareConsole();
  // Every argument as UTF-8, as the rest of the program takes its text.
  std::vector<std::string> args = ProgramArguments(argc, argv);
  std::vector<char*> argvUtf8;
  for (std::string& a : args) argvUtf8.push_back(a.data());
  argvUtf8.push_back(nullptr);
  argc = static_cast<int>(args.size());
  argv = argvUtf8.data();
  Options o;
  if (const int status = ReadCommandLine(argc, argv, o); status >= 0) return status;
  const std::string exeDir = ExecutableDir();
  const std::string dataDir =
      o.dataDir.empty()
          ? ProgramDataDir(exeDir)
          : o.dataDir;
  const std::string recordPath = FindRecordPath(dataDir, o.dataDir.empty() && dataDir != exeDir);
  const std::string settingsPath = SettingsPath();
  if (o.paths) {
    const auto shown = [](const std::string& p, const char* none) { return p.empty() ? std::string(none) : Printable(p); };
    std::printf("data:        %s\nrecords:     %s\nscreenshots: %s\nsettings:    %s\n", Printable(dataDir).c_str(),
                shown(recordPath, "(none: neither XDG_DATA_HOME nor HOME is set; kept for the run only)").c_str(),
                shown(ScreenshotDir(), "(none: HOME is not set)").c_str(),
                shown(settingsPath, "(none: neither XDG_CONFIG_HOME nor HOME is set)").c_str());
    return 0;
  }
  if (o.submit || o.boardKeyAsked) return HandOverToSubmitter(argc, argv, exeDir, recordPath, settingsPath);
  morvik::SessionHooks hooks;
#ifdef _WIN32
  if (!o.board.empty()) return HandOverToSubmitter(argc, argv, exeDir, recordPath, settingsPath);
#else
  // --board: a ticket first (the board's client asks for it), then its game
  // in the window, sent by the client when it ends while the title comes back.
  if (!o.board.empty()) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const int status = RunSubmitter(args, exeDir, recordPath, settingsPath, true); status != 0) return status;
    o.ticket = TicketPath(recordPath);
    std::vector<std::string> send = {"--submit"};
    if (!o.submitServer.empty()) send.insert(send.end(), {"--server", o.submitServer});
    // The client that sends the game finishes by itself; nobody waits for it.
    ::signal(SIGCHLD, SIG_IGN);
    hooks.boardGame = [=](const std::string& replay) {
      std::vector<std::string> a = send;
      a.insert(a.begin() + 1, replay);
      std::printf("morvik: the board game is over; sending it to the board\n");
      RunSubmitter(a, exeDir, recordPath, settingsPath, false);
    };
  }
#endif
  // From here a stop signal ends the game as closing its window does.
  CatchStopSignals();
  if (!o.verify.empty()) return RunVerify(o, dataDir);
  // Headless runs (tests, traces, demos) never depend on a player's settings.
  if (o.headless) return RunHeadless(o, dataDir, recordPath);

  // A start that would be refused is refused before the window opens.
  std::string err;
  if (!CheckRunFiles(o, dataDir, recordPath, settingsPath, err)) {
    std::fprintf(stderr, "morvik: %s\n", err.c_str());
    return 2;
  }
  std::vector<std::string> notes;
  SettingsFile file;
  const Settings fromFile = LoadSettings(settingsPath, SdlInputNames(), notes, &file);
  for (const std::string& n : notes) std::fprintf(stderr, "morvik: %s\n", n.c_str());
  const SettingsStore settings = MakeSettingsStore(fromFile, file, o);

  SdlOptions so;
  so.settings = settings.run;
  so.dataDir = dataDir;
  so.screenshotDir = ScreenshotDir();
  auto plat = SdlPlatform::Create(so, err);
  if (!plat) {
    std::fprintf(stderr, "morvik: %s (use --headless to run without a display)\n", err.c_str());
    return 1;
  }
  const int status = PlayOnPlatform(*plat, false, o, dataDir, recordPath, &settings, hooks);
  plat->EndProcess(status);
}
