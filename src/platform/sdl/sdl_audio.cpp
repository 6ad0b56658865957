// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_audio.hpp"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace morvik {

namespace {
constexpr int kEffectChannel = 0;

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}
}  // namespace

std::string MidiFileProblem(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return "missing";
  if (!std::filesystem::is_regular_file(path, ec)) return "cannot be read";
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot be read";
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) return "cannot be read";
  if (size > (16 << 20)) return "too large for a piece of music";
  in.seekg(0);
  std::vector<unsigned char> b(static_cast<size_t>(size));
  if (!b.empty() && !in.read(reinterpret_cast<char*>(b.data()), size)) return "cannot be read";
  auto be16 = [&](size_t at) { return (b[at] << 8) | b[at + 1]; };
  auto be32 = [&](size_t at) {
    return (static_cast<uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
  };
  if (b.size() < 14 || std::string(b.begin(), b.begin() + 4) != "MThd" || be32(4) < 6)
    return "not a Standard MIDI File";
  int format = be16(8), tracks = be16(10), division = be16(12);
  if (format > 2 || tracks == 0 || division == 0) return "not a Standard MIDI File";
  size_t at = 8 + be32(4);
  int found = 0;
  while (at + 8 <= b.size()) {
    uint32_t len = be32(at + 4);
    if (len > b.size() - at - 8) return "cut short";
    found += std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4) == "MTrk";
    at += 8 + len;
  }
  if (found < tracks) return "cut short";
  return "";
}

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

void SdlAudio::Silence() {
  if (!ok_) return;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
}

void SdlAudio::Shutdown() {
  if (!ok_) return;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  for (auto& [path, chunk] : chunks_)
    if (chunk) Mix_FreeChunk(chunk);
  DropSpare();
  if (music_) Mix_FreeMusic(music_);
  chunks_.clear();
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
    if (!c) ReportOnce("cannot play the sound " + path, Exists(path) ? Mix_GetError() : "missing");
    it = chunks_.emplace(path, c).first;
  }
  if (!it->second) return;  // a missing effect plays nothing and leaves the current one alone
  // One channel: starting an effect cuts off the one still playing.
  if (Mix_PlayChannel(kEffectChannel, it->second, 0) < 0) ReportOnce("cannot play the sound " + path, Mix_GetError());
}

void SdlAudio::StartSpare() {
  DropSpare();
  spare_.path = musicPath_;
  spare_.music = nullptr;
  // An SDL thread, so that what SDL keeps for the thread goes with it.
  spareThread_ = SDL_CreateThread(
      [](void* p) {
        auto* load = static_cast<SpareLoad*>(p);
        load->music = Mix_LoadMUS(load->path.c_str());
        return 0;
      },
      "morvik-music", &spare_);
}

Mix_Music* SdlAudio::TakeSpare() {
  if (!spareThread_) return nullptr;
  SDL_WaitThread(spareThread_, nullptr);
  spareThread_ = nullptr;
  Mix_Music* m = spare_.music;
  spare_.music = nullptr;
  return m;
}

void SdlAudio::DropSpare() {
  if (Mix_Music* m = TakeSpare()) Mix_FreeMusic(m);
}

void SdlAudio::MidiCloseAll() {
  if (!ok_) return;
  Mix_HaltMusic();
  DropSpare();
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
  musicPath_.clear();
}

bool SdlAudio::MidiOpen(const std::string& path) {
  if (!ok_) return false;
  MidiCloseAll();
  // A piece is loaded afresh at every open: the synth cannot be rewound, and
  // a piece halted half-way would otherwise go on from where it stopped.
  // The synth only looks at a file's first bytes when it is opened, and a
  // damaged one would then play nothing without a word: check it first.
  std::string problem = MidiFileProblem(path);
  if (!problem.empty()) {
    ReportOnce("cannot play the music " + path, problem);
    return false;
  }
  music_ = Mix_LoadMUS(path.c_str());
  if (!music_) {
    ReportOnce("cannot play the music " + path, Mix_GetError());
    return false;
  }
  musicPath_ = path;
  // A second copy is loaded meanwhile, off the game's thread, for the restart.
  StartSpare();
  return true;
}

void SdlAudio::MidiPlay(bool fromStart) {
  if (!ok_ || !music_) return;
  // A piece plays once and then falls silent; the game itself asks for it
  // "from 0" on the first frame after its length, and that starts it from the
  // top whether or not it has finished (after a long pause it has, and the
  // music was silent meanwhile). A piece that has ended starts again from its
  // top; one still playing cannot be rewound by the synth (it would go on from
  // where it stopped), so the copy loaded beside it takes its place (the
  // synth holds a piece as playing for two seconds past its end, so the
  // game's own restart at the length takes the copy too). Without a copy the
  // piece is loaded afresh here, which takes a moment.
  if (fromStart && Mix_PlayingMusic()) {
    Mix_Music* fresh = TakeSpare();
    if (fresh) {
      Mix_HaltMusic();
      Mix_FreeMusic(music_);
      music_ = fresh;
      StartSpare();
    } else {
      const std::string path = musicPath_;
      if (!MidiOpen(path)) return;
    }
  }
  if (Mix_PlayMusic(music_, 1) != 0) ReportOnce("cannot play the music", Mix_GetError());
}

}  // namespace morvik
