// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings of a running game, which the options screen changes, and
// where they are kept. Reading and writing the file is the program's (the
// settings file's own code lies above the game); the game only asks for a
// save through the store.
#include <functional>
#include <string>

#include "platform/bindings.hpp"

namespace morvik {

// What became of the settings file when it was read.
struct SettingsFile {
  std::string path;   // empty: the settings live in memory only (headless runs, demos played)
  std::string text;   // the file as read or last written, for the lines the game does not know
  bool keep = false;  // it could not be read as settings: it is never written over
  std::string why;    // why it is kept, or why it could not be written
};

struct SettingsStore {
  Settings file = DefaultSettings();  // as the settings file holds them
  Settings run = DefaultSettings();   // as this run uses them: the file's, with the command line's over them
  // Set on the command line for this run: the screen does not change them.
  bool fixedDisplay = false, fixedScale = false, fixedSmooth = false;
  SettingsFile disk;
  // Writes `file` to `disk`; false with the reason when it is not written.
  // Without it the settings live in memory only.
  std::function<bool(SettingsStore&, std::string& why)> save;
};

}  // namespace morvik
