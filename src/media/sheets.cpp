// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/sheets.hpp"

namespace morvik {

const std::vector<SheetInfo>& SheetCatalogue() {
  static const std::vector<SheetInfo> cat = {
      {"M", 425, 329, false},       {"UraM", 425, 329, false},    {"WhiteB", 425, 329, false},
      {"BLOCK", 425, 329, false},   {"BLOCKD", 425, 329, false},  {"Color", 425, 329, false},
      {"Yuka", 125, 30, true},      {"Back", 425, 466, true},     {"Cloud", 92, 57, true},
      {"Snow", 140, 48, true},      {"SnowM", 120, 48, true},     {"Ball", 30, 15, true},
      {"Enemy0", 60, 38, true},     {"Enemy1", 140, 52, true},    {"Enemy2", 80, 30, true},
      {"Enemy3", 80, 40, true},     {"Enemy4", 140, 52, true},    {"Enemy5", 105, 52, true},
      {"Enemy6", 96, 40, true},     {"GetItem", 96, 84, true},    {"Ten", 80, 431, true},
      {"Bar", 124, 26, true},       {"Geji", 120, 10, true},      {"SC", 34, 20, true},
      {"Math", 60, 20, true},       {"MaxA", 43, 20, true},       {"DieTalk", 115, 28, true},
      {"SBit", 6, 4, true},         {"Over", 257, 106, true},     {"Pose", 52, 28, true},
      {"Morvik", 198, 156, true},   {"MOR", 399, 116, true},      {"Command", 280, 56, true},
      {"HScore", 228, 28, true},    {"TalkChara", 21, 182, true}, {"CR", 308, 28, true},
  };
  return cat;
}

const Surface* FindSheet(const Sheets& s, const std::string& n) {
  return FindSheet(const_cast<Sheets&>(s), n);
}

Surface* FindSheet(Sheets& s, const std::string& n) {
  if (n == "M") return &s.M;
  if (n == "UraM") return &s.UraM;
  if (n == "WhiteB") return &s.WhiteB;
  if (n == "BLOCK") return &s.BLOCK;
  if (n == "BLOCKD") return &s.BLOCKD;
  if (n == "Color") return &s.Color;
  if (n == "Yuka") return &s.Yuka;
  if (n == "Back") return &s.Back;
  if (n == "Cloud") return &s.Cloud;
  if (n == "Snow") return &s.Snow;
  if (n == "SnowM") return &s.SnowM;
  if (n == "Ball") return &s.Ball;
  if (n.size() == 6 && n.compare(0, 5, "Enemy") == 0 && n[5] >= '0' && n[5] <= '6') return &s.Enemy[n[5] - '0'];
  if (n == "GetItem") return &s.GetItem;
  if (n == "Ten") return &s.Ten;
  if (n == "Bar") return &s.Bar;
  if (n == "Geji") return &s.Geji;
  if (n == "SC") return &s.SC;
  if (n == "Math") return &s.Math;
  if (n == "MaxA") return &s.MaxA;
  if (n == "DieTalk") return &s.DieTalk;
  if (n == "SBit") return &s.SBit;
  if (n == "Over") return &s.Over;
  if (n == "Pose") return &s.Pose;
  if (n == "Morvik") return &s.Morvik;
  if (n == "MOR") return &s.MOR;
  if (n == "Command") return &s.Command;
  if (n == "HScore") return &s.HScore;
  if (n == "TalkChara") return &s.TalkChara;
  if (n == "CR") return &s.CR;
  return nullptr;
}

Sheets::Sheets(bool pictures) {
  for (const SheetInfo& i : SheetCatalogue()) {
    const std::string name = i.name;
    if (!pictures && name != "Color" && name != "Yuka" && name != "M") continue;
    FindSheet(*this, name)->Create(i.width, i.height, name == "Color" ? kBlack : kWhite);
  }
  LoadSheetArt(*this);
}

}  // namespace morvik
