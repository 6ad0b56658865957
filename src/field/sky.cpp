// SPDX-License-Identifier: GPL-3.0-or-later
// The sky's two cloud layers and the wind gusts.
//
// Six clouds drift left, each at its own speed, wrap around the field and
// shift up by a share of the sky offset as the hero climbs. Four lie behind
// the terrain, two in front of everything but the status display. A gust,
// possible once 100 enemies are down, speeds up the scroll and blows every
// cloud to the right.
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

void DriftCloud(Game& g, int i) {
  const CloudLook& c = kClouds[i];
  const int x = Rnd(g.CloudX[i]);
  const int y = Rnd(static_cast<double>(g.CloudY[i]) - static_cast<double>(g.BackY) / c.shift);
  DrawMasked(g.pic.UraM, x, y, kCloudW, c.cellH, g.pic.Cloud, 0, c.cellY, kCloudW, c.cellY);
  g.CloudX[i] = static_cast<float>(static_cast<double>(g.CloudX[i]) - c.speed + g.CloudDrift);
  if (g.CloudX[i] < -51) g.CloudX[i] = 460;  // out at the left, back in at the right
}

}  // namespace

void DrawFarClouds(Game& g) {
  // A cloud blown off to the right comes back in at the left.
  for (int i = 0; i < 6; ++i)
    if (g.CloudX[i] > 461) g.CloudX[i] = -50;
  for (int i : {2, 3, 0, 4}) DriftCloud(g, i);
}

void DrawNearClouds(Game& g) {
  for (int i : {5, 1}) DriftCloud(g, i);
}

void GustStep(Game& g) {
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
      if (g.GustTimer < 85) {
        g.GustTimer = static_cast<uint8_t>(g.GustTimer + 2);
      } else {
        g.GustPhase = 2;
        g.CloudDrift = 7;
        g.ScrollSpeed = 4;
        g.GustTimer = 0;
      }
      break;
    case 2:  // full
      g.GustTimer = static_cast<uint8_t>(g.GustTimer + 1);
      if (g.GustTimer == 200) {
        g.GustPhase = 3;
        g.CloudDrift = 4;
        g.ScrollSpeed = 3;
        g.GustTimer = 0;
      }
      break;
    case 3:  // easing
      g.GustTimer = static_cast<uint8_t>(g.GustTimer + 1);
      if (g.GustTimer >= 85) g.GustPhase = 4;
      break;
    case 4:
      g.ScrollSpeed = 2;
      g.CloudDrift = 0;
      g.GustTimer = 0;
      g.GustPhase = 0;
      break;
    default:
      break;
  }
}

}  // namespace morvik
