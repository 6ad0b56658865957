// SPDX-License-Identifier: GPL-3.0-or-later
// The slot table: the spawner that places waves into fixed slot groups as
// the kill count opens them up, the placing of each kind, and the dispatcher
// that hands an occupied slot to its kind's behaviour.
#include <cstdint>

#include "actors/actor_parts.hpp"

namespace morvik {

namespace {

// Every slot of the group holds no enemy.
bool GroupFree(const Game& g, int first, int last) {
  for (int s = first; s <= last; ++s)
    if (g.EnemyKind[s] != 0) return false;
  return true;
}

// The placing shared by every kind: position sums are 16-bit, the slot's
// projectile fields are left as they are.
void Place(Game& g, int16_t slot, float kind, int x, int y) {
  if (slot < 1 || slot > 40) return;
  g.EnemyKind[slot] = kind;
  g.EnemyState[slot] = 0;
  g.EnemyVY[slot] = 0;
  g.EnemyFrame[slot] = 0;
  g.EnemyX[slot] = Wrap16(x);
  g.EnemyY[slot] = Wrap16(y);
}

int16_t DiverBase(Game& g) { return static_cast<int16_t>(200 + 25 * IntI(12 * g.rng.Uniform())); }
int16_t HopperBase(Game& g) { return static_cast<int16_t>(25 * IntI(3 * g.rng.Uniform())); }
int16_t FlyerBase(Game& g) { return static_cast<int16_t>(20 * IntI(8 * g.rng.Uniform())); }

// k = nearest(span * u + 1): the sub-roll of the mixed rows.
int SubRoll(Game& g, double span) { return Rnd(span * g.rng.Uniform() + 1.0); }

}  // namespace

void PlaceDiver(Game& g, int16_t slot, int16_t b, uint8_t p) { Place(g, slot, 1, b + 30 * p, -30 * p); }
void PlaceHopper(Game& g, int16_t slot, int16_t b, uint8_t p) { Place(g, slot, 2, 30 * p + b + 30, 320); }
void PlaceFlyer(Game& g, int16_t slot, int16_t b, uint8_t p) { Place(g, slot, 3, 390 + 25 * p, b + 120); }
void PlaceRunner(Game& g, int16_t slot, int16_t b, uint8_t p) { Place(g, slot, 4, 25 * p + b + 425, 310); }
void PlaceCarrier(Game& g, int16_t slot, int16_t b, uint8_t p) { Place(g, slot, 5, 390 + 25 * p, b + 120); }

void SpawnEnemies(Game& g) {
  Reseed(g);
  const int r = IntI(40 * g.rng.Uniform()) + 1;
  const int16_t kills = g.KillCount;
  switch (r) {
    case 1: {  // Divers from the start
      if (!GroupFree(g, 1, 5)) return;
      const int16_t b = DiverBase(g);
      for (int16_t s = 1; s <= 5; ++s) PlaceDiver(g, s, b, static_cast<uint8_t>(s));
      return;
    }
    case 2: {
      if (kills < 200) return;
      if (!GroupFree(g, 6, 10)) return;
      const int16_t b = HopperBase(g);
      for (int16_t s = 6; s <= 10; ++s) PlaceHopper(g, s, b, static_cast<uint8_t>(s));
      return;
    }
    case 3: {  // the sub-roll is drawn even when its wave is not open yet
      if (!GroupFree(g, 11, 15)) return;
      const int k = SubRoll(g, 2);
      if (k == 1 && kills >= 30) {
        const int16_t b = DiverBase(g);
        for (int16_t s = 11; s <= 15; ++s) PlaceDiver(g, s, b, static_cast<uint8_t>(s - 5));
      } else if (k == 2 && kills >= 130) {
        const int16_t b = HopperBase(g);
        for (int16_t s = 11; s <= 15; ++s) PlaceHopper(g, s, b, static_cast<uint8_t>(s - 5));
      }
      return;
    }
    case 4: {
      if (kills < 60) return;
      if (!GroupFree(g, 16, 20)) return;
      const int16_t b = FlyerBase(g);
      for (int16_t s = 16; s <= 20; ++s) PlaceFlyer(g, s, b, static_cast<uint8_t>(s - 15));
      return;
    }
    case 5: {
      if (kills <= 250) return;
      if (!GroupFree(g, 21, 25)) return;
      const int16_t b = FlyerBase(g);
      for (int16_t s = 21; s <= 25; ++s) PlaceFlyer(g, s, b, static_cast<uint8_t>(s - 20));
      return;
    }
    case 6: {
      if (kills < 300) return;
      if (!GroupFree(g, 26, 30)) return;
      const int k = SubRoll(g, 2);
      if (k == 1) {
        const int16_t b = DiverBase(g);
        for (int16_t s = 26; s <= 30; ++s) PlaceDiver(g, s, b, static_cast<uint8_t>(s - 24));
      } else if (k == 2) {
        const int16_t b = HopperBase(g);
        for (int16_t s = 26; s <= 30; ++s) PlaceHopper(g, s, b, static_cast<uint8_t>(s - 20));
      } else if (k == 3) {
        const int16_t b = FlyerBase(g);
        for (int16_t s = 26; s <= 30; ++s) PlaceFlyer(g, s, b, static_cast<uint8_t>(s - 25));
      }
      return;
    }
    case 7: {
      if (kills <= 500) return;
      if (!GroupFree(g, 31, 35)) return;
      const int16_t b = static_cast<int16_t>(20 * IntI(5 * g.rng.Uniform()));
      for (int16_t s = 31; s <= 35; ++s) PlaceRunner(g, s, b, static_cast<uint8_t>(s - 30));
      return;
    }
    case 8: {  // a Carrier, only while slot 36 and its item are both empty
      if (SubRoll(g, 3) != 1) return;
      if (g.EnemyKind[36] != 0) return;
      if (g.ThrowState[36] != 0) return;
      PlaceCarrier(g, 36, FlyerBase(g), 1);
      return;
    }
    default: return;
  }
}

void UpdateEnemy(Game& g, int16_t slot) {
  if (!actors::ValidSlot(slot)) return;
  const float kind = g.EnemyKind[slot];
  if (kind == 1) {
    actors::kDiverSteps.Step(g, slot);
  } else if (kind == 2) {
    actors::kHopperSteps.Step(g, slot);
  } else if (kind == 3) {
    actors::kFlyerSteps.Step(g, slot);
  } else if (kind == 4) {
    actors::kRunnerSteps.Step(g, slot);
  } else if (kind == 5) {
    actors::kCarrierSteps.Step(g, slot);
  }
}

void UpdateThrow(Game& g, int16_t slot) { actors::kThrowSteps.Step(g, slot); }
void UpdateItem(Game& g, int16_t slot) { actors::kItemSteps.Step(g, slot); }

}  // namespace morvik
