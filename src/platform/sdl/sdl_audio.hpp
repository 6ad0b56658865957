#pragma once
// Sound for the real window over SDL2_mixer: one wave at a time (a new one
// cuts off the one playing), each file loaded once and kept; one MIDI piece
// through FluidSynth with a General MIDI soundfont. Without a device, files
// or soundfont the game plays on in silence, saying once what is missing.
#include <map>
#include <set>
#include <string>

struct Mix_Chunk;
typedef struct _Mix_Music Mix_Music;

namespace morvik {

// Mixer levels (0..128). FluidSynth turns the music level into its gain as
// level x 1.2 / 128, so 40 is a gain of 0.375: the pieces peak a few dB under
// full scale and sit a little under the effects.
constexpr int kEffectsVolume = 96;
constexpr int kMusicVolume = 40;

// The soundfont SDL2_mixer should hand to FluidSynth: SDL_SOUNDFONTS when the
// user has set it, else the first General MIDI soundfont found in `dir`
// (TimGM6mb first); empty when there is none.
std::string ChooseSoundFont(const char* userSetting, const std::string& dir = "/usr/share/sounds/sf2");

class SdlAudio {
 public:
  SdlAudio() = default;
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;
  ~SdlAudio();

  void Init();
  void Shutdown();
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
  std::map<std::string, Mix_Chunk*> chunks_;     // nullptr: could not be loaded
  std::map<std::string, Mix_Music*> pieces_;     // nullptr: could not be loaded
  Mix_Music* music_ = nullptr;                   // the piece opened now
  std::set<std::string> reported_;
  int reports_ = 0;
  int effects_ = kEffectsVolume, musicVol_ = kMusicVolume;
};

}  // namespace morvik
