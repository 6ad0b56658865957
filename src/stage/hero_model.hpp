// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A frame-exact model of the hero against a strip of course columns, and a
// search for a good player's way along it.
//
// The model works in course coordinates: the hero's x on the course (X) and
// on the screen (P = X minus the scroll so far). Walking, jumping, gravity
// and the collision probes are the hero's own: walking moves 5 pixels a frame
// one pixel at a time against the side probes (x-1 / x+21 at y+8 and y+24),
// a jump starts at 12.1 and rises 12, 11, ... 1 pixels, falling speeds grow
// by one a frame up to 18 pixels, the head probe is at y+9 and the feet at
// y+25 (x and x+20), and the right edge of the screen holds the hero back.
// The scroll carries the hero left on the screen by s pixels a frame. A good
// player never lets himself be caught by the left edge (being pushed there
// is survivable on open ground but deadly against a wall), so the search
// keeps the hero at screen x 6 or more at the start of every frame.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace morvik::course {

constexpr int kStand = 100;  // the "on the ground" marker (a vertical speed of exactly 0)

// One column of the course: bit r set when row r is a block.
using Column = uint16_t;

struct Strip {
  std::vector<Column> cols;
  // The collision map: a block in row r is solid from y 25r to 25r+24; its
  // lip above is not. Nothing outside the strip is solid.
  bool Solid(int x, int y) const {
    if (x < 0 || y < 0 || y >= 325) return false;
    const size_t c = static_cast<size_t>(x / 25);
    if (c >= cols.size()) return false;
    return (cols[c] >> (y / 25)) & 1;
  }
};

struct Hero {
  int x = 0, y = 0;  // course x, y of the 20 x 24 box's top-left
  int a = kStand;    // vertical speed a + 0.1 while airborne (-17 .. 12), or kStand
  int p = 0;         // screen x
};

enum class Outcome { Alive, Dead, Caught };

// One frame of the hero with the given input (dir -1 left, 0 none, +1 right),
// then the scroll of s pixels. `Map` answers Solid(course x, y): a strip of
// columns, or the game's own collision map.
template <class Map>
Outcome StepHero(const Map& st, Hero& h, int dir, bool jump, int s) {
  if (dir < 0) {
    for (int i = 0; i < 5; ++i) {
      if (!st.Solid(h.x - 1, h.y + 24) && !st.Solid(h.x - 1, h.y + 8)) { --h.x; --h.p; }
      if (h.p <= 0) { ++h.x; ++h.p; }
    }
  } else if (dir > 0) {
    for (int i = 0; i < 5; ++i) {
      if (!st.Solid(h.x + 21, h.y + 24) && !st.Solid(h.x + 21, h.y + 8)) { ++h.x; ++h.p; }
      if (h.p + 21 >= 425) { --h.x; --h.p; }
    }
  }
  if (jump && h.a == kStand) h.a = 12;
  if (h.a != kStand && h.a >= -16) --h.a;
  if (h.a != kStand) {
    const int k = std::abs(h.a);
    for (int i = 0; i <= k; ++i) {
      const bool up = h.a >= 0;
      const int py = up ? h.y + 9 : h.y + 25;
      if (st.Solid(h.x, py) || st.Solid(h.x + 20, py)) { h.a = 0; break; }
      h.y += up ? -1 : 1;
    }
  }
  if (st.Solid(h.x, h.y + 25) || st.Solid(h.x + 20, h.y + 25)) h.a = kStand;
  else if (h.a == kStand) h.a = 0;
  if (h.y > 330) return Outcome::Dead;
  // The carry of the scroll; the next frame must not start at the left edge.
  if (h.p < 6 + s) return Outcome::Caught;
  h.p -= s;
  return Outcome::Alive;
}

// Depth-first search with memory over hero states for a way to stand on the
// goal stretch [goalLo, goalHi] (course x of the hero), at a constant scroll.
class Search {
 public:
  Search(const Strip& st, int s, int goalLo, int goalHi) : st_(st), s_(s), lo_(goalLo), hi_(goalHi) {
    memo_.reserve(1 << 12);
  }
  bool CanReach(const Hero& h) { return Good(h); }
  // After CanReach: the first move of a way on from h (false if none).
  bool NextMove(const Hero& h, int& dir, bool& jump) {
    static constexpr int kDirs[3] = {1, 0, -1};
    for (int d : kDirs)
      for (int j = h.a == kStand ? 1 : 0; j >= 0; --j) {
        Hero n = h;
        if (StepHero(st_, n, d, j == 1, s_) == Outcome::Alive && Good(n)) {
          dir = d;
          jump = j == 1;
          return true;
        }
      }
    return false;
  }
  bool AtGoal(const Hero& h) const { return h.a == kStand && h.x >= lo_ && h.x <= hi_; }
  int FarthestX() const { return farthest_; }
  size_t States() const { return memo_.size(); }

 private:
  static uint64_t Key(const Hero& h) {
    return (static_cast<uint64_t>(h.x & 0xFFFF) << 32) | (static_cast<uint64_t>(h.p & 0x3FF) << 20) |
           (static_cast<uint64_t>((h.y + 400) & 0x3FF) << 8) | static_cast<uint64_t>((h.a + 20) & 0xFF);
  }
  bool Good(const Hero& h) {
    if (h.x > farthest_) farthest_ = h.x;
    if (h.a == kStand && h.x >= lo_ && h.x <= hi_) return true;
    // Off the strip, or past the goal (a good player stops on it).
    if (h.x < 0 || h.x > hi_ || h.x + 20 >= 25 * static_cast<int>(st_.cols.size())) return false;
    const uint64_t k = Key(h);
    auto it = memo_.find(k);
    if (it != memo_.end()) return it->second;
    memo_[k] = false;  // while being explored (the states form no cycle: the scroll only grows)
    static constexpr int kDirs[3] = {1, 0, -1};
    bool ok = false;
    for (int d : kDirs) {
      for (int j = h.a == kStand ? 1 : 0; j >= 0 && !ok; --j) {
        Hero n = h;
        if (StepHero(st_, n, d, j == 1, s_) == Outcome::Alive && Good(n)) ok = true;
      }
      if (ok) break;
    }
    memo_[k] = ok;
    return ok;
  }

  const Strip& st_;
  int s_, lo_, hi_;
  int farthest_ = 0;
  std::unordered_map<uint64_t, bool> memo_;
};

}  // namespace morvik::course
