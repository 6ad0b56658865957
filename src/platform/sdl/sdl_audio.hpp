// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sound for the real window over SDL2_mixer: one wave at a time (a new one
// cuts off the one playing), each file loaded once and kept; one MIDI piece
// through FluidSynth with a General MIDI soundfont, played once each time
// (each file lasts exactly the time after which the game asks for it from the
// beginning). Loading a piece means loading the whole soundfont into a new
// synth (tens of milliseconds), so pieces are loaded by a thread of their
// own, one after another, and start as soon as they are loaded; the game's
// thread never waits for one, and only one synth is alive at a time (the old
// piece is freed before the next is loaded). Without a device, files or
// soundfont the game plays on in silence, saying once what is missing.
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct Mix_Chunk;
struct SDL_Thread;
typedef struct _Mix_Music Mix_Music;

namespace morvik {

// Mixer levels (0..128). FluidSynth turns the music level into its gain as
// level x 1.2 / 128, so 48 is a gain of 0.45: the pieces peak near -10 dBFS
// and the effects (made at -3 dBFS, played at 96/128) near -5.5 dBFS, so an
// effect over the loudest moment of the music still stays under full scale.
constexpr int kEffectsVolume = 96;
constexpr int kMusicVolume = 48;
constexpr double MusicGain(int level) { return level * 1.2 / 128.0; }

// The soundfont SDL2_mixer should hand to FluidSynth: SDL_SOUNDFONTS when the
// user has set it, else the first General MIDI soundfont found in `dir`
// (TimGM6mb first); empty when there is none.
std::string ChooseSoundFont(const char* userSetting, const std::string& dir = "/usr/share/sounds/sf2");

// Why a MIDI file cannot be played ("" when it looks sound): unreadable,
// not a Standard MIDI File, or cut short before its last track.
std::string MidiFileProblem(const std::string& path);

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

  // For tests: whether a device is open, how many problems were reported,
  // and a wait until the music's loader has done all it was asked.
  bool Ready() const { return ok_; }
  int Reports() const;
  void WaitForLoads();

 private:
  void ReportOnce(const std::string& what, const std::string& detail);
  static int LoaderMain(void* self);
  void Loader();
  // With mu_ held: halts the piece, hands its synth to the loader to be
  // freed, and makes every load asked for before this one stale.
  void DropPieceLocked();

  bool ok_ = false;
  std::map<std::string, Mix_Chunk*> chunks_;     // nullptr: could not be loaded

  // The music, shared with the loader thread under mu_. A request is the
  // piece's path with pending_ set; each one bumps generation_, and a load
  // finished for an older generation is freed unheard.
  std::mutex mu_;
  std::condition_variable wake_, idle_;
  SDL_Thread* loader_ = nullptr;
  Mix_Music* music_ = nullptr;                   // the piece open now, once loaded
  std::string musicPath_;                        // its file ("" when none is open)
  std::vector<Mix_Music*> stale_;                // halted synths the loader frees
  uint64_t generation_ = 0;
  bool pending_ = false;                         // musicPath_ is to be loaded
  bool loading_ = false;                         // the loader is at work
  bool playWhenLoaded_ = false;
  bool stop_ = false;

  mutable std::mutex reportMu_;
  std::set<std::string> reported_;
  int reports_ = 0;
  int effects_ = kEffectsVolume, musicVol_ = kMusicVolume;
};

}  // namespace morvik
