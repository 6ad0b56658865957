// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/submit.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <cctype>
#include <mutex>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "app/command_line.hpp"
#include "app/replays.hpp"
#include "app/ticket.hpp"
#include "app/settings.hpp"
#include "app/verify.hpp"
#include "core/files.hpp"
#include "core/printable.hpp"

namespace morvik {

namespace {

using nlohmann::json;

// The system's store of certificate authorities, as Debian keeps it.
constexpr const char* kCaFile = "/etc/ssl/certs/ca-certificates.crt";
constexpr const char* kCaDir = "/etc/ssl/certs";

bool Loopback(const std::string& host) {
  if (host == "localhost") return true;
  in_addr a4{};
  if (::inet_pton(AF_INET, host.c_str(), &a4) == 1) return (ntohl(a4.s_addr) >> 24) == 127;
  in6_addr a6{};
  return ::inet_pton(AF_INET6, host.c_str(), &a6) == 1 && IN6_IS_ADDR_LOOPBACK(&a6);
}

// Reads a replay of at most `limit` bytes; false with the reason.
bool ReadReplay(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, std::string& why) {
  const FileRead r = ReadPlainFile(path, limit);
  if (r.outcome != FileRead::kRead) {
    why = r.outcome == FileRead::kTooLarge ? "larger than the board takes (" + std::to_string(limit >> 20) + " MiB)"
                                           : r.Why();
    return false;
  }
  bytes.assign(r.bytes.begin(), r.bytes.end());
  return true;
}

// No board holds the client longer than this for one exchange, nor sends it more.
constexpr int kExchangeSeconds = 30;
constexpr size_t kMaxAnswer = 64 << 10;

// One exchange with the board under an overall deadline: when it passes,
// the connection is shut from here, whatever the board is doing (a byte
// every few seconds would restart a read timeout for ever).
class Deadline {
 public:
  Deadline(httplib::Client& cli, int seconds)
      : cli_(cli), until_(std::chrono::steady_clock::now() + std::chrono::seconds(seconds)),
        watch_([this] {
          std::unique_lock<std::mutex> hold(lock_);
          if (!wake_.wait_until(hold, until_, [&] { return done_; })) {
            expired_ = true;
            cli_.stop();
          }
        }) {}
  ~Deadline() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      done_ = true;
    }
    wake_.notify_all();
    watch_.join();
  }
  bool Expired() {
    std::lock_guard<std::mutex> hold(lock_);
    return expired_;
  }

 private:
  httplib::Client& cli_;
  const std::chrono::steady_clock::time_point until_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool done_ = false, expired_ = false;
  std::thread watch_;
};

// An answer: its status and at most kMaxAnswer bytes of body.
struct Answer {
  httplib::Result res{nullptr, httplib::Error::Unknown};
  std::string body;
  bool tooLarge = false, late = false;
};

Answer Exchange(httplib::Client& cli, const std::string& method, const std::string& path, const std::vector<uint8_t>* body) {
  Answer a;
  httplib::Request req;
  req.method = method;
  req.path = path;
  if (body) {
    req.body.assign(reinterpret_cast<const char*>(body->data()), body->size());
    req.set_header("Content-Type", "application/octet-stream");
  }
  req.content_receiver = [&a](const char* data, size_t n, uint64_t, uint64_t) {
    if (a.body.size() + n > kMaxAnswer) {
      a.tooLarge = true;
      return false;
    }
    a.body.append(data, n);
    return true;
  };
  Deadline deadline(cli, kExchangeSeconds);
  a.res = cli.send(req);
  a.late = deadline.Expired();
  return a;
}

// The words of a refusal: the board's {"error"} when it gave one.
std::string Refusal(const Answer& res) {
  try {
    const json j = json::parse(res.body);
    if (j.is_object() && j.contains("error") && j["error"].is_string())
      return Printable(j["error"].get<std::string>());
  } catch (const std::exception&) {
  }
  return "it answered " + std::to_string(res.res->status);
}

int64_t Number(const json& j, const char* key) {
  return j.contains(key) && j[key].is_number_integer() ? j[key].get<int64_t>() : 0;
}
std::string Text(const json& j, const char* key) {
  return j.contains(key) && j[key].is_string() ? Printable(j[key].get<std::string>()) : "";
}

}  // namespace

bool ParseBoardUrl(const std::string& url, BoardUrl& out, std::string& why) {
  out = BoardUrl{};
  std::string rest;
  if (url.rfind("https://", 0) == 0) {
    out.https = true;
    rest = url.substr(8);
  } else if (url.rfind("http://", 0) == 0) {
    rest = url.substr(7);
  } else {
    why = "the board's address " + Printable(url) + " does not start with https:// (or http:// on this machine)";
    return false;
  }
  const size_t slash = rest.find('/');
  std::string hostPort = rest.substr(0, slash);
  out.prefix = slash == std::string::npos ? "" : rest.substr(slash);
  while (!out.prefix.empty() && out.prefix.back() == '/') out.prefix.pop_back();
  if (out.prefix.find_first_of("?# ") != std::string::npos || hostPort.find('@') != std::string::npos) {
    why = "the board's address " + Printable(url) + " is not a plain https://HOST[:PORT][/PATH]";
    return false;
  }
  out.port = out.https ? 443 : 80;
  std::string portText;
  if (!hostPort.empty() && hostPort[0] == '[') {
    const size_t close = hostPort.find(']');
    if (close == std::string::npos) {
      why = "the board's address " + Printable(url) + " has an unclosed [";
      return false;
    }
    out.host = hostPort.substr(1, close - 1);
    if (close + 1 < hostPort.size()) {
      if (hostPort[close + 1] != ':') {
        why = "the board's address " + Printable(url) + " is not a plain https://HOST[:PORT][/PATH]";
        return false;
      }
      portText = hostPort.substr(close + 2);
    }
  } else {
    const size_t colon = hostPort.find(':');
    out.host = hostPort.substr(0, colon);
    if (colon != std::string::npos) portText = hostPort.substr(colon + 1);
  }
  if (out.host.empty()) {
    why = "the board's address " + Printable(url) + " names no host";
    return false;
  }
  if (!portText.empty() || hostPort.back() == ':') {
    int p = 0;
    bool digits = !portText.empty() && portText.size() <= 5;
    for (char c : portText) digits = digits && c >= '0' && c <= '9';
    if (digits) p = std::stoi(portText);
    if (!digits || p < 1 || p > 65535) {
      why = "the board's address " + Printable(url) + " has a port that is not a number from 1 to 65535";
      return false;
    }
    out.port = p;
  }
  if (!out.https && !Loopback(out.host)) {
    why = "plain http:// goes only to this machine (127.0.0.1, ::1, localhost); for " + Printable(out.host) +
          " use https://";
    return false;
  }
  return true;
}

namespace {

// A client for the board at `url`, with the certificate checked for https.
struct BoardClient {
  BoardUrl b;
  std::string origin, api;
  std::unique_ptr<httplib::Client> cli;
  bool Open(const std::string& url, std::string& why) {
    if (!ParseBoardUrl(url, b, why)) return false;
    const std::string host = b.host.find(':') != std::string::npos ? "[" + b.host + "]" : b.host;
    origin = (b.https ? "https://" : "http://") + host + ":" + std::to_string(b.port);
    api = b.prefix + "/api";
    cli = std::make_unique<httplib::Client>(origin);
    if (b.https) {
      cli->enable_server_certificate_verification(true);
      cli->set_ca_cert_path(kCaFile, kCaDir);
    }
    cli->set_connection_timeout(10, 0);
    cli->set_read_timeout(kExchangeSeconds, 0);
    cli->set_write_timeout(kExchangeSeconds, 0);
    cli->set_follow_location(false);
    cli->set_tcp_nodelay(true);
    return true;
  }
  std::string Failed(const std::string& url, const Answer& a) const {
    if (a.tooLarge)
      return "the board at " + Printable(url) + " sent an answer larger than " + std::to_string(kMaxAnswer >> 10) +
             " KB; is it a Morvik leaderboard?";
    if (a.late)
      return "the board at " + Printable(url) + " did not answer within " + std::to_string(kExchangeSeconds) + " s";
    std::string w = "the board at " + Printable(url) + " cannot be reached (" + httplib::to_string(a.res.error()) + ")";
    if (b.https && a.res.error() == httplib::Error::SSLServerVerification)
      w = "the board at " + Printable(url) + " did not prove who it is: its certificate is not trusted here";
    return w;
  }
};

}  // namespace

bool AskTicket(const std::string& url, const std::string& name, const std::string& course, const std::string& key,
               Ticket& out, std::string& json, std::string& why) {
  BoardClient bc;
  if (!bc.Open(url, why)) return false;
  httplib::Request req;
  req.method = "POST";
  req.path = bc.api + "/tickets";
  req.body = nlohmann::json({{"name", name}, {"course", course}}).dump();
  req.set_header("Content-Type", "application/json");
  if (!key.empty()) req.set_header("Morvik-Key", key);
  Answer a;
  req.content_receiver = [&a](const char* data, size_t n, uint64_t, uint64_t) {
    if (a.body.size() + n > kMaxAnswer) {
      a.tooLarge = true;
      return false;
    }
    a.body.append(data, n);
    return true;
  };
  {
    Deadline deadline(*bc.cli, kExchangeSeconds);
    a.res = bc.cli->send(req);
    a.late = deadline.Expired();
  }
  if (!a.res || a.tooLarge || a.late) {
    why = bc.Failed(url, a);
    return false;
  }
  if (a.res->status != 201) {
    why = "the board gave no ticket: " + Refusal(a);
    return false;
  }
  if (!ReadTicket(a.body, out, why)) {
    why = "the board's answer is " + why;
    return false;
  }
  json = a.body;
  return true;
}

bool SubmitReplay(const std::string& url, const std::vector<uint8_t>& demo, int waitSeconds, SubmitResult& out,
                  std::string& why, const std::function<void(const std::string&)>& note) {
  BoardClient board;
  if (!board.Open(url, why)) return false;
  httplib::Client& cli = *board.cli;
  auto failed = [&](const Answer& a) { return board.Failed(url, a); };
  const std::string& api = board.api;
  const Answer res = Exchange(cli, "POST", api + "/runs", &demo);
  if (!res.res || res.tooLarge || res.late) {
    why = failed(res);
    return false;
  }
  if (res.res->status != 200 && res.res->status != 202) {
    why = "the board refused the replay: " + Refusal(res);
    return false;
  }
  json sent;
  try {
    sent = json::parse(res.body);
  } catch (const std::exception&) {
  }
  out.id = sent.is_object() ? Number(sent, "id") : 0;
  if (out.id <= 0) {
    why = "the board at " + Printable(url) + " gave no run number; is it a Morvik leaderboard?";
    return false;
  }
  out.runUrl = board.origin + api + "/runs/" + std::to_string(out.id);
  if (note) note("sent as run " + std::to_string(out.id) + "; waiting for its replay to be verified");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  for (;;) {
    const Answer r = Exchange(cli, "GET", api + "/runs/" + std::to_string(out.id), nullptr);
    if (!r.res || r.tooLarge || r.late) {
      why = failed(r);
      return false;
    }
    json j;
    try {
      j = json::parse(r.body);
    } catch (const std::exception&) {
    }
    if (r.res->status != 200 || !j.is_object()) {
      why = "the board could not say how run " + std::to_string(out.id) + " went: " + Refusal(r);
      return false;
    }
    out.status = Text(j, "status");
    if (out.status != "pending") {
      out.score = Number(j, "score");
      out.combo = Number(j, "combo");
      out.frames = Number(j, "frames");
      out.games = Number(j, "games");
      out.version = Text(j, "version");
      out.reason = Text(j, "reason");
      return true;
    }
    if (std::chrono::steady_clock::now() >= until) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
}

namespace {

// The board named on the command line, or the settings file's; "" with a
// message said when there is none or it is not one to send to.
std::string BoardOf(const Options& o, const Settings& s, const std::string& settingsPath) {
  const std::string url = o.submitServer.empty() ? s.leaderboard : o.submitServer;
  if (url.empty()) {
    std::fprintf(stderr, "morvik: no leaderboard named: give --server URL, or add a line 'leaderboard URL' to %s\n",
                 settingsPath.empty() ? "the settings file" : Printable(settingsPath).c_str());
    return "";
  }
  BoardUrl b;
  std::string why;
  if (!ParseBoardUrl(url, b, why)) {
    std::fprintf(stderr, "morvik: %s\n", why.c_str());
    return "";
  }
  return url;
}

Settings ReadSettings(const std::string& settingsPath) {
  std::vector<std::string> notes;
  return LoadSettings(settingsPath, InputNames{}, notes);
}

// The replay a plain --submit sends: the newest game played for a board.
std::string NewestBoardReplay(const std::string& recordPath) {
  const std::string folder = ReplayFolder(recordPath);
  std::error_code ec;
  std::filesystem::path best;
  std::filesystem::file_time_type when{};
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string n = e.path().filename().string();
    if (n.rfind("board-", 0) != 0 || e.path().extension() != ".demo") continue;
    const auto t = e.last_write_time(ec);
    if (best.empty() || t > when) best = e.path(), when = t;
  }
  return best.string();
}

}  // namespace

std::string KeysPath(const std::string& recordPath) {
  if (recordPath.empty()) return "";
  const std::filesystem::path dir = std::filesystem::path(recordPath).parent_path();
  return ((dir.empty() ? std::filesystem::path(".") : dir) / "board-keys.txt").string();
}

std::string StoredKey(const std::string& keysPath, const std::string& url, const std::string& name) {
  const FileRead r = ReadPlainFile(keysPath, 1 << 20);
  if (r.outcome != FileRead::kRead) return "";
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t at = 0;
  while (at < r.bytes.size()) {
    size_t end = r.bytes.find('\n', at);
    if (end == std::string::npos) end = r.bytes.size();
    const std::string line = r.bytes.substr(at, end - at);
    at = end + 1;
    const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    if (t1 == std::string::npos || t2 == std::string::npos) continue;
    std::string n = line.substr(t1 + 1, t2 - t1 - 1);
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.compare(0, t1, url) == 0 && n == lower) return line.substr(t2 + 1);
  }
  return "";
}

bool StoreKey(const std::string& keysPath, const std::string& url, const std::string& name, const std::string& key,
              std::string& why) {
  std::string text;
  const FileRead r = ReadPlainFile(keysPath, 1 << 20);
  if (r.outcome == FileRead::kRead) text = r.bytes;
  else if (r.outcome != FileRead::kMissing) {
    why = r.Why();
    return false;
  }
  // The name's line on that board is replaced; every other is kept.
  std::string kept, lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    std::string n = t1 == std::string::npos || t2 == std::string::npos ? "" : line.substr(t1 + 1, t2 - t1 - 1);
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!line.empty() && !(line.compare(0, t1, url) == 0 && n == lower)) kept += line + "\n";
  }
  if (text.empty()) kept = "# The keys of the names you own on leaderboards: board, name, key. Keep them secret.\n";
  kept += url + "\t" + name + "\t" + key + "\n";
  ReplaceOptions how;
  how.intoDevices = false;
  how.ownerOnly = true;
  const size_t slash = keysPath.find_last_of('/');
  return (slash == std::string::npos || MakeFolders(keysPath.substr(0, slash), why)) &&
         ReplaceFile(keysPath, kept, why, how);
}

int SubmitCommand(const Options& o, const std::string& recordPath, const std::string& settingsPath) {
  const Settings settings = ReadSettings(settingsPath);
  const std::string url = BoardOf(o, settings, settingsPath);
  if (url.empty()) return 2;
  std::string why;
  const std::string replay = !o.submitReplay.empty() ? o.submitReplay : NewestBoardReplay(recordPath);
  if (replay.empty()) {
    std::fprintf(stderr, "morvik: no game played for a board yet (they are kept as %s/board-TICKET.demo): play one "
                         "with morvik --board daily or open, or name a replay: morvik --submit FILE\n",
                 Printable(ReplayFolder(recordPath)).c_str());
    return 2;
  }
  std::vector<uint8_t> bytes;
  const VerifyLimits limits;
  if (!ReadReplay(replay, limits.maxBytes, bytes, why)) {
    std::fprintf(stderr, "morvik: cannot read the replay %s: %s\n", Printable(replay).c_str(), why.c_str());
    return 2;
  }
  // Said here rather than by the board: a demo of another version, no demo
  // at all, or a game not played for a board.
  DemoHeader header;
  if (!CheckDemoHeader(bytes.data(), bytes.size(), limits, why, &header) ||
      !CheckDemoBytes(bytes.data(), bytes.size(), limits, why)) {
    std::fprintf(stderr, "morvik: %s cannot go on the board: %s\n", Printable(replay).c_str(), why.c_str());
    return 2;
  }
  if (!header.hasTicket) {
    std::fprintf(stderr, "morvik: %s was not played on a ticket, and a board ranks only games played on its "
                         "tickets: play one with morvik --board daily (today's course) or --board open\n",
                 Printable(replay).c_str());
    return 2;
  }
  SubmitResult r;
  const bool sent = SubmitReplay(url, bytes, 300, r, why, [](const std::string& step) {
    std::printf("morvik: %s\n", step.c_str());
    std::fflush(stdout);
  });
  if (!sent) {
    std::fprintf(stderr, "morvik: %s\n", why.c_str());
    return 1;
  }
  if (r.status == "verified") {
    std::printf("morvik: run %lld verified: score %lld, combo %lld, %lld frames on %s (%s)\n",
                static_cast<long long>(r.id), static_cast<long long>(r.score), static_cast<long long>(r.combo),
                static_cast<long long>(r.frames), Printable(header.ticket.course).c_str(), r.version.c_str());
    return 0;
  }
  if (r.status == "rejected") {
    std::printf("morvik: run %lld rejected: %s\n", static_cast<long long>(r.id), r.reason.c_str());
    return 1;
  }
  std::printf("morvik: run %lld is still waiting for its replay; see %s\n", static_cast<long long>(r.id),
              r.runUrl.c_str());
  return 1;
}

int TicketCommand(const Options& o, const std::string& recordPath, const std::string& settingsPath) {
  const Settings settings = ReadSettings(settingsPath);
  const std::string url = BoardOf(o, settings, settingsPath);
  if (url.empty()) return 2;
  const std::string name = o.submitName.empty() ? settings.boardName : o.submitName;
  std::string why;
  if (name.empty()) {
    std::fprintf(stderr, "morvik: --board needs --name NAME (or a line 'board-name NAME' in %s)\n",
                 settingsPath.empty() ? "the settings file" : Printable(settingsPath).c_str());
    return 2;
  }
  if (!CheckPlayerName(name, why)) {
    std::fprintf(stderr, "morvik: --name: %s\n", why.c_str());
    return 2;
  }
  const std::string keys = KeysPath(recordPath), folder = ReplayFolder(recordPath);
  if (keys.empty()) {
    std::fprintf(stderr, "morvik: no folder of your own to keep the board's key and the game in (neither "
                         "XDG_DATA_HOME nor HOME is set)\n");
    return 2;
  }
  Ticket t;
  std::string json;
  if (!AskTicket(url, name, o.board, StoredKey(keys, url, name), t, json, why)) {
    std::fprintf(stderr, "morvik: %s\n", why.c_str());
    return 1;
  }
  if (!t.key.empty()) {
    if (!StoreKey(keys, url, t.name, t.key, why)) {
      std::fprintf(stderr, "morvik: the name %s is yours now, but its key could not be kept in %s (%s); keep it "
                           "yourself: %s\n", Printable(t.name).c_str(), Printable(keys).c_str(), why.c_str(),
                   t.key.c_str());
    } else {
      std::printf("morvik: the name %s is yours on this board; its key is kept in %s (morvik --board-key shows it, "
                  "to play under the name on another machine)\n", Printable(t.name).c_str(), Printable(keys).c_str());
    }
  }
  ReplaceOptions how;
  how.intoDevices = false;
  if (!MakeFolders(folder, why) || !ReplaceFile(TicketPath(recordPath), json, why, how)) {
    std::fprintf(stderr, "morvik: the ticket could not be kept in %s: %s\n", Printable(folder).c_str(), why.c_str());
    return 1;
  }
  std::printf("morvik: a ticket for %s on %s: the next game is played for the board\n", Printable(t.name).c_str(),
              Printable(t.course).c_str());
  std::fflush(stdout);
  return 0;
}

int KeyCommand(const Options& o, const std::string& recordPath, const std::string& settingsPath) {
  const Settings settings = ReadSettings(settingsPath);
  const std::string url = BoardOf(o, settings, settingsPath);
  if (url.empty()) return 2;
  const std::string name = o.submitName.empty() ? settings.boardName : o.submitName;
  std::string why;
  if (name.empty() || !CheckPlayerName(name, why)) {
    std::fprintf(stderr, "morvik: --board-key needs the name: --name NAME (or a line 'board-name NAME')%s%s\n",
                 why.empty() ? "" : ": ", why.c_str());
    return 2;
  }
  const std::string keys = KeysPath(recordPath);
  if (o.boardKey.empty()) {
    const std::string key = keys.empty() ? "" : StoredKey(keys, url, name);
    if (key.empty()) {
      std::fprintf(stderr, "morvik: no key of %s's on %s is kept here\n", Printable(name).c_str(), Printable(url).c_str());
      return 1;
    }
    std::printf("%s\n", key.c_str());
    return 0;
  }
  bool hex = o.boardKey.size() == 32;
  for (char c : o.boardKey) hex = hex && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
  if (!hex) {
    std::fprintf(stderr, "morvik: a key is the 32 hex digits the board gave (morvik --board-key shows it)\n");
    return 2;
  }
  if (keys.empty() || !StoreKey(keys, url, name, o.boardKey, why)) {
    std::fprintf(stderr, "morvik: the key could not be kept: %s\n", keys.empty() ? "no folder of your own" : why.c_str());
    return 1;
  }
  std::printf("morvik: %s plays under its key on %s from now on\n", Printable(name).c_str(), Printable(url).c_str());
  return 0;
}

}  // namespace morvik
