// SPDX-License-Identifier: GPL-3.0-or-later
// Score pop-ups: the points of a hit drift left from where they were earned;
// every pop-up value also keeps the game's best combo up to date.
#include "game.hpp"

namespace morvik {

namespace {
// Combos of 25 and more count for the best combo but have no label.
bool Labelled(int v) { return v >= 1 && v <= 24; }
}  // namespace

void DrawScorePopup(const Game& g, Surface& to, int16_t i) {
  if (i < 0 || i > 40) return;
  const int v = g.PopValue[i];
  if (!Labelled(v)) return;
  DrawMasked(to, Rnd(g.PopX[i]), Rnd(g.PopY[i]), 40, 16, g.pic.Ten, 0, 16 * (v - 1), 40, 16 * (v - 1));
}

void StepScorePopup(Game& g, int16_t i) {
  if (i < 0 || i > 40) return;
  const int v = g.PopValue[i];
  if (g.MaxCombo - 100 < v) g.MaxCombo = static_cast<int16_t>(v + 100);
  if (!Labelled(v)) return;
  g.PopX[i] = static_cast<float>(g.PopX[i] - 5.0);
  if (g.PopX[i] <= -40) g.PopValue[i] = 0;
}

}  // namespace morvik
