// SPDX-License-Identifier: GPL-3.0-or-later
// The opening scene: a portrait beside a line of text revealed from left to
// right, then a second line revealed over it; it ends by itself after about
// five seconds, and Escape closes the program. It also seeds the run's
// random numbers.
#include "game.hpp"

namespace morvik {

void OpeningScene(Game& g) {
  g.rng.Reseed(g.plat.Clock());
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
    DrawOpaque(g.pic.UraM, 0, 0, g.pic.M.Width(), g.pic.M.Height(), g.pic.WhiteB, 0, 0);
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
    DrawOpaque(g.pic.UraM, 124, 160, 21, 26, g.pic.TalkChara, 0, 26 * k);
    DrawOpaque(g.pic.UraM, 147, 165, Rnd(g.SceneX[0]), 14, g.pic.CR, 0, 14);
    if (g.SceneStep > 0) DrawMasked(g.pic.UraM, 147, 165, Rnd(g.SceneX[1]), 14, g.pic.CR, 0, 0, 154, 0);
    DrawOpaque(g.pic.M, 0, 0, g.pic.M.Width(), g.pic.M.Height(), g.pic.UraM, 0, 0);
    YieldToSystem(g);
  }
}

}  // namespace morvik
