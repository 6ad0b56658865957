// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the course-segment reader and the course that streams it: the
// input becomes every segment file of a data directory, a game starts on it
// (the first segment is read whole), the course step streams and stamps the
// next ones cell by cell and column by column, and a few frames are played.
//
// The first byte picks the input's shape: even, the bytes are the file as
// it lies on disk (any length, so short and oversized files too); odd, they
// are cell values, two bytes each, spread over the 128-byte records of a
// well-formed file.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game.hpp"
#include "scratch.hpp"
#include "platform/headless/headless_platform.hpp"

namespace {

const std::string& DataDir() {
  static const bool made = [] {
    const std::string& d = morvik::fuzz::ScratchDir("segment");
    // Every segment name is a hard link to one file, so one write feeds them all.
    const std::string first = morvik::StageFileName(d, 1);
    std::FILE* f = std::fopen(first.c_str(), "wb");
    if (!f) std::abort();
    std::fclose(f);
    for (int n = 2; n <= 30; ++n) {
      if (::link(first.c_str(), morvik::StageFileName(d, n).c_str()) != 0) std::abort();
    }
    std::atexit([] {
      for (int n = 1; n <= 30; ++n) ::unlink(morvik::StageFileName(DataDir(), n).c_str());
      ::rmdir(DataDir().c_str());
    });
    return true;
  }();
  (void)made;
  return morvik::fuzz::ScratchDir("segment");
}

void WriteAll(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) std::abort();
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) std::abort();
    data += n;
    size -= static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string& dir = DataDir();
  std::vector<uint8_t> file;
  if (data[0] & 1) {
    file.assign(static_cast<size_t>(morvik::kSegmentFileBytes), 0);
    for (size_t k = 0; k < static_cast<size_t>(morvik::kSegmentCells) && 2 * k + 2 < size; ++k) {
      file[k * morvik::kRecordBytes] = data[1 + 2 * k];
      file[k * morvik::kRecordBytes + 1] = data[2 + 2 * k];
    }
  } else {
    file.assign(data + 1, data + size);
  }
  WriteAll(morvik::StageFileName(dir, 1), file.data(), file.size());

  // One game for the whole run: a stage start resets everything a game uses.
  static morvik::HeadlessPlatform plat(1000);
  static morvik::Game* g = [] {
    plat.SetAudioLogLimit(0);  // nothing kept from run to run
    auto* game = new morvik::Game(plat);
    game->dataDir = DataDir();
    game->recordPath = DataDir() + "/Mor_vik_0.kvd";
    morvik::FillConstantTables(*game);
    return game;
  }();
  g->ScreenMode = static_cast<uint8_t>((data[0] >> 1) & 1);
  morvik::PrepareCanvases(*g);
  g->playFrame = 0;
  morvik::StartStage(*g);
  // The course step as play runs it, a column's scroll at a time:
  // the next segments stream in, are stamped column by column, and the
  // collision map they make is read where the hero would read it.
  for (int step = 0; step < 450; ++step) {
    switch (g->CourseState) {
      case 0: morvik::StreamCells(*g); break;
      case 1:
        g->ScrollAcc += 25;  // as if the canvases had scrolled a column
        morvik::DrawNextColumn(*g);
        for (int y = 0; y < 325; y += 25) (void)morvik::IsSolid(*g, 1230, y + 12);
        break;
      case 2: morvik::NextSegment(*g); break;
      default: break;
    }
  }
  // Then a few whole frames on what is there.
  plat.HoldKeys(morvik::kKeyRight | morvik::kKeySpace);
  for (int i = 0; i < 3; ++i) morvik::PlayFrame(*g);
  morvik::EndGameCourse(*g);
  return 0;
}
