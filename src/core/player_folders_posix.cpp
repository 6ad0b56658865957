// SPDX-License-Identifier: GPL-3.0-or-later
// The player's folders as the XDG base directories name them.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/files.hpp"
#include "core/player_folders.hpp"

namespace morvik {

namespace fs = std::filesystem;

namespace {

std::string Home() {
  const char* h = std::getenv("HOME");
  return h && *h == '/' ? h : "";
}

// An absolute $NAME, else `fallback` under the home directory; "" with neither.
std::string XdgFolder(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  if (v && *v == '/') return (fs::path(v) / "morvik").string();
  if (const std::string h = Home(); !h.empty()) return (fs::path(h) / fallback / "morvik").string();
  // Never a shared folder such as /tmp, which anyone could make first and
  // fill with links.
  return "";
}

// XDG_PICTURES_DIR as xdg-user-dirs keeps it: XDG_PICTURES_DIR="$HOME/Pictures".
std::string UserDirsPictures(const std::string& home) {
  const char* cfg = std::getenv("XDG_CONFIG_HOME");
  fs::path file = (cfg && *cfg == '/') ? fs::path(cfg) / "user-dirs.dirs" : fs::path(home) / ".config" / "user-dirs.dirs";
  const FileRead r = ReadPlainFile(file.string(), 65536);
  if (r.outcome != FileRead::kRead) return "";
  std::string found;
  for (size_t pos = 0; pos < r.bytes.size();) {
    size_t eol = r.bytes.find('\n', pos);
    if (eol == std::string::npos) eol = r.bytes.size();
    const std::string l = r.bytes.substr(pos, eol - pos);
    pos = eol + 1;
    const std::string key = "XDG_PICTURES_DIR=\"";
    if (l.rfind(key, 0) != 0) continue;
    size_t end = l.find('"', key.size());
    if (end == std::string::npos) continue;
    std::string v = l.substr(key.size(), end - key.size());
    if (v.rfind("$HOME", 0) == 0) v = home + v.substr(5);
    // Pointing at the home directory itself means the folder is switched off.
    auto dir = [](const std::string& d) { return (fs::path(d) / "").lexically_normal(); };
    if (!v.empty() && v[0] == '/' && dir(v) != dir(home)) found = v;
  }
  return found;
}

}  // namespace

std::string ProgramFile() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? "" : p.string();
}

std::string PlayerDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string PlayerSettingsFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string PlayerPicturesFolder() {
  const char* pics = std::getenv("XDG_PICTURES_DIR");
  if (pics && *pics == '/') return (fs::path(pics) / "morvik").string();
  if (const std::string home = Home(); !home.empty()) {
    std::string dir = UserDirsPictures(home);
    if (!dir.empty()) return (fs::path(dir) / "morvik").string();
    return (fs::path(home) / "Pictures" / "morvik").string();
  }
  return "";
}

bool RecordsMayLieBesideData(const std::string& dataDir) { return ::access(dataDir.c_str(), W_OK) == 0; }

}  // namespace morvik
