// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Number helpers shared by every part of the game.
//
// A real becomes a drawing coordinate or an integer by rounding to nearest,
// halves to even (the default floating-point rounding mode). "Int" is floor.
#include <cmath>
#include <cstdint>
#include <string_view>

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

// A whole number written in plain digits (no sign, no spaces), at most max.
inline bool ParseWholeNumber(std::string_view s, uint64_t max, uint64_t& out) {
  if (s.empty() || s.size() > 20) return false;
  uint64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (n > max / 10 || (n == max / 10 && d > max % 10)) return false;  // n * 10 + d > max
    n = n * 10 + d;
  }
  out = n;
  return true;
}

// A whole number in plain digits from lo to hi.
inline bool ParseWholeIn(std::string_view s, int lo, int hi, int& out) {
  uint64_t n = 0;
  if (hi < 0 || !ParseWholeNumber(s, static_cast<uint64_t>(hi), n) || n < static_cast<uint64_t>(lo < 0 ? 0 : lo))
    return false;
  out = static_cast<int>(n);
  return true;
}

}  // namespace morvik
