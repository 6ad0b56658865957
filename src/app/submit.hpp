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

// Sends `demo` under `name` and waits up to `waitSeconds` for the verdict;
// `note` hears the steps ("sent as run 42, waiting..."). False with a
// one-line reason when the board could not be reached or refused the replay.
bool SubmitReplay(const std::string& url, const std::vector<uint8_t>& demo, const std::string& name, int waitSeconds,
                  SubmitResult& out, std::string& why, const std::function<void(const std::string&)>& note = {});

// morvik --submit: the replay named, or the best game's under the records'
// folder; the board named, or the settings file's. Returns the exit status.
int SubmitCommand(const Options& o, const std::string& recordPath, const std::string& settingsPath);

}  // namespace morvik
