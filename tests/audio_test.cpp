// SPDX-License-Identifier: GPL-3.0-or-later
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

// One play frame of the game: it counts the hold down (an empty course: the
// frame itself starts no effect).
void Frame(Game& g) { PlayFrame(g); }

}  // namespace

// ---- effects ----

TEST(PlaySound, PiroIsHeldOffWhileAHoldRunsAndPlaysOnceItEnds) {
  Fixture f;
  f.Start();
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
  f.Start();
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

// ---- the files the build makes ----

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Built(const std::string& name) { return std::string(MORVIK_BINARY_DIR) + "/" + name; }

uint32_t Be(const std::vector<uint8_t>& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | b.at(at + i);
  return v;
}
uint32_t Le(const std::vector<uint8_t>& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

struct MidiSummary {
  bool ok = false;
  std::string error;
  int format = -1;
  int64_t lengthUs = 0;                // end of the last track, through the tempo map
  std::vector<int64_t> trackEnds;      // in ticks
  std::map<int, int> notesByChannel;   // channel 1..16 -> note-ons
  std::map<int, int> programByChannel;
  int unmatched = 0;                   // note-ons never turned off
  int maxVoices = 0;                   // notes sounding at once, over all channels
};

// A small reader of Standard MIDI Files, independent of the compiler.
MidiSummary ReadMidi(const std::string& path) {
  MidiSummary m;
  std::vector<uint8_t> b = ReadAll(path);
  if (b.size() < 14 || std::string(b.begin(), b.begin() + 4) != "MThd") {
    m.error = "no header";
    return m;
  }
  m.format = static_cast<int>(Be(b, 8, 2));
  int tracks = static_cast<int>(Be(b, 10, 2));
  int ppq = static_cast<int>(Be(b, 12, 2));
  std::map<int64_t, uint32_t> tempo = {{0, 500000}};
  struct Note { int64_t tick; int delta; };
  std::vector<Note> changes;  // +1 at a note-on, -1 at its note-off
  size_t at = 8 + Be(b, 4, 4);
  for (int t = 0; t < tracks; ++t) {
    if (at + 8 > b.size() || std::string(b.begin() + at, b.begin() + at + 4) != "MTrk") {
      m.error = "missing track";
      return m;
    }
    size_t end = at + 8 + Be(b, at + 4, 4);
    if (end > b.size()) {
      m.error = "track cut short";
      return m;
    }
    size_t p = at + 8;
    int64_t tick = 0;
    uint8_t running = 0;
    bool eot = false;
    std::map<int, int> on;  // channel*128+key -> count
    while (p < end && !eot) {
      uint32_t delta = 0;
      for (int k = 0; k < 4; ++k) {
        uint8_t c = b.at(p++);
        delta = (delta << 7) | (c & 0x7F);
        if (!(c & 0x80)) break;
      }
      tick += delta;
      uint8_t st = b.at(p);
      if (st & 0x80) ++p;
      else st = running;
      if (st == 0xFF) {
        uint8_t type = b.at(p++);
        uint32_t len = b.at(p++);
        if (type == 0x51) tempo[tick] = Be(b, p, 3);
        if (type == 0x2F) eot = true;
        p += len;
      } else if (st == 0xF0 || st == 0xF7) {
        p += b.at(p) + 1;
      } else {
        running = st;
        int ch = (st & 0x0F) + 1, kind = st & 0xF0;
        int d1 = b.at(p), d2 = (kind == 0xC0 || kind == 0xD0) ? 0 : b.at(p + 1);
        p += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        int key = ch * 128 + d1;
        if (kind == 0x90 && d2 > 0) {
          ++m.notesByChannel[ch];
          ++on[key];
          changes.push_back({tick, +1});
        } else if (kind == 0x80 || (kind == 0x90 && d2 == 0)) {
          if (on[key] > 0) {
            --on[key];
            changes.push_back({tick, -1});
          }
        } else if (kind == 0xC0) {
          m.programByChannel[ch] = d1;
        }
      }
    }
    if (!eot) {
      m.error = "track without an end";
      return m;
    }
    for (auto& [k, n] : on) m.unmatched += n;
    m.trackEnds.push_back(tick);
    at = end;
  }
  int64_t last = *std::max_element(m.trackEnds.begin(), m.trackEnds.end());
  // Ticks to microseconds through the tempo map.
  int64_t us = 0, prevTick = 0;
  uint32_t cur = 500000;
  for (auto& [tk, tp] : tempo) {
    if (tk >= last) break;
    us += (tk - prevTick) * cur / ppq;
    prevTick = tk;
    cur = tp;
  }
  us += (last - prevTick) * cur / ppq;
  m.lengthUs = us;
  std::stable_sort(changes.begin(), changes.end(), [](const Note& a, const Note& x) {
    return a.tick != x.tick ? a.tick < x.tick : a.delta < x.delta;
  });
  int sounding = 0;
  for (auto& c : changes) m.maxVoices = std::max(m.maxVoices, sounding += c.delta);
  m.ok = true;
  return m;
}

struct Wave {
  bool ok = false;
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<int16_t> samples;
};

Wave ReadWave(const std::string& path) {
  Wave w;
  std::vector<uint8_t> b = ReadAll(path);
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return w;
  if (Le(b, 4, 4) + 8 != b.size()) return w;
  size_t p = 12;
  bool fmt = false;
  while (p + 8 <= b.size()) {
    std::string id(b.begin() + p, b.begin() + p + 4);
    uint32_t len = Le(b, p + 4, 4);
    if (p + 8 + len > b.size()) return w;
    if (id == "fmt ") {
      w.format = static_cast<int>(Le(b, p + 8, 2));
      w.channels = static_cast<int>(Le(b, p + 10, 2));
      w.rate = static_cast<int>(Le(b, p + 12, 4));
      w.bits = static_cast<int>(Le(b, p + 22, 2));
      fmt = true;
    } else if (id == "data" && fmt) {
      for (size_t i = 0; i + 1 < len; i += 2) w.samples.push_back(static_cast<int16_t>(Le(b, p + 8 + i, 2)));
      w.ok = true;
    }
    p += 8 + len + (len & 1);
  }
  return w;
}

}  // namespace

TEST(MusicFiles, EachPieceLastsExactlyItsLoopLengthAndEndsCleanly) {
  struct Piece { const char* name; int64_t ms; };
  for (Piece piece : {Piece{"opening", 59964}, Piece{"stage", 84970}}) {
    SCOPED_TRACE(piece.name);
    MidiSummary m = ReadMidi(Built(std::string(piece.name) + ".mid"));
    ASSERT_TRUE(m.ok) << m.error;
    EXPECT_EQ(m.format, 1);
    EXPECT_EQ(m.lengthUs, piece.ms * 1000) << "to the microsecond";
    for (int64_t e : m.trackEnds) EXPECT_EQ(e, m.trackEnds.front()) << "every track ends on the loop point";
    EXPECT_EQ(m.unmatched, 0) << "no note left hanging into the restart";
    // Melody, bass, harmony and drums: at least four tuned parts and the kit.
    int tuned = 0;
    for (auto& [ch, n] : m.notesByChannel)
      if (ch != 10 && n >= 50) {
        ++tuned;
        EXPECT_TRUE(m.programByChannel.count(ch)) << "channel " << ch << " names its instrument";
      }
    EXPECT_GE(tuned, 4);
    EXPECT_GE(m.notesByChannel[10], 200) << "drums on channel 10";
    EXPECT_LE(m.maxVoices, 24) << "within what a small synth plays at once";
  }
}

TEST(MusicFiles, DamagedFilesAreNotMistakenForMusic) {
  morvik::test::TempDir dir;
  std::vector<uint8_t> whole = ReadAll(Built("stage.mid"));
  ASSERT_GT(whole.size(), 100u);
  std::ofstream(dir.File("cut.mid"), std::ios::binary).write(reinterpret_cast<const char*>(whole.data()), 60);
  EXPECT_FALSE(ReadMidi(dir.File("cut.mid")).ok);
  EXPECT_FALSE(ReadMidi(dir.File("none.mid")).ok);
}

TEST(SoundFiles, EachEffectIsMonoPcmNearMinus3dBAndEndsWithinItsHold) {
  struct Effect { const char* name; int priority; int maxMs; };
  // A prioritised effect holds the hit sound off for priority x 35 ms; it
  // should be over by then. The hit itself must be short enough to repeat.
  for (Effect e : {Effect{"piro", 0, 150}, Effect{"getitem", 14, 14 * 35}, Effect{"1UP", 12, 12 * 35},
                   Effect{"bomb", 20, 20 * 35}, Effect{"Muteki", 24, 24 * 35}, Effect{"dead", 25, 25 * 35}}) {
    SCOPED_TRACE(e.name);
    Wave w = ReadWave(Built(std::string(e.name) + ".wav"));
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.format, 1);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(w.bits, 16);
    double ms = 1000.0 * static_cast<double>(w.samples.size()) / w.rate;
    EXPECT_GT(ms, 40.0);
    EXPECT_LE(ms, e.maxMs);
    int peak = 0;
    for (int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    double db = 20 * std::log10(peak / 32768.0);
    EXPECT_GT(db, -3.5);
    EXPECT_LT(db, -2.5) << "headroom, never clipping";
    // It fades out instead of stopping on a click.
    ASSERT_GT(w.samples.size(), 10u);
    EXPECT_LT(std::abs(static_cast<int>(w.samples.back())), 200);
  }
}
