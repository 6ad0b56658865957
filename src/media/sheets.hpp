// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The catalogue of pictures: every sheet at its size and back colour.
//
// The art sheets are filled by LoadSheetArt from the pictures the build
// carries inside the executable; the canvases start filled with their back
// colour.
#include <array>
#include <cstdint>
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

  // Every sheet at its size, the art drawn in. Without `pictures`, only what
  // the game's logic reads: the collision map Color and the tile it is
  // stamped from (Yuka), and M's size; every other picture is left empty.
  explicit Sheets(bool pictures = true);
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

// The small pixel font, for texts the game writes as it runs: the seven rows
// of a 5 x 7 glyph (bit 4 the leftmost column), or nullptr for a character
// the font lacks. Letters are capitals only.
const uint8_t* FontGlyph(char c);

// Fills every art sheet from the pictures carried in the executable.
void LoadSheetArt(Sheets& s);

}  // namespace morvik
