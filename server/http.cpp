// SPDX-License-Identifier: GPL-3.0-or-later
#include "http.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "app/command_line.hpp"
#include "app/verify.hpp"
#include "core/printable.hpp"
#include "store.hpp"

namespace morvik::server {

namespace {

using nlohmann::json;
using httplib::Request;
using httplib::Response;

template <class T>
json Opt(const std::optional<T>& v) {
  return v ? json(*v) : json(nullptr);
}

json RunJson(const Run& r) {
  json j = {{"id", r.id},
            {"name", r.name},
            {"status", r.status},
            {"score", Opt(r.score)},
            {"combo", Opt(r.combo)},
            {"frames", Opt(r.frames)},
            {"games", Opt(r.games)},
            {"version", Opt(r.version)},
            {"reason", Opt(r.reason)},
            {"date", r.date}};
  if (r.rank > 0) j["rank"] = r.rank;
  return j;
}

void SendJson(Response& res, int status, const json& j) {
  res.status = status;
  // Every text in an answer is valid UTF-8 already; a stray byte would be replaced, never sent.
  res.set_content(j.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
  res.set_header("Cache-Control", "no-store");
}

void SendError(Response& res, int status, const std::string& words) { SendJson(res, status, {{"error", words}}); }

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

// The address a submission is counted against.
std::string Address(const Request& req, bool trustForwarded) {
  if (trustForwarded) {
    // The proxy in front appends the address it saw last.
    const size_t n = req.get_header_value_count("X-Forwarded-For");
    if (n > 0) {
      std::string v = req.get_header_value("X-Forwarded-For", n - 1);
      const size_t comma = v.rfind(',');
      if (comma != std::string::npos) v = v.substr(comma + 1);
      const size_t a = v.find_first_not_of(' '), b = v.find_last_not_of(' ');
      if (a != std::string::npos) return v.substr(a, b - a + 1).substr(0, 64);
    }
  }
  return req.remote_addr;
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
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real) {
      root_ = real;
      std::free(real);
    }
  }
  void Serve(const Request& req, Response& res) const {
    if (root_.empty()) return SendError(res, 404, "this server has no site; its API is under /api/");
    const std::string& p = req.path;
    if (p.empty() || p[0] != '/' || p.find('\0') != std::string::npos || p.find('\\') != std::string::npos)
      return SendError(res, 400, "not a path to a file");
    for (size_t at = 1; at <= p.size();) {
      size_t end = p.find('/', at);
      if (end == std::string::npos) end = p.size();
      const std::string part = p.substr(at, end - at);
      if ((part.empty() && end != p.size()) || (!part.empty() && part[0] == '.'))
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
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (256 << 20)) {
      if (fd >= 0) ::close(fd);
      if (fd >= 0 && S_ISDIR(st.st_mode)) {
        res.set_redirect(p + "/", 301);
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
    res.set_content(std::move(body), ContentType(resolved));
    res.set_header("Cache-Control", "no-cache");
  }

 private:
  std::string root_;
};

const char* StatusWords(int status) {
  switch (status) {
    case 400: return "the request is not one this server understands";
    case 404: return "no such thing here";
    case 405: return "that method is not allowed here";
    case 408: return "the request came too slowly";
    case 413: return "the body is too large";
    case 414: return "the address is too long";
    default: return "the request failed";
  }
}

}  // namespace

std::unique_ptr<httplib::Server> MakeHttpServer(const HttpConfig& config, Store& store) {
  auto svr = std::make_unique<httplib::Server>();
  const int threads = config.threads;
  svr->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  svr->set_payload_max_length(config.maxBody);
  // An answer goes out in two writes (its head, then its body): without this
  // the second waits for the client's delayed acknowledgement, some 40 ms.
  svr->set_tcp_nodelay(true);
  svr->set_read_timeout(5, 0);
  svr->set_write_timeout(10, 0);
  svr->set_keep_alive_timeout(5);
  // The page runs only what comes from its own site; WebAssembly needs its
  // own word, and the page's empty icon is a data: address.
  svr->set_default_headers({
      {"Content-Security-Policy", "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; img-src 'self' data:"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      // Tells the page that the board's API is here (a plain static host has none).
      {"Morvik-Board", "1"},
  });
  svr->set_error_handler([](const Request&, Response& res) {
    if (res.body.empty()) SendError(res, res.status, StatusWords(res.status));
  });
  auto dbWarned = std::make_shared<std::once_flag>();
  svr->set_exception_handler([dbWarned](const Request&, Response& res, std::exception_ptr ep) {
    std::string what = "unknown";
    try {
      if (ep) std::rethrow_exception(ep);
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
    while (!what.empty() && (what.back() == '\n' || what.back() == ' ')) what.pop_back();
    std::fprintf(stderr, "morvik-server: a request failed: %s\n", Printable(what).c_str());
    SendError(res, 503, "the leaderboard cannot answer now; try again later");
  });

  svr->Post("/api/runs", [&store, config](const Request& req, Response& res, const httplib::ContentReader& reader) {
    // The body first, within its size and its time.
    std::string body;
    bool tooLarge = false, tooSlow = false;
    const auto start = std::chrono::steady_clock::now();
    const bool read = reader([&](const char* data, size_t n) {
      if (body.size() + n > config.maxBody) {
        tooLarge = true;
        return false;
      }
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(config.bodySeconds)) {
        tooSlow = true;
        return false;
      }
      body.append(data, n);
      return true;
    });
    if (!read || tooLarge || tooSlow) {
      res.set_header("Connection", "close");
      if (tooLarge || res.status == 413)
        return SendError(res, 413, "the demo is larger than " + std::to_string(config.maxBody >> 20) + " MiB");
      if (tooSlow) return SendError(res, 408, "the demo came too slowly");
      return SendError(res, 400, "the demo could not be read");
    }
    const std::string address = Address(req, config.trustForwarded);
    if (config.perMinute > 0 && store.CountSubmission(address) > config.perMinute) {
      res.set_header("Retry-After", "60");
      return SendError(res, 429, "too many submissions from your address: at most " +
                                     std::to_string(config.perMinute) + " a minute; try again in a minute");
    }
    std::string why;
    if (!req.has_param("name") || !CheckPlayerName(req.get_param_value("name"), why))
      return SendError(res, 400, why.empty() ? "no name given (?name=NAME)" : why);
    if (body.empty()) return SendError(res, 400, "the body is empty: send the bytes of a demo file");
    VerifyLimits limits;
    limits.maxBytes = config.maxBody;
    if (!CheckDemoBytes(reinterpret_cast<const uint8_t*>(body.data()), body.size(), limits, why))
      return SendError(res, 422, why);
    const Store::Accepted a = store.AddRun(req.get_param_value("name"), address, body);
    res.set_header("Location", "/api/runs/" + std::to_string(a.id));
    SendJson(res, a.fresh ? 202 : 200, {{"id", a.id}, {"status", a.status}});
  });

  svr->Get(R"(/api/runs/([^/]+))", [&store](const Request& req, Response& res) {
    int64_t id = 0;
    if (!ParseId(req.matches[1], id)) return SendError(res, 404, "a run's id is a number");
    const std::optional<Run> run = store.GetRun(id);
    if (!run) return SendError(res, 404, "no run " + std::to_string(id));
    SendJson(res, 200, RunJson(*run));
  });

  svr->Get(R"(/api/runs/([^/]+)/demo)", [&store](const Request& req, Response& res) {
    int64_t id = 0;
    if (!ParseId(req.matches[1], id)) return SendError(res, 404, "a run's id is a number");
    std::optional<std::string> demo = store.GetDemo(id);
    if (!demo) return SendError(res, 404, "no run " + std::to_string(id));
    res.status = 200;
    res.set_content(std::move(*demo), "application/octet-stream");
    res.set_header("Content-Disposition", "attachment; filename=\"morvik-run-" + std::to_string(id) + ".demo\"");
    res.set_header("Cache-Control", "public, max-age=86400, immutable");  // a run's demo never changes
  });

  svr->Get("/api/scores", [&store](const Request& req, Response& res) {
    int limit = 20;
    if (req.has_param("limit")) {
      const std::string v = req.get_param_value("limit");
      char* end = nullptr;
      const long n = v.size() <= 4 ? std::strtol(v.c_str(), &end, 10) : 0;
      if (v.empty() || !end || *end != '\0' || n < 1 || n > 100)
        return SendError(res, 400, "limit is a whole number from 1 to 100");
      limit = static_cast<int>(n);
    }
    json rows = json::array();
    for (const Run& r : store.Scores(limit, VersionText())) rows.push_back(RunJson(r));
    SendJson(res, 200, {{"version", VersionText()}, {"scores", rows}});
  });

  svr->Get(R"(/api(/.*)?)", [](const Request&, Response& res) { SendError(res, 404, "no such API"); });

  auto site = std::make_shared<Site>(config.site);
  svr->Get(".*", [site](const Request& req, Response& res) { site->Serve(req, res); });
  return svr;
}

}  // namespace morvik::server
