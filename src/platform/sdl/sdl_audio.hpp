// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sound for the real window over SDL2_mixer: one wave at a time (a new one
// cuts off the one playing), each file loaded once and kept; one piece of
// music at a time, played once each time (each lasts its length and a
// second of its ring, and the game asks for it from the beginning when the
// length has passed). The game names a piece by its MIDI file; what is heard
// is that piece rendered at build time, NAME.ogg beside it, streamed by the
// mixer. Opening a piece reads only the file's headers, and starting it from
// the top only rewinds the stream, so both take effect in the mixer's next
// buffer. Without a device or a file the game plays on in silence, saying
// once what is missing.
#include <map>
#include <set>
#include <string>

#include "platform/bindings.hpp"

struct Mix_Chunk;
typedef struct _Mix_Music Mix_Music;

namespace morvik {

class SdlAudio {
 public:
  SdlAudio() = default;
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;
  ~SdlAudio();

  void Init();
  void Shutdown();
  // Stops every sound at once, leaving the device open.
  void Silence();
  void PlayWave(const std::string& path);
  void MidiCloseAll();
  bool MidiOpen(const std::string& path);
  void MidiPlay(bool fromStart);
  void SetVolumes(int effects, int music);  // 0..128

  // For tests: whether a device is open, and how many problems were reported.
  bool Ready() const { return ok_; }
  int Reports() const { return reports_; }

 private:
  void ReportOnce(const std::string& what, const std::string& detail);

  bool ok_ = false;
  std::map<std::string, Mix_Chunk*> chunks_;  // nullptr: could not be loaded
  Mix_Music* music_ = nullptr;                // the piece open now
  std::string musicPath_;                     // its file ("" when none is open)

  std::set<std::string> reported_;
  int reports_ = 0;
  int effects_ = kDefaultEffectsVolume, musicVol_ = kDefaultMusicVolume;
};

}  // namespace morvik
