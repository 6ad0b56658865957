// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/headless/script.hpp"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "core/numeric.hpp"
#include "core/printable.hpp"
#include "platform/platform.hpp"

namespace morvik {

namespace {
// The eight keys the game polls keep their bits; the keys of the options
// screen follow: F1 Return Backspace Delete, the other letters, the digits.
struct KeyNames {
  std::string name[kScriptKeyCount];
  KeyNames() {
    const char* const first[] = {"Left", "Right", "Up", "Down", "Space", "Z", "P", "Escape",
                                 "F1", "Return", "Backspace", "Delete"};
    int n = 0;
    for (const char* f : first) name[n++] = f;
    for (char c = 'A'; c <= 'Z'; ++c)
      if (c != 'P' && c != 'Z') name[n++] = std::string(1, c);
    for (char c = '0'; c <= '9'; ++c) name[n++] = std::string(1, c);
  }
};
const KeyNames& Names() {
  static const KeyNames k;
  return k;
}

}  // namespace

uint64_t ScriptKeyBit(const std::string& name) {
  for (int i = 0; i < kScriptKeyCount; ++i)
    if (Names().name[i] == name) return uint64_t{1} << i;
  return 0;
}

const char* ScriptKeyName(uint64_t bit) {
  for (int i = 0; i < kScriptKeyCount; ++i)
    if (bit == uint64_t{1} << i) return Names().name[i].c_str();
  return "";
}

bool ParseScript(const std::string& text, std::vector<ScriptEvent>& out, std::string& error) {
  out.clear();
  std::istringstream in(text);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    if (auto h = line.find('#'); h != std::string::npos) line.erase(h);
    std::istringstream ls(line);
    std::string when, keys, extra;
    if (!(ls >> when)) continue;
    auto fail = [&](const std::string& why) {
      error = "script line " + std::to_string(n) + ": " + why;
      return false;
    };
    if (!(ls >> keys)) return fail("expected 'WHEN KEYS'");
    if (ls >> extra) return fail("unexpected '" + Printable(extra) + "'");
    ScriptEvent e;
    e.line = n;
    if (when[0] == '@') {
      if (!ParseWholeNumber(when.substr(1), kMaxScriptTime, e.when)) return fail("bad time '" + Printable(when) + "'");
    } else if (when[0] == 'P') {
      e.atFrame = true;
      if (!ParseWholeNumber(when.substr(1), kMaxScriptTime, e.when) || e.when == 0)
        return fail("bad frame '" + Printable(when) + "'");
    } else {
      return fail("WHEN must be @MS or PN, not '" + Printable(when) + "'");
    }
    if (keys != "-") {
      size_t pos = 0;
      while (pos <= keys.size()) {
        size_t plus = keys.find('+', pos);
        std::string name = keys.substr(pos, plus == std::string::npos ? std::string::npos : plus - pos);
        const uint64_t bit = ScriptKeyBit(name);
        if (!bit) return fail("unknown key '" + Printable(name) + "'");
        e.keys |= bit;
        if (plus == std::string::npos) break;
        pos = plus + 1;
      }
    }
    out.push_back(e);
  }
  return true;
}

}  // namespace morvik
