// Placeholder until the audio lands: silence.
#include "platform/sdl/sdl_audio.hpp"

namespace morvik {
SdlAudio::~SdlAudio() { Shutdown(); }
void SdlAudio::Init() {}
void SdlAudio::Shutdown() {}
void SdlAudio::PlayWave(const std::string&) {}
void SdlAudio::MidiCloseAll() {}
bool SdlAudio::MidiOpen(const std::string&) { return false; }
void SdlAudio::MidiPlay(bool) {}
void SdlAudio::SetVolumes(int e, int m) { effects_ = e; musicVol_ = m; }
}  // namespace morvik
