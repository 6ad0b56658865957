// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ticket.hpp"

#include <map>

#include "app/verify.hpp"
#include "core/files.hpp"
#include "core/flat_json.hpp"

namespace morvik {

namespace {

bool Hex(const std::string& s, size_t n) {
  if (s.size() != n) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

bool IsCourse(const std::string& c) {
  if (c == "open") return true;
  // daily-YYYY-MM-DD, a date that could be one.
  if (c.size() != 16 || c.compare(0, 6, "daily-") != 0 || c[10] != '-' || c[13] != '-') return false;
  for (size_t i : {6u, 7u, 8u, 9u, 11u, 12u, 14u, 15u})
    if (c[i] < '0' || c[i] > '9') return false;
  const int month = (c[11] - '0') * 10 + (c[12] - '0'), day = (c[14] - '0') * 10 + (c[15] - '0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::string CourseTitle(const std::string& c) {
  if (c.rfind("daily-", 0) == 0) return "THE COURSE OF " + c.substr(6);
  return "THE OPEN BOARD";
}

bool ReadTicket(const std::string& json, Ticket& t, std::string& why) {
  std::map<std::string, std::string> v;
  if (!ParseFlatJson(json, v, why)) {
    why = "not a ticket: " + why;
    return false;
  }
  auto field = [&](const char* name) -> const std::string* {
    const auto it = v.find(name);
    return it == v.end() ? nullptr : &it->second;
  };
  Ticket out;
  const std::string* id = field("ticket");
  const std::string* seed = field("seed");
  const std::string* course = field("course");
  const std::string* name = field("name");
  if (!id || !Hex(out.id = Lower(*id), 32)) {
    why = "the ticket has no \"ticket\" of 32 hex digits";
    return false;
  }
  if (!seed || !Hex(Lower(*seed), 16)) {
    why = "the ticket has no \"seed\" of 16 hex digits";
    return false;
  }
  out.seed = std::stoull(*seed, nullptr, 16);
  if (!course || !IsCourse(*course)) {
    why = "the ticket's \"course\" is neither \"open\" nor \"daily-YYYY-MM-DD\"";
    return false;
  }
  out.course = *course;
  if (!name || !CheckPlayerName(*name, why)) {
    why = "the ticket's \"name\": " + (name ? why : std::string("missing"));
    return false;
  }
  out.name = *name;
  for (auto [key, to] : {std::pair{"issued", &out.issued}, {"expires", &out.expires}, {"key", &out.key}})
    if (const std::string* s = field(key)) *to = s->substr(0, 64);
  t = out;
  return true;
}

bool LoadTicketFile(const std::string& path, Ticket& t, std::string& why) {
  const FileRead r = ReadPlainFile(path, 64 << 10);
  if (r.outcome != FileRead::kRead) {
    why = r.outcome == FileRead::kTooLarge ? "too large for a ticket" : r.Why();
    return false;
  }
  return ReadTicket(r.bytes, t, why);
}

}  // namespace morvik
