// SPDX-License-Identifier: GPL-3.0-or-later
// The spawner: which rows open at which kill counts, the group and item
// conditions, the sub-rolls, the placing formulas and the odds of each wave.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "actors_support.hpp"
#include "shell/trace.hpp"

namespace morvik::test {
namespace {

// What one spawn pass placed: the first slot it filled (0 = none) and that kind.
struct Placed {
  int slot = 0;
  float kind = 0;
};

Placed SpawnOnce(Game& g, uint64_t seed) {
  g.rng.SetState(seed);
  std::array<float, 41> before{};
  for (int s = 0; s <= 40; ++s) before[s] = g.EnemyKind[s];
  SpawnEnemies(g);
  for (int s = 1; s <= 40; ++s)
    if (g.EnemyKind[s] != before[s]) return {s, g.EnemyKind[s]};
  return {};
}

void EmptySlots(Game& g) {
  for (int s = 0; s <= 40; ++s) {
    g.EnemyKind[s] = 0;
    g.ThrowState[s] = 0;
  }
}

// Counts, over n fixed seeds, the waves placed from an empty table, keyed by
// (first slot, kind).
std::map<std::pair<int, int>, int> WaveCounts(Game& g, int16_t kills, int n) {
  std::map<std::pair<int, int>, int> counts;
  g.KillCount = kills;
  for (int k = 0; k < n; ++k) {
    EmptySlots(g);
    Placed p = SpawnOnce(g, 0x9E3779B97F4A7C15ULL * static_cast<uint64_t>(k + 1));
    if (p.slot) ++counts[{p.slot, static_cast<int>(p.kind)}];
  }
  return counts;
}

void ExpectNear(int got, double expected, double tolerance) {
  EXPECT_NEAR(got, expected, expected * tolerance) << "expected about " << expected;
}

TEST(SpawnRows, WithoutKillsOnlyDiversAndCarriersArrive) {
  ActorGame a;
  auto counts = WaveCounts(a.g, 0, 40000);
  for (auto& [key, n] : counts) {
    const bool ok = (key.first == 1 && key.second == 1) || (key.first == 36 && key.second == 5);
    EXPECT_TRUE(ok) << "slot " << key.first << " kind " << key.second << " placed " << n << " times";
  }
  ExpectNear(counts[{1, 1}], 40000.0 / 40, 0.15);
  ExpectNear(counts[{36, 5}], 40000.0 / 240, 0.3);
}

TEST(SpawnRows, EveryWaveArrivesWithItsOddsOnceAllRowsAreOpen) {
  ActorGame a;
  const int n = 240000;
  auto c = WaveCounts(a.g, 1000, n);
  ExpectNear(c[{1, 1}], n / 40.0, 0.08);     // row 1
  ExpectNear(c[{6, 2}], n / 40.0, 0.08);     // row 2
  ExpectNear(c[{11, 1}], n / 160.0, 0.12);   // row 3, k = 1
  ExpectNear(c[{11, 2}], n / 80.0, 0.10);    // row 3, k = 2
  ExpectNear(c[{16, 3}], n / 40.0, 0.08);    // row 4
  ExpectNear(c[{21, 3}], n / 40.0, 0.08);    // row 5
  ExpectNear(c[{26, 1}], n / 160.0, 0.12);   // row 6, k = 1
  ExpectNear(c[{26, 2}], n / 80.0, 0.10);    // row 6, k = 2
  ExpectNear(c[{26, 3}], n / 160.0, 0.12);   // row 6, k = 3
  ExpectNear(c[{31, 4}], n / 40.0, 0.08);    // row 7
  ExpectNear(c[{36, 5}], n / 240.0, 0.12);   // row 8
  int total = 0;
  for (auto& [key, count] : c) total += count;
  ExpectNear(total, n * (7 / 40.0 + 1 / 240.0), 0.03);
}

// Whether any of many rolls places a wave of that kind starting in that slot.
bool Opens(Game& g, int16_t kills, int slot, int kind) {
  auto c = WaveCounts(g, kills, 6000);
  return c[{slot, kind}] > 0;
}

TEST(SpawnRows, KillThresholdsOpenTheRowsExactlyWhereTheySit) {
  ActorGame a;
  Game& g = a.g;
  EXPECT_FALSE(Opens(g, 29, 11, 1));
  EXPECT_TRUE(Opens(g, 30, 11, 1));
  EXPECT_FALSE(Opens(g, 59, 16, 3));
  EXPECT_TRUE(Opens(g, 60, 16, 3));
  EXPECT_FALSE(Opens(g, 129, 11, 2));
  EXPECT_TRUE(Opens(g, 130, 11, 2));
  EXPECT_FALSE(Opens(g, 199, 6, 2));
  EXPECT_TRUE(Opens(g, 200, 6, 2));
  EXPECT_FALSE(Opens(g, 250, 21, 3));
  EXPECT_TRUE(Opens(g, 251, 21, 3));
  EXPECT_FALSE(Opens(g, 299, 26, 1));
  EXPECT_TRUE(Opens(g, 300, 26, 1));
  EXPECT_FALSE(Opens(g, 500, 31, 4));
  EXPECT_TRUE(Opens(g, 501, 31, 4));
  // a kill count stuck at its top keeps every row open
  EXPECT_TRUE(Opens(g, 32767, 31, 4));
}

TEST(SpawnGroups, OneEnemyLeftOrALyingItemKeepsTheWaveAway) {
  ActorGame a;
  Game& g = a.g;
  g.KillCount = 1000;
  int placedA = 0, placedCarrier = 0;
  for (int k = 0; k < 20000; ++k) {
    EmptySlots(g);
    g.EnemyKind[3] = 1;     // one Diver of group A still flying
    g.ThrowState[36] = 8;   // the item lies on the ground, slot 36 is free
    Placed p = SpawnOnce(g, 1234567ULL * static_cast<uint64_t>(k + 7));
    if (p.slot >= 1 && p.slot <= 5) ++placedA;
    if (p.slot == 36) ++placedCarrier;
  }
  EXPECT_EQ(placedA, 0);
  EXPECT_EQ(placedCarrier, 0);
  // and the Carrier is not placed over a Carrier still flying
  int over = 0;
  for (int k = 0; k < 20000; ++k) {
    EmptySlots(g);
    g.EnemyKind[36] = 5;
    g.EnemyX[36] = 123;
    SpawnOnce(g, 777ULL * static_cast<uint64_t>(k + 1));
    if (g.EnemyX[36] != 123) ++over;
  }
  EXPECT_EQ(over, 0);
}

TEST(SpawnRolls, SubRollsAreDrawnEvenWhenTheyPlaceNothing) {
  // Row 3 without kills and row 8 with slot 36 taken both take a second draw.
  ActorGame a;
  Game& g = a.g;
  int seenRow3 = 0, seenRow8 = 0;
  for (uint64_t seed = 1; seed < 4000 && (seenRow3 < 5 || seenRow8 < 5); ++seed) {
    EmptySlots(g);
    g.EnemyKind[36] = 5;
    Rng probe;
    probe.SetState(seed);
    probe.Reseed(g.plat.Clock());
    const int r = IntI(40 * probe.Uniform()) + 1;
    if (r != 3 && r != 8) continue;
    probe.Uniform();  // the sub-roll
    const Placed p = SpawnOnce(g, seed);
    EXPECT_EQ(p.slot, 0);
    EXPECT_EQ(g.rng.State(), probe.State()) << "row " << r;
    (r == 3 ? seenRow3 : seenRow8)++;
  }
  EXPECT_GE(seenRow3, 5);
  EXPECT_GE(seenRow8, 5);
}

TEST(SpawnPlacing, WavesStandWhereTheFormulasPutThem) {
  ActorGame a;
  Game& g = a.g;
  g.ThrowState[7] = 2;  // an older projectile of slot 7 still flying
  g.ThrowX[7] = 77;
  g.EnemyFrame[7] = 2.5f;
  g.EnemyState[7] = 12;
  g.EnemyVY[7] = -3;
  PlaceDiver(g, 1, 200, 5);
  EXPECT_FLOAT_EQ(g.EnemyX[1], 350);
  EXPECT_FLOAT_EQ(g.EnemyY[1], -150);
  PlaceHopper(g, 7, 25, 7);
  EXPECT_FLOAT_EQ(g.EnemyX[7], 30 * 7 + 25 + 30);
  EXPECT_FLOAT_EQ(g.EnemyY[7], 320);
  EXPECT_EQ(g.EnemyKind[7], 2);
  EXPECT_EQ(g.EnemyState[7], 0);
  EXPECT_EQ(g.EnemyFrame[7], 0);
  EXPECT_EQ(g.EnemyVY[7], 0);
  EXPECT_EQ(g.ThrowState[7], 2);  // the projectile flies on
  EXPECT_FLOAT_EQ(g.ThrowX[7], 77);
  PlaceFlyer(g, 16, 140, 1);
  EXPECT_FLOAT_EQ(g.EnemyX[16], 415);
  EXPECT_FLOAT_EQ(g.EnemyY[16], 260);
  PlaceRunner(g, 31, 80, 5);
  EXPECT_FLOAT_EQ(g.EnemyX[31], 630);
  EXPECT_FLOAT_EQ(g.EnemyY[31], 310);
  PlaceCarrier(g, 36, 0, 1);
  EXPECT_EQ(g.EnemyKind[36], 5);
  EXPECT_FLOAT_EQ(g.EnemyX[36], 415);
  EXPECT_FLOAT_EQ(g.EnemyY[36], 120);
  // the sums are 16-bit
  PlaceRunner(g, 32, 32700, 5);
  EXPECT_FLOAT_EQ(g.EnemyX[32], 33250 - 65536);
  // A slot outside the table changes nothing, its neighbours in memory
  // included: slot 41's kind would be EnemyX[0], here a diver's.
  g.EnemyX[0] = 1;
  std::string before;
  TraceLine(g, before);
  PlaceDiver(g, 41, 0, 1);
  PlaceDiver(g, -1, 0, 1);
  UpdateEnemy(g, 41);
  std::string after;
  TraceLine(g, after);
  EXPECT_EQ(after, before);
}

TEST(SpawnPlacing, RolledWavesShareOneBaseFromTheirRange) {
  ActorGame a;
  Game& g = a.g;
  g.KillCount = 1000;
  std::map<int, int> diverBase, hopperBase, runnerBase;
  for (int k = 0; k < 60000; ++k) {
    EmptySlots(g);
    Placed p = SpawnOnce(g, 0xABCDEFULL * static_cast<uint64_t>(k + 3));
    if (p.slot == 1) {
      const int b = static_cast<int>(g.EnemyX[1]) - 30;
      ++diverBase[b];
      for (int s = 1; s <= 5; ++s) {
        EXPECT_FLOAT_EQ(g.EnemyX[s], b + 30 * s);
        EXPECT_FLOAT_EQ(g.EnemyY[s], -30 * s);
      }
    } else if (p.slot == 6) {
      ++hopperBase[static_cast<int>(g.EnemyX[6]) - 210];
      EXPECT_FLOAT_EQ(g.EnemyX[10] - g.EnemyX[6], 120);
    } else if (p.slot == 31) {
      ++runnerBase[static_cast<int>(g.EnemyX[31]) - 450];
    }
  }
  EXPECT_EQ(diverBase.size(), 12u);
  EXPECT_EQ(diverBase.begin()->first, 200);
  EXPECT_EQ(diverBase.rbegin()->first, 475);
  EXPECT_EQ(hopperBase.size(), 3u);
  EXPECT_EQ(hopperBase.rbegin()->first, 50);
  EXPECT_EQ(runnerBase.size(), 5u);
  EXPECT_EQ(runnerBase.rbegin()->first, 80);
}

}  // namespace
}  // namespace morvik::test
