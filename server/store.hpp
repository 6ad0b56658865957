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
  std::optional<std::string> course;  // "open", "daily-YYYY-MM-DD"
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
  // The ticket its game was played on (empty for a run sent without one),
  // and how long after the ticket was issued the run reached the board.
  std::string ticketId;     // 32 hex digits
  uint64_t seed = 0;
  std::string course;
  int64_t sinceIssuedMs = 0;
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

// A board: the runs that compete with each other, kept by a key: the game
// version and the course ("morvik 1.0.0 open", "morvik 1.0.0 daily-2026-12-09").
inline std::string BoardKey(const std::string& version, const std::string& course) { return version + " " + course; }
// The most runs a board's answer lists.
constexpr int kBoardRows = 100;

class Store {
 public:
  explicit Store(ConnectionPool& pool) : pool_(pool) {}

  // Counts one submission from `address` in the current minute; the count so far.
  int64_t CountSubmission(const std::string& address);
  std::optional<Run> GetRun(int64_t id);
  // A run's demo; `kept` is false for a rejected run, whose demo goes.
  struct Demo {
    bool found = false, kept = false;
    std::string bytes;
  };
  Demo GetDemo(int64_t id);

  // ---- tickets and names ----
  // A ticket for `name` on `course` ("open" or "daily"), asked for with `key`
  // ("" without one). A new name becomes its player's: its key is made and
  // given back once (only its hash is kept).
  struct TicketAnswer {
    int status = 201;   // 201; 403: the name is owned and the key is missing or not its; 409: today's try was had
    std::string error;  // the reason, in words, when not 201
    std::string id, course, name, issued, expires, key;
    uint64_t seed = 0;
  };
  TicketAnswer IssueTicket(const std::string& name, const std::string& course, const std::string& key,
                           const std::string& address);
  // A ticket's run: the replay's ticket is checked against the board's (that
  // it issued it, with that luck and course, unused and unexpired) and used
  // for it, the run taking the ticket's name. `status` is 202 (stored), 200
  // (the same bytes again), 409 (the ticket was used for another run), 422
  // (not a ticket of this board's, another luck or course, expired), 429 (busy).
  struct RunAnswer {
    int status = 202;
    std::string error;
    int64_t id = 0;
    std::string runStatus;
  };
  RunAnswer AddTicketRun(const std::string& address, const std::string& demo, const std::string& ticketId,
                         uint64_t seed, const std::string& course, size_t maxWaiting);

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

// ---- moderation (the operator's, from the command line) ----
// Hides a verified run from every board, or brings it back; each act is kept
// with its time, reason and the role that did it. False with the reason.
bool HideRun(pqxx::connection& c, int64_t id, bool hide, const std::string& why, std::string& error);
// Every act of moderation, oldest first, one line each.
std::vector<std::string> ModerationLog(pqxx::connection& c);

// The UTC day now, by the database's clock: "YYYY-MM-DD".
std::string Today(pqxx::connection& c);

// A board's first `limit` runs, ranked: each name's best verified run, best
// first, equal scores by which was sent first. Reads only those rows.
std::vector<Run> BoardRuns(pqxx::connection& c, const std::string& board, int limit);

}  // namespace morvik::server
