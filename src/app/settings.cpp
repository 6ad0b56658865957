// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/command_line.hpp"
#include "app/verify.hpp"
#include "core/files.hpp"
#include "core/numeric.hpp"
#include "core/path_text.hpp"
#include "core/player_folders.hpp"
#include "core/printable.hpp"

namespace morvik {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxFileSize = 64 * 1024;  // a settings file is a few hundred bytes
constexpr size_t kMaxLine = 400;

const char* const kActionHelp[kActionCount] = {"move left",
                                               "move right",
                                               "jump (and move the title menu's cursor up)",
                                               "move the title menu's cursor down",
                                               "throw (hold to charge), come back after a lost life, choose on the title",
                                               "pause and resume",
                                               "leave the game (on the title and in the opening: quit)"};

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}


// "a, b, c" -> {"a", "b", "c"}; "none" -> {}. A name that holds a comma or
// a double quote, or is "none", is written in double quotes (a quote in it
// doubled): "," is the comma key, "Keypad ," the keypad's. A lone comma is
// the comma key too, as the game wrote it once. False on an empty item.
bool SplitList(const std::string& v, std::vector<std::string>& out) {
  out.clear();
  if (v == "none") return true;
  if (v == ",") {
    out.push_back(",");
    return true;
  }
  size_t i = 0;
  const auto blanks = [&] {
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
  };
  for (;;) {
    blanks();
    std::string item;
    if (i < v.size() && v[i] == '"') {
      for (++i;; ++i) {
        if (i >= v.size()) return false;  // no closing quote
        if (v[i] == '"') {
          if (i + 1 < v.size() && v[i + 1] == '"') {
            item += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        item += v[i];
      }
      blanks();
      if (i < v.size() && v[i] != ',') return false;
    } else {
      const size_t comma = v.find(',', i);
      item = Trim(v.substr(i, comma == std::string::npos ? std::string::npos : comma - i));
      i = comma == std::string::npos ? v.size() : comma;
    }
    if (item.empty()) return false;
    out.push_back(item);
    if (i >= v.size()) return true;
    ++i;  // the comma
  }
}

std::string JoinList(const std::vector<std::string>& v) {
  if (v.empty()) return "none";
  std::string s;
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string& n = v[i];
    const bool quote = n.find_first_of(",\"") != std::string::npos || n == "none" || n != Trim(n);
    std::string item = n;
    if (quote) {
      item = "\"";
      for (char c : n) item += c == '"' ? std::string("\"\"") : std::string(1, c);
      item += '"';
    }
    s += (i ? ", " : "") + item;
  }
  return s;
}

// Applies one setting; an empty result means it was taken, else it says why not.
std::string ApplyLine(const std::string& name, const std::string& value, const InputNames& names, Settings& s) {
  if (value.empty()) return "'" + name + "' has no value";
  if (name == "display") {
    if (value == "window") s.window = true;
    else if (value == "fullscreen") s.window = false;
    else return "display is 'fullscreen' or 'window', not '" + value + "'";
    return "";
  }
  if (name == "scale") {
    if (!ParseWholeIn(value, 0, 8, s.scale)) return "scale is a whole number from 0 to 8, not '" + value + "'";
    return "";
  }
  if (name == "smooth") {
    if (value == "on") s.smooth = kSmoothOn;
    else if (value == "off") s.smooth = kSmoothOff;
    else if (value == "auto") s.smooth = kSmoothAuto;
    else return "smooth is 'auto', 'on' or 'off', not '" + value + "'";
    return "";
  }
  if (name == "effects-volume" || name == "music-volume") {
    int& v = name == "effects-volume" ? s.effectsVolume : s.musicVolume;
    if (!ParseWholeIn(value, 0, 128, v)) return name + " is a whole number from 0 to 128, not '" + value + "'";
    return "";
  }
  if (name == "leaderboard") {
    const bool web = value.rfind("http://", 0) == 0 || value.rfind("https://", 0) == 0;
    if (!web || value.find_first_of(" \t") != std::string::npos)
      return "leaderboard is the board's address (https://HOST or http://127.0.0.1:PORT), not '" + value + "'";
    s.leaderboard = value;
    return "";
  }
  if (name == "board-name") {
    std::string why;
    if (!CheckPlayerName(value, why)) return "board-name: " + why;
    s.boardName = value;
    return "";
  }
  const bool key = name.rfind("key-", 0) == 0, pad = name.rfind("pad-", 0) == 0;
  if (key || pad) {
    const std::string act = name.substr(4);
    for (int a = 0; a < kActionCount; ++a) {
      if (act != ActionName(a)) continue;
      std::vector<std::string> list;
      if (!SplitList(value, list)) return "'" + value + "' is not a list of names joined by commas";
      const auto& known = key ? names.isKey : names.isPad;
      for (const std::string& n : list)
        if (known && !known(n)) return "'" + n + "' is not a " + (key ? "key" : "controller button or axis") + " name";
      (key ? s.keys : s.pad)[a] = std::move(list);
      return "";
    }
  }
  return "unknown setting '" + name + "'";
}

}  // namespace

void ParseSettings(const std::string& text, const std::string& fileName, const InputNames& names, Settings& s,
                   std::vector<std::string>& messages) {
  size_t pos = 0;
  int lineNo = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto fail = [&](const std::string& why) {
      messages.push_back(Printable(fileName) + ":" + std::to_string(lineNo) + ": " + Printable(why) + "; line ignored");
    };
    if (line.size() > kMaxLine) {
      fail("line too long");
      continue;
    }
    bool printable = true;
    for (unsigned char c : line)
      if ((c < 32 && c != '\t') || c == 127) printable = false;
    if (!printable) {
      fail("unreadable characters");
      continue;
    }
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t sp = line.find_first_of(" \t");
    const std::string name = line.substr(0, sp);
    const std::string value = sp == std::string::npos ? "" : Trim(line.substr(sp));
    Settings trial = s;
    std::string why = ApplyLine(name, value, names, trial);
    if (why.empty()) s = std::move(trial);
    else fail(why);
  }
}

std::string SettingsText(const Settings& s) {
  std::string t =
      "# Morvik settings: one setting a line, its name and then its value; '#' starts a comment.\n"
      "# The game writes this file when it is missing, and again when a setting is changed on\n"
      "# the options screen (F1 in the game), keeping at the end any line it does not know.\n"
      "# Key names are those of SDL (Left, Space, Z, Return, Left Shift, Keypad 4, ...); several\n"
      "# inputs for one action are joined by commas, 'none' binds nothing.\n"
      "# Controller inputs: a b x y back start guide leftstick rightstick leftshoulder rightshoulder\n"
      "# dpup dpdown dpleft dpright, and axis directions -leftx +leftx -lefty +lefty -rightx +rightx\n"
      "# -righty +righty +lefttrigger +righttrigger.\n\n";
  t += "# fullscreen (the whole screen) or window\n";
  t += std::string("display ") + (s.window ? "window" : "fullscreen") + "\n";
  t += "# window size in multiples of 640x480, 1 to 8; 0 takes the largest that fits the desktop\n";
  t += "scale " + std::to_string(s.scale) + "\n";
  t += "# off: sharp pixels, scaled by whole numbers; on: fill the screen, smoothing only the last step;\n"
       "# auto: as on where whole numbers would leave more than a quarter of the screen's height empty\n";
  t += std::string("smooth ") + (s.smooth == kSmoothOn ? "on" : s.smooth == kSmoothOff ? "off" : "auto") + "\n";
  t += "# loudness of the sound effects, 0 (silent) to 128\n";
  t += "effects-volume " + std::to_string(s.effectsVolume) + "\n";
  t += "# loudness of the music, 0 (silent) to 128\n";
  t += "music-volume " + std::to_string(s.musicVolume) + "\n";
  for (int a = 0; a < kActionCount; ++a) {
    t += std::string("# keys to ") + kActionHelp[a] + "\n";
    t += std::string("key-") + ActionName(a) + " " + JoinList(s.keys[a]) + "\n";
  }
  for (int a = 0; a < kActionCount; ++a) {
    t += std::string("# controller inputs to ") + kActionHelp[a] + "\n";
    t += std::string("pad-") + ActionName(a) + " " + JoinList(s.pad[a]) + "\n";
  }
  t += "# the leaderboard 'morvik --board' plays for and 'morvik --submit' sends to: leaderboard https://HOST\n";
  if (!s.leaderboard.empty()) t += "leaderboard " + s.leaderboard + "\n";
  t += "# the name 'morvik --board' plays under: board-name NAME\n";
  if (!s.boardName.empty()) t += "board-name " + s.boardName + "\n";
  return t;
}

std::string SettingsPath() {
  const std::string folder = PlayerSettingsFolder();
  return folder.empty() ? "" : PathText(PathOf(folder) / "settings.txt");
}

namespace {

}  // namespace

Settings LoadSettings(const std::string& path, const InputNames& names, std::vector<std::string>& messages,
                      SettingsFile* file) {
  Settings s = DefaultSettings();
  SettingsFile own;
  SettingsFile& f = file ? *file : own;
  f = SettingsFile{};
  f.path = path;
  if (path.empty()) return s;
  auto refuse = [&](const std::string& why) {
    messages.push_back(Printable(path) + ": " + why + "; using the defaults, and the file is left as it is");
    f.keep = true;
    f.why = why;
  };
  const FileRead r = ReadPlainFile(path, kMaxFileSize);
  if (r.outcome == FileRead::kMissing) {
    // No file there (or the player's link to one not made yet): the defaults
    // are written, never over a file someone makes meanwhile.
    std::string why;
    f.text = SettingsText(s);
    const std::string folder = FolderOf(path);
    ReplaceOptions how;
    how.onlyIfMissing = true;
    if ((folder == "." || MakeFolders(folder, why)) && ReplaceFile(path, f.text, why, how)) {
      messages.push_back("wrote the default settings to " + Printable(path));
    } else {
      messages.push_back(Printable(path) + ": cannot be written (" + why + "); using the defaults");
      f.why = "cannot be written (" + why + ")";
    }
    return s;
  }
  if (r.outcome == FileRead::kTooLarge) {
    refuse("far too large for a settings file");
    return s;
  }
  if (r.outcome == FileRead::kNotPlain) {
    refuse("not a plain file");
    return s;
  }
  if (r.outcome != FileRead::kRead) {
    refuse("cannot be read (" + r.Why() + ")");
    return s;
  }
  const std::string& text = r.bytes;
  // A file holding bytes no text has, or whose every line (of three or more)
  // is damaged, is no settings file: the defaults are used and it is kept as
  // it is. A few damaged lines among good ones are named, the first of them.
  if (text.find('\0') != std::string::npos) {
    refuse("not a settings file (it holds binary data)");
    return s;
  }
  std::vector<std::string> lineMessages;
  Settings read = s;
  ParseSettings(text, path, names, read, lineMessages);
  size_t settingLines = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') ++settingLines;
  }
  if (settingLines >= 3 && lineMessages.size() == settingLines) {
    refuse("not a settings file (no line of it is a setting)");
    return s;
  }
  s = read;
  f.text = text;
  if (!lineMessages.empty()) {
    std::string m = lineMessages[0];
    if (lineMessages.size() > 1)
      m += " (and " + std::to_string(lineMessages.size() - 1) + " more damaged line" +
           (lineMessages.size() > 2 ? "s" : "") + ")";
    messages.push_back(m);
  }
  return s;
}

void ApplyOptions(const Options& o, Settings& s) {
  if (o.fullscreen) s.window = false;
  else if (o.window) s.window = true;
  if (o.scale > 0) s.scale = o.scale;
  if (o.smooth) s.smooth = kSmoothOn;
}

SettingsStore MakeSettingsStore(const Settings& file, const SettingsFile& disk, const Options& o) {
  SettingsStore st;
  st.file = file;
  st.run = file;
  ApplyOptions(o, st.run);
  st.fixedDisplay = o.fullscreen || o.window;
  st.fixedScale = o.scale > 0;
  st.fixedSmooth = o.smooth;
  st.disk = disk;
  st.save = SaveSettings;
  return st;
}

namespace {

// A line is the game's own when it is a comment of the layout it writes (or
// wrote once), or a setting it knows.
bool OwnLine(const std::string& line, const std::vector<std::string>& layout) {
  if (line.empty()) return true;
  if (line[0] == '#') {
    // Comments of layouts the game wrote before.
    if (line == "# The game wrote this file with every setting at its default and never rewrites it." ||
        line == "# off: sharp pixels, scaled by whole numbers; on: fill the screen, smoothing only the last step" ||
        line == "# the leaderboard that 'morvik --submit' sends your best game to: leaderboard https://HOST")
      return true;
    for (const std::string& l : layout)
      if (l == line) return true;
    return false;
  }
  const std::string name = line.substr(0, line.find_first_of(" \t"));
  if (name == "display" || name == "scale" || name == "smooth" || name == "effects-volume" || name == "music-volume" ||
      name == "leaderboard" || name == "board-name")
    return true;
  if (name.rfind("key-", 0) == 0 || name.rfind("pad-", 0) == 0)
    for (int a = 0; a < kActionCount; ++a)
      if (name.substr(4) == ActionName(a)) return true;
  return false;
}

constexpr const char* kKeptHeading = "# Lines the game does not know, kept as they were:";

}  // namespace

std::string MergedSettingsText(const Settings& s, const std::string& old) {
  std::string text = SettingsText(s);
  std::vector<std::string> layout;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    if (text[pos] == '#') layout.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  layout.push_back(kKeptHeading);
  std::string kept;
  for (size_t pos = 0; pos < old.size();) {
    size_t end = old.find('\n', pos);
    if (end == std::string::npos) end = old.size();
    std::string line = old.substr(pos, end - pos);
    pos = end + 1;
    // Every carriage return at the end goes, not only one: a line of them
    // would otherwise lose one more at every rewrite.
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (!OwnLine(Trim(line), layout)) kept += line + "\n";
  }
  if (!kept.empty()) text += std::string("\n") + kKeptHeading + "\n" + kept;
  return text;
}

bool SaveSettings(SettingsStore& st, std::string& why) {
  SettingsFile& f = st.disk;
  if (f.path.empty()) {
    why = "kept in memory only";
    return false;
  }
  if (f.keep) {
    why = f.why;
    return false;
  }
  const std::string text = MergedSettingsText(st.file, f.text);
  const std::string folder = FolderOf(f.path);
  ReplaceOptions how;
  how.intoDevices = false;
  std::string err;
  if ((folder != "." && !MakeFolders(folder, err)) ||
      !ReplaceFile(f.path, text, err, how)) {
    why = "cannot be written (" + err + ")";
    return false;
  }
  f.text = text;
  return true;
}

}  // namespace morvik
