// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sending a game to the leaderboard: the replay goes up, the board replays
// it, and the verdict comes back. HTTPS with the server's certificate
// checked against the system's store; plain HTTP only to this machine.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace morvik {

struct Options;

struct SubmitResult {
  int64_t id = 0;
  std::string status;      // "verified", "rejected", or "pending" when the wait ran out
  int64_t score = 0, combo = 0, frames = 0, games = 0;
  std::string version, reason;
  std::string runUrl;      // where the run can be looked at
};

// The parts of a board's address. False with the reason when it is not one
// this program will send to (plain http beyond the loopback, another scheme).
struct BoardUrl {
  bool https = false;
  std::string host;        // without brackets
  int port = 0;
  std::string prefix;      // the path before /api, without its last '/'
};
bool ParseBoardUrl(const std::string& url, BoardUrl& out, std::string& why);

// Sends `demo` (a game played on one of the board's tickets, whose name it
// takes) and waits up to `waitSeconds` for the verdict; `note` hears the
// steps ("sent as run 42, waiting..."). False with a one-line reason when
// the board could not be reached or refused the replay.
bool SubmitReplay(const std::string& url, const std::vector<uint8_t>& demo, int waitSeconds, SubmitResult& out,
                  std::string& why, const std::function<void(const std::string&)>& note = {});

struct Ticket;
// Asks the board for a ticket for `name` on "daily" or "open", with the
// name's key when one is kept; `json` is the ticket as the board gave it.
bool AskTicket(const std::string& url, const std::string& name, const std::string& course, const std::string& key,
               Ticket& out, std::string& json, std::string& why);

// The keys of the names a player owns, one a board and name, kept beside
// the records for their owner alone ("" without a records folder).
std::string KeysPath(const std::string& recordPath);
std::string StoredKey(const std::string& keysPath, const std::string& url, const std::string& name);
bool StoreKey(const std::string& keysPath, const std::string& url, const std::string& name, const std::string& key,
              std::string& why);

// morvik --submit: the replay named, or the newest game played for a board
// (replays/board-TICKET.demo); the board named, or the settings file's.
int SubmitCommand(const Options& o, const std::string& recordPath, const std::string& settingsPath);
// morvik --board daily|open, its first step: a ticket asked for and kept at
// TicketPath (a new name's key kept with the keys).
int TicketCommand(const Options& o, const std::string& recordPath, const std::string& settingsPath);
// morvik --board-key [KEY]: shows the name's key kept here, or keeps KEY for it.
int KeyCommand(const Options& o, const std::string& recordPath, const std::string& settingsPath);

}  // namespace morvik
