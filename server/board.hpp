// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Each server's copy of its boards in memory: GET /api/scores is answered
// from it without the database. The copy is read again when the database
// says a board changed (LISTEN on the board channel, which the runs' trigger
// notifies at the commit), so several servers in front of one database
// follow within a moment; it is also read again every half minute, and
// whole after the connection to the database was lost.
#include <atomic>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "store.hpp"

namespace morvik::server {

// One board as it was read: its ranked runs, and each answer (by the
// number of rows asked for) built once, with its entity tag.
class BoardCopy {
 public:
  BoardCopy(std::string board, std::string version, std::vector<Run> runs);
  struct Answer {
    std::shared_ptr<const std::string> body;
    std::string etag;  // "\"...\"": a digest of the body, the same on every server
  };
  // The first `limit` runs (1 to kBoardRows).
  Answer For(int limit) const;
  const std::vector<Run>& Runs() const { return runs_; }

 private:
  std::string board_, version_;
  std::vector<Run> runs_;
  std::vector<std::string> rows_;  // each run's JSON
  mutable std::mutex lock_;
  mutable std::vector<Answer> answers_;  // by limit, built on first use
};

class BoardCache {
 public:
  BoardCache(std::string conninfo, std::string version) : conninfo_(std::move(conninfo)), version_(std::move(version)) {}
  ~BoardCache() { Stop(); }
  // Reads `boards` now (throws when the database cannot be read), then keeps them up to date.
  void Start(const std::vector<std::string>& boards);
  void Stop();
  // The board's copy; null when it is not held (Load it, off the network's thread).
  std::shared_ptr<const BoardCopy> Get(const std::string& board) const;
  // Reads a board not held yet, and holds it from now on.
  std::shared_ptr<const BoardCopy> Load(pqxx::connection& c, const std::string& board);
  // Boards read again so far (for the tests' and operators' eyes).
  uint64_t Reads() const { return reads_; }

 private:
  void Loop();
  std::shared_ptr<const BoardCopy> Read(pqxx::connection& c, const std::string& board);
  std::string conninfo_, version_;
  mutable std::mutex lock_;
  std::map<std::string, std::shared_ptr<const BoardCopy>> boards_;
  static constexpr size_t kBoardsHeld = 64;
  std::set<std::string> kept_;                   // always held: the open board, today's
  mutable std::map<std::string, uint64_t> used_;  // when each was last asked for
  mutable uint64_t uses_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> reads_{0};
  std::thread thread_;
};

}  // namespace morvik::server
