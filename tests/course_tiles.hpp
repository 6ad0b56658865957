// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Block tiles for the course tests, in the colours the terrain relies on:
// a block with a green lip over a brown body, its mask black, its collision
// tile black for the lip and solid below; the empty collision tile white on
// top and black below; the empty tile white.
#include "media/surface.hpp"

namespace morvik::test {

constexpr uint32_t kLipGreen = 0x30A040;
constexpr uint32_t kBodyBrown = 0x805030;

inline void PaintTestYuka(Surface& y) {
  y.Create(125, 30, kWhite);
  for (int r = 0; r < 30; ++r)
    for (int c = 0; c < 25; ++c) {
      y.Set(c, r, r < 5 ? kLipGreen : kBodyBrown);
      y.Set(25 + c, r, kBlack);
      y.Set(50 + c, r, r < 5 ? kBlack : kSolid);
      if (r < 25) y.Set(75 + c, r, r < 5 ? kWhite : kBlack);
    }
}

}  // namespace morvik::test
