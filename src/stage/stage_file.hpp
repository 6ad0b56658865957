#pragma once
// A course segment file being read cell by cell: 663 records of 128 bytes,
// the value of each cell in the first two bytes, little-endian.
#include <cstdint>
#include <cstdio>
#include <string>

namespace morvik {

constexpr int kSegmentRows = 13;
constexpr int kSegmentCols = 51;
constexpr int kSegmentCells = kSegmentRows * kSegmentCols;  // 663
constexpr int kRecordBytes = 128;

class StageFile {
 public:
  StageFile() = default;
  StageFile(const StageFile&) = delete;
  StageFile& operator=(const StageFile&) = delete;
  ~StageFile() { Close(); }

  // Opens for reading from record 0. A missing, unreadable file or a
  // directory reads as empty cells; nothing is ever created.
  void Open(const std::string& path);
  // The next cell's value; past the end (or after a failed open) 0.
  int16_t ReadCell();
  void Close();
  bool IsOpen() const { return open_; }
  int Position() const { return pos_; }

 private:
  std::FILE* f_ = nullptr;
  bool open_ = false;
  int pos_ = 0;
};

// The file name of segment n in the data directory: "Morvik_" n ".kvd".
std::string StageFileName(const std::string& dataDir, int n);

}  // namespace morvik
