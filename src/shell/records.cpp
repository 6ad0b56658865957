// SPDX-License-Identifier: GPL-3.0-or-later
// The record file: the best score and best combo kept between runs, placed
// among the 663 cells of a course-segment grid in 128-byte records.
//
// Reading never creates a file and takes whatever the two records hold.
// Saving writes a complete new file beside the old one and renames it over,
// so a crash during the save leaves the old records whole. Two games running
// at once both save into the one file: each save takes a lock on a file
// beside it, reads what the file holds now and keeps the better of each
// value. A record file that is there but cannot be read is never replaced.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/files.hpp"
#include "core/printable.hpp"
#include "core/stop_signals.hpp"
#include "game.hpp"

namespace morvik {

namespace {

constexpr size_t kRecord = 128;
constexpr int kRecords = 665;
constexpr int kComboAfterCell = 3 * 51 + 19;  // cell (row 3, column 19)
constexpr int kScoreAfterCell = 6 * 51 + 22;  // cell (row 6, column 22)
constexpr size_t kComboOffset = kRecord * (kComboAfterCell + 1);  // 22144
constexpr size_t kScoreOffset = kRecord * (kScoreAfterCell + 2);  // 42240

// The n little-endian bytes at offset; false when the file does not hold them all.
bool ReadAt(const std::string& bytes, size_t offset, int n, uint32_t& v) {
  if (bytes.size() < offset + static_cast<size_t>(n)) return false;
  v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + static_cast<size_t>(i)]);
  return true;
}

void Put(std::vector<unsigned char>& data, int record, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) data[static_cast<size_t>(record) * kRecord + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Reads the two values at the record path. Only a plain file is read: a
// folder, a pipe or a device there reads as no records (and never blocks);
// false, with the reason, when a file is there that cannot be read.
bool ReadValues(const std::string& path, int32_t& score, int16_t& combo, std::string& why) {
  const FileRead r = ReadPlainFile(path, kScoreOffset + 4, true);
  if (r.outcome == FileRead::kFailed) {
    why = r.Why();
    return false;
  }
  uint32_t v = 0;
  if (ReadAt(r.bytes, kComboOffset, 2, v)) combo = static_cast<int16_t>(static_cast<uint16_t>(v));
  if (ReadAt(r.bytes, kScoreOffset, 4, v)) score = static_cast<int32_t>(v);
  return true;
}

void Warn(Game& g, const std::string& why) {
  if (g.recordsWarned) return;
  g.recordsWarned = true;
  std::fprintf(stderr, "morvik: the records could not be saved to %s: %s\n", Printable(g.recordPath).c_str(),
               why.c_str());
}

// Holds an exclusive lock on the file beside the records while it lives.
// Another game's save takes a moment: its lock is waited for three seconds
// at most (one once a stop signal has come), then the save goes on without
// it; the file is still replaced whole and keeps the better of each value
// it holds then, so the most another game can lose is a save made in that
// same moment. The lock file is never followed through a link, nor made
// through one.
class SaveLock {
 public:
  SaveLock(Game& g, const std::string& recordPath) {
    const std::string path = recordPath + ".lock";
    if (const int err = lock_.Open(path); err != 0) {
      Say(g, "cannot lock " + Printable(path) + " (" +
                 (err == ELOOP ? std::string("it is a link") : err == EINVAL ? "not a plain file" : ErrorText(err)) +
                 "); saving without the lock");
      return;
    }
    const auto start = std::chrono::steady_clock::now();
    bool said = false;
    for (int err = 0;;) {
      const FileLock::Outcome got = lock_.TryLock(err);
      if (got == FileLock::kLocked) return;
      if (got == FileLock::kFailed) {
        Say(g, "cannot lock " + Printable(path) + " (" + ErrorText(err) + "); saving without the lock");
        return;
      }
      const auto waited = std::chrono::steady_clock::now() - start;
      if (waited >= std::chrono::seconds(StopSignalled() ? 1 : 3)) {
        Say(g, "another program still holds " + Printable(path) + "; saving without the lock");
        return;
      }
      if (!said) {
        said = true;
        std::fprintf(stderr, "morvik: waiting for another program to let go of %s\n", Printable(path).c_str());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;

 private:
  static void Say(Game& g, const std::string& what) {
    if (g.recordsLockWarned) return;
    g.recordsLockWarned = true;
    std::fprintf(stderr, "morvik: %s\n", what.c_str());
  }
  FileLock lock_;
};
}  // namespace

void LoadRecords(Game& g) {
  if (g.recordsFrozen || g.recordPath.empty()) return;
  std::string why;
  if (!ReadValues(g.recordPath, g.BestScore, g.BestCombo, why)) {
    // Someone's records are in there: they are kept as they are, and this
    // session's bests stay in this session.
    g.recordsUnreadable = true;
    if (!g.recordsWarned)
      std::fprintf(stderr, "morvik: the records in %s cannot be read (%s); they are left as they are and this "
                           "session's bests will not be saved\n",
                   Printable(g.recordPath).c_str(), why.c_str());
    g.recordsWarned = true;
  }
}

void SaveRecords(Game& g) {
  if (g.BestScore < g.Score) g.BestScore = g.Score;
  if (g.BestCombo < g.MaxCombo) g.BestCombo = g.MaxCombo;
  if (g.recordsFrozen || g.recordsUnreadable || g.recordPath.empty()) return;

  std::string why;
  if (const std::string folder = FolderOf(g.recordPath); folder != "." && !MakeFolders(folder, why)) {
    Warn(g, why);
    return;
  }
  const SaveLock lock(g, g.recordPath);
  // What another game running at the same time saved since: the better of
  // each value is kept (in the file only, so that this game plays on as it
  // would alone).
  int32_t score = g.BestScore;
  int16_t combo = g.BestCombo;
  int32_t s = score;
  int16_t c = combo;
  if (!ReadValues(g.recordPath, s, c, why)) {
    g.recordsUnreadable = true;
    Warn(g, "the file there cannot be read (" + why + ") and is left as it is");
    return;
  }
  if (s > score) score = s;
  if (c > combo) combo = c;

  // The grid cells fill the records around the two values, in row order.
  std::vector<unsigned char> data(static_cast<size_t>(kRecords) * kRecord, 0);
  int r = 0;
  for (int k = 0; k < 663; ++k) {
    Put(data, r++, static_cast<uint16_t>(g.BlockMap[k]), 2);
    if (k == kComboAfterCell) Put(data, r++, static_cast<uint16_t>(combo), 2);
    if (k == kScoreAfterCell) Put(data, r++, static_cast<uint32_t>(score), 4);
  }
  // A pipe or a device in the file's place is replaced, never written into.
  ReplaceOptions how;
  how.intoDevices = false;
  if (!ReplaceFile(g.recordPath, {reinterpret_cast<const char*>(data.data()), data.size()}, why, how)) {
    Warn(g, why);
    return;
  }
  g.plat.RecordsWritten();
}

}  // namespace morvik
