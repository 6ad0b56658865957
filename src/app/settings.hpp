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
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace morvik {

struct Options;

// The game's actions a player can bind. Space and Z are one action to the
// game, so they are bound together as `action`.
enum BoundAction : int { kActLeft, kActRight, kActJump, kActDown, kActFire, kActPause, kActLeave, kActionCount };
const char* ActionName(int action);
// The action each of the game's polled keys (VK_LEFT ... VK_ESCAPE) stands for; -1 for none.
int ActionOfKey(int vk);

constexpr int kDefaultEffectsVolume = 96, kDefaultMusicVolume = 48;  // 0..128

struct Settings {
  bool window = false;           // false: full screen on the desktop
  int scale = 0;                 // window size in multiples of 640x480, 0 = the largest that fits
  bool smooth = false;           // fill the screen, smoothing the last step
  int effectsVolume = kDefaultEffectsVolume;
  int musicVolume = kDefaultMusicVolume;
  // Inputs of each action: key names, and controller buttons or axis
  // directions ("a", "dpleft", "-leftx", "+righttrigger").
  std::array<std::vector<std::string>, kActionCount> keys, pad;
  // The leaderboard morvik --submit sends to (http:// or https://); none by default.
  std::string leaderboard;
};

Settings DefaultSettings();

// Tells whether a name is a key or a controller input the window knows.
struct InputNames {
  std::function<bool(const std::string&)> isKey, isPad;
};

// Applies the lines of `text` over `s`. Each damaged line adds one message
// "FILE:LINE: ..." to `messages` and changes nothing.
void ParseSettings(const std::string& text, const std::string& fileName, const InputNames& names, Settings& s,
                   std::vector<std::string>& messages);

// The text of a settings file holding `s`, each setting after a comment line.
std::string SettingsText(const Settings& s);

// $XDG_CONFIG_HOME/morvik/settings.txt, else ~/.config/morvik/settings.txt;
// empty when neither can be found.
std::string SettingsPath();

// What became of the settings file when it was read.
struct SettingsFile {
  std::string path;   // empty: the settings live in memory only (headless runs, demos played)
  std::string text;   // the file as read or last written, for the lines the game does not know
  bool keep = false;  // it could not be read as settings: it is never written over
  std::string why;    // why it is kept, or why it could not be written
};

// Reads the settings at `path` over the defaults. A missing file is written
// with the defaults (never over a file that exists); a file that cannot be
// read, is not a plain file, is far too large or is no settings file at all
// (binary, or every line damaged) leaves the defaults and is marked to be
// kept. Messages go into `messages`, at most one a file.
Settings LoadSettings(const std::string& path, const InputNames& names, std::vector<std::string>& messages,
                      SettingsFile* file = nullptr);

// The command line beats the file: --fullscreen, --window[=SCALE], --smooth.
void ApplyOptions(const Options& o, Settings& s);

// The settings of a running game, which the options screen changes.
struct SettingsStore {
  Settings file = DefaultSettings();  // as the settings file holds them
  Settings run = DefaultSettings();   // as this run uses them: the file's, with the command line's over them
  // Set on the command line for this run: the screen does not change them.
  bool fixedDisplay = false, fixedScale = false, fixedSmooth = false;
  SettingsFile disk;
};
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
