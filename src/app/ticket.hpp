// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A leaderboard's ticket: the board's word that the next game is played for
// it, with the luck the board chose. `morvik --ticket FILE` reads one as the
// board gave it (a JSON object):
//   {"ticket": 32 hex digits, "seed": 16 hex digits, "course": "open" or
//    "daily-YYYY-MM-DD", "name": NAME, "issued": TIME, "expires": TIME[, "key": KEY]}
#include <cstdint>
#include <string>

#include "app/demo.hpp"

namespace morvik {

struct Ticket {
  std::string id;                 // 32 lower-case hex digits
  uint64_t seed = 0;
  std::string course;             // "open", or "daily-YYYY-MM-DD"
  std::string name;               // whose try it is
  std::string issued, expires;    // as the board wrote them (UTC, ISO 8601)
  std::string key;                // given once, when the ticket made the name its player's
  DemoTicket ForDemo() const { return {id, seed, course}; }
};

// The ticket in `json`; false with the reason when it is none.
bool ReadTicket(const std::string& json, Ticket& t, std::string& why);
// The ticket in the plain file at `path` (at most 64 KB).
bool LoadTicketFile(const std::string& path, Ticket& t, std::string& why);
// Whether `course` is a board's course: "open" or "daily-YYYY-MM-DD".
bool IsCourse(const std::string& course);
// How the title names the board a game is played for ("THE OPEN BOARD").
std::string CourseTitle(const std::string& course);

}  // namespace morvik
