// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game's one random generator: uniform doubles in [0, 1).
//
// Reseeding from the clock mixes the clock value into the current state, so
// equal clock values in a row still give fresh numbers, while a run stays
// reproducible from the clock values it was seeded with. Dealing from a seed
// instead sets the state from the seed and a count alone, whatever came
// before: the luck of a game on a leaderboard's ticket.
#include <cstdint>

namespace morvik {

class Rng {
 public:
  void Reseed(uint32_t clock) {
    state_ ^= (static_cast<uint64_t>(clock) + 0x632BE59BD9B4E019ULL) * 0x9E3779B97F4A7C15ULL;
    Next();
  }
  void Deal(uint64_t seed, uint64_t count) {
    state_ = seed ^ (count + 0x632BE59BD9B4E019ULL) * 0x9E3779B97F4A7C15ULL;
    Next();
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  uint64_t State() const { return state_; }
  void SetState(uint64_t s) { state_ = s; }

 private:
  uint64_t Next() {  // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  uint64_t state_ = 0x243F6A8885A308D3ULL;
};

}  // namespace morvik
