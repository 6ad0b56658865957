// SPDX-License-Identifier: GPL-3.0-or-later
// A leaderboard's ticket as `morvik --ticket FILE` reads it: whatever the
// bytes, a ticket or a refusal with words, and a ticket read is whole.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/ticket.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  morvik::Ticket t;
  std::string why;
  if (!morvik::ReadTicket(text, t, why)) {
    if (why.empty()) std::abort();
    return 0;
  }
  if (t.id.size() != 32 || !morvik::IsCourse(t.course) || t.name.empty()) std::abort();
  return 0;
}
