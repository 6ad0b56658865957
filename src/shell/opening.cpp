// SPDX-License-Identifier: GPL-3.0-or-later
// The opening scene: a portrait beside a line of text revealed from left to
// right, then a second line revealed over it; it ends by itself after about
// five seconds, and Escape closes the program. It also seeds the run's
// random numbers.
#include "game.hpp"

namespace morvik {

namespace {
// The portrait `k` and the bubble's two lines as far as they have unrolled.
void DrawOpening(const Game& g, Sheets& p, int k) {
  DrawOpaque(p.UraM, 0, 0, p.M.Width(), p.M.Height(), p.WhiteB, 0, 0);
  DrawOpaque(p.UraM, 124, 160, 21, 26, p.TalkChara, 0, 26 * k);
  DrawOpaque(p.UraM, 147, 165, Rnd(g.SceneX[0]), 14, p.CR, 0, 14);
  if (g.SceneStep > 0) DrawMasked(p.UraM, 147, 165, Rnd(g.SceneX[1]), 14, p.CR, 0, 0, 154, 0);
  DrawOpaque(p.M, 0, 0, p.M.Width(), p.M.Height(), p.UraM, 0, 0);
}
}  // namespace

void OpeningScene(Game& g) {
  Reseed(g);
  g.SceneStep = 0;
  WaitMs(g, 1000);
  const int k = IntI(g.rng.Uniform() * 7);
  for (int i = 0; i <= 10; ++i) g.SceneX[i] = g.SceneY[i] = g.SceneV[i] = 0;

  // No game comes before this scene, so no Escape can be left over from
  // one: held from the very start, it closes the program on the first frame.
  uint32_t t = g.plat.Clock();
  for (;;) {
    g.plat.WaitUntil(t + 45);
    if (KeyDown(g, VK_ESCAPE)) UnloadEvent(g);
    t = g.plat.Clock();
    switch (g.SceneStep) {
      case 0:
      case 1: {
        // The two lines of the bubble unroll one after the other, the first faster.
        float& x = g.SceneX[g.SceneStep];
        x = static_cast<float>(x + (g.SceneStep == 0 ? 5.0 : 3.0));
        if (x > 154) {
          x = 154;
          g.SceneStep = static_cast<int16_t>(g.SceneStep + 1);
        }
        break;
      }
      default:
        WaitMs(g, 460);
        return;
    }
    if (g.pictures) DrawOpening(g, g.pic, k);
    YieldToSystem(g);
  }
}

}  // namespace morvik
