// SPDX-License-Identifier: GPL-3.0-or-later
// Reading course segment files.
#include "stage/stage_file.hpp"

#include <cstdio>

namespace morvik {

namespace {
// Writes dataDir "/Morvik_" n ".kvd" into buf; false if it does not fit.
bool FormatName(char* buf, size_t size, const std::string& dataDir, int n) {
  const int len = std::snprintf(buf, size, "%s/Morvik_%u.kvd", dataDir.c_str(), static_cast<unsigned>(n));
  return len > 0 && static_cast<size_t>(len) < size;
}
}  // namespace

std::string StageFileName(const std::string& dataDir, int n) {
  return dataDir + "/Morvik_" + std::to_string(static_cast<unsigned>(n)) + ".kvd";
}

void StageFile::Open(const std::string& path) { OpenPath(path.c_str()); }

void StageFile::OpenSegment(const std::string& dataDir, int n) {
  char name[4096];
  if (FormatName(name, sizeof name, dataDir, n)) {
    OpenPath(name);
  } else {
    Close();
    open_ = true;  // a name too long to exist reads as an empty segment
  }
}

void StageFile::OpenPath(const char* path) {
  Close();
  open_ = true;
  pos_ = 0;
  // Only a plain file is read: a pipe or a device in a segment's place
  // cannot stall the game.
  file_.Open(path);
}

int16_t StageFile::ReadCell() {
  const long long at = static_cast<long long>(pos_) * kRecordBytes;
  if (pos_ < 0x7FFFFFFF) ++pos_;
  if (!file_.IsOpen() || at + 2 > file_.Size()) return 0;
  unsigned char b[2];
  if (!file_.ReadAt(at, b, 2)) return 0;  // past the end, a torn last record, or a read error
  return static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
}

void StageFile::Close() {
  file_.Close();
  open_ = false;
  pos_ = 0;
}

}  // namespace morvik
