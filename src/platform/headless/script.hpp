// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Input scripts for headless runs: one event a line, "WHEN KEYS".
//   WHEN  @MS  the virtual clock has reached MS
//         PN   just before play frame N of the current game (counting from 1)
//   KEYS  names joined by '+' from Left Right Up Down Space Z P Escape, or '-'
// '#' starts a comment. Events take effect in file order, each once.
#include <cstdint>
#include <string>
#include <vector>

namespace morvik {

struct ScriptEvent {
  bool atFrame = false;  // PN rather than @MS
  uint32_t when = 0;
  uint32_t keys = 0;     // bit set of ScriptKey
  int line = 0;
};

enum ScriptKey : uint32_t {
  kKeyLeft = 1, kKeyRight = 2, kKeyUp = 4, kKeyDown = 8,
  kKeySpace = 16, kKeyZ = 32, kKeyP = 64, kKeyEscape = 128,
};

// Parses a script; on failure returns false with a message naming the line.
bool ParseScript(const std::string& text, std::vector<ScriptEvent>& out, std::string& error);
// The virtual key code of a script key bit, and the reverse.
int ScriptKeyToVk(uint32_t bit);
uint32_t VkToScriptKey(int vk);

}  // namespace morvik
