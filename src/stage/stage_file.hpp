// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A course segment file being read cell by cell: 663 records of 128 bytes,
// the value of each cell in the first two bytes, little-endian.
#include <cstdint>
#include <string>

#include "core/files.hpp"

namespace morvik {

constexpr int kSegmentRows = 13;
constexpr int kSegmentCols = 51;
constexpr int kSegmentCells = kSegmentRows * kSegmentCols;  // 663
constexpr int kRecordBytes = 128;
constexpr int kSegmentFileBytes = kSegmentCells * kRecordBytes;  // 84,864

class StageFile {
 public:
  StageFile() = default;
  StageFile(const StageFile&) = delete;
  StageFile& operator=(const StageFile&) = delete;
  ~StageFile() { Close(); }

  // Opens for reading from record 0. A missing or unreadable file, a
  // directory or anything else that is not a plain file reads as empty
  // cells; nothing is ever created. Any file open before is closed first.
  void Open(const std::string& path);
  // Opens segment n of dataDir without building a string (the course step
  // opens a file during play, where nothing may be allocated).
  void OpenSegment(const std::string& dataDir, int n);
  // The next cell's value; past the end, after a failed read or a failed
  // open 0. The position moves on by one record whatever happens.
  int16_t ReadCell();
  void Close();
  // True from Open until Close, whether or not the file could be opened.
  bool IsOpen() const { return open_; }
  // True while an operating-system file is held (for leak checks).
  bool HoldsFile() const { return file_.IsOpen(); }
  int Position() const { return pos_; }

 private:
  void OpenPath(const char* path);

  RandomReadFile file_;  // its size when opened bounds it: beyond, cells are empty
  bool open_ = false;
  int pos_ = 0;
};

// The file name of segment n in the data directory: "Morvik_" n ".kvd",
// the number in decimal with no sign, no leading zeros and no spaces.
std::string StageFileName(const std::string& dataDir, int n);

}  // namespace morvik
