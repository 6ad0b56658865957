// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Number helpers shared by every part of the game.
//
// A real becomes a drawing coordinate or an integer by rounding to nearest,
// halves to even (the default floating-point rounding mode). "Int" is floor.
#include <cmath>
#include <cstdint>

namespace morvik {

inline int Rnd(double v) { return static_cast<int>(std::nearbyint(v)); }
inline double Int(double v) { return std::floor(v); }
inline int IntI(double v) { return static_cast<int>(std::floor(v)); }

// Saturating 16-bit increment for counters that could overflow in a long game.
inline int16_t SatInc16(int16_t v, int by = 1) {
  int r = static_cast<int>(v) + by;
  if (r > 32767) r = 32767;
  if (r < -32768) r = -32768;
  return static_cast<int16_t>(r);
}

// A 16-bit sum as the placing formulas form it: wrap like a 16-bit register.
inline int16_t Wrap16(int v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

}  // namespace morvik
