// SPDX-License-Identifier: GPL-3.0-or-later
// The hero: keys and stick, walking and jumping pixel by pixel against the
// collision map, charging and throwing balls, dying, waiting and coming back,
// and the flight of every ball. Also the pause, and the death trigger.
//
// Reals are worked in double and stored back to float, so that the jump's
// fractional marker (12.1, 11.1, ... 0.1, -0.9, ...) behaves as the game's
// frame counts expect.
#include <cstdlib>

#include "game.hpp"

namespace morvik {

namespace {

constexpr int kMaxBallSlot = 10;  // BallState and friends hold slots 0 to 10

bool Blocked(const Game& g, double dx, double dy) {
  return IsSolid(g, static_cast<double>(g.HeroX) + dx, static_cast<double>(g.HeroY) + dy);
}

// A pair of probe points, first point first.
bool ProbeBlocked(const Game& g, double dx1, double dy1, double dx2, double dy2) {
  return Blocked(g, dx1, dy1) || Blocked(g, dx2, dy2);
}

bool FeetBlocked(const Game& g) { return ProbeBlocked(g, 0, 25, 20, 25); }
bool HeadBlocked(const Game& g) { return ProbeBlocked(g, 0, 9, 20, 9); }

// The highest ball slot to look at: BallMax, but never past the arrays.
int LastBallSlot(const Game& g) { return g.BallMax > kMaxBallSlot ? kMaxBallSlot : g.BallMax; }

// The slot the hero charges next; one outside the arrays starts over at 0.
int NextBallSlot(Game& g) {
  if (g.BallNext < 0 || g.BallNext > kMaxBallSlot) g.BallNext = 0;
  return g.BallNext;
}

void FreeBall(Game& g, int i) {
  g.BallState[i] = 0;
  g.BallVY[i] = 0;
  g.BallVX[i] = 0;
  g.ShotHits[i] = 0;
}

bool ActionHeld(Game& g) {
  // Both keys are read every time, then the stick's buttons.
  const bool space = KeyDown(g, VK_SPACE);
  const bool z = KeyDown(g, VK_Z);
  return space || z || g.JoyButtons > 1;
}

void SetViewFromHero(Game& g) {
  if (g.ScreenMode != 0) return;
  int v = Rnd(static_cast<double>(g.HeroY) / 3.0);
  if (v < 0) v = 0;
  if (v > 88) v = 88;
  g.ViewY = static_cast<int16_t>(v);
}

// At the left edge the hero is pushed back in by the scroll; a wall there
// pushes it out instead, and out of the field is death.
void LeftEdgePush(Game& g, int s) {
  if (!(g.HeroX <= 5)) return;
  g.HeroX = static_cast<float>(static_cast<double>(g.HeroX) + s);
  if (ProbeBlocked(g, 18, 24, 18, 10)) g.HeroX = static_cast<float>(static_cast<double>(g.HeroX) - 2.0 * s);
  if (static_cast<double>(g.HeroX) + 20 <= 0) KillHero(g);
}

void Walk(Game& g) {
  // Left: the key, then three stick reads (left, down-left, up-left).
  {
    const bool key = KeyDown(g, VK_LEFT);
    const int16_t j1 = JoyRead(g), j2 = JoyRead(g), j3 = JoyRead(g);
    if (j1 == 7 || key || j2 == 6 || j3 == 8) {
      for (int k = 0; k < 5; ++k) {
        if (!ProbeBlocked(g, -1, 24, -1, 8)) g.HeroX = static_cast<float>(static_cast<double>(g.HeroX) - 1);
        if (g.HeroX <= 0) g.HeroX = static_cast<float>(static_cast<double>(g.HeroX) + 1);
      }
    }
  }
  // Right: the key, then three stick reads (up-right, right, down-right).
  {
    const bool key = KeyDown(g, VK_RIGHT);
    const int16_t j1 = JoyRead(g), j2 = JoyRead(g), j3 = JoyRead(g);
    if (j1 == 2 || key || j2 == 3 || j3 == 4) {
      for (int k = 0; k < 5; ++k) {
        if (!ProbeBlocked(g, 21, 24, 21, 8)) g.HeroX = static_cast<float>(static_cast<double>(g.HeroX) + 1);
        if (static_cast<double>(g.HeroX) + 21 >= 425) g.HeroX = static_cast<float>(static_cast<double>(g.HeroX) - 1);
      }
    }
  }
}

void Jump(Game& g) {
  const bool key = KeyDown(g, VK_UP);
  const int16_t j1 = JoyRead(g), j2 = JoyRead(g), j3 = JoyRead(g);
  if (g.HeroVY == 0 && (j1 == 1 || key || j2 == 2 || j3 == 8)) g.HeroVY = static_cast<float>(12.1);
}

// The action key charges the next slot's ball (power 6 to 20); letting go
// starts the throw. A slot whose ball still flies cannot be charged.
void ChargeAndRelease(Game& g) {
  const int n = NextBallSlot(g);
  if (g.BallState[n] == 3) return;
  if (ActionHeld(g)) {
    if (g.BallState[n] == 0) {
      g.BallState[n] = 1;
      g.BallVY[n] = 5;
    }
    if (g.BallVY[n] < 20) g.BallVY[n] = static_cast<float>(static_cast<double>(g.BallVY[n]) + 1);
    g.ChargeGauge = static_cast<int16_t>(Rnd(static_cast<double>(g.BallVY[n]) - 5) * 8);
  } else if (g.BallState[n] == 1) {
    g.BallState[n] = 2;
    g.HeroFrame = 3;
    g.BallVX[n] = static_cast<float>(static_cast<double>(g.BallVY[n]) / 1.5);
  }
}

// Gravity acts only while the speed carries its fraction: exactly 0 is standing.
void Gravity(Game& g) {
  const double vy = g.HeroVY;
  if (vy - Int(vy) != 0 && vy > -16) g.HeroVY = static_cast<float>(vy - 1);
}

void VerticalMove(Game& g) {
  if (g.HeroVY == 0) return;
  const int k = std::abs(IntI(g.HeroVY));
  for (int step = 0; step <= k; ++step) {
    const bool blocked = g.HeroVY >= 0 ? HeadBlocked(g) : FeetBlocked(g);
    if (blocked) {
      g.HeroVY = static_cast<float>(0.1);
      break;
    }
    if (g.HeroVY > 0)
      g.HeroY = static_cast<float>(static_cast<double>(g.HeroY) - 1);
    else
      g.HeroY = static_cast<float>(static_cast<double>(g.HeroY) + 1);
  }
}

void Ground(Game& g) {
  if (FeetBlocked(g))
    g.HeroVY = 0;
  else if (g.HeroVY == 0)
    g.HeroVY = static_cast<float>(0.1);  // walked off an edge
}

void SkyOffset(Game& g) {
  double b = static_cast<double>(g.HeroY) / 4;
  if (b < 0) b = 0;
  if (b > 85) b = 85;
  g.BackY = static_cast<float>(b);
}

// Walking cells 0 to 2 loop, or the throw runs cells 3 to 5 with the ball in
// the hand and lets it fly at cell 6.
void Animate(Game& g) {
  const int n = NextBallSlot(g);
  if (g.BallState[n] != 2) {
    g.HeroFrame = static_cast<float>(static_cast<double>(g.HeroFrame) + (g.HeroVY == 0 ? 0.2 : 1.0));
    if (g.HeroFrame >= 3) g.HeroFrame = 0;
    return;
  }
  g.HeroFrame = static_cast<float>(static_cast<double>(g.HeroFrame) + 0.4 + g.BallRate / 10.0);
  const int f = IntI(g.HeroFrame);
  const double hx = g.HeroX, hy = g.HeroY;
  switch (f) {
    case 3:
      g.BallX[n] = static_cast<float>(hx - 5);
      g.BallY[n] = static_cast<float>(hy + 13);
      break;
    case 4:
      g.BallX[n] = static_cast<float>(hx - 5);
      g.BallY[n] = static_cast<float>(hy + 5);
      break;
    case 5:
      g.BallX[n] = static_cast<float>(hx + 13);
      g.BallY[n] = static_cast<float>(hy + 2);
      break;
    default:
      // Cell 6 lets go. A throw speed-up beyond the usual range could step
      // past cell 6; the ball is let go then too instead of staying in the hand.
      if (f >= 6) {
        g.HeroFrame = 0;
        g.ChargeGauge = 0;
        g.BallState[n] = 3;
        g.BallNext = static_cast<int16_t>(g.BallNext + 1);
        if (g.BallNext > g.BallMax) g.BallNext = 0;
      }
      break;
  }
}

void Alive(Game& g) {
  const int s = g.ScrollSpeed & 255;
  SetViewFromHero(g);                      // A1
  LeftEdgePush(g, s);                      // A2
  Walk(g);                                 // A3, A4
  Jump(g);                                 // A5
  ChargeAndRelease(g);                     // A6
  Gravity(g);                              // A7
  VerticalMove(g);                         // A8
  Ground(g);                               // A9
  if (g.HeroY > 330) KillHero(g);          // A10
  SkyOffset(g);                            // A11
  Animate(g);                              // A12, A13
}

// The death jump: up and down through everything, the view sliding home.
void Dying(Game& g) {
  g.HeroFrame = 6;
  g.HeroY = static_cast<float>(static_cast<double>(g.HeroY) - g.HeroVY);
  g.HeroVY = static_cast<float>(static_cast<double>(g.HeroVY) - 1);
  if (g.ViewY > 0) g.ViewY = static_cast<int16_t>(g.ViewY - 2);
  if (g.HeroY >= 400 && g.ViewY <= 0) {
    g.HeroState = 2;
    g.ViewY = 0;
  }
}

void Waiting(Game& g) {
  if (g.Lives > 0) {
    const bool z = KeyDown(g, VK_Z);
    const bool space = KeyDown(g, VK_SPACE);
    if (z || space || g.JoyButtons > 1) g.HeroState = 3;
    PauseCheck(g, 600, 600);
  } else {
    g.HeroState = 4;
    g.FrameSlowdown = 25;
    g.SceneStep = 0;
  }
}

// Back out of the lives row, one icon spacing right of the last icon.
void Respawn(Game& g) {
  g.HeroY = 28;
  g.HeroX = static_cast<float>(17 * g.Lives + 3);
  g.BallMax = 2;
  g.BallRate = 0;
  g.HeroVY = static_cast<float>(10.1);
  g.HeroFrame = g.LifeIconFrame;
  g.HeroState = 0;
  g.Invincible = 200;
  g.LabelIndex = 0;
  g.LabelTimer = 0;
  g.Lives = static_cast<uint8_t>(g.Lives - 1);
  // With fewer slots again, balls left in the slots above are gone (they are
  // neither drawn nor moved any more), and a ball the hero was charging when
  // it died is dropped: otherwise a stale slot could block charging for good
  // or carry a fallen power into the next throw.
  for (int i = 0; i <= kMaxBallSlot; ++i)
    if (i > g.BallMax || g.BallState[i] == 1) FreeBall(g, i);
  if (g.BallNext > g.BallMax) g.BallNext = 0;
}

void MoveBalls(Game& g) {
  const int last = LastBallSlot(g);
  for (int i = 0; i <= last; ++i) {
    if (!(g.BallState[i] == 3 || g.HeroState != 0)) continue;
    g.BallY[i] = static_cast<float>(static_cast<double>(g.BallY[i]) - g.BallVY[i]);
    g.BallX[i] = static_cast<float>(static_cast<double>(g.BallX[i]) + g.BallVX[i]);
    if (g.BallVY[i] > -16) g.BallVY[i] = static_cast<float>(static_cast<double>(g.BallVY[i]) - 1.2);
    if (g.BallY[i] >= 344 || g.BallX[i] > 425) FreeBall(g, i);
  }
}

bool PauseHeld(Game& g) { return KeyDown(g, VK_P) || g.JoyButtons == 1; }

// The label goes straight onto the screen picture, next to the hero.
void DrawPauseLabel(const Game& g, Surface& m, float x, float y) {
  DrawMasked(m, Rnd(static_cast<double>(x) + 22), Rnd(static_cast<double>(y) + 4 - g.ViewY), 52, 14, g.pic.Pose, 0, 0,
             0, 14);
}

}  // namespace

void HeroStep(Game& g) {
  JoyRead(g);
  if (g.Invincible > 0) --g.Invincible;
  switch (g.HeroState) {
    case 0: Alive(g); break;
    case 1: Dying(g); break;
    case 2: Waiting(g); break;
    case 3: Respawn(g); break;
    default: break;
  }
  MoveBalls(g);
}

void KillHero(Game& g) {
  if (g.HeroState != 0) return;  // a dying hero cannot die again
  g.HeroState = 1;
  g.HeroVY = 8;
  g.ChargeGauge = 0;
  PlaySound(g, "dead", 25);
}

// The game stands still until the pause key is pressed again (a press only
// counts after a release); Escape while paused leaves the game. A window that
// has lost the focus pauses as a press of the pause key would, but only with
// the hero in play, where the label is drawn beside it: a loss while the hero
// dies or waits to come back is dropped, so the game never stands still with
// nothing shown (the hero waits for its player anyway). Asking for the
// options screen pauses first, as the pause key would, and the screen opens
// over the pause; while the hero waits to come back it opens without a pause,
// whose label would lie off the screen.
void PauseCheck(Game& g, float x, float y) {
  JoyRead(g);
  if (g.HeroState != 0 && g.HeroState != 2) return;
  // A loss while the hero waits to come back pauses nothing: whoever brings
  // it back is at the game (no platform reads the keys or the controller
  // without the focus).
  bool focusLost = g.plat.TakeFocusLoss() && g.HeroState == 0;
  bool options = g.plat.TakeOptionsRequest();
  if (options && g.HeroState != 0) {
    OptionsScreen(g, false);
    options = false;
  }
  if (!focusLost && !options) {
    if (!PauseHeld(g)) {
      g.PauseLatch = 0;
      return;
    }
    if (g.PauseLatch == 1) return;
  }
  if (g.pictures) DrawPauseLabel(g, g.pic.M, x, y);
  g.PauseLatch = 1;
  if (options) OptionsScreen(g, false);
  uint32_t last = g.plat.Clock();
  for (;;) {
    g.plat.WaitUntil(last + 50);
    JoyRead(g);
    last = g.plat.Clock();
    if (!PauseHeld(g))
      g.PauseLatch = 0;
    else if (g.PauseLatch == 0)
      break;
    if (KeyDown(g, VK_ESCAPE)) {
      g.QuitToTitle = 1;
      return;
    }
    YieldToSystem(g);
    // Already paused: leaving the window again must not pause anew once resumed.
    g.plat.TakeFocusLoss();
    if (g.plat.TakeOptionsRequest()) {
      OptionsScreen(g, false);
      last = g.plat.Clock();
    }
  }
  g.PauseLatch = 1;
}

}  // namespace morvik
