// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text form of a course segment: 13 lines of 51 characters, '#' a block
// and '.' an empty cell, top row first. Shared by the build's segment
// compiler and the course tests.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvik::segtext {

constexpr int kRows = 13;
constexpr int kCols = 51;
constexpr int kCells = kRows * kCols;
constexpr int kRecord = 128;

// Parses a segment; on failure returns false with a message naming the line.
inline bool Parse(const std::string& text, std::array<int16_t, kCells>& cells, std::string& error) {
  std::vector<std::string> lines;
  std::string cur;
  for (char ch : text) {
    if (ch == '\n') {
      if (!cur.empty() && cur.back() == '\r') cur.pop_back();
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += ch;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  if (lines.size() != kRows) {
    error = "expected " + std::to_string(kRows) + " lines, found " + std::to_string(lines.size());
    return false;
  }
  for (int r = 0; r < kRows; ++r) {
    const std::string& l = lines[r];
    if (l.size() != kCols) {
      error = "line " + std::to_string(r + 1) + ": expected " + std::to_string(kCols) + " characters, found " +
              std::to_string(l.size());
      return false;
    }
    for (int c = 0; c < kCols; ++c) {
      if (l[c] != '#' && l[c] != '.') {
        error = "line " + std::to_string(r + 1) + ", column " + std::to_string(c + 1) + ": '" + l[c] +
                "' is neither '#' nor '.'";
        return false;
      }
      cells[r * kCols + c] = l[c] == '#' ? 1 : 0;
    }
  }
  return true;
}

// The segment file: one 128-byte record per cell, the value little-endian
// in its first two bytes, the rest zero.
inline std::vector<unsigned char> Records(const std::array<int16_t, kCells>& cells) {
  std::vector<unsigned char> out(static_cast<size_t>(kCells) * kRecord, 0);
  for (int k = 0; k < kCells; ++k) {
    const uint16_t v = static_cast<uint16_t>(cells[k]);
    out[static_cast<size_t>(k) * kRecord] = static_cast<unsigned char>(v & 0xFF);
    out[static_cast<size_t>(k) * kRecord + 1] = static_cast<unsigned char>(v >> 8);
  }
  return out;
}

}  // namespace morvik::segtext
