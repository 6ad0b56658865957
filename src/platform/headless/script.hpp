// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Input scripts for headless runs: one event a line, "WHEN KEYS".
//   WHEN  @MS  the virtual clock has reached MS
//         PN   just before play frame N of the current game (counting from 1)
//   KEYS  names joined by '+' from Left Right Up Down Space Escape F1 Return
//         Backspace Delete, the letters A to Z and the digits 0 to 9, or '-'
//         (the keys held from then on: a key not named is let go)
// '#' starts a comment. Events take effect in file order, each once.
#include <cstdint>
#include <string>
#include <vector>

namespace morvik {

// The largest time or frame a script may name (about 285,000 years of clock).
constexpr uint64_t kMaxScriptTime = (uint64_t{1} << 53) - 1;

struct ScriptEvent {
  bool atFrame = false;  // PN rather than @MS
  uint64_t when = 0;     // the virtual clock's ms (counted on past 2^32), or the frame
  uint64_t keys = 0;     // bit set of script keys (ScriptKey and ScriptKeyBit)
  int line = 0;
};

enum ScriptKey : uint32_t {
  kKeyLeft = 1, kKeyRight = 2, kKeyUp = 4, kKeyDown = 8,
  kKeySpace = 16, kKeyZ = 32, kKeyP = 64, kKeyEscape = 128,
};

// Parses a script; on failure returns false with a message naming the line.
bool ParseScript(const std::string& text, std::vector<ScriptEvent>& out, std::string& error);
// The bit of a script key by its name (the settings file's key name), 0 when
// scripts have no such key; and the name of a bit.
uint64_t ScriptKeyBit(const std::string& name);
const char* ScriptKeyName(uint64_t bit);
constexpr int kScriptKeyCount = 46;

}  // namespace morvik
