// SPDX-License-Identifier: GPL-3.0-or-later
// One play frame's picture and world step: sky, gusts and far clouds, the
// terrain and its scroll (which carries the hero), the caption, the item and
// every enemy slot, the hero and its balls, the near clouds, the status
// display, the game-over step, the copy to the screen and the pause.
//
// Everything is drawn on the back buffer UraM and copied to M at the end.
#include <algorithm>

#include "game.hpp"

namespace morvik {

namespace {

constexpr int kFieldW = 425, kFieldH = 329;
constexpr int kLastSlot = 40;

// The caption of the item last taken, beside the hero, for as long as its timer runs.
bool CaptionShows(const Game& g) { return g.HeroState != 4 && g.LabelTimer >= 1; }

void DrawCaption(const Game& g, Surface& to) {
  if (!CaptionShows(g)) return;
  DrawMasked(to, Rnd(static_cast<double>(g.HeroX) + 22), Rnd(static_cast<double>(g.HeroY) + 1), 96, 14,
             g.pic.GetItem, 0, 14 * g.LabelIndex, 0, 70);
}

void CaptionStep(Game& g) {
  if (CaptionShows(g)) --g.LabelTimer;
}

// The item, each enemy and its projectile, and its pop-up, slot by slot:
// each is drawn where its step leaves it, between its hits and its moves,
// so that one drawn later covers one drawn before.
void StepSlots(Game& g) {
  // The count is read once; it never reaches past the slot arrays.
  const int count = std::min<int>(g.SlotCount, kLastSlot);
  for (int i = 1; i <= count; ++i) {
    const int16_t slot = static_cast<int16_t>(i);
    // A slot is freed once its enemy has scrolled 30 pixels past the left edge.
    if (!(g.EnemyX[i] >= -30)) g.EnemyKind[i] = 0;
    UpdateEnemy(g, slot);
    if (g.ThrowState[i] != 0 && i != 36) UpdateThrow(g, slot);
    if (g.pictures) DrawScorePopup(g, g.pic.UraM, slot);
    StepScorePopup(g, slot);
  }
}

void DrawHeroAndBalls(const Game& g, Surface& to) {
  const int f = IntI(g.HeroFrame);
  const int x = Rnd(g.HeroX), y = Rnd(g.HeroY);
  DrawMasked(to, x, y, 20, 24, g.pic.Snow, 20 * f, 0, 20 * f, 24);
  // The overlay has no cell for the fallen hero (cell 6).
  if (g.Invincible >= 1 && f >= 0 && f <= 5) DrawMasked(to, x, y, 20, 24, g.pic.SnowM, 20 * f, 0, 20 * f, 24);
  const int last = std::min<int>(g.BallMax, 10);
  for (int i = 0; i <= last; ++i)
    if (g.BallState[i] >= 2) DrawMasked(to, Rnd(g.BallX[i]), Rnd(g.BallY[i]), 15, 15, g.pic.Ball, 0, 0, 15, 0);
}

// The part of the field the display shows: all of it on the large display,
// 320 by 240 from (ViewX, ViewY) on the small one, and one column and row
// more, which a smoothed window blends into the last ones it shows. Only
// that part of UraM is composed and copied to M; the rest is never seen.
Area Shown(const Game& g) {
  if (g.ScreenMode != 0) return {};
  return {g.ViewY, g.ViewY + 241, g.ViewX + 321};
}

// The bomb's flash: the screen is white on every other frame while it lasts.
void FlashStep(Game& g) {
  if (g.FlashTimer > 0) --g.FlashTimer;
}

void Present(const Game& g, Sheets& p) {
  if (g.FlashTimer % 2 == 1) {
    DrawOpaque(p.M, 0, 0, kFieldW, kFieldH, p.WhiteB, 0, 0);
  } else if (g.ViewX == 0 && g.ViewY == 0 && p.M.SwapPixels(p.UraM)) {
    // Where the view is not moved, the back buffer becomes the screen and
    // the old screen the next back buffer, which every frame lays anew.
  } else {
    const Area a = Shown(g);
    const int w = a.right < 0 ? kFieldW : a.right - g.ViewX, h = a.bottom < 0 ? kFieldH : a.bottom - a.top;
    DrawOpaque(p.M, 0, 0, w, h, p.UraM, g.ViewX, g.ViewY);
  }
}

// The sky, the far clouds and the terrain over them. Only where the far
// clouds lie is the sky copied first; everywhere else the sky goes straight
// under the terrain in the one sweep that lays the terrain (its mask canvas
// AND NOT, then its image canvas XOR).
void DrawSkyCloudsTerrain(const Game& g, Sheets& p) {
  const int skyY = Rnd(g.BackY);
  int lo[kFieldH], hi[kFieldH];
  FarCloudSpans(g, lo, hi, kFieldH);
  const auto covers = [&](const Surface& s, int top) {
    return s.Width() >= kFieldW && top >= 0 && top + kFieldH <= s.Height();
  };
  const bool whole = p.UraM.Width() == kFieldW && p.UraM.Height() == kFieldH && covers(p.Back, skyY) &&
                     covers(p.BLOCKD, 0) && covers(p.BLOCK, 0);
  if (!whole) {  // pictures of other sizes: each layer in turn
    DrawOpaque(p.UraM, 0, 0, kFieldW, kFieldH, p.Back, 0, skyY);
    DrawFarClouds(g, p.UraM);
    DrawMaskedPair(p.UraM, 0, 0, kFieldW, kFieldH, p.BLOCKD, 0, 0, p.BLOCK, 0, 0);
    return;
  }
  const Area shown = Shown(g);
  CopySkySpans(p.UraM, p.Back, skyY, lo, hi, shown);
  DrawFarClouds(g, p.UraM);
  DrawSkyAndTerrain(p.UraM, p.Back, skyY, p.BLOCKD, p.BLOCK, lo, hi, shown);
}

}  // namespace

void WorldFrame(Game& g) {
  GustStep(g);
  WrapClouds(g);
  if (g.pictures) DrawSkyCloudsTerrain(g, g.pic);
  DriftFarClouds(g);
  const int s = g.ScrollSpeed & 255;
  if (g.pictures) ScrollTerrainPictures(g.pic, s);
  ScrollTerrain(g, s);
  // The hero is carried by the scroll unless it stands at the left edge.
  if (static_cast<double>(g.HeroX) - 3 > 0) g.HeroX = static_cast<float>(static_cast<double>(g.HeroX) - s);
  if (g.pictures) DrawCaption(g, g.pic.UraM);
  CaptionStep(g);
  if (g.ThrowState[36] != 0) UpdateItem(g, 36);
  StepSlots(g);
  if (g.pictures && g.HeroState != 4) DrawHeroAndBalls(g, g.pic.UraM);
  if (g.pictures) DrawNearClouds(g, g.pic.UraM);
  DriftNearClouds(g);
  if (g.pictures) DrawStatusBar(g, g.pic.UraM);
  StatusBarStep(g);
  if (g.ScreenMode == 0 && g.HeroState != 4) {
    MinimapStep(g);
    if (g.pictures) DrawMinimap(g, g.pic.UraM);
  }
  if (g.HeroState == 4) {
    GameOverScreen(g);
    if (g.pictures) DrawGameOver(g, g.pic.UraM);
  }
  FlashStep(g);
  if (g.pictures) Present(g, g.pic);
  PauseCheck(g, g.HeroX, g.HeroY);
}

}  // namespace morvik
