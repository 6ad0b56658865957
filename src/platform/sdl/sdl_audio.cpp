// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_audio.hpp"

#include "core/path_text.hpp"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace morvik {

namespace {
constexpr int kEffectChannel = 0;

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(PathOf(path), ec);
}

// The file heard for the piece the game names: NAME.mid is heard as NAME.ogg.
std::string RenderedPiece(const std::string& midiPath) {
  std::filesystem::path p = PathOf(midiPath);
  std::string ext = PathText(p.extension());
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".mid") p.replace_extension(".ogg");
  return PathText(p);
}

}  // namespace

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
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    ReportOnce("no audio device; playing on in silence", SDL_GetError());
    return;
  }
  Mix_Init(MIX_INIT_OGG);
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

void SdlAudio::Silence() {
  if (!ok_) return;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
}

void SdlAudio::Shutdown() {
  if (!ok_) return;
  Mix_HaltChannel(-1);
  MidiCloseAll();
  for (auto& [path, chunk] : chunks_)
    if (chunk) Mix_FreeChunk(chunk);
  chunks_.clear();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  ok_ = false;
}

void SdlAudio::SetVolumes(int effects, int music) {
  effects_ = std::clamp(effects, 0, MIX_MAX_VOLUME);
  musicVol_ = std::clamp(music, 0, MIX_MAX_VOLUME);
  if (!ok_) return;
  // The mixer keeps the music's level for every piece started later.
  Mix_Volume(-1, effects_);
  Mix_VolumeMusic(musicVol_);
}

void SdlAudio::PlayWave(const std::string& path) {
  if (!ok_) return;
  auto it = chunks_.find(path);
  if (it == chunks_.end()) {
    Mix_Chunk* c = Mix_LoadWAV(path.c_str());
    if (!c) ReportOnce("cannot play the sound " + path, Exists(path) ? Mix_GetError() : "missing");
    it = chunks_.emplace(path, c).first;
  }
  if (!it->second) return;  // a missing effect plays nothing and leaves the current one alone
  // One channel: starting an effect cuts off the one still playing.
  if (Mix_PlayChannel(kEffectChannel, it->second, 0) < 0) ReportOnce("cannot play the sound " + path, Mix_GetError());
}

void SdlAudio::MidiCloseAll() {
  if (!ok_) return;
  Mix_HaltMusic();
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
  musicPath_.clear();
}

bool SdlAudio::MidiOpen(const std::string& path) {
  if (!ok_) return false;
  MidiCloseAll();
  const std::string file = RenderedPiece(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(PathOf(file), ec)) {  // a FIFO would hold the game up at its opening
    ReportOnce("cannot play the music " + file, Exists(file) ? "not a regular file" : "missing");
    return false;
  }
  // Taken as Ogg Vorbis whatever it holds: no other decoder (nor a MIDI
  // synthesiser looking for a soundfont) is ever asked to make sense of it.
  SDL_RWops* in = SDL_RWFromFile(file.c_str(), "rb");
  music_ = in ? Mix_LoadMUSType_RW(in, MUS_OGG, SDL_TRUE) : nullptr;
  if (!music_) {
    ReportOnce("cannot play the music " + file, Mix_GetError());
    return false;
  }
  musicPath_ = file;
  return true;
}

void SdlAudio::MidiPlay(bool fromStart) {
  if (!ok_ || !music_) return;
  // "play" starts a piece that is not playing from its top, and leaves one
  // that is alone; "play from 0" starts it from its top whether or not it is
  // playing or has ended (the game asks for that when its length has passed).
  if (!fromStart && Mix_PlayingMusic()) return;
  if (Mix_PlayMusic(music_, 1) != 0) ReportOnce("cannot play the music " + musicPath_, Mix_GetError());
}

}  // namespace morvik
