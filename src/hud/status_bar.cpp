// SPDX-License-Identifier: GPL-3.0-or-later
// The play screen's status display: charge gauge and lives at the top left,
// best combo and score near the bottom, the lost-life message by the icons.
#include "game.hpp"
#include "hud/number_text.hpp"
#include "media/lettering.hpp"

namespace morvik {

namespace {
void DrawDigit(const Game& g, Surface& to, int x, int y, int d) {
  DrawMasked(to, x, y, 6, 10, g.pic.Math, 6 * d, 0, 6 * d, 10);
}
}  // namespace

void DrawStatusBar(const Game& g, Surface& ura) {
  const int vx = g.ViewX, vy = g.ViewY;
  // The lower lines sit near the bottom of what is visible: 240 rows in the
  // small mode, 329 in the large one.
  const int low = g.ScreenMode == 1 ? 85 : 0;

  if (g.HeroState != 4) {
    DrawMasked(ura, vx + 3, vy + 2, 124, 13, g.pic.Bar, 0, 0, 0, 13);
    if (g.ChargeGauge > 0) DrawOpaque(ura, vx + 5, vy + 4, g.ChargeGauge, 9, g.pic.Geji, 0, 0);
    const int c = IntI(g.LifeIconFrame);
    for (int i = 1; i <= g.Lives; ++i)
      DrawMasked(ura, vx + 3 + 17 * (i - 1), vy + 18, 20, 13, g.pic.Snow, 20 * c, 0, 20 * c, 24);
  }

  // Score: right-aligned in nine digits with leading zeros; the blank of the
  // sign place shows as a 0 one place left of the text.
  DrawMasked(ura, vx + 3, vy + 225 + low, 34, 10, g.pic.SC, 0, 0, 0, 10);
  const NumberText s(g.Score);
  for (int p = 8 - s.len; p >= 0; --p) DrawDigit(g, ura, vx + 41 + 7 * p, vy + 225 + low, 0);
  for (int k = s.len; k >= 1; --k) DrawDigit(g, ura, vx + 41 + 7 * (k + 8 - s.len), vy + 225 + low, s.DigitAt(k));

  // Best combo of this game in two digits (MaxCombo is 100 + the count).
  DrawMasked(ura, vx + 3, vy + 213 + low, 50, 10, g.pic.MaxA, 0, 0, 0, 10);
  DrawDigit(g, ura, vx + 55, vy + 213 + low, ComboDigit(g.MaxCombo, 0));
  DrawDigit(g, ura, vx + 62, vy + 213 + low, ComboDigit(g.MaxCombo, 1));

  // A game played for a leaderboard says so beside the gauge.
  if (g.board.playing) {
    OutlinedText(ura, vx + 133, vy + 5, "BOARD GAME", kGold, kNavy);
    ura.Touch();
  }

  if (g.HeroState == 2 && g.Lives > 0)
    DrawMasked(ura, vx + 6 + 17 * g.Lives, vy + 22, 115, 14, g.pic.DieTalk, 0, 0, 0, 14);
}

// The lives' icons ski on while the hero plays (the game-over scene keeps the frame for its own).
void StatusBarStep(Game& g) {
  if (g.HeroState == 4) return;
  g.LifeIconFrame = static_cast<float>(g.LifeIconFrame + 0.2);
  if (g.LifeIconFrame >= 3) g.LifeIconFrame = 0;
}

}  // namespace morvik
