// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the headless input-script parser: any text either parses into
// events whose keys are known keys and whose lines are in the text, or is
// refused with a message naming a line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/script.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<morvik::ScriptEvent> events;
  std::string error;
  const bool ok = morvik::ParseScript(text, events, error);
  if (!ok && error.empty()) std::abort();
  if (ok) {
    int lines = 1;
    for (char c : text) lines += c == '\n';
    for (const auto& e : events) {
      if (e.keys >> morvik::kScriptKeyCount) std::abort();
      if (e.line < 1 || e.line > lines) std::abort();
      // Every key held has a name that reads back as that key.
      for (int i = 0; i < morvik::kScriptKeyCount; ++i) {
        const uint64_t bit = uint64_t{1} << i;
        if ((e.keys & bit) && morvik::ScriptKeyBit(morvik::ScriptKeyName(bit)) != bit) std::abort();
      }
    }
  }
  return 0;
}
