// Effects with their hold rule, the music loop, and the sound and music files
// the build makes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support.hpp"

using namespace morvik;
using morvik::test::Fixture;

namespace {

std::vector<std::string> Waves(const HeadlessPlatform& p) {
  std::vector<std::string> out;
  for (const auto& s : p.AudioLog())
    if (s.rfind("wave ", 0) == 0) out.push_back(s.substr(5));
  return out;
}

int Count(const HeadlessPlatform& p, const std::string& line) {
  int n = 0;
  for (const auto& s : p.AudioLog()) n += s == line;
  return n;
}

// Counts the hold down as each frame does, then asks for the effect.
void Frame(Game& g) {
  if (g.SoundHold > 0) --g.SoundHold;
}

}  // namespace

// ---- effects ----

TEST(PlaySound, PiroIsHeldOffWhileAHoldRunsAndPlaysOnceItEnds) {
  Fixture f;
  Game& g = *f.g;
  g.SoundHold = 3;
  PlaySound(g, "piro", 0);
  EXPECT_TRUE(Waves(f.plat).empty());
  EXPECT_EQ(g.SoundHold, 3);
  for (int i = 0; i < 2; ++i) {
    Frame(g);
    PlaySound(g, "piro", 0);
  }
  EXPECT_TRUE(Waves(f.plat).empty()) << "still held at 1";
  Frame(g);
  PlaySound(g, "piro", 0);
  ASSERT_EQ(Waves(f.plat).size(), 1u);
  EXPECT_EQ(Waves(f.plat)[0], g.dataDir + "/piro.wav");
  EXPECT_EQ(g.SoundHold, 0) << "a priority-0 effect sets no hold";
}

TEST(PlaySound, APrioritisedEffectAlwaysStartsAndTakesOverTheHold) {
  Fixture f;
  Game& g = *f.g;
  PlaySound(g, "dead", 25);
  EXPECT_EQ(g.SoundHold, 25);
  // "dead" shields itself for 25 frames (875 ms) from the hit sound.
  for (int i = 0; i < 24; ++i) {
    Frame(g);
    PlaySound(g, "piro", 0);
  }
  EXPECT_EQ(Waves(f.plat).size(), 1u);
  // An item picked up meanwhile still starts, cutting "dead" off.
  PlaySound(g, "getitem", 14);
  ASSERT_EQ(Waves(f.plat).size(), 2u);
  EXPECT_EQ(Waves(f.plat)[1], g.dataDir + "/getitem.wav");
  EXPECT_EQ(g.SoundHold, 14) << "the later effect's hold replaces the earlier one, even a shorter one";
}

TEST(PlaySound, NegativeAndOversizedPrioritiesAreSafe) {
  Fixture f;
  Game& g = *f.g;
  PlaySound(g, "piro", -1);
  EXPECT_TRUE(Waves(f.plat).empty());
  EXPECT_EQ(g.SoundHold, 0);
  PlaySound(g, "bomb", 300);
  EXPECT_EQ(Waves(f.plat).size(), 1u);
  EXPECT_EQ(g.SoundHold, 255) << "a hold wider than its byte saturates instead of wrapping to 44";
  PlaySound(g, nullptr, 5);
  EXPECT_EQ(Waves(f.plat).size(), 1u);
}

TEST(PlaySound, AMissingFileStillHoldsAndTheGameGoesOn) {
  Fixture f;
  Game& g = *f.g;
  g.dataDir = f.dir.File("nothing-here");
  PlaySound(g, "Muteki", 24);
  EXPECT_EQ(g.SoundHold, 24);
  PlaySound(g, "piro", 0);
  EXPECT_EQ(Waves(f.plat).size(), 1u);
}

TEST(PlaySound, EffectsStartedInAFrameAreListedWithinTheListsSize) {
  Fixture f;
  Game& g = *f.g;
  g.frameSoundCount = 0;
  PlaySound(g, "piro", 0);
  PlaySound(g, "1UP", 12);
  PlaySound(g, "piro", 0);  // held off: not listed
  ASSERT_EQ(g.frameSoundCount, 2);
  EXPECT_STREQ(g.frameSounds[0], "piro");
  EXPECT_STREQ(g.frameSounds[1], "1UP");
  for (int i = 0; i < 40; ++i) PlaySound(g, "bomb", 20);
  EXPECT_EQ(g.frameSoundCount, static_cast<int>(g.frameSounds.size()));
  EXPECT_EQ(Waves(f.plat).size(), 42u) << "every effect still plays when the list is full";
}

// ---- music ----

TEST(Music, StageMusicIsRewoundOnTheFrameAfterItsLength) {
  Fixture f;
  Game& g = *f.g;
  uint32_t start = f.plat.Clock();
  PlayMusic(g, "stage", 84970);
  ASSERT_GE(f.plat.AudioLog().size(), 3u);
  EXPECT_EQ(f.plat.AudioLog()[0], "midi close all");
  EXPECT_EQ(f.plat.AudioLog()[1], "midi open " + g.dataDir + "/stage.mid");
  EXPECT_EQ(f.plat.AudioLog()[2], "midi play");
  EXPECT_EQ(g.MusicName, "stage");
  EXPECT_EQ(g.MusicStart, static_cast<int32_t>(start));

  // Frames 35 ms apart: the length runs out during frame k, the rewind comes in frame k+1.
  int dueFrame = -1, rewindFrame = -1;
  for (int k = 1; k <= 2500 && rewindFrame < 0; ++k) {
    f.plat.WaitUntil(start + 35u * k);
    ServiceMusic(g);
    if (dueFrame < 0 && g.MusicState == 2) dueFrame = k;
    if (Count(f.plat, "midi play from 0") == 1) rewindFrame = k;
  }
  EXPECT_EQ(dueFrame, 2428) << "2428 x 35 = 84980 is the first frame at or past 84970";
  EXPECT_EQ(rewindFrame, dueFrame + 1);
  EXPECT_EQ(g.MusicState, 0);
  EXPECT_EQ(g.MusicStart, static_cast<int32_t>(start + 35u * rewindFrame));
  EXPECT_EQ(g.MusicClock, static_cast<int32_t>(start + 35u * dueFrame));
}

TEST(Music, ExactlyTheLengthIsEnoughToBeDue) {
  Fixture f;
  Game& g = *f.g;
  uint32_t start = f.plat.Clock();
  PlayMusic(g, "opening", 59964);
  f.plat.WaitUntil(start + 59963);
  ServiceMusic(g);
  EXPECT_EQ(g.MusicState, 0);
  f.plat.WaitUntil(start + 59964);
  ServiceMusic(g);
  EXPECT_EQ(g.MusicState, 2);
  EXPECT_EQ(Count(f.plat, "midi play from 0"), 0);
  ServiceMusic(g);
  EXPECT_EQ(Count(f.plat, "midi play from 0"), 1);
}

TEST(Music, TheLoopKeepsTimeAcrossTheClockWrap) {
  morvik::test::TempDir dir;
  HeadlessPlatform plat(0xFFFFFFFFu - 30000u);
  Game g(plat);
  g.dataDir = dir.Path();
  uint32_t start = plat.Clock();
  PlayMusic(g, "stage", 84970);
  plat.WaitUntil(start + 84969u);  // past the wrap
  ServiceMusic(g);
  EXPECT_EQ(g.MusicState, 0) << "not yet due just after the clock wrapped";
  plat.WaitUntil(start + 84970u);
  ServiceMusic(g);
  EXPECT_EQ(g.MusicState, 2);
}

TEST(Music, NonLeavesNothingPlayingAndServiceDoesNothing) {
  Fixture f;
  Game& g = *f.g;
  PlayMusic(g, "opening", 59964);
  f.plat.ClearAudioLog();
  PlayMusic(g, "Non", 0);
  ASSERT_EQ(f.plat.AudioLog().size(), 1u);
  EXPECT_EQ(f.plat.AudioLog()[0], "midi close all");
  EXPECT_EQ(g.MusicName, "Non");
  int32_t clock = g.MusicClock;
  for (int k = 1; k <= 4000; ++k) {
    f.plat.WaitUntil(f.plat.Clock() + 35);
    ServiceMusic(g);
  }
  EXPECT_EQ(f.plat.AudioLog().size(), 1u);
  EXPECT_EQ(g.MusicState, 0);
  EXPECT_EQ(g.MusicClock, clock);
}

TEST(Music, AMissingPieceStillComesRoundEveryLength) {
  Fixture f;
  Game& g = *f.g;
  g.dataDir = f.dir.File("gone");
  uint32_t start = f.plat.Clock();
  PlayMusic(g, "stage", 84970);
  for (int k = 1; k <= 3 * 2429 + 1; ++k) {
    f.plat.WaitUntil(start + 35u * k);
    ServiceMusic(g);
  }
  EXPECT_EQ(Count(f.plat, "midi play from 0"), 3);
}
