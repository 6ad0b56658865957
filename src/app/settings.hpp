// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The player's settings file: what is set once and kept, in plain text.
//
//   # a comment
//   display window
//   key-action Space, Z
//
// One setting a line, its name, then its value. The file lives in the user's
// configuration directory; when it is missing the game writes it with every
// setting at its default, and it never rewrites a file that is there. A
// damaged line is ignored (the default stays) with one message naming it.
// Key and controller names are checked by the window's own input layer.
#include <string>
#include <vector>

#include "platform/settings_store.hpp"

namespace morvik {

struct Options;

// Applies the lines of `text` over `s`. Each damaged line adds one message
// "FILE:LINE: ..." to `messages` and changes nothing.
void ParseSettings(const std::string& text, const std::string& fileName, const InputNames& names, Settings& s,
                   std::vector<std::string>& messages);

// The text of a settings file holding `s`, each setting after a comment line.
std::string SettingsText(const Settings& s);

// $XDG_CONFIG_HOME/morvik/settings.txt, else ~/.config/morvik/settings.txt;
// empty when neither can be found.
std::string SettingsPath();

// Reads the settings at `path` over the defaults. A missing file is written
// with the defaults (never over a file that exists); a file that cannot be
// read, is not a plain file, is far too large or is no settings file at all
// (binary, or every line damaged) leaves the defaults and is marked to be
// kept. Messages go into `messages`, at most one a file.
Settings LoadSettings(const std::string& path, const InputNames& names, std::vector<std::string>& messages,
                      SettingsFile* file = nullptr);

// The command line beats the file: --fullscreen, --window[=SCALE], --smooth.
void ApplyOptions(const Options& o, Settings& s);

// The settings of a running game from the file's and the command line's;
// the store saves through SaveSettings.
SettingsStore MakeSettingsStore(const Settings& file, const SettingsFile& disk, const Options& o);

// The text of a settings file holding `s` that was `old` before: the layout
// the first start writes, then every line of `old` the game does not know
// (another setting's name, a comment of the player's own), as it was.
std::string MergedSettingsText(const Settings& s, const std::string& old);

// Writes the store's file settings to its path through a temporary file,
// flushed and renamed over it. False with the reason when there is no file,
// it is to be kept, or the write fails (the old file then stays whole).
bool SaveSettings(SettingsStore& st, std::string& why);

}  // namespace morvik
