// SPDX-License-Identifier: GPL-3.0-or-later
// The terrain canvases: the scroll, the stream step that reads the next
// segment a few cells a frame, the column step that stamps it in at the
// right-hand end, and the one collision test. The collision map Color is
// the game's state; the two pictures of the terrain (BLOCK, BLOCKD) follow
// it in draws of their own, which a game without pictures leaves out.
#include "game.hpp"

namespace morvik {

// Each canvas scrolls as a copy of 1250 columns from (s, 0) onto (0, 0),
// read before written; the rings make that a move of their origins.
void ScrollTerrain(Game& g, int s) {
  g.pic.Color.ScrollLeft(s);
  g.ScrollAcc = static_cast<float>(static_cast<double>(g.ScrollAcc) + s);
}

void ScrollTerrainPictures(Sheets& p, int s) {
  p.BLOCKD.ScrollLeft(s);
  p.BLOCK.ScrollLeft(s);
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

namespace {

// Where the next column goes (x on the canvases) and which of the segment's
// columns it is; false while the right-hand end has not moved a full column.
bool NextColumn(const Game& g, int& x, int& c) {
  if (g.ScrollAcc < 25) return false;
  x = Rnd(1250.0 - g.ScrollAcc);
  c = g.MapCol >= 0 && g.MapCol < kSegmentCols ? g.MapCol : 0;
  return true;
}

}  // namespace

// Bottom row first: a block's 30-pixel tile covers the cell above by 5
// rows, and an empty cell's erase starts 5 rows above its own cell, so
// neither removes the lip of a block beneath it.
void DrawNextColumnPictures(const Game& g, Sheets& p) {
  int x, c;
  if (!NextColumn(g, x, c)) return;
  const Surface& yuka = p.Yuka;
  for (int r = kSegmentRows - 1; r >= 0; --r) {
    const int y = 25 * r - 5;
    if (g.BlockMap[r * kSegmentCols + c] == 1) {
      DrawOpaque(p.BLOCK, x, y, 25, 30, yuka, 0, 0);
      DrawOpaque(p.BLOCKD, x, y, 25, 30, yuka, 25, 0);
    } else {
      DrawOpaque(p.BLOCK, x, y, 25, 25, yuka, 100, 0);
      DrawOpaque(p.BLOCKD, x, y, 25, 25, yuka, 100, 0);
      if (r == kSegmentRows - 1) {
        DrawOpaque(p.BLOCK, x, 320, 25, 5, yuka, 100, 0);
        DrawOpaque(p.BLOCKD, x, 320, 25, 5, yuka, 100, 0);
      }
    }
  }
}

void DrawNextColumn(Game& g) {
  int x, c;
  if (!NextColumn(g, x, c)) return;
  // The collision map's column, the logic's own picture.
  for (int r = kSegmentRows - 1; r >= 0; --r) {
    if (g.BlockMap[r * kSegmentCols + c] == 1)
      DrawOpaque(g.pic.Color, x, 25 * r - 5, 25, 30, g.pic.Yuka, 50, 0);
    else
      DrawOpaque(g.pic.Color, x, 25 * r, 25, 25, g.pic.Yuka, 75, 0);
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
