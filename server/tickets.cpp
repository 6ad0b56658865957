// SPDX-License-Identifier: GPL-3.0-or-later
// The fair board's own state: the tickets it issues (a ranked game's luck
// comes from the board, never from the player's machine), the names that
// belong to their players, the day's secret, and the moderators' acts.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstdio>
#include <stdexcept>

#include "store.hpp"

namespace morvik::server {

namespace {

// How long a ticket stays good: longer than any game the frame limit allows
// (2,000,000 frames, at 60 ms a frame at the slowest: 33 hours and a third).
constexpr int kTicketHours = 36;

std::string Random(size_t n) {
  std::string b(n, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(b.data()), static_cast<int>(n)) != 1)
    throw std::runtime_error("no random bytes to be had");
  return b;
}

std::string HexOf(const std::string& b) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  for (unsigned char c : b) {
    s += kHex[c >> 4];
    s += kHex[c & 15];
  }
  return s;
}

std::string Sha256(const std::string& s) {
  unsigned char d[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(s.data()), s.size(), d);
  return std::string(reinterpret_cast<const char*>(d), sizeof d);
}

uint64_t First8(const std::string& b) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | static_cast<unsigned char>(b[i]);
  return v;
}

const char* kTimeText = "'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'";

std::string Iso(const std::string& column) {
  return "to_char(" + column + " AT TIME ZONE 'UTC', " + kTimeText + ")";
}

// The day's seed: drawn from the board's secret and the day, so that every
// player gets the same one and nobody knows a day's before it starts.
uint64_t DailySeed(pqxx::work& w, const std::string& course) {
  w.exec_params("INSERT INTO secrets (name, value) VALUES ('daily', $1) ON CONFLICT (name) DO NOTHING",
                pqxx::binarystring(Random(32)));
  const std::string secret = pqxx::binarystring(w.exec1("SELECT value FROM secrets WHERE name = 'daily'")[0]).str();
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()), reinterpret_cast<const unsigned char*>(course.data()),
       course.size(), mac, &len);
  return First8(std::string(reinterpret_cast<const char*>(mac), len));
}

}  // namespace

std::string Today(pqxx::connection& c) {
  pqxx::read_transaction t(c);
  return t.exec1("SELECT to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD')")[0].as<std::string>();
}

Store::TicketAnswer Store::IssueTicket(const std::string& name, const std::string& course, const std::string& key,
                                       const std::string& address) {
  auto lease = pool_.Take();
  pqxx::work w(*lease);
  TicketAnswer a;
  // The name's player, or a new one: the first to ask for a name owns it.
  w.exec_params("SELECT pg_advisory_xact_lock(hashtext('morvik name ' || lower($1)))", name);
  const pqxx::result owner = w.exec_params("SELECT name, key_hash FROM names WHERE lower(name) = lower($1)", name);
  if (owner.empty()) {
    a.key = HexOf(Random(16));
    w.exec_params("INSERT INTO names (name, key_hash) VALUES ($1, $2)", name, pqxx::binarystring(Sha256(a.key)));
    a.name = name;
  } else {
    a.name = owner[0][0].as<std::string>();
    const std::string held = pqxx::binarystring(owner[0][1]).str(), sent = Sha256(key);
    if (key.empty() || CRYPTO_memcmp(held.data(), sent.data(), held.size()) != 0) {
      a.status = 403;
      a.error = "the name " + a.name + " belongs to its player: " +
                (key.empty() ? std::string("send its key (the Morvik-Key header) to play under it")
                             : std::string("the key sent is not its key")) +
                ", or choose another name";
      return a;
    }
  }
  if (course == "daily") {
    a.course = "daily-" + w.exec1("SELECT to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD')")[0].as<std::string>();
    a.seed = DailySeed(w, a.course);
  } else {
    a.course = "open";
    a.seed = First8(Random(8));
  }
  const std::string id = Random(16);
  w.exec("SAVEPOINT ticket");
  pqxx::result r;
  try {
    r = w.exec_params("INSERT INTO tickets (id, seed, course, name, address, expires) "
                      "VALUES ($1, $2, $3, $4, $5, now() + make_interval(hours => $6)) RETURNING " +
                          Iso("issued") + ", " + Iso("expires"),
                      pqxx::binarystring(id), static_cast<int64_t>(a.seed), a.course, a.name, address, kTicketHours);
  } catch (const pqxx::unique_violation&) {
    w.exec("ROLLBACK TO SAVEPOINT ticket");
    a = TicketAnswer{};
    a.status = 409;
    const std::string next = w.exec1(
        "SELECT to_char(date_trunc('day', now() AT TIME ZONE 'UTC') + interval '1 day' - (now() AT TIME ZONE 'UTC'), "
        "'HH24 \"h\" MI \"min\"')")[0].as<std::string>();
    a.error = "today's course was played under this name already: one ranked try a name a day (the next "
              "course starts in " + next + "); the open board takes any number";
    return a;
  }
  a.id = HexOf(id);
  a.issued = r[0][0].as<std::string>();
  a.expires = r[0][1].as<std::string>();
  w.commit();
  return a;
}

Store::RunAnswer Store::AddTicketRun(const std::string& address, const std::string& demo, const std::string& ticketId,
                                     uint64_t seed, const std::string& course, size_t maxWaiting) {
  auto lease = pool_.Take();
  pqxx::work w(*lease);
  const pqxx::binarystring bytes(demo);
  RunAnswer a;
  // One sender's submissions one at a time, so that its waiting bytes are counted right.
  w.exec_params("SELECT pg_advisory_xact_lock(hashtext('morvik sender ' || $1))", address);
  pqxx::result r = w.exec_params("SELECT id, status FROM runs WHERE digest = sha256($1)", bytes);
  if (!r.empty()) {  // sent before: the run already stored
    a.status = 200;
    a.id = r[0][0].as<int64_t>();
    a.runStatus = r[0][1].as<std::string>();
    return a;
  }
  auto refuse = [&](int status, std::string words) {
    a.status = status;
    a.error = std::move(words);
    return a;
  };
  const pqxx::result t = w.exec_params(
      "SELECT seed, course, name, run_id, expires < now(), " + Iso("expires") +
          " FROM tickets WHERE id = decode($1, 'hex') FOR UPDATE",
      ticketId);
  if (t.empty()) return refuse(422, "the board did not issue the ticket this replay was played on");
  if (static_cast<uint64_t>(t[0][0].as<int64_t>()) != seed)
    return refuse(422, "the replay's luck is not its ticket's: it was not played on the ticket it names");
  if (t[0][1].as<std::string>() != course) return refuse(422, "the replay's course is not its ticket's");
  if (!t[0][3].is_null())
    return refuse(409, "the ticket was used for run " + t[0][3].as<std::string>() + "; a ticket is good for one game");
  if (t[0][4].as<bool>()) return refuse(422, "the ticket expired at " + t[0][5].as<std::string>());
  const int64_t waiting = w.exec_params1(
      "SELECT coalesce(sum(octet_length(demo)), 0) FROM runs WHERE status = 'pending' AND address = $1",
      address)[0].as<int64_t>();
  if (static_cast<uint64_t>(waiting) + demo.size() > maxWaiting)
    return refuse(429, "your runs waiting for their replay hold " + std::to_string(maxWaiting >> 20) +
                           " MiB already; send this one once they are verified");
  r = w.exec_params(
      "INSERT INTO runs (digest, name, address, demo, ticket, course) "
      "VALUES (sha256($1), $2, $3, $1, decode($4, 'hex'), $5) RETURNING id, status",
      bytes, t[0][2].as<std::string>(), address, ticketId, course);
  a.id = r[0][0].as<int64_t>();
  a.runStatus = r[0][1].as<std::string>();
  w.exec_params("UPDATE tickets SET run_id = $1 WHERE id = decode($2, 'hex')", a.id, ticketId);
  w.exec_params("SELECT pg_notify($1, $2)", kRunsChannel, std::to_string(a.id));
  w.commit();
  return a;
}

bool HideRun(pqxx::connection& c, int64_t id, bool hide, const std::string& why, std::string& error) {
  pqxx::work w(c);
  const pqxx::result r = w.exec_params("SELECT status FROM runs WHERE id = $1 FOR UPDATE", id);
  if (r.empty()) {
    error = "there is no run " + std::to_string(id);
    return false;
  }
  const std::string status = r[0][0].as<std::string>();
  if (status != (hide ? "verified" : "hidden")) {
    error = "run " + std::to_string(id) + " is " + status + (hide ? ": only a verified run is hidden" : ", not hidden");
    return false;
  }
  // The runs' trigger takes it off its board, or puts it back, in this
  // transaction, and tells every server's copy.
  w.exec_params("UPDATE runs SET status = $2, hidden_why = CASE WHEN $2 = 'hidden' THEN $3 END WHERE id = $1", id,
                std::string(hide ? "hidden" : "verified"), why);
  w.exec_params("INSERT INTO moderation (run_id, act, why, by) VALUES ($1, $2, $3, current_user)", id,
                hide ? "hide" : "unhide", why);
  w.commit();
  return true;
}

std::vector<std::string> ModerationLog(pqxx::connection& c) {
  pqxx::read_transaction t(c);
  const pqxx::result r = t.exec(
      "SELECT " + Iso("m.done") + ", m.act, m.run_id, r.name, coalesce(r.score::text, '-'), r.course, m.by, m.why "
      "FROM moderation m JOIN runs r ON r.id = m.run_id ORDER BY m.id");
  std::vector<std::string> lines;
  for (const pqxx::row& row : r) {
    std::string line = row[0].as<std::string>() + "  " + row[1].as<std::string>() + " run " + row[2].as<std::string>() +
                       " (" + row[3].as<std::string>() + ", " + row[4].as<std::string>() + " points, " +
                       (row[5].is_null() ? std::string("no course") : row[5].as<std::string>()) + ") by " +
                       row[6].as<std::string>() + ": " + row[7].as<std::string>();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace morvik::server
