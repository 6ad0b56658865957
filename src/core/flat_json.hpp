// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One JSON object of plain values ({"ticket": "…", "seed": "…", "n": 3}), as
// a leaderboard hands out a ticket: each value kept as its text (a string
// unescaped, a number, true, false or null as written). Anything else — a
// nested object or array, a value twice, bad escapes or UTF-8, text after the
// object — is refused with the reason, never half read.
#include <map>
#include <string>

namespace morvik {

bool ParseFlatJson(const std::string& text, std::map<std::string, std::string>& values, std::string& why);

}  // namespace morvik
