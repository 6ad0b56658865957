// SPDX-License-Identifier: GPL-3.0-or-later
#include "board.hpp"

#include <chrono>
#include <cstdio>
#include <set>

#include "core/printable.hpp"
#include "run_json.hpp"

namespace morvik::server {

namespace {

using Clock = std::chrono::steady_clock;

class Listener : public pqxx::notification_receiver {
 public:
  Listener(pqxx::connection& c, std::set<std::string>& dirty) : pqxx::notification_receiver(c, kBoardChannel), dirty_(dirty) {}
  void operator()(const std::string& payload, int) override { dirty_.insert(payload); }

 private:
  std::set<std::string>& dirty_;
};

std::string Digest(const std::string& s) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  char buf[24];
  std::snprintf(buf, sizeof buf, "\"%016llx\"", static_cast<unsigned long long>(h));
  return buf;
}

}  // namespace

BoardCopy::BoardCopy(std::string board, std::string version, std::vector<Run> runs)
    : board_(std::move(board)), version_(std::move(version)), runs_(std::move(runs)),
      answers_(static_cast<size_t>(kBoardRows) + 1) {
  rows_.reserve(runs_.size());
  for (const Run& r : runs_) rows_.push_back(JsonText(RunJson(r)));
}

BoardCopy::Answer BoardCopy::For(int limit) const {
  if (limit < 1) limit = 1;
  if (limit > kBoardRows) limit = kBoardRows;
  std::lock_guard<std::mutex> hold(lock_);
  Answer& a = answers_[static_cast<size_t>(limit)];
  if (!a.body) {
    const std::string course = board_.size() > version_.size() ? board_.substr(version_.size() + 1) : board_;
    std::string body = "{\"version\":" + JsonText(version_) + ",\"course\":" + JsonText(course) + ",\"scores\":[";
    for (size_t i = 0; i < rows_.size() && i < static_cast<size_t>(limit); ++i) {
      if (i > 0) body += ',';
      body += rows_[i];
    }
    body += "]}";
    a.etag = Digest(body);
    a.body = std::make_shared<const std::string>(std::move(body));
  }
  return a;
}

std::shared_ptr<const BoardCopy> BoardCache::Read(pqxx::connection& c, const std::string& board) {
  auto copy = std::make_shared<const BoardCopy>(board, version_, BoardRuns(c, board, kBoardRows));
  ++reads_;
  std::lock_guard<std::mutex> hold(lock_);
  // Days gone by are read when asked for; the ones asked for least lately
  // make room (the boards kept up to date always stay).
  if (boards_.size() >= kBoardsHeld && !boards_.count(board)) {
    auto oldest = boards_.end();
    for (auto it = boards_.begin(); it != boards_.end(); ++it)
      if (!kept_.count(it->first) && (oldest == boards_.end() || used_[it->first] < used_[oldest->first])) oldest = it;
    if (oldest != boards_.end()) {
      used_.erase(oldest->first);
      boards_.erase(oldest);
    }
  }
  boards_[board] = copy;
  used_[board] = ++uses_;
  return copy;
}

void BoardCache::Start(const std::vector<std::string>& boards) {
  pqxx::connection c(conninfo_);
  for (const std::string& b : boards) {
    kept_.insert(b);
    Read(c, b);
  }
  stopping_ = false;
  thread_ = std::thread([this] { Loop(); });
}

void BoardCache::Stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

std::shared_ptr<const BoardCopy> BoardCache::Get(const std::string& board) const {
  std::lock_guard<std::mutex> hold(lock_);
  const auto it = boards_.find(board);
  if (it == boards_.end()) return nullptr;
  used_[board] = ++uses_;
  return it->second;
}

std::shared_ptr<const BoardCopy> BoardCache::Load(pqxx::connection& c, const std::string& board) {
  if (auto held = Get(board)) return held;
  return Read(c, board);
}

void BoardCache::Loop() {
  std::unique_ptr<pqxx::connection> c;
  std::unique_ptr<Listener> listener;
  std::set<std::string> dirty;
  auto lastWhole = Clock::now();
  bool warned = false;
  auto held = [&] {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [key, copy] : boards_) dirty.insert(key);
  };
  while (!stopping_) {
    try {
      if (!c) {
        c = std::make_unique<pqxx::connection>(conninfo_);
        listener = std::make_unique<Listener>(*c, dirty);
        held();  // whatever changed while it was away
        if (warned) std::fprintf(stderr, "morvik-server: the boards' listener: the database is back\n");
        warned = false;
      }
      if (Clock::now() - lastWhole > std::chrono::seconds(30)) {
        held();
        lastWhole = Clock::now();
      }
      if (dirty.empty()) c->await_notification(0, 200 * 1000);
      if (dirty.empty()) continue;
      // Changes come in bursts (a verifier's, an operator's): a moment for the rest of it.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      c->get_notifs();
      std::set<std::string> todo;
      todo.swap(dirty);
      for (const std::string& b : todo)
        if (Get(b)) Read(*c, b);
    } catch (const std::exception& e) {
      if (!warned)
        std::fprintf(stderr, "morvik-server: the boards' listener: %s; trying again\n", Printable(e.what()).c_str());
      warned = true;
      listener.reset();
      c.reset();
      for (int i = 0; i < 20 && !stopping_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  listener.reset();
  c.reset();
}

}  // namespace morvik::server
