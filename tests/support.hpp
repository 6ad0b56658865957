// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for tests that drive the headless game: a temporary data
// directory, segment files written by the test, and a game started on them.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/files.hpp"
#include "core/path_text.hpp"
#include "game.hpp"
#include "platform/headless/headless_platform.hpp"

namespace morvik::test {

// A fresh directory under /tmp (Windows: the user's temporary folder),
// removed with its contents at the end.
class TempDir {
 public:
  TempDir() {
#ifdef _WIN32
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::random_device random;
    for (int tries = 0; tries < 100 && path_.empty(); ++tries) {
      const std::filesystem::path p = base / ("morvik-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(p, ec)) path_ = PathText(p);
    }
#else
    char tmpl[] = "/tmp/morvik-test-XXXXXX";
    char* p = ::mkdtemp(tmpl);
    path_ = p ? p : "/tmp";
#endif
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(PathOf(path_), std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(PathOf(path_), ec);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// 13 rows of 51 characters, '#' a block, anything else empty.
using SegmentRows = std::vector<std::string>;

// Writes a segment file of 663 records of 128 bytes (cell value in bytes 0-1).
inline void WriteSegmentCells(const std::string& path, const std::vector<int16_t>& cells) {
  std::vector<unsigned char> data(663 * 128, 0);
  for (size_t k = 0; k < cells.size() && k < 663; ++k) {
    data[k * 128] = static_cast<unsigned char>(static_cast<uint16_t>(cells[k]) & 0xFF);
    data[k * 128 + 1] = static_cast<unsigned char>(static_cast<uint16_t>(cells[k]) >> 8);
  }
  std::string why;
  ReplaceFile(path, {reinterpret_cast<const char*>(data.data()), data.size()}, why);
}

inline std::vector<int16_t> CellsFromRows(const SegmentRows& rows) {
  std::vector<int16_t> cells(663, 0);
  for (size_t r = 0; r < rows.size() && r < 13; ++r)
    for (size_t c = 0; c < rows[r].size() && c < 51; ++c) cells[r * 51 + c] = rows[r][c] == '#' ? 1 : 0;
  return cells;
}

// A flat floor: row 12 solid all along (the hero rests at y 275).
inline SegmentRows FlatFloor() {
  SegmentRows r(13, std::string(51, '.'));
  r[12] = std::string(51, '#');
  return r;
}

// Writes the same segment as every file 1 to 30 of dir.
inline void WriteAllSegments(const std::string& dir, const SegmentRows& rows) {
  auto cells = CellsFromRows(rows);
  for (int n = 1; n <= 30; ++n) WriteSegmentCells(StageFileName(dir, n), cells);
}

inline uint32_t kKeySpaceZ() { return kKeySpace | kKeyZ; }

// A headless game in a temporary data directory.
struct Fixture {
  TempDir dir;
  HeadlessPlatform plat{1000};
  std::unique_ptr<Game> g;
  Fixture() {
    g = std::make_unique<Game>(plat);
    g->dataDir = dir.Path();
    g->recordPath = dir.File("Mor_vik_0.kvd");
    FillConstantTables(*g);
    g->ScreenMode = 1;
  }
  // Clears the canvases and starts a game as the timer cycle would (no title).
  void Start(uint8_t screenMode = 1) {
    g->ScreenMode = screenMode;
    PrepareCanvases(*g);
    g->playFrame = 0;
    StartStage(*g);
  }
  // Runs n play frames (no waiting, no yielding).
  void Frames(int n) {
    for (int i = 0; i < n; ++i) PlayFrame(*g);
  }
};

}  // namespace morvik::test
