// SPDX-License-Identifier: GPL-3.0-or-later
// morvik-server: the leaderboard. Takes games as demos, replays each with the
// game itself, and keeps what the replay reached in PostgreSQL; serves the
// site and its API on one origin.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "api.hpp"
#include "app/command_line.hpp"
#include "app/run.hpp"
#include "core/numeric.hpp"
#include "core/printable.hpp"
#include "board.hpp"
#include "http_front.hpp"
#include "store.hpp"
#include "verifier.hpp"


namespace {

using namespace morvik;
using namespace morvik::server;

const char kUsage[] =
    "usage: morvik-server [options]\n"
    "  --listen HOST:PORT     where to answer HTTP (default 127.0.0.1:8080; port 0 takes a free one)\n"
    "  --site DIR             serve the site's files from DIR beside the API\n"
    "  --db CONNINFO          the PostgreSQL database, as a libpq connection string\n"
    "                         (default: the PG* environment variables)\n"
    "  --workers N            verifier threads in this process (default 1; 0 for none)\n"
    "  --verify-only          only verify: no HTTP, just the verifier threads\n"
    "  --migrate-only         create or bring up the database's schema, then end\n"
    "  --data-dir DIR         the course files the replays play on\n"
    "  --per-minute N         submissions one address may make a minute (default 10; 0: no limit)\n"
    "  --trust-forwarded ADDRESS[/BITS],...\n"
    "                         the reverse proxies in front: from them, the client is the address\n"
    "                         X-Forwarded-For names (from anyone else the header is ignored)\n"
    "  --threads N            handlers that may wait for the database, at once (default 8)\n"
    "  --head-seconds N       time a request's head may take (default 10)\n"
    "  --body-seconds N       time a demo's upload may take (default 10)\n"
    "  --max-connections N    connections open at once (default 4096)\n"
    "  --per-address N        connections open at once from one address (default 64)\n"
    "  --lease SECONDS        how long a verifier's claim on a run lasts unrenewed (default 30)\n"
    "moderation, against the database (then the server ends):\n"
    "  --hide RUN --why TEXT  take a run off every board, with the reason its page shows\n"
    "  --unhide RUN [--why TEXT]  put a hidden run back\n"
    "  --moderation           every act of moderation, oldest first\n"
    "  --help, --version\n";

struct Config {
  std::string host = "127.0.0.1";
  int port = 8080;
  std::string site, db, dataDir;
  int workers = 1;
  bool verifyOnly = false, migrateOnly = false;
  ApiConfig api;
  FrontLimits front;
  Proxies proxies;
  int lease = 30;
  enum Moderation { kNone, kHide, kUnhide, kList } moderate = kNone;
  int64_t run = 0;
  std::string why;
};

// A moderator's act against the database, or the list of them; the exit status.
int Moderate(const Config& c) {
  try {
    pqxx::connection conn(c.db);
    if (c.moderate == Config::kList) {
      const std::vector<std::string> lines = ModerationLog(conn);
      for (const std::string& l : lines) std::printf("%s\n", Printable(l).c_str());
      if (lines.empty()) std::printf("no run was ever hidden\n");
      return 0;
    }
    std::string why;
    const bool hide = c.moderate == Config::kHide;
    if (!HideRun(conn, c.run, hide, c.why.empty() ? "brought back" : c.why, why)) {
      std::fprintf(stderr, "morvik-server: %s\n", Printable(why).c_str());
      return 1;
    }
    std::printf("morvik-server: run %lld %s\n", static_cast<long long>(c.run),
                hide ? "hidden from every board" : "back on its board");
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "morvik-server: the database cannot be used: %s\n", Printable(e.what()).c_str());
    return 1;
  }
}


// 0 to go on, else the exit status.
int ParseArgs(int argc, char** argv, Config& c) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc || !*argv[i + 1]) {
        std::fprintf(stderr, "morvik-server: %s needs a value\n", a.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto number = [&](int lo, int hi, int& out) {
      std::string v;
      if (!value(v)) return false;
      if (ParseWholeIn(v, lo, hi, out)) return true;
      std::fprintf(stderr, "morvik-server: %s takes a whole number from %d to %d, not '%s'\n", a.c_str(), lo, hi,
                   Printable(v).c_str());
      return false;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return -1;
    } else if (a == "--version") {
      std::printf("morvik-server (%s)\n", VersionText());
      return -1;
    } else if (a == "--listen") {
      if (!value(v)) return 2;
      const size_t colon = v.rfind(':');
      int port = 0;
      std::string host = colon == std::string::npos ? "" : v.substr(0, colon);
      if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
      if (host.empty() || !ParseWholeIn(v.substr(colon + 1), 0, 65535, port)) {
        std::fprintf(stderr, "morvik-server: --listen takes HOST:PORT, not '%s'\n", Printable(v).c_str());
        return 2;
      }
      c.host = host;
      c.port = port;
    } else if (a == "--site") {
      if (!value(c.site)) return 2;
    } else if (a == "--db") {
      if (!value(c.db)) return 2;
    } else if (a == "--data-dir") {
      if (!value(c.dataDir)) return 2;
    } else if (a == "--workers") {
      if (!number(0, 64, c.workers)) return 2;
    } else if (a == "--verify-only") {
      c.verifyOnly = true;
    } else if (a == "--migrate-only") {
      c.migrateOnly = true;
    } else if (a == "--per-minute") {
      if (!number(0, 1000000, c.api.perMinute)) return 2;
    } else if (a == "--trust-forwarded") {
      std::string why;
      if (i + 1 >= argc || std::string(argv[i + 1]).rfind("--", 0) == 0) {
        std::fprintf(stderr, "morvik-server: --trust-forwarded names the proxies whose X-Forwarded-For is believed "
                             "(ADDRESS[/BITS],..., for example 127.0.0.1)\n");
        return 2;
      }
      if (!value(v)) return 2;
      if (!c.proxies.Parse(v, why)) {
        std::fprintf(stderr, "morvik-server: --trust-forwarded: %s\n", Printable(why).c_str());
        return 2;
      }
    } else if (a == "--threads") {
      if (!number(1, 256, c.front.handlerThreads)) return 2;
    } else if (a == "--head-seconds") {
      if (!number(1, 600, c.front.headSeconds)) return 2;
    } else if (a == "--body-seconds") {
      if (!number(1, 600, c.front.bodySeconds)) return 2;
    } else if (a == "--max-connections") {
      if (!number(1, 1000000, c.front.maxConnections)) return 2;
    } else if (a == "--per-address") {
      if (!number(1, 1000000, c.front.perAddress)) return 2;
    } else if (a == "--lease") {
      if (!number(1, 3600, c.lease)) return 2;
    } else if (a == "--hide" || a == "--unhide") {
      if (!value(v)) return 2;
      uint64_t id = 0;
      if (!ParseWholeNumber(v, uint64_t{1} << 62, id) || id == 0) {
        std::fprintf(stderr, "morvik-server: %s takes a run's id, not '%s'\n", a.c_str(), Printable(v).c_str());
        return 2;
      }
      c.moderate = a == "--hide" ? Config::kHide : Config::kUnhide;
      c.run = static_cast<int64_t>(id);
    } else if (a == "--why") {
      if (!value(c.why)) return 2;
    } else if (a == "--moderation") {
      c.moderate = Config::kList;
    } else {
      std::fprintf(stderr, "morvik-server: unknown argument '%s' (try --help)\n", Printable(a).c_str());
      return 2;
    }
  }
  if (c.moderate == Config::kHide && c.why.empty()) {
    std::fprintf(stderr, "morvik-server: --hide needs --why TEXT: the reason is kept, and the run's page shows it\n");
    return 2;
  }
  if (!c.why.empty() && c.moderate != Config::kHide && c.moderate != Config::kUnhide) {
    std::fprintf(stderr, "morvik-server: --why goes with --hide or --unhide\n");
    return 2;
  }
  if (c.verifyOnly && c.workers == 0) {
    std::fprintf(stderr, "morvik-server: --verify-only needs at least one worker\n");
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Config c;
  if (const int status = ParseArgs(argc, argv, c); status != 0) return status < 0 ? 0 : status;
  // It reads what strangers send: never with the rights of root.
  if (::geteuid() == 0) {
    std::fprintf(stderr, "morvik-server: refusing to run as root; run it as an unprivileged user "
                         "(for example a system user of its own)\n");
    return 2;
  }
  const std::string exeDir = ExecutableDir();
  if (c.dataDir.empty())
    c.dataDir = ProgramDataDir(exeDir);
  if (c.workers > 0 && !c.migrateOnly && c.moderate == Config::kNone) {
    // Without the course every replay would play another game.
    if (const std::string note = MissingCourseNote(c.dataDir); !note.empty()) {
      std::fprintf(stderr, "morvik-server: %s; the replays cannot be verified (--data-dir DIR)\n", note.c_str());
      return 2;
    }
  }
  if (!c.verifyOnly && !c.site.empty()) {
    struct stat st {};
    if (::stat(c.site.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "morvik-server: the site %s is not a folder\n", Printable(c.site).c_str());
      return 2;
    }
  }
  c.api.site = c.site;
  // Each connection is a descriptor: as many as the system lets this process have.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
    ::getrlimit(RLIMIT_NOFILE, &files);
    const long spare = static_cast<long>(files.rlim_cur) - 64 - 2 * c.front.handlerThreads - c.workers;
    if (spare < c.front.maxConnections) {
      c.front.maxConnections = static_cast<int>(std::max(16L, spare));
      std::fprintf(stderr, "morvik-server: at most %d connections at once (the descriptors this process may open)\n",
                   c.front.maxConnections);
    }
  }

  // The stop signals are taken by one thread of their own; every other
  // thread leaves them alone.
  sigset_t stops;
  sigemptyset(&stops);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, s);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  try {
    pqxx::connection conn(c.db);
    Migrate(conn);
  } catch (const std::exception& e) {
    std::string what = e.what();
    while (!what.empty() && (what.back() == '\n' || what.back() == ' ')) what.pop_back();
    std::fprintf(stderr, "morvik-server: the database cannot be used: %s\n", Printable(what).c_str());
    return 1;
  }
  if (c.migrateOnly) {
    std::printf("morvik-server: the schema is at version %d\n", kSchemaVersion);
    return 0;
  }
  if (c.moderate != Config::kNone) return Moderate(c);

  std::atomic<bool> stopping{false};
  ConnectionPool pool(c.db, static_cast<size_t>(c.front.handlerThreads));
  Store store(pool);
  BoardCache boards(c.db, VersionText());
  Router router;
  std::unique_ptr<Front> front;
  if (!c.verifyOnly) {
    try {
      pqxx::connection conn(c.db);
      boards.Start({BoardKey(VersionText(), "open"), BoardKey(VersionText(), "daily-" + Today(conn))});
    } catch (const std::exception& e) {
      std::fprintf(stderr, "morvik-server: the board cannot be read: %s\n", Printable(e.what()).c_str());
      return 1;
    }
    AddApiRoutes(router, c.api, store, boards, pool);
    front = std::make_unique<Front>(router, c.front, c.proxies, ApiHooks());
    std::string why;
    if (!front->Listen(c.host, c.port, why)) {
      std::fprintf(stderr, "morvik-server: cannot listen on %s:%d: %s\n", Printable(c.host).c_str(), c.port,
                   why.c_str());
      return 1;
    }
    c.port = front->Port();
  }

  std::thread signals([&] {
    const timespec tick{0, 200 * 1000 * 1000};
    while (!stopping) {
      const int s = sigtimedwait(&stops, nullptr, &tick);
      if (s > 0) {
        stopping = true;
        if (front) front->Stop();
      }
    }
  });

  VerifierConfig vc;
  vc.conninfo = c.db;
  vc.dataDir = c.dataDir;
  vc.leaseSeconds = c.lease;
  Verifiers verifiers(vc, stopping);
  verifiers.Start(c.workers);

  int status = 0;
  if (front) {
    const std::string shown = c.host.find(':') != std::string::npos ? "[" + c.host + "]" : c.host;
    std::printf("morvik-server: serving http://%s:%d/ (%s; %d verifier%s)\n", shown.c_str(), c.port,
                c.site.empty() ? "no site" : ("site " + Printable(c.site)).c_str(), c.workers,
                c.workers == 1 ? "" : "s");
    std::fflush(stdout);
    front->Run();
    if (!stopping) {
      std::fprintf(stderr, "morvik-server: the HTTP server stopped\n");
      status = 1;
    }
  } else {
    std::printf("morvik-server: verifying with %d verifier%s\n", c.workers, c.workers == 1 ? "" : "s");
    std::fflush(stdout);
    while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  stopping = true;
  verifiers.Join();
  signals.join();
  boards.Stop();
  front.reset();
  std::fprintf(stderr, "morvik-server: stopped\n");
  return status;
}
