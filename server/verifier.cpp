// SPDX-License-Identifier: GPL-3.0-or-later
#include "verifier.hpp"

#include <chrono>
#include <cstdio>
#include <memory>

#include <pqxx/pqxx>

#include "core/printable.hpp"
#include "store.hpp"

namespace morvik::server {

namespace {

using Clock = std::chrono::steady_clock;

// Wakes an idle verifier as soon as a run is stored (the wait returns).
class Wakeup : public pqxx::notification_receiver {
 public:
  explicit Wakeup(pqxx::connection& c) : pqxx::notification_receiver(c, kRunsChannel) {}
  void operator()(const std::string&, int) override {}
};

}  // namespace

std::string TicketPaceProblem(const Claim& cl, const Verdict& v) {
  if (cl.ticketId.empty() || !v.hasTicket)
    return "the replay was not played on a ticket: the board ranks only games played on its tickets";
  if (v.ticket.id != cl.ticketId || v.ticket.seed != cl.seed || v.ticket.course != cl.course)
    return "the replay's ticket is not the one it was sent with";
  if (v.bot) return "the replay is marked as a game of the automatic player; the board ranks players' games";
  // At the game's own pace, less 2 % for clocks that run a little fast.
  const int64_t least = v.playMs * 98 / 100;
  if (cl.sinceIssuedMs < least) {
    char words[200];
    std::snprintf(words, sizeof words,
                  "the replay reached the board %.1f s after its ticket was issued, sooner than its %lld play frames "
                  "take at the game's pace (%.1f s)",
                  static_cast<double>(cl.sinceIssuedMs) / 1000.0, static_cast<long long>(v.frames),
                  static_cast<double>(v.playMs) / 1000.0);
    return words;
  }
  return "";
}

namespace {

void Pause(const std::atomic<bool>& stopping, int ms) {
  for (int waited = 0; waited < ms && !stopping; waited += 50)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace

void Verifiers::Start(int count) {
  for (int i = 0; i < count; ++i) threads_.emplace_back([this, i] { Loop(i + 1); });
}

void Verifiers::Join() {
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

void Verifiers::Loop(int number) {
  std::unique_ptr<pqxx::connection> c;
  std::unique_ptr<Wakeup> wake;
  bool warned = false;
  auto drop = [&] {
    wake.reset();
    c.reset();
  };
  while (!stopping_) {
    try {
      if (!c) {
        c = std::make_unique<pqxx::connection>(config_.conninfo);
        wake = std::make_unique<Wakeup>(*c);
        if (warned) std::fprintf(stderr, "morvik-server: verifier %d: the database is back\n", number);
        warned = false;
      }
      std::optional<Claim> cl = ClaimRun(*c, config_.leaseSeconds, config_.maxClaims);
      if (!cl) {
        c->await_notification(1, 0);
        continue;
      }
      // The claim is renewed while the replay runs; a lost claim or the
      // server's stop ends the replay, which is then somebody else's.
      const auto start = Clock::now();
      auto renewed = start;
      bool lost = false, broken = false;
      VerifyLimits limits = config_.limits;
      limits.progress = [&] {
        if (stopping_) return false;
        const auto now = Clock::now();
        if (now - renewed < std::chrono::seconds(config_.leaseSeconds) / 3) return true;
        renewed = now;
        try {
          lost = !RenewClaim(*c, *cl, config_.leaseSeconds);
        } catch (const std::exception&) {
          broken = true;
        }
        return !lost && !broken;
      };
      Verdict v = VerifyDemo(reinterpret_cast<const uint8_t*>(cl->demo.data()), cl->demo.size(),
                                   config_.dataDir, limits);
      if (broken) throw pqxx::broken_connection("the connection failed during a replay");
      if (v.kind == Verdict::kStopped) {
        if (!lost) ReleaseRun(*c, *cl);
        continue;
      }
      Finding f;
      f.verified = v.kind == Verdict::kVerified;
      if (f.verified) {
        // Only a game played on the ticket the board issued for it ranks,
        // and only a person's at the game's pace: what a replay marked as the
        // automatic player's, or one sent sooner than its frames take, is not.
        const std::string pace = TicketPaceProblem(*cl, v);
        if (!pace.empty()) {
          f.verified = false;
          v.reason = pace;
        }
      }
      f.score = v.score;
      f.combo = v.combo;
      f.frames = v.frames;
      f.games = v.games;
      f.version = v.version;
      f.reason = v.reason;
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      if (!FinishRun(*c, *cl, f)) {
        std::fprintf(stderr, "morvik-server: verifier %d: run %lld was claimed again before its verdict; "
                     "its verdict is the other verifier's\n", number, static_cast<long long>(cl->id));
      } else if (f.verified) {
        std::fprintf(stderr, "morvik-server: run %lld verified: score %d, combo %d, %d game%s, %lld frames (%.2f s)\n",
                     static_cast<long long>(cl->id), f.score, f.combo, f.games, f.games == 1 ? "" : "s",
                     static_cast<long long>(f.frames), seconds);
      } else {
        std::fprintf(stderr, "morvik-server: run %lld rejected: %s\n", static_cast<long long>(cl->id),
                     Printable(f.reason).c_str());
      }
    } catch (const std::exception& e) {
      if (!warned)
        std::fprintf(stderr, "morvik-server: verifier %d: %s; trying again\n", number, Printable(e.what()).c_str());
      warned = true;
      drop();
      Pause(stopping_, 1000);
    }
  }
  drop();
}

}  // namespace morvik::server
