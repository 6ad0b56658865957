// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the record reader: the input is the record file, of any length,
// read twice to the same best score and combo. (Saving is left out: it
// syncs the disk each time, and it reads nothing from outside.)
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game.hpp"
#include "scratch.hpp"
#include "platform/headless/headless_platform.hpp"

namespace {

// The record file's directory, removed at exit.
const std::string& Dir() {
  static const bool made = [] {
    std::atexit([] {
      ::unlink((Dir() + "/Mor_vik_0.kvd").c_str());
      ::rmdir(Dir().c_str());
    });
    return true;
  }();
  (void)made;
  return morvik::fuzz::ScratchDir("record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Dir() + "/Mor_vik_0.kvd";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  static morvik::HeadlessPlatform plat(0);
  static morvik::Game* g = new morvik::Game(plat);  // kept for the whole run
  g->recordPath = path;
  g->BestScore = 5000;
  g->BestCombo = 1;
  morvik::LoadRecords(*g);
  // Reading again gives the same: nothing was changed by the read.
  const int32_t score = g->BestScore;
  const int16_t combo = g->BestCombo;
  g->BestScore = 5000;
  g->BestCombo = 1;
  morvik::LoadRecords(*g);
  if (g->BestScore != score || g->BestCombo != combo) std::abort();
  return 0;
}
