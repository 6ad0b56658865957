// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/options.hpp"

namespace morvik {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxFileSize = 64 * 1024;  // a settings file is a few hundred bytes
constexpr size_t kMaxLine = 400;

const char* const kActionNames[kActionCount] = {"left", "right", "jump", "down", "action", "pause", "leave"};

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

bool ParseInt(const std::string& v, int lo, int hi, int& out) {
  if (v.empty() || v.size() > 4) return false;
  int n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < lo || n > hi) return false;
  out = n;
  return true;
}

// "a, b, c" -> {"a", "b", "c"}; "none" -> {}. False on an empty item.
bool SplitList(const std::string& v, std::vector<std::string>& out) {
  out.clear();
  if (v == "none") return true;
  size_t start = 0;
  for (;;) {
    size_t comma = v.find(',', start);
    std::string item = Trim(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (item.empty()) return false;
    out.push_back(item);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::string JoinList(const std::vector<std::string>& v) {
  if (v.empty()) return "none";
  std::string s;
  for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + v[i];
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
    if (!ParseInt(value, 0, 8, s.scale)) return "scale is a whole number from 0 to 8, not '" + value + "'";
    return "";
  }
  if (name == "smooth") {
    if (value == "on") s.smooth = true;
    else if (value == "off") s.smooth = false;
    else return "smooth is 'on' or 'off', not '" + value + "'";
    return "";
  }
  if (name == "effects-volume" || name == "music-volume") {
    int& v = name == "effects-volume" ? s.effectsVolume : s.musicVolume;
    if (!ParseInt(value, 0, 128, v)) return name + " is a whole number from 0 to 128, not '" + value + "'";
    return "";
  }
  const bool key = name.rfind("key-", 0) == 0, pad = name.rfind("pad-", 0) == 0;
  if (key || pad) {
    const std::string act = name.substr(4);
    for (int a = 0; a < kActionCount; ++a) {
      if (act != kActionNames[a]) continue;
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

std::string Home() {
  const char* h = std::getenv("HOME");
  return h && *h == '/' ? h : "";
}

}  // namespace

const char* ActionName(int action) {
  return action >= 0 && action < kActionCount ? kActionNames[action] : "";
}

Settings DefaultSettings() {
  Settings s;
  s.keys[kActLeft] = {"Left"};
  s.keys[kActRight] = {"Right"};
  s.keys[kActJump] = {"Up"};
  s.keys[kActDown] = {"Down"};
  s.keys[kActFire] = {"Space", "Z"};
  s.keys[kActPause] = {"P"};
  s.keys[kActLeave] = {"Escape"};
  s.pad[kActLeft] = {"dpleft", "-leftx"};
  s.pad[kActRight] = {"dpright", "+leftx"};
  s.pad[kActJump] = {"dpup", "-lefty"};
  s.pad[kActDown] = {"dpdown", "+lefty"};
  s.pad[kActFire] = {"a", "b", "x", "y"};
  s.pad[kActPause] = {"start"};
  s.pad[kActLeave] = {};
  return s;
}

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
      messages.push_back(fileName + ":" + std::to_string(lineNo) + ": " + why + "; line ignored");
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
      "# The game wrote this file with every setting at its default and never rewrites it.\n"
      "# Key names are those of SDL (Left, Space, Z, Return, Left Shift, Keypad 4, ...); several\n"
      "# inputs for one action are joined by commas, 'none' binds nothing.\n"
      "# Controller inputs: a b x y back start guide leftstick rightstick leftshoulder rightshoulder\n"
      "# dpup dpdown dpleft dpright, and axis directions -leftx +leftx -lefty +lefty -rightx +rightx\n"
      "# -righty +righty +lefttrigger +righttrigger.\n\n";
  t += "# fullscreen (the whole screen) or window\n";
  t += std::string("display ") + (s.window ? "window" : "fullscreen") + "\n";
  t += "# window size in multiples of 640x480, 1 to 8; 0 takes the largest that fits the desktop\n";
  t += "scale " + std::to_string(s.scale) + "\n";
  t += "# off: sharp pixels, scaled by whole numbers; on: fill the screen, smoothing only the last step\n";
  t += std::string("smooth ") + (s.smooth ? "on" : "off") + "\n";
  t += "# loudness of the sound effects, 0 (silent) to 128\n";
  t += "effects-volume " + std::to_string(s.effectsVolume) + "\n";
  t += "# loudness of the music, 0 (silent) to 128\n";
  t += "music-volume " + std::to_string(s.musicVolume) + "\n";
  for (int a = 0; a < kActionCount; ++a) {
    t += std::string("# keys to ") + kActionHelp[a] + "\n";
    t += std::string("key-") + kActionNames[a] + " " + JoinList(s.keys[a]) + "\n";
  }
  for (int a = 0; a < kActionCount; ++a) {
    t += std::string("# controller inputs to ") + kActionHelp[a] + "\n";
    t += std::string("pad-") + kActionNames[a] + " " + JoinList(s.pad[a]) + "\n";
  }
  return t;
}

std::string SettingsPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (xdg && *xdg == '/') base = xdg;
  else if (std::string h = Home(); !h.empty()) base = fs::path(h) / ".config";
  else return "";
  return (base / "morvik" / "settings.txt").string();
}

namespace {

// Writes a new file at `path`, never over one that exists; false with the reason.
bool WriteNewFile(const std::string& path, const std::string& text, std::string& why) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool ok = done == text.size() && ::fsync(fd) == 0;
  if (!ok) why = std::strerror(errno ? errno : EIO);
  ::close(fd);
  if (!ok) ::unlink(path.c_str());  // a half-written file would be read as damaged next time
  return ok;
}

}  // namespace

Settings LoadSettings(const std::string& path, const InputNames& names, std::vector<std::string>& messages) {
  Settings s = DefaultSettings();
  if (path.empty()) return s;
  // Non-blocking, so that a FIFO in the file's place cannot hang the start.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) {
      messages.push_back(path + ": cannot be read (" + std::strerror(errno) + "); using the defaults");
      return s;
    }
    std::string why;
    if (WriteNewFile(path, SettingsText(s), why)) messages.push_back("wrote the default settings to " + path);
    else messages.push_back(path + ": cannot be written (" + why + "); using the defaults");
    return s;
  }
  struct stat st {};
  std::string text;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) messages.push_back(path + ": not a plain file; using the defaults");
  else if (static_cast<uint64_t>(st.st_size) > kMaxFileSize) {
    messages.push_back(path + ": far too large for a settings file; using the defaults");
    ok = false;
  } else {
    char buf[4096];
    for (;;) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        messages.push_back(path + ": cannot be read (" + std::strerror(errno) + "); using the defaults");
        ok = false;
        break;
      }
      if (n == 0) break;
      text.append(buf, static_cast<size_t>(n));
      if (text.size() > kMaxFileSize) {  // grew while we read it
        messages.push_back(path + ": far too large for a settings file; using the defaults");
        ok = false;
        break;
      }
    }
  }
  ::close(fd);
  if (ok) ParseSettings(text, path, names, s, messages);
  return s;
}

void ApplyOptions(const Options& o, Settings& s) {
  if (o.fullscreen) s.window = false;
  else if (o.window) s.window = true;
  if (o.scale > 0) s.scale = o.scale;
  if (o.smooth) s.smooth = true;
}

}  // namespace morvik
