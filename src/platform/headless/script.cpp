// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/headless/script.hpp"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "platform/platform.hpp"

namespace morvik {

namespace {
struct KeyName {
  const char* name;
  uint32_t bit;
  int vk;
};
const KeyName kNames[] = {
    {"Left", kKeyLeft, VK_LEFT},    {"Right", kKeyRight, VK_RIGHT}, {"Up", kKeyUp, VK_UP},
    {"Down", kKeyDown, VK_DOWN},    {"Space", kKeySpace, VK_SPACE}, {"Z", kKeyZ, VK_Z},
    {"P", kKeyP, VK_P},             {"Escape", kKeyEscape, VK_ESCAPE},
};

bool ParseNumber(const std::string& s, uint32_t& v) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  unsigned long long n = std::strtoull(s.c_str(), nullptr, 10);
  if (n > 0xFFFFFFFFull) return false;
  v = static_cast<uint32_t>(n);
  return true;
}
}  // namespace

int ScriptKeyToVk(uint32_t bit) {
  for (const KeyName& k : kNames)
    if (k.bit == bit) return k.vk;
  return 0;
}

uint32_t VkToScriptKey(int vk) {
  for (const KeyName& k : kNames)
    if (k.vk == vk) return k.bit;
  return 0;
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
    if (ls >> extra) return fail("unexpected '" + extra + "'");
    ScriptEvent e;
    e.line = n;
    if (when[0] == '@') {
      if (!ParseNumber(when.substr(1), e.when)) return fail("bad time '" + when + "'");
    } else if (when[0] == 'P') {
      e.atFrame = true;
      if (!ParseNumber(when.substr(1), e.when) || e.when == 0) return fail("bad frame '" + when + "'");
    } else {
      return fail("WHEN must be @MS or PN, not '" + when + "'");
    }
    if (keys != "-") {
      size_t pos = 0;
      while (pos <= keys.size()) {
        size_t plus = keys.find('+', pos);
        std::string name = keys.substr(pos, plus == std::string::npos ? std::string::npos : plus - pos);
        bool found = false;
        for (const KeyName& k : kNames)
          if (name == k.name) {
            e.keys |= k.bit;
            found = true;
          }
        if (!found) return fail("unknown key '" + name + "'");
        if (plus == std::string::npos) break;
        pos = plus + 1;
      }
    }
    out.push_back(e);
  }
  return true;
}

}  // namespace morvik
