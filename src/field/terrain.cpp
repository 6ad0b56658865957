// SPDX-License-Identifier: GPL-3.0-or-later
// The terrain canvases: the scroll, the stream step that reads the next
// segment a few cells a frame, the column step that stamps it in at the
// right-hand end, and the one collision test.
#include "game.hpp"

namespace morvik {

void ScrollTerrain(Game& g, int s) {
  // Each canvas as a copy of 1250 columns from (s, 0) onto (0, 0), read
  // before written; the rings make that a move of their origins.
  g.pic.BLOCKD.ScrollLeft(s);
  g.pic.BLOCK.ScrollLeft(s);
  g.pic.Color.ScrollLeft(s);
  g.ScrollAcc = static_cast<float>(static_cast<double>(g.ScrollAcc) + s);
}

void StreamCells(Game& g) {
  for (int i = 0; i < 4; ++i) {
    // The cursors are ours; should they ever be out of range, the segment
    // ends here rather than writing outside BlockMap.
    const bool inRange = g.MapRow >= 0 && g.MapRow < kSegmentRows && g.MapCol >= 0 && g.MapCol < kSegmentCols;
    if (inRange) {
      g.BlockMap[g.MapRow * kSegmentCols + g.MapCol] = g.stage.ReadCell();
      if (++g.MapCol >= kSegmentCols) {
        g.MapCol = 0;
        ++g.MapRow;
      }
    }
    if (!inRange || g.MapRow >= kSegmentRows) {
      g.stage.Close();
      g.CourseState = 1;
      g.MapCol = 0;
      g.MapRow = 0;
      return;
    }
  }
}

void DrawNextColumn(Game& g) {
  if (g.ScrollAcc < 25) return;  // the right-hand end has not moved a full column yet
  const int x = Rnd(1250.0 - g.ScrollAcc);
  const int c = g.MapCol >= 0 && g.MapCol < kSegmentCols ? g.MapCol : 0;
  const Surface& yuka = g.pic.Yuka;
  // Bottom row first: a block's 30-pixel tile covers the cell above by 5
  // rows, and an empty cell's erase starts 5 rows above its own cell, so
  // neither removes the lip of a block beneath it.
  for (int r = kSegmentRows - 1; r >= 0; --r) {
    const int y = 25 * r - 5;
    if (g.BlockMap[r * kSegmentCols + c] == 1) {
      DrawOpaque(g.pic.BLOCK, x, y, 25, 30, yuka, 0, 0);
      DrawOpaque(g.pic.BLOCKD, x, y, 25, 30, yuka, 25, 0);
      DrawOpaque(g.pic.Color, x, y, 25, 30, yuka, 50, 0);
    } else {
      DrawOpaque(g.pic.BLOCK, x, y, 25, 25, yuka, 100, 0);
      DrawOpaque(g.pic.BLOCKD, x, y, 25, 25, yuka, 100, 0);
      DrawOpaque(g.pic.Color, x, 25 * r, 25, 25, yuka, 75, 0);
      if (r == kSegmentRows - 1) {
        DrawOpaque(g.pic.BLOCK, x, 320, 25, 5, yuka, 100, 0);
        DrawOpaque(g.pic.BLOCKD, x, 320, 25, 5, yuka, 100, 0);
      }
    }
  }
  g.ScrollAcc = static_cast<float>(static_cast<double>(g.ScrollAcc) - 25.0);
  g.MapCol = static_cast<int16_t>(c + 1);
  if (g.MapCol >= kSegmentCols) {
    g.MapCol = 0;
    g.MapRow = 0;
    g.CourseState = 2;
  }
}

bool IsSolid(const Game& g, double x, double y) { return ReadPixel(g.pic.Color, Rnd(x), Rnd(y)) == kSolid; }

}  // namespace morvik
