// SPDX-License-Identifier: GPL-3.0-or-later
// Sound effects and music.
//
// Effects are wave files played one at a time: a new one cuts off the one
// still sounding. A prioritised effect always starts and then holds off the
// frequent priority-0 hit for as many frames as its priority. Music is one
// MIDI piece at a time that the game loops itself: it knows each piece's
// length and rewinds it on the first frame after that time has passed.
#include <cstring>

#include "game.hpp"

namespace morvik {

namespace {

// Notes the effect in this frame's list for the trace (the list is bounded).
void NoteFrameSound(Game& g, const char* name) {
  if (g.frameSoundCount >= 0 && g.frameSoundCount < static_cast<int>(g.frameSounds.size()))
    g.frameSounds[g.frameSoundCount++] = name;
}

// DATA/name.ext in the game's one reused path string.
const std::string& DataPath(Game& g, const char* name, const char* ext) {
  std::string& path = g.soundPath;
  path.assign(g.dataDir);
  path += '/';
  path += name;
  path += ext;
  return path;
}

void StartWave(Game& g, const char* name) {
  g.plat.PlayWave(DataPath(g, name, ".wav"));
  NoteFrameSound(g, name);
}

}  // namespace

void PlaySound(Game& g, const char* name, int16_t priority) {
  if (name == nullptr) return;
  if (priority > 0) {
    StartWave(g, name);
    // The hold is one byte wide; a larger priority holds as long as it can.
    g.SoundHold = static_cast<uint8_t>(priority > 255 ? 255 : priority);
  } else if (priority == 0 && g.SoundHold == 0) {
    StartWave(g, name);
  }
  // A priority-0 effect during a hold, or a negative priority: nothing.
}

void PlayMusic(Game& g, const std::string& name, int32_t lengthMs) {
  g.plat.MidiCloseAll();
  if (name != "Non") {
    g.plat.MidiOpen(DataPath(g, name.c_str(), ".mid"));
    g.plat.MidiPlay(false);
    g.MusicStart = static_cast<int32_t>(g.plat.Clock());
    g.MusicLength = lengthMs;
  }
  g.MusicName = name;
}

void ServiceMusic(Game& g) {
  if (g.MusicName == "Non") return;
  if (g.MusicState == 0) {
    uint32_t now = g.plat.Clock();
    g.MusicClock = static_cast<int32_t>(now);
    // The millisecond clock wraps after 49.7 days: the time since the start
    // is taken modulo 2^32, so a piece started just before the wrap still
    // comes round on time.
    uint32_t elapsed = now - static_cast<uint32_t>(g.MusicStart);
    if (static_cast<int64_t>(elapsed) >= static_cast<int64_t>(g.MusicLength)) g.MusicState = 2;
  } else if (g.MusicState == 2) {
    g.plat.MidiPlay(true);
    g.MusicState = 0;
    g.MusicStart = static_cast<int32_t>(g.plat.Clock());
  }
}

}  // namespace morvik
