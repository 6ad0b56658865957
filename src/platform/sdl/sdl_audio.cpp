#include "platform/sdl/sdl_audio.hpp"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace morvik {

namespace {
constexpr int kEffectChannel = 0;
}  // namespace

std::string ChooseSoundFont(const char* userSetting, const std::string& dir) {
  if (userSetting != nullptr && userSetting[0] != '\0') return userSetting;
  std::error_code ec;
  for (const char* name : {"TimGM6mb.sf2", "default-GM.sf2"}) {
    std::filesystem::path p = std::filesystem::path(dir) / name;
    if (std::filesystem::is_regular_file(p, ec)) return p.string();
  }
  // Any other soundfont there, in a stable order.
  std::vector<std::string> found;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".sf2" && it->is_regular_file(ec)) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found.empty() ? std::string() : found.front();
}

SdlAudio::~SdlAudio() { Shutdown(); }

void SdlAudio::ReportOnce(const std::string& what, const std::string& detail) {
  if (!reported_.insert(what).second) return;
  ++reports_;
  if (detail.empty())
    std::fprintf(stderr, "morvik: %s\n", what.c_str());
  else
    std::fprintf(stderr, "morvik: %s (%s)\n", what.c_str(), detail.c_str());
}

void SdlAudio::Init() {
  if (ok_) return;
  // FluidSynth needs a soundfont; SDL2_mixer reads SDL_SOUNDFONTS when a piece is loaded.
  const char* user = std::getenv("SDL_SOUNDFONTS");
  std::string font = ChooseSoundFont(user);
  if (font.empty())
    ReportOnce("no General MIDI soundfont in /usr/share/sounds/sf2 (install timgm6mb-soundfont or set SDL_SOUNDFONTS); music is off", "");
  else if (user == nullptr || user[0] == '\0')
    setenv("SDL_SOUNDFONTS", font.c_str(), 1);

  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    ReportOnce("no audio device; playing on in silence", SDL_GetError());
    return;
  }
  Mix_Init(MIX_INIT_MID);
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
    ReportOnce("no audio device; playing on in silence", Mix_GetError());
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  Mix_AllocateChannels(1);
  ok_ = true;
  SetVolumes(effects_, musicVol_);
}

void SdlAudio::Shutdown() {
  if (!ok_) return;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  for (auto& [path, chunk] : chunks_)
    if (chunk) Mix_FreeChunk(chunk);
  for (auto& [path, piece] : pieces_)
    if (piece) Mix_FreeMusic(piece);
  chunks_.clear();
  pieces_.clear();
  music_ = nullptr;
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  ok_ = false;
}

void SdlAudio::SetVolumes(int effects, int music) {
  effects_ = std::clamp(effects, 0, MIX_MAX_VOLUME);
  musicVol_ = std::clamp(music, 0, MIX_MAX_VOLUME);
  if (!ok_) return;
  Mix_Volume(-1, effects_);
  Mix_VolumeMusic(musicVol_);
}

void SdlAudio::PlayWave(const std::string& path) {
  if (!ok_) return;
  auto it = chunks_.find(path);
  if (it == chunks_.end()) {
    Mix_Chunk* c = Mix_LoadWAV(path.c_str());
    if (!c) ReportOnce("cannot play the sound " + path, Mix_GetError());
    it = chunks_.emplace(path, c).first;
  }
  if (!it->second) return;  // a missing effect plays nothing and leaves the current one alone
  // One channel: starting an effect cuts off the one still playing.
  if (Mix_PlayChannel(kEffectChannel, it->second, 0) < 0) ReportOnce("cannot play the sound " + path, Mix_GetError());
}

void SdlAudio::MidiCloseAll() {
  if (!ok_) return;
  Mix_HaltMusic();
  music_ = nullptr;
}

bool SdlAudio::MidiOpen(const std::string& path) {
  if (!ok_) return false;
  auto it = pieces_.find(path);
  if (it == pieces_.end()) {
    Mix_Music* m = Mix_LoadMUS(path.c_str());
    if (!m) ReportOnce("cannot play the music " + path, Mix_GetError());
    it = pieces_.emplace(path, m).first;
  }
  music_ = it->second;
  return music_ != nullptr;
}

void SdlAudio::MidiPlay(bool fromStart) {
  if (!ok_ || !music_) return;
  // The game loops the piece itself: it is played once, and "from 0" starts
  // it again from its beginning whether or not it has finished.
  if (fromStart) Mix_HaltMusic();
  if (Mix_PlayMusic(music_, 0) != 0) ReportOnce("cannot play the music", Mix_GetError());
}

}  // namespace morvik
