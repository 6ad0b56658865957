// SPDX-License-Identifier: GPL-3.0-or-later
// The game-over sequence, one step per play frame while the course scrolls on:
// eight letters fly up from below and land in a row, a character jumps in
// beside a speech bubble and waits for the action key, then everything hops
// and drops out of the screen and the game ends.
#include <cstdlib>

#include "game.hpp"

namespace morvik {

namespace {
constexpr int kChara = 8;
constexpr float kLanded = -80;

bool ActionHeld(Game& g) { return KeyDown(g, VK_SPACE) || KeyDown(g, VK_Z) || g.JoyButtons > 1; }

// A letter moves one pixel at a time so that it lands exactly on its row.
void MoveLetter(Game& g, int i, int m) {
  const double v = g.SceneV[i];
  const int n = std::abs(IntI(v));
  const bool up = v > 0;
  for (int p = 0; p <= n; ++p) {
    g.SceneY[i] = static_cast<float>(g.SceneY[i] + (up ? -1.0 : 1.0));
    if (!up && g.SceneY[i] > 87 + 47 * m) {
      g.SceneV[i] = kLanded;
      break;
    }
  }
  if (g.SceneV[i] > -25) g.SceneV[i] = static_cast<float>(g.SceneV[i] - 1.0);
}

void StepLifeFrame(Game& g, double by, double from, double to) {
  g.LifeIconFrame = static_cast<float>(g.LifeIconFrame + by);
  if (g.LifeIconFrame >= to) g.LifeIconFrame = static_cast<float>(from);
}
}  // namespace

void GameOverScreen(Game& g) {
  const int m = g.ScreenMode == 1 ? 1 : 0;
  switch (g.SceneStep) {
    case 0:
      for (int i = 0; i <= 7; ++i) {
        g.SceneX[i] = static_cast<float>(29 + 45 * m + 32 * i + (i >= 4 ? 10 : 0));
        g.SceneY[i] = static_cast<float>(240 + 240 * m);
        g.SceneV[i] = static_cast<float>(3.0 * (i + 1) + 23.1 + 7.0 * m);
      }
      g.SceneStep = 1;
      break;
    case 1:
      for (int i = 0; i <= 7; ++i)
        if (g.SceneV[i] > kLanded) MoveLetter(g, i, m);
      if (g.SceneV[7] == kLanded) {
        g.SceneX[kChara] = static_cast<float>(113 + 75 * m);
        g.SceneY[kChara] = static_cast<float>(240 + 240 * m);
        g.SceneV[kChara] = static_cast<float>(13 + 10 * m);
        g.SceneStep = 2;
      }
      break;
    case 2:
      g.SceneX[kChara] = static_cast<float>(g.SceneX[kChara] - 2.0);
      g.SceneY[kChara] = static_cast<float>(g.SceneY[kChara] - g.SceneV[kChara]);
      g.SceneV[kChara] = static_cast<float>(g.SceneV[kChara] - 1.0);
      if (g.SceneV[kChara] < 0) g.SceneStep = 3;
      StepLifeFrame(g, 0.2, 0, 3);
      break;
    case 3:
      g.LifeIconFrame = 3;
      g.SceneStep = 4;
      break;
    case 4:
      StepLifeFrame(g, 0.3, 3, 6);
      JoyRead(g);
      if (ActionHeld(g)) {
        for (int i = 0; i <= 8; ++i) g.SceneV[i] = 12;
        g.LifeIconFrame = 6;
        g.SceneStep = 5;
      }
      break;
    case 5:
      for (int i = 0; i <= 8; ++i) {
        g.SceneV[i] = static_cast<float>(g.SceneV[i] - 2.0);
        g.SceneY[i] = static_cast<float>(g.SceneY[i] - g.SceneV[i]);
      }
      if (g.SceneY[7] - 53.0 > 240 + 240 * m) g.QuitToTitle = 1;
      break;
    default:
      break;
  }
}

void DrawGameOver(const Game& g, Surface& ura) {
  for (int i = 0; i <= 7; ++i)
    DrawMasked(ura, Rnd(g.SceneX[i]), Rnd(g.SceneY[i]), 32, 53, g.pic.Over, 32 * i, 0, 32 * i, 53);
  if (g.SceneStep >= 2) {
    const int f = IntI(g.LifeIconFrame);
    const int x = Rnd(g.SceneX[kChara]), y = Rnd(g.SceneY[kChara]);
    DrawMasked(ura, x, y, 20, 26, g.pic.Enemy[1], 20 * f, 0, 20 * f, 26);
    DrawMasked(ura, x + 22, y + 3, 115, 14, g.pic.DieTalk, 0, 0, 0, 14);
  }
}

}  // namespace morvik
