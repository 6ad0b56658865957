// SPDX-License-Identifier: GPL-3.0-or-later
// The record file: the best score and best combo kept between runs, placed
// among the 663 cells of a course-segment grid in 128-byte records.
//
// Reading never creates a file and takes whatever the two records hold.
// Saving writes a complete new file beside the old one and renames it over,
// so a crash during the save leaves the old records whole.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "game.hpp"

namespace morvik {

namespace {
namespace fs = std::filesystem;

constexpr long kRecord = 128;
constexpr int kRecords = 665;
constexpr int kComboAfterCell = 3 * 51 + 19;  // cell (row 3, column 19)
constexpr int kScoreAfterCell = 6 * 51 + 22;  // cell (row 6, column 22)
constexpr long kComboOffset = kRecord * (kComboAfterCell + 1);  // 22144
constexpr long kScoreOffset = kRecord * (kScoreAfterCell + 2);  // 42240

// Reads n little-endian bytes at offset; false when the file does not hold them all.
bool ReadAt(std::FILE* f, long offset, int n, uint32_t& v) {
  unsigned char b[4] = {};
  if (std::fseek(f, offset, SEEK_SET) != 0) return false;
  if (std::fread(b, 1, static_cast<size_t>(n), f) != static_cast<size_t>(n)) return false;
  v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[i];
  return true;
}

void Put(std::vector<unsigned char>& data, int record, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) data[static_cast<size_t>(record) * kRecord + i] = static_cast<unsigned char>(v >> (8 * i));
}

void Warn(Game& g, const std::string& why) {
  if (g.recordsWarned) return;
  g.recordsWarned = true;
  std::fprintf(stderr, "morvik: the records could not be saved to %s: %s\n", g.recordPath.c_str(), why.c_str());
}
}  // namespace

void LoadRecords(Game& g) {
  // Only a plain file is read: a directory, a pipe or a device at the record
  // path reads as no records (and must never block the start).
  if (g.recordsFrozen) return;
  std::error_code ec;
  if (!fs::is_regular_file(g.recordPath, ec)) return;
  std::FILE* f = std::fopen(g.recordPath.c_str(), "rb");
  if (!f) return;
  uint32_t v = 0;
  if (ReadAt(f, kComboOffset, 2, v)) g.BestCombo = static_cast<int16_t>(static_cast<uint16_t>(v));
  if (ReadAt(f, kScoreOffset, 4, v)) g.BestScore = static_cast<int32_t>(v);
  std::fclose(f);
}

void SaveRecords(Game& g) {
  if (g.BestScore < g.Score) g.BestScore = g.Score;
  if (g.BestCombo < g.MaxCombo) g.BestCombo = g.MaxCombo;
  if (g.recordsFrozen) return;

  // The grid cells fill the records around the two values, in row order.
  std::vector<unsigned char> data(static_cast<size_t>(kRecords) * kRecord, 0);
  int r = 0;
  for (int k = 0; k < 663; ++k) {
    Put(data, r++, static_cast<uint16_t>(g.BlockMap[k]), 2);
    if (k == kComboAfterCell) Put(data, r++, static_cast<uint16_t>(g.BestCombo), 2);
    if (k == kScoreAfterCell) Put(data, r++, static_cast<uint32_t>(g.BestScore), 4);
  }

  const fs::path target(g.recordPath);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  const std::string tmp = g.recordPath + ".tmp" + std::to_string(static_cast<long>(::getpid()));
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    Warn(g, std::strerror(errno));
    return;
  }
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = std::fflush(f) == 0 && ok;
  int err = errno;
  if (ok && ::fsync(::fileno(f)) != 0) { ok = false; err = errno; }
  if (std::fclose(f) != 0 && ok) { ok = false; err = errno; }
  if (ok && std::rename(tmp.c_str(), g.recordPath.c_str()) != 0) { ok = false; err = errno; }
  if (!ok) {
    std::remove(tmp.c_str());
    Warn(g, std::strerror(err));
    return;
  }
  g.plat.RecordsWritten();
}

}  // namespace morvik
