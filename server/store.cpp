// SPDX-License-Identifier: GPL-3.0-or-later
#include "store.hpp"

#include <utility>

namespace morvik::server {

namespace {

// The schema's steps, each run once, in order, in the transaction that
// records it. A later version only appends steps.
const char* const kMigrations[kSchemaVersion] = {
    // 1: runs waiting, verified and rejected; submissions by address.
    R"SQL(
CREATE TABLE runs (
  id          bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  digest      bytea NOT NULL UNIQUE,          -- SHA-256 of the demo: the same bytes are the same run
  name        text NOT NULL,
  address     text NOT NULL,                  -- who sent it
  demo        bytea NOT NULL,
  submitted   timestamptz NOT NULL DEFAULT now(),
  status      text NOT NULL DEFAULT 'pending' CHECK (status IN ('pending', 'verified', 'rejected')),
  score       integer,
  combo       integer,
  frames      bigint,
  games       integer,
  version     text,
  reason      text,
  verified_at timestamptz,
  lease_until timestamptz,                    -- a verifier's claim runs until then
  claims      integer NOT NULL DEFAULT 0      -- how often it was claimed; names the claim that holds it
);
CREATE INDEX runs_pending ON runs (id) WHERE status = 'pending';
CREATE INDEX runs_board ON runs (version, name, score DESC, id) WHERE status = 'verified';
CREATE TABLE submissions (
  address text NOT NULL,
  minute  bigint NOT NULL,                    -- minutes since 1970
  count   integer NOT NULL,
  PRIMARY KEY (address, minute)
);
CREATE INDEX submissions_minute ON submissions (minute);
)SQL",
};

constexpr const char* kRunColumns =
    "id, name, status, score, combo, frames, games, version, reason, "
    "to_char(submitted AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')";

template <class T>
std::optional<T> Opt(const pqxx::field& f) {
  if (f.is_null()) return std::nullopt;
  return f.as<T>();
}

Run RunOfRow(const pqxx::row& r) {
  Run run;
  run.id = r[0].as<int64_t>();
  run.name = r[1].as<std::string>();
  run.status = r[2].as<std::string>();
  run.score = Opt<int32_t>(r[3]);
  run.combo = Opt<int32_t>(r[4]);
  run.frames = Opt<int64_t>(r[5]);
  run.games = Opt<int32_t>(r[6]);
  run.version = Opt<std::string>(r[7]);
  run.reason = Opt<std::string>(r[8]);
  run.date = r[9].as<std::string>();
  return run;
}

}  // namespace

ConnectionPool::Lease ConnectionPool::Take() {
  std::unique_lock<std::mutex> hold(lock_);
  free_.wait(hold, [&] { return !idle_.empty() || out_ < size_; });
  ++out_;
  if (!idle_.empty()) {
    std::unique_ptr<pqxx::connection> c = std::move(idle_.back());
    idle_.pop_back();
    return Lease(*this, std::move(c));
  }
  hold.unlock();
  try {
    return Lease(*this, std::make_unique<pqxx::connection>(conninfo_));
  } catch (...) {
    hold.lock();
    --out_;
    free_.notify_one();
    throw;
  }
}

void ConnectionPool::Give(std::unique_ptr<pqxx::connection> c) {
  std::lock_guard<std::mutex> hold(lock_);
  --out_;
  if (c && c->is_open()) idle_.push_back(std::move(c));
  free_.notify_one();
}

void Migrate(pqxx::connection& c) {
  pqxx::work w(c);
  // One server at a time; the others find the work done.
  w.exec("SELECT pg_advisory_xact_lock(7270926)");
  // Nothing is created where the schema is there already, so that a role
  // with no right to create (a server whose schema an owner keeps) starts too.
  if (w.exec1("SELECT to_regclass('schema_migrations') IS NULL")[0].as<bool>())
    w.exec("CREATE TABLE schema_migrations (version integer PRIMARY KEY, applied timestamptz NOT NULL DEFAULT now())");
  const int have = w.exec1("SELECT coalesce(max(version), 0) FROM schema_migrations")[0].as<int>();
  if (have > kSchemaVersion)
    throw std::runtime_error("the database's schema is version " + std::to_string(have) +
                             ", newer than this server knows (" + std::to_string(kSchemaVersion) +
                             "): run a newer morvik-server");
  for (int v = have + 1; v <= kSchemaVersion; ++v) {
    w.exec(kMigrations[v - 1]);
    w.exec_params("INSERT INTO schema_migrations (version) VALUES ($1)", v);
  }
  w.commit();
}

int64_t Store::CountSubmission(const std::string& address) {
  auto lease = pool_.Take();
  pqxx::work w(*lease);
  const pqxx::row r = w.exec_params1(
      "INSERT INTO submissions (address, minute, count) "
      "VALUES ($1, floor(extract(epoch FROM now()) / 60)::bigint, 1) "
      "ON CONFLICT (address, minute) DO UPDATE SET count = submissions.count + 1 "
      "RETURNING count, minute",
      address);
  const int64_t count = r[0].as<int64_t>();
  // The first of an address's minute sweeps out the minutes gone by.
  if (count == 1) w.exec_params("DELETE FROM submissions WHERE minute < $1", r[1].as<int64_t>() - 1);
  w.commit();
  return count;
}

Store::Accepted Store::AddRun(const std::string& name, const std::string& address, const std::string& demo) {
  auto lease = pool_.Take();
  pqxx::work w(*lease);
  const pqxx::binarystring bytes(demo);
  Accepted a;
  pqxx::result r = w.exec_params(
      "INSERT INTO runs (digest, name, address, demo) VALUES (sha256($1), $2, $3, $1) "
      "ON CONFLICT (digest) DO NOTHING RETURNING id, status",
      bytes, name, address);
  if (r.empty()) {
    // Sent before: the run already stored (committed, or waited for above).
    r = w.exec_params("SELECT id, status FROM runs WHERE digest = sha256($1)", bytes);
    if (r.empty()) throw std::runtime_error("the run sent before cannot be found");
  } else {
    a.fresh = true;
    w.exec_params("SELECT pg_notify($1, $2)", kRunsChannel, r[0][0].as<std::string>());
  }
  a.id = r[0][0].as<int64_t>();
  a.status = r[0][1].as<std::string>();
  w.commit();
  return a;
}

std::optional<Run> Store::GetRun(int64_t id) {
  auto lease = pool_.Take();
  pqxx::read_transaction t(*lease);
  const pqxx::result r = t.exec_params(std::string("SELECT ") + kRunColumns + " FROM runs WHERE id = $1", id);
  if (r.empty()) return std::nullopt;
  return RunOfRow(r[0]);
}

std::optional<std::string> Store::GetDemo(int64_t id) {
  auto lease = pool_.Take();
  pqxx::read_transaction t(*lease);
  const pqxx::result r = t.exec_params("SELECT demo FROM runs WHERE id = $1", id);
  if (r.empty()) return std::nullopt;
  const pqxx::binarystring b(r[0][0]);
  return b.str();
}

std::vector<Run> Store::Scores(int limit, const std::string& version) {
  auto lease = pool_.Take();
  pqxx::read_transaction t(*lease);
  // Each name's best run (the earlier of equal ones), then the best of those;
  // equal scores rank by which was sent first. The demos stay out of the sort.
  const pqxx::result r = t.exec_params(
      std::string("SELECT ") + kRunColumns +
          ", row_number() OVER (ORDER BY score DESC, id) FROM ("
          "  SELECT DISTINCT ON (name) id, name, status, score, combo, frames, games, version, reason, submitted"
          "  FROM runs WHERE status = 'verified' AND version = $1"
          "  ORDER BY name, score DESC, id) best "
          "ORDER BY score DESC, id LIMIT $2",
      version, limit);
  std::vector<Run> runs;
  runs.reserve(r.size());
  for (const pqxx::row& row : r) {
    runs.push_back(RunOfRow(row));
    runs.back().rank = row[10].as<int64_t>();
  }
  return runs;
}

std::optional<Claim> ClaimRun(pqxx::connection& c, int leaseSeconds, int maxClaims) {
  pqxx::work w(c);
  // Runs every verifier died on are given up, with the reason.
  w.exec_params(
      "UPDATE runs SET status = 'rejected', lease_until = NULL, verified_at = now(), "
      "reason = 'no verifier could finish its replay (' || claims || ' tries)' "
      "WHERE status = 'pending' AND claims >= $1 AND lease_until < now()",
      maxClaims);
  const pqxx::result r = w.exec_params(
      "UPDATE runs SET lease_until = now() + make_interval(secs => $1), claims = claims + 1 "
      "WHERE id = (SELECT id FROM runs WHERE status = 'pending' AND (lease_until IS NULL OR lease_until < now()) "
      "            ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED) "
      "RETURNING id, claims, demo",
      leaseSeconds);
  std::optional<Claim> cl;
  if (!r.empty()) {
    cl.emplace();
    cl->id = r[0][0].as<int64_t>();
    cl->claim = r[0][1].as<int32_t>();
    cl->demo = pqxx::binarystring(r[0][2]).str();
  }
  w.commit();
  return cl;
}

bool RenewClaim(pqxx::connection& c, const Claim& cl, int leaseSeconds) {
  pqxx::work w(c);
  const pqxx::result r = w.exec_params(
      "UPDATE runs SET lease_until = now() + make_interval(secs => $3) "
      "WHERE id = $1 AND claims = $2 AND status = 'pending'",
      cl.id, cl.claim, leaseSeconds);
  w.commit();
  return r.affected_rows() == 1;
}

bool FinishRun(pqxx::connection& c, const Claim& cl, const Finding& f) {
  pqxx::work w(c);
  pqxx::result r;
  if (f.verified) {
    r = w.exec_params(
        "UPDATE runs SET status = 'verified', score = $3, combo = $4, frames = $5, games = $6, version = $7, "
        "verified_at = now(), lease_until = NULL WHERE id = $1 AND claims = $2 AND status = 'pending'",
        cl.id, cl.claim, f.score, f.combo, f.frames, f.games, f.version);
  } else {
    r = w.exec_params(
        "UPDATE runs SET status = 'rejected', reason = $3, version = nullif($4, ''), "
        "verified_at = now(), lease_until = NULL WHERE id = $1 AND claims = $2 AND status = 'pending'",
        cl.id, cl.claim, f.reason, f.version);
  }
  w.commit();
  return r.affected_rows() == 1;
}

void ReleaseRun(pqxx::connection& c, const Claim& cl) {
  pqxx::work w(c);
  w.exec_params("UPDATE runs SET lease_until = NULL WHERE id = $1 AND claims = $2 AND status = 'pending'", cl.id,
                cl.claim);
  w.commit();
}

}  // namespace morvik::server
