// SPDX-License-Identifier: GPL-3.0-or-later
// The title screen between games: the pieces of the title leap up and fan
// out, the logo unrolls, then the menu slides in with the running cursor and
// the best score. The menu starts a game in either display mode or quits.
#include <algorithm>

#include "game.hpp"
#include "hud/number_text.hpp"
#include "media/lettering.hpp"

namespace morvik {

namespace {
// Indexes of the scene table while the title runs.
constexpr int kLogo = 7, kMenu = 8, kCursor = 9, kBestLine = 10;

// The title's steps, in the order they run.
enum TitleStepNo : int16_t {
  kStepSetPieces,     // the seven pieces of the title wait below the screen
  kStepPiecesLeap,    // ... leap up as a stair
  kStepPiecesFanOut,  // ... fan out to the right
  kStepPiecesRise,    // ... rise to the top left
  kStepSetLogo,       // the logo is placed
  kStepLogoUnrolls,   // ... and unrolls downwards
  kStepAllRise,       // pieces and logo rise together
  kStepLayOut,        // everything at its final place (also where Space skips to)
  kStepMenuSlidesIn,  // the menu slides in, the cursor jumps in, the best line rises
  kStepMenu,          // the menu takes the player's choice
  kStepCursorDown,    // the cursor moves to the next entry
  kStepCursorUp,      // ... to the previous one
  kStepGameChosen,    // a display mode was chosen
  kStepRunOff,        // ... the cursor runs off and everything falls away: a game starts
  kStepQuitChosen,    // leave was chosen
  kStepFallAway,      // ... everything falls away: the program ends
};

float Sub(float a, double b) { return static_cast<float>(a - b); }
float Add(float a, double b) { return static_cast<float>(a + b); }

bool ActionHeld(Game& g) { return KeyDown(g, VK_SPACE) || KeyDown(g, VK_Z) || g.JoyButtons > 1; }

void DrawCell(Surface& to, const Surface& s, double x, double y, int w, int h, int sx, int sy, int mx, int my) {
  DrawMasked(to, Rnd(x), Rnd(y), w, h, s, sx, sy, mx, my);
}

void ZeroScene(Game& g) {
  for (int i = 0; i <= 10; ++i) g.SceneX[i] = g.SceneY[i] = g.SceneV[i] = 0;
}

// The menu's input: a later match overrides an earlier one, and every
// direction test reads the joystick afresh.
void MenuInput(Game& g) {
  const int item = static_cast<int>(g.SceneV[kCursor]);
  // Each comparison takes its own reading, as the stick may move between them.
  auto joyAny = [&](int a, int b, int c) {
    const int16_t d1 = JoyRead(g), d2 = JoyRead(g), d3 = JoyRead(g);
    return d1 == a || d2 == b || d3 == c;
  };
  const bool upKey = KeyDown(g, VK_UP);
  if ((joyAny(1, 2, 8) || upKey) && item != 0) g.SceneStep = kStepCursorUp;
  const bool downKey = KeyDown(g, VK_DOWN);
  if ((joyAny(4, 5, 6) || downKey) && item != 2) g.SceneStep = kStepCursorDown;
  if (ActionHeld(g)) {
    if (item == 0 || item == 1) {
      g.ScreenMode = static_cast<uint8_t>(item);
      g.SceneStep = kStepGameChosen;
    } else {
      g.SceneStep = kStepQuitChosen;
    }
  }
}

// Runs the update of the current step; true when the title is to return.
bool TitleStep(Game& g) {
  switch (g.SceneStep) {
    case kStepSetPieces:
      for (int i = 0; i <= 6; ++i) {
        g.SceneX[i] = 120;
        g.SceneY[i] = 340;
        g.SceneV[i] = 30;
      }
      g.SceneStep = kStepPiecesLeap;
      break;
    case kStepPiecesLeap: {
      bool next = false;
      for (int i = 0; i <= 6; ++i) {
        g.SceneV[i] = Sub(g.SceneV[i], 1.0);
        g.SceneY[i] = Sub(g.SceneY[i], g.SceneV[i]);
        g.SceneX[i] = Sub(g.SceneX[i], 2.0);
        if (g.SceneV[i] < -20) next = true;
      }
      if (next) g.SceneStep = kStepPiecesFanOut;
      break;
    }
    case kStepPiecesFanOut:
      for (int i = 0; i <= 6; ++i) g.SceneX[i] = Add(g.SceneX[i], 2.0 * i);
      if (g.SceneX[6] > 350) g.SceneStep = kStepPiecesRise;
      break;
    case kStepPiecesRise:
      for (int i = 0; i <= 1; ++i) {
        g.SceneX[i] = Sub(g.SceneX[i], 1.0);
        g.SceneY[i] = Sub(g.SceneY[i], 5.0);
      }
      for (int i = 2; i <= 6; ++i) {
        g.SceneX[i] = Sub(g.SceneX[i], 3.0);
        g.SceneY[i] = Sub(g.SceneY[i], 2.0);
      }
      if (g.SceneX[0] < 2) g.SceneStep = kStepSetLogo;
      break;
    case kStepSetLogo:
      g.SceneX[kLogo] = 224;
      g.SceneY[kLogo] = 150;
      g.SceneV[kLogo] = 0;
      g.SceneStep = kStepLogoUnrolls;
      break;
    case kStepLogoUnrolls:
      g.SceneV[kLogo] = Add(g.SceneV[kLogo], 3.0);
      if (g.SceneV[kLogo] >= 78) {
        g.SceneV[kLogo] = 78;
        g.SceneStep = kStepAllRise;
      }
      break;
    case kStepAllRise:
      for (int i = 0; i <= kLogo; ++i) g.SceneY[i] = Sub(g.SceneY[i], 1.0);
      if (g.SceneY[0] < 15) g.SceneStep = kStepLayOut;
      break;
    case kStepLayOut: {
      static const float px[7] = {1, 57, 79, 135, 191, 247, 303};
      static const float py[7] = {14, 14, 65, 65, 65, 65, 65};
      for (int i = 0; i <= 6; ++i) {
        g.SceneX[i] = px[i];
        g.SceneY[i] = py[i];
      }
      g.SceneX[kLogo] = 224;
      g.SceneY[kLogo] = 113;
      g.SceneV[kLogo] = 78;
      g.SceneX[kMenu] = 435;
      g.SceneY[kMenu] = 245;
      g.HeroX = 381;
      g.HeroY = 380;
      g.HeroVY = 29;
      g.SceneY[kBestLine] = 56;
      g.SceneStep = kStepMenuSlidesIn;
      break;
    }
    case kStepMenuSlidesIn:
      // The menu slides in from the right, the best-score line rises, and
      // the cursor jumps in from the lower right.
      g.SceneX[kMenu] = Sub(g.SceneX[kMenu], 5.0);
      if (g.SceneY[kBestLine] > 0) g.SceneY[kBestLine] = Sub(g.SceneY[kBestLine], 1.0);
      if (g.SceneX[kMenu] <= 152) {
        g.SceneStep = kStepMenu;
        g.HeroVY = 0;
        g.SceneX[kCursor] = g.HeroX;
        g.SceneY[kCursor] = g.HeroY;
        g.SceneV[kCursor] = 0;
      }
      g.HeroX = Sub(g.HeroX, 4.5);
      g.HeroY = Sub(g.HeroY, g.HeroVY);
      if (g.HeroVY > -16) g.HeroVY = Sub(g.HeroVY, 1.0);
      break;
    case kStepMenu:
      g.SceneY[kBestLine] = 0;
      MenuInput(g);
      break;
    case kStepCursorDown:
      g.HeroY = Add(g.HeroY, 2.0);
      if (g.HeroY - g.SceneY[kCursor] >= 14) {
        g.SceneY[kCursor] = g.HeroY;
        g.SceneV[kCursor] = Add(g.SceneV[kCursor], 1.0);
        g.SceneStep = kStepMenu;
      }
      break;
    case kStepCursorUp:
      g.HeroY = Sub(g.HeroY, 2.0);
      if (g.SceneY[kCursor] - g.HeroY >= 14) {
        g.SceneY[kCursor] = g.HeroY;
        g.SceneV[kCursor] = Sub(g.SceneV[kCursor], 1.0);
        g.SceneStep = kStepMenu;
      }
      break;
    case kStepGameChosen:
    case kStepQuitChosen:
      for (int i = 0; i <= 10; ++i) g.SceneV[i] = 8;
      g.SceneStep = g.SceneStep == kStepGameChosen ? kStepRunOff : kStepFallAway;
      break;
    case kStepRunOff:
      // The cursor runs off to the right while everything hops and falls away.
      g.HeroX = Add(g.HeroX, 7.0);
      for (int i = 0; i <= 10; ++i) {
        g.SceneY[i] = Sub(g.SceneY[i], g.SceneV[i]);
        g.SceneV[i] = Sub(g.SceneV[i], 1.0);
      }
      if (g.HeroX >= 445) return true;
      break;
    case kStepFallAway:
      for (int i = 0; i <= 10; ++i) {
        g.SceneY[i] = Sub(g.SceneY[i], g.SceneV[i]);
        g.SceneV[i] = Sub(g.SceneV[i], 1.0);
      }
      g.HeroY = Sub(g.HeroY, g.SceneV[0]);
      if (g.SceneY[0] > 400) UnloadEvent(g);
      break;
    default:
      break;
  }
  return false;
}

// The menu, the cursor and the best line are on from the menu's slide on.
bool MenuShows(int step) { return step >= kStepMenuSlidesIn && step <= kStepFallAway; }

void TitleDraw(const Game& g, Surface& to) {
  const int step = g.SceneStep;
  const Surface& mor = g.pic.MOR;
  if (step >= kStepPiecesLeap && step <= kStepFallAway) {
    // While the pieces leap they are drawn as a stair, 2 pixels per piece.
    const int stair = step == kStepPiecesLeap ? 2 : 0;
    for (int i = 6; i >= 0; --i)
      DrawCell(to, mor, g.SceneX[i], g.SceneY[i] + stair * i, 57, 58, 57 * i, 0, 57 * i, 58);
  }
  if (step >= kStepLogoUnrolls && step <= kStepFallAway) {
    const int rows = step == kStepLogoUnrolls ? Rnd(g.SceneV[kLogo]) : 78;
    for (int j = 0; j <= 2; ++j)
      DrawCell(to, g.pic.Morvik, g.SceneX[kLogo] + 65 * j, g.SceneY[kLogo], 66, rows, 66 * j, 0, 66 * j, 78);
  }
  if (!MenuShows(step)) return;
  const bool menu = step >= kStepMenu && step <= kStepCursorUp;
  if (menu) DrawCell(to, g.pic.Command, g.HeroX + 24, g.HeroY + 4, 140, 14, 0, 42, 140, 42);
  DrawCell(to, g.pic.Command, g.SceneX[kMenu], g.SceneY[kMenu], 140, 42, 0, 0, 140, 0);
  const int f = IntI(g.HeroFrame);
  DrawCell(to, g.pic.Snow, g.HeroX, g.HeroY, 20, 24, 20 * f, 0, 20 * f, 24);
  DrawCell(to, g.pic.HScore, 114, 305 + g.SceneY[kBestLine], 228, 14, 0, 0, 0, 14);
  const int e = g.HeroFrame == 6 ? 3 : f;
  DrawCell(to, g.pic.Enemy[3], 91, 303 + g.SceneY[kBestLine], 20, 20, 20 * e, 0, 20 * e, 20);
  if (!menu) return;
  auto digit = [&](int x, int d) { DrawCell(to, g.pic.Math, x, 307, 6, 10, 6 * d, 0, 6 * d, 10); };
  // Nine digits with leading zeros; the sign place's blank shows as a 0.
  const NumberText s(g.BestScore);
  for (int f0 = 9 - s.len; f0 >= 1; --f0) digit(177 + 8 * f0, 0);
  for (int k = s.len; k >= 1; --k) digit(185 + 8 * (k - s.len + 8), s.DigitAt(k));
  digit(310, ComboDigit(g.BestCombo, 0));
  digit(318, ComboDigit(g.BestCombo, 1));
}

// The next game is played for a leaderboard: a bubble at the top right says so.
void DrawBoardLabel(const Game& g, Surface& to) {
  const std::string head = "PLAYING FOR THE BOARD", what = g.board.ticket.title;
  const int w = std::max(TextWidth(head), TextWidth(what)) + 12, h = 24;
  const int x = to.Width() - 6 - w, y = 16;
  Bubble(to, x, y, w, h, false);
  Text(to, x + (w - TextWidth(head)) / 2, y + 4, head, kCapDark);
  Text(to, x + (w - TextWidth(what)) / 2, y + 13, what, kNavy);
  to.Touch();
}

// The cursor skis on its row; it falls once everything falls away.
void TitleAnimate(Game& g) {
  if (!MenuShows(g.SceneStep)) return;
  if (g.SceneStep == kStepFallAway) {
    g.HeroFrame = 6;
  } else {
    g.HeroFrame = Add(g.HeroFrame, 0.2);
    if (g.HeroFrame >= 3) g.HeroFrame = 0;
  }
}
}  // namespace

void TitleScreen(Game& g) {
  PlayMusic(g, "opening", 59964);
  g.SceneStep = kStepSetPieces;
  ZeroScene(g);
  if (g.Score > g.BestScore) g.BestScore = g.Score;
  if (g.BestScore < 5000) g.BestScore = 5000;
  if (g.MaxCombo > g.BestCombo) g.BestCombo = g.MaxCombo;
  if (g.BestCombo < 100) g.BestCombo = 100;

  // Escape held over from the play loop does not quit: it counts only once
  // it has been seen up since the title began.
  bool escapeArmed = false;
  // The options open over the title, never over what the screen held before
  // it (a request made during a game's end waits for the title's first picture).
  bool shown = false;
  uint32_t t = g.plat.Clock();
  for (;;) {
    // A replay asked for by the page plays before the frame, and nothing the
    // title reads changes for it, so the session stays a replay of its own.
    if (shown && g.watchReplay && g.takeWatchRequest)
      if (const std::string path = g.takeWatchRequest(); !path.empty()) g.watchReplay(g, path);
    g.plat.WaitUntil(t + 45);
    if (shown && g.plat.TakeOptionsRequest()) {
      const bool watch = OptionsScreen(g, true);
      if (watch && g.watchReplay) g.watchReplay(g, g.bestReplayPath);
      t = g.plat.Clock();
      continue;
    }
    JoyRead(g);
    if (!KeyDown(g, VK_ESCAPE))
      escapeArmed = true;
    else if (escapeArmed)
      UnloadEvent(g);
    if (ActionHeld(g)) {
      if (g.SceneStep < kStepLayOut) {
        g.SceneStep = kStepLayOut;  // skip the intro: everything is laid out this frame
      } else if (g.SceneStep == kStepLayOut || g.SceneStep == kStepMenuSlidesIn) {
        g.SceneStep = kStepMenuSlidesIn;
        g.HeroX = 124.5;
        g.HeroY = 241;
        g.SceneX[kCursor] = 124.5;
        g.SceneY[kCursor] = 241;
        g.SceneX[kMenu] = 152;
        g.SceneV[kCursor] = 0;
        WaitMs(g, 150);
      }
    }
    t = g.plat.Clock();
    if (g.SoundHold > 0) --g.SoundHold;
    ServiceMusic(g);
    Sheets& p = g.pic;
    WrapClouds(g);
    if (g.pictures) {
      DrawOpaque(p.UraM, 0, 0, p.M.Width(), p.M.Height(), p.Back, 0, 0);
      DrawFarClouds(g, p.UraM);
      DrawNearClouds(g, p.UraM);
    }
    DriftFarClouds(g);
    DriftNearClouds(g);
    if (TitleStep(g)) return;
    if (g.pictures) {
      TitleDraw(g, p.UraM);
      if (g.board.pending) DrawBoardLabel(g, p.UraM);
      DrawOpaque(p.M, 0, 0, p.M.Width(), p.M.Height(), p.UraM, 0, 0);
    }
    TitleAnimate(g);
    YieldToSystem(g);
    shown = true;
  }
}

}  // namespace morvik
