// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sound for the real window over SDL2_mixer: one wave at a time (a new one
// cuts off the one playing), each file loaded once and kept; one MIDI piece
// through FluidSynth with a General MIDI soundfont, loaded when it is opened
// (with a spare copy loaded on another thread, which takes over when the
// piece is asked for from the beginning), played once each time (each file
// lasts exactly the time after which the game asks for it from the beginning). Without a device, files or soundfont the game plays on in
// silence, saying once what is missing.
#include <map>
#include <set>
#include <string>

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

  // For tests: whether a device is open, and how many problems were reported.
  bool Ready() const { return ok_; }
  int Reports() const { return reports_; }

 private:
  void ReportOnce(const std::string& what, const std::string& detail);
  void StartSpare();        // loads a copy of the piece open now on another thread
  Mix_Music* TakeSpare();   // that copy once loaded (nullptr: none)
  void DropSpare();

  bool ok_ = false;
  std::map<std::string, Mix_Chunk*> chunks_;     // nullptr: could not be loaded
  Mix_Music* music_ = nullptr;                   // the piece open now
  std::string musicPath_;                        // and its file, to start it afresh
  struct SpareLoad {
    std::string path;
    Mix_Music* music = nullptr;
  };
  SpareLoad spare_;                              // a fresh copy of it for the next restart,
  SDL_Thread* spareThread_ = nullptr;            // loaded by this thread
  std::set<std::string> reported_;
  int reports_ = 0;
  int effects_ = kEffectsVolume, musicVol_ = kMusicVolume;
};

}  // namespace morvik
