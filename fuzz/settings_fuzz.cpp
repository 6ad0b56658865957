// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the settings reader: the input is the settings file. It is read as
// the game reads it at start-up; one message at most comes of it, every value
// read lies in its range, and when the options screen may write the file,
// what it would write reads back as exactly the settings it holds and keeps
// the lines the game does not know (writing it twice changes nothing more).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/settings.hpp"
#include "scratch.hpp"

namespace {

using morvik::Settings;

// Names as a window layer knows them: letters, digits and spaces inside, up
// to 12 characters; controller inputs from a short list.
morvik::InputNames Names() {
  morvik::InputNames n;
  n.isKey = [](const std::string& s) {
    if (s.empty() || s.size() > 12 || s.front() == ' ' || s.back() == ' ') return false;
    for (char c : s)
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ')) return false;
    return true;
  };
  n.isPad = [](const std::string& s) {
    for (const char* k : {"a", "b", "x", "y", "start", "dpleft", "dpright", "dpup", "dpdown", "-leftx", "+leftx",
                          "-lefty", "+lefty", "+lefttrigger"})
      if (s == k) return true;
    return false;
  };
  return n;
}

bool Same(const Settings& a, const Settings& b) {
  return a.window == b.window && a.scale == b.scale && a.smooth == b.smooth && a.effectsVolume == b.effectsVolume &&
         a.musicVolume == b.musicVolume && a.keys == b.keys && a.pad == b.pad;
}

const std::string& Path() {
  static const std::string p = [] {
    std::string path = morvik::fuzz::ScratchDir("settings") + "/settings.txt";
    std::atexit([] {
      ::unlink(Path().c_str());
      ::rmdir(morvik::fuzz::ScratchDir("settings").c_str());
    });
    return path;
  }();
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const morvik::InputNames names = Names();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::FILE* f = std::fopen(Path().c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  std::vector<std::string> messages;
  morvik::SettingsFile file;
  const Settings s = morvik::LoadSettings(Path(), names, messages, &file);
  if (messages.size() > 1) std::abort();
  if (s.scale < 0 || s.scale > 8 || s.effectsVolume < 0 || s.effectsVolume > 128 || s.musicVolume < 0 ||
      s.musicVolume > 128)
    std::abort();
  if (file.keep) {
    if (!Same(s, morvik::DefaultSettings())) std::abort();
    return 0;
  }
  if (file.text != text) std::abort();
  const std::string merged = morvik::MergedSettingsText(s, text);
  Settings back = morvik::DefaultSettings();
  std::vector<std::string> ignored;
  morvik::ParseSettings(merged, "merged", names, back, ignored);
  if (!Same(back, s)) std::abort();
  if (morvik::MergedSettingsText(s, merged) != merged) std::abort();
  return 0;
}
