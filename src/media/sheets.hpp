// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The catalogue of pictures: every sheet at its size and back colour.
//
// The art sheets are filled by LoadSheetArt from the pictures the build
// carries inside the executable; the canvases start filled with their back
// colour.
#include <array>
#include <string>
#include <vector>

#include "media/surface.hpp"

namespace morvik {

struct Sheets {
  // canvases
  Surface M, UraM, WhiteB, BLOCK, BLOCKD, Color;
  // art
  Surface Yuka, Back, Cloud, Snow, SnowM, Ball;
  std::array<Surface, 7> Enemy;
  Surface GetItem, Ten, Bar, Geji, SC, Math, MaxA, DieTalk, SBit, Over, Pose, Morvik, MOR, Command, HScore, TalkChara,
      CR;

  Sheets();
};

// One row of the catalogue, for tools and tests: the name a sheet is known by
// (the Enemy pictures as Enemy0 .. Enemy6), its size, and whether it carries art.
struct SheetInfo {
  const char* name;
  int width, height;
  bool art;
};
const std::vector<SheetInfo>& SheetCatalogue();
// The sheet of that catalogue name, or nullptr.
Surface* FindSheet(Sheets& s, const std::string& name);
const Surface* FindSheet(const Sheets& s, const std::string& name);

// Fills every art sheet from the pictures carried in the executable.
void LoadSheetArt(Sheets& s);

}  // namespace morvik
