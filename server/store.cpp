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
    // 2: the fair board: tickets the board issues, whose luck a ranked game
    // plays with, names that belong to their players, the day's secret and
    // every act of moderation; each board's best run of each name in a
    // table of its own, kept by a trigger on the runs in the transaction
    // that changes them, so that a board is read from its first rows and
    // every writer (a verifier, a moderator) keeps it right; rejected runs
    // without their demos; when each sender was last served, for fair claims.
    // Runs sent before tickets were not played on one and stay off the boards.
    R"SQL(
ALTER TABLE runs ALTER COLUMN demo DROP NOT NULL;   -- a rejected run keeps its verdict and digest only
ALTER TABLE runs ADD COLUMN board text;             -- the board a verified run is on
ALTER TABLE runs ADD COLUMN ticket bytea;           -- the ticket its game was played on
ALTER TABLE runs ADD COLUMN course text;            -- 'open' or 'daily-YYYY-MM-DD', the ticket's
ALTER TABLE runs ADD COLUMN hidden_why text;        -- a moderator's reason, while it is hidden
ALTER TABLE runs DROP CONSTRAINT runs_status_check;
ALTER TABLE runs ADD CONSTRAINT runs_status_check CHECK (status IN ('pending', 'verified', 'rejected', 'hidden'));
DROP INDEX runs_board;
CREATE TABLE names (
  name     text NOT NULL,                   -- as its player first asked for it
  key_hash bytea NOT NULL,                  -- SHA-256 of the key the player was given (the key is never kept)
  made     timestamptz NOT NULL DEFAULT now()
);
CREATE UNIQUE INDEX names_folded ON names (lower(name));   -- "ann" is Ann's name too
CREATE TABLE tickets (
  id      bytea PRIMARY KEY,                -- 16 random bytes
  seed    bigint NOT NULL,                  -- the game's luck
  course  text NOT NULL,                    -- 'open' or 'daily-YYYY-MM-DD'
  name    text NOT NULL,
  address text NOT NULL,                    -- who asked for it
  issued  timestamptz NOT NULL DEFAULT now(),
  expires timestamptz NOT NULL,
  run_id  bigint REFERENCES runs (id)       -- the run it was used for
);
CREATE UNIQUE INDEX tickets_daily ON tickets (lower(name), course) WHERE course <> 'open';  -- one try a day
CREATE TABLE secrets (
  name  text PRIMARY KEY,                   -- 'daily': the days' seeds are drawn from it
  value bytea NOT NULL
);
CREATE TABLE moderation (
  id     bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  run_id bigint NOT NULL REFERENCES runs (id),
  act    text NOT NULL CHECK (act IN ('hide', 'unhide')),
  why    text NOT NULL,
  done   timestamptz NOT NULL DEFAULT now(),
  by     text NOT NULL                      -- the database role that did it
);
CREATE INDEX runs_board ON runs (board, name, score DESC, id) WHERE status = 'verified';
CREATE INDEX runs_waiting ON runs (address, id) WHERE status = 'pending';
-- Each row holds what the board shows of its run, so that a board is one
-- walk down an index of this table alone, however many runs lie behind it.
CREATE TABLE best (
  board     text NOT NULL,
  name      text NOT NULL,
  run_id    bigint NOT NULL REFERENCES runs (id),
  score     integer NOT NULL,
  combo     integer,
  frames    bigint,
  games     integer,
  version   text,
  submitted timestamptz NOT NULL,
  course    text,
  PRIMARY KEY (board, name)
);
CREATE INDEX best_rank ON best (board, score DESC, run_id);
CREATE INDEX best_run ON best (run_id);           -- a run deleted finds its row at once
INSERT INTO best (board, name, run_id, score, combo, frames, games, version, submitted, course)
  SELECT DISTINCT ON (board, name) board, name, id, score, combo, frames, games, version, submitted, course FROM runs
  WHERE status = 'verified' AND board IS NOT NULL AND score IS NOT NULL
  ORDER BY board, name, score DESC, id;
CREATE TABLE senders (
  address text PRIMARY KEY,
  served  timestamptz NOT NULL                    -- when a verifier last took one of its runs
);
CREATE INDEX senders_served ON senders (served);
CREATE FUNCTION morvik_keep_best() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  -- A run that was on a board and is no longer there as it was (hidden,
  -- rejected, renamed, moved): its name's best is looked for again.
  IF TG_OP = 'UPDATE' AND OLD.status = 'verified' AND OLD.board IS NOT NULL AND
     (NEW.status IS DISTINCT FROM 'verified' OR NEW.board IS DISTINCT FROM OLD.board OR
      NEW.name IS DISTINCT FROM OLD.name OR NEW.score IS DISTINCT FROM OLD.score) THEN
    PERFORM 1 FROM best WHERE board = OLD.board AND name = OLD.name FOR UPDATE;
    DELETE FROM best WHERE board = OLD.board AND name = OLD.name AND run_id = OLD.id;
    IF FOUND THEN
      INSERT INTO best (board, name, run_id, score, combo, frames, games, version, submitted, course)
        SELECT board, name, id, score, combo, frames, games, version, submitted, course FROM runs
        WHERE status = 'verified' AND board = OLD.board AND name = OLD.name AND score IS NOT NULL
        ORDER BY score DESC, id LIMIT 1
      ON CONFLICT (board, name) DO UPDATE SET run_id = EXCLUDED.run_id, score = EXCLUDED.score,
          combo = EXCLUDED.combo, frames = EXCLUDED.frames, games = EXCLUDED.games, version = EXCLUDED.version,
          submitted = EXCLUDED.submitted, course = EXCLUDED.course
        WHERE EXCLUDED.score > best.score OR (EXCLUDED.score = best.score AND EXCLUDED.run_id < best.run_id);
      PERFORM pg_notify('morvik_board', OLD.board);
    END IF;
  END IF;
  -- A run on a board: its name's best if it beats the one there (equal
  -- scores: the one sent first). Checked against the row as committed, so
  -- two verifiers finishing runs of one name at once keep the better.
  IF NEW.status = 'verified' AND NEW.board IS NOT NULL AND NEW.score IS NOT NULL THEN
    INSERT INTO best (board, name, run_id, score, combo, frames, games, version, submitted, course)
      VALUES (NEW.board, NEW.name, NEW.id, NEW.score, NEW.combo, NEW.frames, NEW.games, NEW.version, NEW.submitted, NEW.course)
    ON CONFLICT (board, name) DO UPDATE SET run_id = EXCLUDED.run_id, score = EXCLUDED.score,
        combo = EXCLUDED.combo, frames = EXCLUDED.frames, games = EXCLUDED.games, version = EXCLUDED.version,
        submitted = EXCLUDED.submitted, course = EXCLUDED.course
      WHERE EXCLUDED.score > best.score OR (EXCLUDED.score = best.score AND EXCLUDED.run_id < best.run_id);
    IF FOUND THEN
      PERFORM pg_notify('morvik_board', NEW.board);
    END IF;
  END IF;
  RETURN NULL;
END
$$;
CREATE TRIGGER runs_keep_best AFTER INSERT OR UPDATE OF status, score, board, name ON runs
  FOR EACH ROW EXECUTE FUNCTION morvik_keep_best();
)SQL",
};

// A hidden run gives its moderator's reason.
constexpr const char* kRunColumns =
    "id, name, status, score, combo, frames, games, version, coalesce(hidden_why, reason), "
    "to_char(submitted AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), course";

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
  if (r.size() > 10) run.course = Opt<std::string>(r[10]);
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
  if (count == 1) {
    w.exec_params("DELETE FROM submissions WHERE minute < $1", r[1].as<int64_t>() - 1);
    w.exec("DELETE FROM senders WHERE served < now() - interval '1 day'");
  }
  w.commit();
  return count;
}

std::optional<Run> Store::GetRun(int64_t id) {
  auto lease = pool_.Take();
  pqxx::read_transaction t(*lease);
  const pqxx::result r = t.exec_params(std::string("SELECT ") + kRunColumns + " FROM runs WHERE id = $1", id);
  if (r.empty()) return std::nullopt;
  return RunOfRow(r[0]);
}

Store::Demo Store::GetDemo(int64_t id) {
  auto lease = pool_.Take();
  pqxx::read_transaction t(*lease);
  const pqxx::result r = t.exec_params("SELECT demo FROM runs WHERE id = $1", id);
  Demo d;
  if (r.empty()) return d;
  d.found = true;
  if (r[0][0].is_null()) return d;
  d.kept = true;
  d.bytes = pqxx::binarystring(r[0][0]).str();
  return d;
}

std::vector<Run> BoardRuns(pqxx::connection& c, const std::string& board, int limit) {
  pqxx::read_transaction t(c);
  // The best table's first rows by its index, and nothing else: each row
  // holds what the board shows of its run.
  const pqxx::result r = t.exec_params(
      "SELECT run_id, name, 'verified', score, combo, frames, games, version, NULL, "
      "to_char(submitted AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), course "
      "FROM best WHERE board = $1 ORDER BY score DESC, run_id LIMIT $2",
      board, limit);
  std::vector<Run> runs;
  runs.reserve(r.size());
  for (const pqxx::row& row : r) {
    runs.push_back(RunOfRow(row));
    runs.back().rank = static_cast<int64_t>(runs.size());
  }
  return runs;
}

std::optional<Claim> ClaimRun(pqxx::connection& c, int leaseSeconds, int maxClaims) {
  pqxx::work w(c);
  // Runs every verifier died on are given up, with the reason (and without their demos).
  w.exec_params(
      "UPDATE runs SET status = 'rejected', lease_until = NULL, verified_at = now(), demo = NULL, "
      "reason = 'no verifier could finish its replay (' || claims || ' tries)' "
      "WHERE status = 'pending' AND claims >= $1 AND lease_until < now()",
      maxClaims);
  // Fair to every sender: one run of a sender at a time, and the sender
  // served longest ago first (one never served before all), its oldest run.
  const pqxx::result candidates = w.exec(
      "WITH waiting AS ("
      "  SELECT DISTINCT ON (address) id, address FROM runs"
      "  WHERE status = 'pending' AND (lease_until IS NULL OR lease_until < now())"
      "  ORDER BY address, id) "
      "SELECT w.id, w.address FROM waiting w LEFT JOIN senders s ON s.address = w.address "
      "WHERE NOT EXISTS (SELECT 1 FROM runs o WHERE o.status = 'pending' AND o.address = w.address"
      "                  AND o.lease_until >= now()) "
      "ORDER BY s.served NULLS FIRST, w.id LIMIT 8");
  std::optional<Claim> cl;
  for (const pqxx::row& cand : candidates) {
    const int64_t id = cand[0].as<int64_t>();
    const std::string address = cand[1].as<std::string>();
    // Another verifier taking this sender's run now: the next sender.
    if (!w.exec_params1("SELECT pg_try_advisory_xact_lock(hashtext('morvik claim ' || $1))", address)[0].as<bool>())
      continue;
    const pqxx::result r = w.exec_params(
        "UPDATE runs SET lease_until = now() + make_interval(secs => $2), claims = claims + 1 "
        "WHERE id = $1 AND status = 'pending' AND (lease_until IS NULL OR lease_until < now()) "
        "  AND NOT EXISTS (SELECT 1 FROM runs o WHERE o.status = 'pending' AND o.address = $3"
        "                  AND o.lease_until >= now() AND o.id <> $1) "
        "RETURNING id, claims, demo",
        id, leaseSeconds, address);
    if (r.empty()) continue;
    w.exec_params(
        "INSERT INTO senders (address, served) VALUES ($1, now()) "
        "ON CONFLICT (address) DO UPDATE SET served = now()",
        address);
    cl.emplace();
    cl->id = r[0][0].as<int64_t>();
    cl->claim = r[0][1].as<int32_t>();
    cl->demo = r[0][2].is_null() ? std::string() : pqxx::binarystring(r[0][2]).str();
    // The ticket its game was played on, and how soon after its issue the run came.
    const pqxx::result t = w.exec_params(
        "SELECT encode(t.id, 'hex'), t.seed, t.course, "
        "(extract(epoch FROM r.submitted - t.issued) * 1000)::bigint "
        "FROM runs r JOIN tickets t ON t.id = r.ticket WHERE r.id = $1",
        cl->id);
    if (!t.empty()) {
      cl->ticketId = t[0][0].as<std::string>();
      cl->seed = static_cast<uint64_t>(t[0][1].as<int64_t>());
      cl->course = t[0][2].as<std::string>();
      cl->sinceIssuedMs = t[0][3].as<int64_t>();
    }
    break;
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
    // The board's best table follows in this transaction (the runs' trigger).
    r = w.exec_params(
        "UPDATE runs SET status = 'verified', score = $3, combo = $4, frames = $5, games = $6, version = $7, "
        "board = $8, verified_at = now(), lease_until = NULL WHERE id = $1 AND claims = $2 AND status = 'pending'",
        cl.id, cl.claim, f.score, f.combo, f.frames, f.games, f.version, BoardKey(f.version, cl.course));
  } else {
    // A rejected run keeps its verdict and its digest (the same bytes again
    // get the same answer), not its demo.
    r = w.exec_params(
        "UPDATE runs SET status = 'rejected', reason = $3, version = nullif($4, ''), demo = NULL, "
        "verified_at = now(), lease_until = NULL WHERE id = $1 AND claims = $2 AND status = 'pending'",
        cl.id, cl.claim, f.reason, f.version);
  }
  // A sender's next run may be claimed now: idle verifiers look again.
  w.exec_params("SELECT pg_notify($1, $2)", kRunsChannel, std::to_string(cl.id));
  w.commit();
  return r.affected_rows() == 1;
}

void ReleaseRun(pqxx::connection& c, const Claim& cl) {
  pqxx::work w(c);
  w.exec_params("UPDATE runs SET lease_until = NULL WHERE id = $1 AND claims = $2 AND status = 'pending'", cl.id,
                cl.claim);
  w.exec_params("SELECT pg_notify($1, $2)", kRunsChannel, std::to_string(cl.id));
  w.commit();
}

}  // namespace morvik::server
