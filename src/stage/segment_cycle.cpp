// SPDX-License-Identifier: GPL-3.0-or-later
// The segment cycle: the next stage file is chosen at random and opened,
// streamed into BlockMap, stamped column by column, and so on for ever.
#include "game.hpp"

namespace morvik {

void PickSegment(Game& g) { g.SegmentNo = static_cast<int16_t>(Rnd(1.0 + 29.0 * g.rng.Uniform())); }

void NextSegment(Game& g) {
  Reseed(g);
  PickSegment(g);
  g.CourseState = 0;
  g.stage.OpenSegment(g.dataDir, g.SegmentNo);
}

void EndGameCourse(Game& g) { g.stage.Close(); }

}  // namespace morvik
