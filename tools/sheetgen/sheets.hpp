// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every art sheet of the game, composed from the sources.
#include <string>
#include <vector>

#include "canvas.hpp"
#include "sources.hpp"

namespace sheetgen {

struct Sheet {
  std::string name;
  Img img;
};

// Builds all art sheets at their exact sizes, in catalogue order.
std::vector<Sheet> BuildSheets(const Sources& src);

// The points of the combo steps 1 to 27, in hundreds (what the Ten lines show).
extern const int kComboPoints[27];

}  // namespace sheetgen
