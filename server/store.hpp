// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The leaderboard's one shared state, in PostgreSQL: the runs with their
// demos and verdicts, the submissions counted by address, and the schema's
// version. Every statement binds its values as parameters.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <pqxx/pqxx>

namespace morvik::server {

// A run as the API shows it; what does not apply yet is missing.
struct Run {
  int64_t id = 0;
  std::string name, status, date;
  std::optional<int32_t> score, combo, games;
  std::optional<int64_t> frames;
  std::optional<std::string> version, reason;
  int64_t rank = 0;  // on the board only
};

// A run claimed by a verifier: its demo, and the claim's number, which
// every later write about it must name.
struct Claim {
  int64_t id = 0;
  int32_t claim = 0;
  std::string demo;
};

// What a verifier found.
struct Finding {
  bool verified = false;
  int32_t score = 0, combo = 0, games = 0;
  int64_t frames = 0;
  std::string version, reason;
};

// A few connections shared by the threads that answer requests.
class ConnectionPool {
 public:
  ConnectionPool(std::string conninfo, size_t size) : conninfo_(std::move(conninfo)), size_(size) {}

  // A connection for one request; handed back when it goes out of scope,
  // dropped instead when it broke.
  class Lease {
   public:
    Lease(ConnectionPool& pool, std::unique_ptr<pqxx::connection> c) : pool_(pool), c_(std::move(c)) {}
    ~Lease() { pool_.Give(std::move(c_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    pqxx::connection& operator*() { return *c_; }

   private:
    ConnectionPool& pool_;
    std::unique_ptr<pqxx::connection> c_;
  };
  Lease Take();
  const std::string& Conninfo() const { return conninfo_; }

 private:
  void Give(std::unique_ptr<pqxx::connection> c);
  std::string conninfo_;
  size_t size_, out_ = 0;
  std::vector<std::unique_ptr<pqxx::connection>> idle_;
  std::mutex lock_;
  std::condition_variable free_;
};

// The schema: created, or brought up to this server's version, at start.
// Several servers starting at once take turns. Throws with the reason when
// the database is newer than this server knows.
constexpr int kSchemaVersion = 2;
void Migrate(pqxx::connection& c);

// The channel a new run is announced on, so that idle verifiers wake at once.
constexpr const char* kRunsChannel = "morvik_runs";
// The channel a board's change is announced on (by the runs table's trigger,
// at the commit), its key as the payload: every server's copy follows.
constexpr const char* kBoardChannel = "morvik_board";

// A board: the runs that compete with each other, kept by a key. The
// standard course's board of a game version is keyed by the version line
// itself ("morvik 1.0.0"); other boards (a day's course) take keys of their own.
inline std::string StandardBoard(const std::string& version) { return version; }
// The most runs a board's answer lists.
constexpr int kBoardRows = 100;

class Store {
 public:
  explicit Store(ConnectionPool& pool) : pool_(pool) {}

  // Counts one submission from `address` in the current minute; the count so far.
  int64_t CountSubmission(const std::string& address);
  // Stores a run (committed before it returns); the same bytes give the run
  // already stored. `fresh` tells which; `busy` that it was not stored, as
  // the sender's runs waiting for their replay hold `maxWaiting` bytes or more.
  struct Accepted {
    int64_t id = 0;
    std::string status;
    bool fresh = false, busy = false;
  };
  Accepted AddRun(const std::string& name, const std::string& address, const std::string& demo, size_t maxWaiting);
  std::optional<Run> GetRun(int64_t id);
  // A run's demo; `kept` is false for a rejected run, whose demo goes.
  struct Demo {
    bool found = false, kept = false;
    std::string bytes;
  };
  Demo GetDemo(int64_t id);

 private:
 private:
  ConnectionPool& pool_;
};

// A verifier's side of the runs table, on its own connection.
// The oldest pending run whose claim is free or has run out, claimed for
// `leaseSeconds`; none when there is none. A run claimed `maxClaims` times
// without a verdict (each verifier died on it) is rejected instead.
std::optional<Claim> ClaimRun(pqxx::connection& c, int leaseSeconds, int maxClaims);
// Renews the claim; false when it was lost (it ran out and was claimed again).
bool RenewClaim(pqxx::connection& c, const Claim& cl, int leaseSeconds);
// Writes the verdict; false when the claim was lost meanwhile (nothing is written).
bool FinishRun(pqxx::connection& c, const Claim& cl, const Finding& f);
// Gives the run back at once (the verifier is stopping).
void ReleaseRun(pqxx::connection& c, const Claim& cl);

// A board's first `limit` runs, ranked: each name's best verified run, best
// first, equal scores by which was sent first. Reads only those rows.
std::vector<Run> BoardRuns(pqxx::connection& c, const std::string& board, int limit);

}  // namespace morvik::server
