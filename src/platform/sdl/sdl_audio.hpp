#pragma once
// Sound for the real window over SDL2_mixer: one wave at a time (a new one
// cuts off the one playing), each file loaded once and kept; one MIDI piece
// through FluidSynth with a General MIDI soundfont. Without a device, files
// or soundfont the game plays on in silence, saying once what is missing.
#include <map>
#include <string>

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
  void PlayWave(const std::string& path);
  void MidiCloseAll();
  bool MidiOpen(const std::string& path);
  void MidiPlay(bool fromStart);
  void SetVolumes(int effects, int music);  // 0..128

 private:
  bool ok_ = false;
  std::map<std::string, Mix_Chunk*> chunks_;
  Mix_Music* music_ = nullptr;
  int effects_ = 128, musicVol_ = 128;
};

}  // namespace morvik
