// SPDX-License-Identifier: GPL-3.0-or-later
// A simple automatic player on a flat course: it sprays balls of varying
// power to the right, keeps to the middle of the field, where the Divers' lines do not reach the ground,, steps away from
// anything about to touch it and comes back after a death. Over 20,000
// frames it must shoot down 100 enemies, which lets the first wind gust blow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "actors_support.hpp"

namespace morvik::test {
namespace {

struct Bot {
  int frame = 0;
  int charge = 0;       // frames the current ball has been charged
  int chargeGoal = 2;

  // Something dangerous near the hero's contact box: an enemy not yet shot
  // down, or a projectile not yet knocked. Returns its x offset, or 0.
  static double Threat(const Game& g) {
    const double hx = g.HeroX + 12, hy = g.HeroY + 12;
    double nearest = 0, best = 1e9;
    for (int i = 1; i <= 40; ++i) {
      if (g.EnemyKind[i] != 0 && g.EnemyState[i] != 12 && g.EnemyState[i] != 10) {
        const double dx = g.EnemyX[i] + 10 - hx, dy = g.EnemyY[i] + 12 - hy;
        if (std::fabs(dx) < 45 && std::fabs(dy) < 70 && std::fabs(dx) + std::fabs(dy) < best) {
          best = std::fabs(dx) + std::fabs(dy);
          nearest = dx == 0 ? 1 : dx;
        }
      }
      if (i != 36 && g.ThrowState[i] != 0 && g.ThrowFrame[i] != 3) {
        const double dx = g.ThrowX[i] + 8 - hx, dy = g.ThrowY[i] + 8 - hy;
        if (std::fabs(dx) < 45 && std::fabs(dy) < 60 && std::fabs(dx) + std::fabs(dy) < best) {
          best = std::fabs(dx) + std::fabs(dy);
          nearest = dx == 0 ? 1 : dx;
        }
      }
    }
    return nearest;
  }

  // Hoppers come down where the middle is; while they rise or leap the hero
  // waits further left.
  static double HomeLeft(const Game& g) {
    for (int i = 1; i <= 40; ++i)
      if (g.EnemyKind[i] == 2 && g.EnemyState[i] <= 2) return 70;
    return 190;
  }

  uint32_t Keys(const Game& g) {
    ++frame;
    if (g.HeroState == 2) return frame % 2 ? static_cast<uint32_t>(kKeySpace) : 0u;  // come back
    uint32_t keys = 0;
    // an item on the field is worth walking to
    if (g.ThrowState[36] >= 7 && g.ThrowX[36] > 10 && g.ThrowX[36] < 300) {
      keys |= g.ThrowX[36] > g.HeroX ? kKeyRight : kKeyLeft;
    } else if (g.HeroX < HomeLeft(g)) {
      keys |= kKeyRight;
    } else if (g.HeroX > HomeLeft(g) + 50) {
      keys |= kKeyLeft;
    }
    const double t = Threat(g);
    if (t != 0 && g.Invincible == 0) {
      bool left = t > 0;
      if (g.HeroX < 40) left = false;  // no room to back away: go under it
      if (g.HeroX > 360) left = true;
      keys = (keys & ~(kKeyLeft | kKeyRight)) | (left ? kKeyLeft : kKeyRight);
    }
    // charge for a while, let go for a frame, then the next power
    if (charge < chargeGoal) {
      keys |= kKeySpace;
      ++charge;
    } else {
      charge = 0;
      chargeGoal = 2 + (chargeGoal + 5) % 15;
    }
    return keys;
  }
};

TEST(ActorsBot, AnAutomaticPlayerReaches100KillsAndTheFirstGust) {
  Fixture f;
  WriteAllSegments(f.dir.Path(), FlatFloor());
  f.Start(1);
  Game& g = *f.g;
  Bot bot;
  int kills100 = 0, firstGust = 0, deaths = 0, maxSlots = 0;
  uint8_t lastState = 0;
  int frames = 0;
  for (; frames < 20000; ++frames) {
    if (g.HeroState == 4) break;  // out of lives
    f.plat.HoldKeys(bot.Keys(g));
    PlayFrame(g);
    if (g.HeroState == 1 && lastState != 1) {
      ++deaths;
      if (std::getenv("BOT_DEBUG")) {
        std::printf("death at %d hero %.1f,%.1f vy %.1f\n", g.playFrame, g.HeroX, g.HeroY, g.HeroVY);
        for (int i = 1; i <= 40; ++i) {
          if (g.EnemyKind[i] != 0 && std::fabs(g.EnemyX[i] - g.HeroX) < 60 && std::fabs(g.EnemyY[i] - g.HeroY) < 60)
            std::printf("  enemy %d kind %.0f st %d at %.1f,%.1f\n", i, g.EnemyKind[i], g.EnemyState[i], g.EnemyX[i], g.EnemyY[i]);
          if (g.ThrowState[i] != 0 && std::fabs(g.ThrowX[i] - g.HeroX) < 60 && std::fabs(g.ThrowY[i] - g.HeroY) < 60)
            std::printf("  throw %d st %d at %.1f,%.1f\n", i, g.ThrowState[i], g.ThrowX[i], g.ThrowY[i]);
        }
      }
    }
    lastState = g.HeroState;
    if (!kills100 && g.KillCount >= 100) kills100 = g.playFrame;
    if (!firstGust && g.GustPhase != 0) firstGust = g.playFrame;
    int used = 0;
    for (int i = 1; i <= 40; ++i) used += g.EnemyKind[i] != 0;
    if (used > maxSlots) maxSlots = used;
  }
  std::printf("automatic player: %d frames, KillCount %d, Score %d, MaxCombo %d, deaths %d, lives left %d, "
              "100 kills at frame %d, first gust at frame %d, most slots in use %d\n",
              frames, g.KillCount, g.Score, g.MaxCombo, deaths, g.Lives, kills100, firstGust, maxSlots);
  EXPECT_GE(g.KillCount, 100);
  EXPECT_GT(kills100, 0);
  EXPECT_GT(firstGust, 0);
  EXPECT_GT(g.Score, 0);
}

}  // namespace
}  // namespace morvik::test
