// SPDX-License-Identifier: GPL-3.0-or-later
// The sky's two cloud layers and the wind gusts.
//
// Six clouds drift left, each at its own speed, wrap around the field and
// shift up by a share of the sky offset as the hero climbs. Four lie behind
// the terrain, two in front of everything but the status display. A gust,
// possible once 100 enemies are down, speeds up the scroll and blows every
// cloud to the right.
#include <algorithm>

#include "game.hpp"

namespace morvik {

namespace {

struct CloudLook {
  int cellY, cellH;    // the cell on the Cloud sheet (image at x 0, mask at x 46)
  double shift;        // BackY is divided by this for the vertical shift
  double speed;        // pixels per frame to the left in calm air
};

// Clouds 0 to 5.
constexpr CloudLook kClouds[6] = {
    {24, 19, 8, 2.5}, {0, 24, 5, 3.5}, {43, 14, 12, 1.5},
    {43, 14, 12, 1.8}, {24, 19, 8, 2.3}, {0, 24, 5, 2.9},
};

constexpr int kCloudW = 46;

constexpr int kFarClouds[4] = {2, 3, 0, 4};  // in the order they are drawn
constexpr int kNearClouds[2] = {5, 1};

// Where cloud i is drawn this frame.
void CloudSpot(const Game& g, int i, int& x, int& y) {
  x = Rnd(g.CloudX[i]);
  y = Rnd(static_cast<double>(g.CloudY[i]) - static_cast<double>(g.BackY) / kClouds[i].shift);
}

void DrawCloud(const Game& g, Surface& to, int i) {
  const CloudLook& c = kClouds[i];
  int x, y;
  CloudSpot(g, i, x, y);
  DrawMasked(to, x, y, kCloudW, c.cellH, g.pic.Cloud, 0, c.cellY, kCloudW, c.cellY);
}

void DriftCloud(Game& g, int i) {
  g.CloudX[i] = static_cast<float>(static_cast<double>(g.CloudX[i]) - kClouds[i].speed + g.CloudDrift);
  if (g.CloudX[i] < -51) g.CloudX[i] = 460;  // out at the left, back in at the right
}

}  // namespace

void WrapClouds(Game& g) {
  // A cloud blown off to the right comes back in at the left.
  for (int i = 0; i < 6; ++i)
    if (g.CloudX[i] > 461) g.CloudX[i] = -50;
}

void FarCloudSpans(const Game& g, int* lo, int* hi, int rows) {
  for (int r = 0; r < rows; ++r) {
    lo[r] = 1 << 30;
    hi[r] = -(1 << 30);
  }
  for (int i : kFarClouds) {
    int x, y;
    CloudSpot(g, i, x, y);
    for (int r = std::max(y, 0); r < std::min(y + kClouds[i].cellH, rows); ++r) {
      lo[r] = std::min(lo[r], x);
      hi[r] = std::max(hi[r], x + kCloudW);
    }
  }
}

void DrawFarClouds(const Game& g, Surface& to) {
  for (int i : kFarClouds) DrawCloud(g, to, i);
}

void DriftFarClouds(Game& g) {
  for (int i : kFarClouds) DriftCloud(g, i);
}

void DrawNearClouds(const Game& g, Surface& to) {
  for (int i : kNearClouds) DrawCloud(g, to, i);
}

void DriftNearClouds(Game& g) {
  for (int i : kNearClouds) DriftCloud(g, i);
}

void GustStep(Game& g) {
  // A gust moves on to its next phase with the clouds' drift and the scroll
  // that phase has; the timer starts again for it.
  const auto enter = [&](uint8_t phase, uint8_t drift, uint8_t speed) {
    g.GustPhase = phase;
    g.CloudDrift = drift;
    g.ScrollSpeed = speed;
    g.GustTimer = 0;
  };
  switch (g.GustPhase) {
    case 0: {
      int r = 0;
      if (g.KillCount >= 100) r = Rnd(4000 * g.rng.Uniform());
      if (r == 50) {
        g.GustPhase = 1;
        g.CloudDrift = 4;
        g.ScrollSpeed = 3;
      }
      break;
    }
    case 1:  // rising
      if (g.GustTimer < 85) g.GustTimer = static_cast<uint8_t>(g.GustTimer + 2);
      else enter(2, 7, 4);
      break;
    case 2:  // full
      g.GustTimer = static_cast<uint8_t>(g.GustTimer + 1);
      if (g.GustTimer == 200) enter(3, 4, 3);
      break;
    case 3:  // easing
      g.GustTimer = static_cast<uint8_t>(g.GustTimer + 1);
      if (g.GustTimer >= 85) g.GustPhase = 4;
      break;
    case 4: enter(0, 0, 2); break;
    default: break;
  }
}

}  // namespace morvik
