// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game keeps every path as UTF-8 text. std::filesystem is handed and
// gives back paths only through these two: a plain std::string would be
// read in the C locale's narrow encoding where the system's paths are
// wide (Windows), so "Jörg" would name another folder.
#include <filesystem>
#include <string>
#include <string_view>

namespace morvik {

inline std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string PathText(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

}  // namespace morvik
