// SPDX-License-Identifier: GPL-3.0-or-later
#include "api.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/command_line.hpp"
#include "app/ticket.hpp"
#include "app/verify.hpp"
#include "core/numeric.hpp"
#include "core/printable.hpp"
#include "run_json.hpp"

namespace morvik::server {

namespace {

using nlohmann::json;

void SendJson(Response& res, int status, const json& j) {
  res.status = status;
  res.contentType = "application/json";
  res.body = JsonText(j);
  res.shared.reset();
  res.Set("Cache-Control", "no-store");
}

// An id as typed in a path: digits, within a bigint.
bool ParseId(const std::string& s, int64_t& id) {
  if (s.empty() || s.size() > 18) return false;
  id = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    id = id * 10 + (c - '0');
  }
  return true;
}

// A handler that reads the database: when it cannot be reached the answer
// is 503 (said once on stderr until it answers again).
Handler Guarded(Handler h) {
  auto warned = std::make_shared<std::atomic<bool>>(false);
  return [h = std::move(h), warned](const Request& req, Response& res) {
    try {
      h(req, res);
      warned->store(false);
    } catch (const pqxx::failure& e) {
      std::string what = e.what();
      while (!what.empty() && (what.back() == '\n' || what.back() == ' ')) what.pop_back();
      if (!warned->exchange(true))
        std::fprintf(stderr, "morvik-server: a request failed: %s\n", Printable(what).c_str());
      res = Response{};
      SendError(res, 503, "the leaderboard cannot answer now; try again later");
    }
  };
}

const char* ContentType(const std::string& path) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},   {".wasm", "application/wasm"},
      {".json", "application/json"},         {".webmanifest", "application/manifest+json"},
      {".png", "image/png"},                 {".svg", "image/svg+xml"},
      {".ico", "image/x-icon"},              {".ogg", "audio/ogg"},
      {".txt", "text/plain; charset=utf-8"},
  };
  for (const auto& [ext, type] : kTypes) {
    const size_t n = std::strlen(ext);
    if (path.size() >= n && path.compare(path.size() - n, n, ext) == 0) return type;
  }
  return "application/octet-stream";
}

// The site's files: only plain files inside the site's folder, reached by
// a path of plain names (no "..", no hidden names), never through a link
// that leads out of it.
class Site {
 public:
  explicit Site(const std::string& folder) {
    if (folder.empty()) return;
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real) {
      root_ = real;
      std::free(real);
    }
  }
  void Serve(const Request& req, Response& res) const {
    if (root_.empty()) return SendError(res, 404, "this server has no site; its API is under /api/");
    const std::string& p = req.path;
    if (p.empty() || p[0] != '/' || p.find('\\') != std::string::npos) return SendError(res, 400, "not a path to a file");
    for (size_t at = 1; at <= p.size();) {
      size_t end = p.find('/', at);
      if (end == std::string::npos) end = p.size();
      const std::string segment = p.substr(at, end - at);
      if ((segment.empty() && end != p.size()) || (!segment.empty() && segment[0] == '.'))
        return SendError(res, 404, "no such file");
      at = end + 1;
    }
    std::string path = root_ + p;
    if (path.back() == '/') path += "index.html";
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return SendError(res, 404, "no such file");
    const std::string resolved = real;
    std::free(real);
    if (resolved.compare(0, root_.size() + 1, root_ + "/") != 0) return SendError(res, 404, "no such file");
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (64 << 20)) {
      if (fd >= 0) ::close(fd);
      if (fd >= 0 && S_ISDIR(st.st_mode)) {
        SendError(res, 301, "a folder: its address ends with /");
        res.Set("Location", p + "/");
        return;
      }
      return SendError(res, 404, "no such file");
    }
    std::string body(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < body.size()) {
      const ssize_t n = ::read(fd, body.data() + done, body.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::close(fd);
    body.resize(done);
    res.status = 200;
    res.body = std::move(body);
    res.contentType = ContentType(resolved);
    res.Set("Cache-Control", "no-cache");
  }

 private:
  std::string root_;
};

// One range of bytes=FIRST-LAST, FIRST- or -SUFFIX over `size` bytes; false
// for anything else (several ranges included: the whole is sent then).
bool OneRange(const std::string& v, size_t size, size_t& from, size_t& to, bool& satisfiable) {
  if (v.rfind("bytes=", 0) != 0 || v.find(',') != std::string::npos) return false;
  const std::string r = v.substr(6);
  const size_t dash = r.find('-');
  if (dash == std::string::npos) return false;
  uint64_t a = 0, b = 0;
  const std::string first = r.substr(0, dash), last = r.substr(dash + 1);
  const uint64_t kMax = uint64_t{1} << 62;
  if (first.empty()) {
    if (!ParseWholeNumber(last, kMax, b) || b == 0) return false;
    satisfiable = size > 0;
    from = b >= size ? 0 : size - static_cast<size_t>(b);
    to = size - 1;
    return true;
  }
  if (!ParseWholeNumber(first, kMax, a)) return false;
  if (!last.empty() && (!ParseWholeNumber(last, kMax, b) || b < a)) return false;
  satisfiable = a < size;
  from = static_cast<size_t>(a);
  to = last.empty() || b >= size ? size - 1 : static_cast<size_t>(b);
  return true;
}

// An entity tag list of If-None-Match against ours ("*", weak tags compare too).
bool TagMatches(const std::string& header, const std::string& etag) {
  if (header.find('*') != std::string::npos) return true;
  size_t at = 0;
  while ((at = header.find('"', at)) != std::string::npos) {
    const size_t end = header.find('"', at + 1);
    if (end == std::string::npos) return false;
    if (header.compare(at, end - at + 1, etag) == 0) return true;
    at = end + 1;
  }
  return false;
}

// The UTC day now: "YYYY-MM-DD".
std::string UtcToday() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&now, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
  return buf;
}

// The board a request asks for: ?course=open (the default) or
// ?course=daily[&date=YYYY-MM-DD] (the default today, UTC; no day after today).
bool BoardCourse(const std::string* course, const std::string* date, std::string& out, Response& res) {
  if (!course || *course == "open") {
    if (date) {
      SendError(res, 400, "the open board has no date; ?course=daily&date=YYYY-MM-DD is a day's");
      return false;
    }
    out = "open";
    return true;
  }
  if (*course != "daily") {
    SendError(res, 400, "the course is open (the default) or daily");
    return false;
  }
  const std::string today = UtcToday();
  const std::string day = date ? *date : today;
  if (!IsCourse("daily-" + day) || day > today || day < "2026-01-01") {
    SendError(res, 400, "the date is a day from 2026-01-01 to today (" + today + "), as YYYY-MM-DD");
    return false;
  }
  out = "daily-" + day;
  return true;
}

}  // namespace

void SendError(Response& res, int status, const std::string& words) { SendJson(res, status, {{"error", words}}); }

FrontHooks ApiHooks() {
  FrontHooks h;
  h.error = [](int status, const std::string& words, Response& res) { SendError(res, status, words); };
  h.decorate = [](Response& res) {
    // The page runs only what comes from its own site; WebAssembly needs its
    // own word, and the page's empty icon is a data: address.
    res.Set("Content-Security-Policy", "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; img-src 'self' data:");
    res.Set("X-Content-Type-Options", "nosniff");
    res.Set("Referrer-Policy", "no-referrer");
    // Tells the page that the board's API is here (a plain static host has none).
    res.Set("Morvik-Board", "1");
  };
  return h;
}

void AddApiRoutes(Router& router, const ApiConfig& config, Store& store, BoardCache& boards, ConnectionPool& pool) {
  // A ticket for one game: the board's luck for it, and the name it is played under.
  RouteOptions ask;
  ask.maxBody = 4096;
  router.Add("POST", "/api/tickets", Guarded([&store, config](const Request& req, Response& res) {
    if (config.perMinute > 0 && store.CountSubmission("tickets " + req.client) > config.perMinute) {
      SendError(res, 429, "too many tickets asked for from your address: at most " + std::to_string(config.perMinute) +
                              " a minute; try again in a minute");
      res.Set("Retry-After", "60");
      return;
    }
    json body;
    try {
      body = json::parse(req.body);
    } catch (const std::exception&) {
      return SendError(res, 400, "send a JSON object: {\"name\": NAME, \"course\": \"daily\" or \"open\"}");
    }
    const auto text = [&](const char* key) -> std::string {
      return body.is_object() && body.contains(key) && body[key].is_string() ? body[key].get<std::string>() : "";
    };
    const std::string name = text("name"), course = text("course").empty() ? "open" : text("course");
    std::string why;
    if (!CheckPlayerName(name, why)) return SendError(res, 400, why);
    if (course != "daily" && course != "open")
      return SendError(res, 400, "the course is \"daily\" (today's, one try a day) or \"open\"");
    const std::string* key = req.Header("Morvik-Key");
    const Store::TicketAnswer t = store.IssueTicket(name, course, key ? *key : "", req.client);
    if (t.status != 201) return SendError(res, t.status, t.error);
    char seed[17];
    std::snprintf(seed, sizeof seed, "%016llx", static_cast<unsigned long long>(t.seed));
    json j = {{"ticket", t.id}, {"seed", seed},        {"course", t.course},
              {"name", t.name}, {"issued", t.issued}, {"expires", t.expires}};
    if (!t.key.empty()) j["key"] = t.key;
    SendJson(res, 201, j);
  }), ask);

  RouteOptions upload;
  upload.maxBody = config.maxBody;
  router.Add("POST", "/api/runs", Guarded([&store, config](const Request& req, Response& res) {
    const std::string& address = req.client;
    if (config.perMinute > 0 && store.CountSubmission(address) > config.perMinute) {
      SendError(res, 429, "too many submissions from your address: at most " + std::to_string(config.perMinute) +
                              " a minute; try again in a minute");
      res.Set("Retry-After", "60");
      return;
    }
    if (req.body.empty()) return SendError(res, 400, "the body is empty: send the bytes of a demo file");
    // Only what costs nothing here: the header, the sizes and the checksum.
    // The reads are unpacked by a verifier.
    VerifyLimits limits;
    limits.maxBytes = config.maxBody;
    DemoHeader header;
    std::string why;
    if (!CheckDemoHeader(reinterpret_cast<const uint8_t*>(req.body.data()), req.body.size(), limits, why, &header))
      return SendError(res, 422, why);
    if (!header.hasTicket)
      return SendError(res, 422, "the replay was not played on a ticket, and the board ranks only games played on "
                                 "its tickets: ask it for one (POST /api/tickets; in the page, \"Play today's course\" "
                                 "or \"Play for the open board\"; on the desktop, morvik --board daily or open) and "
                                 "play the game on it");
    if (header.bot)
      return SendError(res, 422, "the replay is marked as a game of the automatic player; the board ranks players' games");
    const Store::RunAnswer a = store.AddTicketRun(address, req.body, header.ticket.id, header.ticket.seed,
                                                  header.ticket.course, config.maxWaiting);
    if (!a.error.empty()) {
      SendError(res, a.status, a.error);
      if (a.status == 429) res.Set("Retry-After", "60");
      return;
    }
    SendJson(res, a.status, {{"id", a.id}, {"status", a.runStatus}});
    res.Set("Location", "/api/runs/" + std::to_string(a.id));
  }), upload);

  router.Add("GET", "/api/runs/{}", Guarded([&store](const Request& req, Response& res) {
    int64_t id = 0;
    if (!ParseId(req.params[0], id)) return SendError(res, 404, "a run's id is a number");
    const std::optional<Run> run = store.GetRun(id);
    if (!run) return SendError(res, 404, "no run " + std::to_string(id));
    SendJson(res, 200, RunJson(*run));
  }));

  router.Add("GET", "/api/runs/{}/demo", Guarded([&store](const Request& req, Response& res) {
    int64_t id = 0;
    if (!ParseId(req.params[0], id)) return SendError(res, 404, "a run's id is a number");
    Store::Demo demo = store.GetDemo(id);
    if (!demo.found) return SendError(res, 404, "no run " + std::to_string(id));
    if (!demo.kept) return SendError(res, 410, "run " + std::to_string(id) + " was rejected; its demo is not kept");
    const size_t size = demo.bytes.size();
    res.status = 200;
    res.contentType = "application/octet-stream";
    res.Set("Content-Disposition", "attachment; filename=\"morvik-run-" + std::to_string(id) + ".demo\"");
    res.Set("Cache-Control", "public, max-age=86400, immutable");  // a run's demo never changes
    res.Set("Accept-Ranges", "bytes");
    size_t from = 0, to = 0;
    bool satisfiable = false;
    const std::string* range = req.Header("Range");
    if (range && OneRange(*range, size, from, to, satisfiable)) {
      if (!satisfiable) {
        SendError(res, 416, "the range lies beyond the demo's " + std::to_string(size) + " bytes");
        res.Set("Content-Range", "bytes */" + std::to_string(size));
        return;
      }
      res.status = 206;
      res.Set("Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" + std::to_string(size));
      res.body = demo.bytes.substr(from, to - from + 1);
      return;
    }
    res.body = std::move(demo.bytes);
  }));

  // The board from this server's copy, on the network's thread; a board not
  // held yet is read once on a handler's thread.
  RouteOptions fromMemory;
  fromMemory.inlineHandler = true;
  router.Add("GET", "/api/scores", Guarded([&boards, &pool](const Request& req, Response& res) {
    int limit = 20;
    if (const std::string* v = req.Query("limit"); v && !ParseWholeIn(*v, 1, kBoardRows, limit))
      return SendError(res, 400, "limit is a whole number from 1 to " + std::to_string(kBoardRows));
    std::string course;
    if (!BoardCourse(req.Query("course"), req.Query("date"), course, res)) return;
    const std::string board = BoardKey(VersionText(), course);
    std::shared_ptr<const BoardCopy> copy = boards.Get(board);
    if (!copy) {
      if (!res.mayWait) return res.Defer();
      auto lease = pool.Take();
      copy = boards.Load(*lease, board);
    }
    const BoardCopy::Answer a = copy->For(limit);
    res.Set("ETag", a.etag);
    // Reads a reverse proxy or a CDN in front may answer for a few seconds.
    res.Set("Cache-Control", "public, max-age=5");
    if (const std::string* inm = req.Header("If-None-Match"); inm && TagMatches(*inm, a.etag)) {
      res.status = 304;
      return;
    }
    res.status = 200;
    res.contentType = "application/json";
    res.shared = a.body;
  }), fromMemory);

  router.Add("GET", "/api/{*}", [](const Request&, Response& res) { SendError(res, 404, "no such API"); });

  auto site = std::make_shared<Site>(config.site);
  router.Add("GET", "/{*}", [site](const Request& req, Response& res) { site->Serve(req, res); });
}

}  // namespace morvik::server
