// SPDX-License-Identifier: GPL-3.0-or-later
// The player's folders on Windows, as the system names them: the roaming
// application data (%APPDATA%\Morvik) for the records, the replays and the
// settings, and the Pictures library for screenshots.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "core/player_folders.hpp"
#include "core/utf16.hpp"

namespace morvik {

namespace {

std::string KnownFolder(REFKNOWNFOLDERID id) {
  wchar_t* path = nullptr;
  std::string out;
  if (SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path) == S_OK && path && *path)
    out = Utf8FromWide(std::wstring(path) + L"\\Morvik");
  CoTaskMemFree(path);
  return out;
}

}  // namespace

std::string ProgramFile() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) {
      buf.resize(n);
      return Utf8FromWide(buf);
    }
    if (buf.size() >= 32768) return "";
    buf.resize(buf.size() * 2);
  }
}

std::string PlayerDataFolder() { return KnownFolder(FOLDERID_RoamingAppData); }

std::string PlayerSettingsFolder() { return PlayerDataFolder(); }

std::string PlayerPicturesFolder() { return KnownFolder(FOLDERID_Pictures); }

bool RecordsMayLieBesideData(const std::string&) { return false; }

}  // namespace morvik
