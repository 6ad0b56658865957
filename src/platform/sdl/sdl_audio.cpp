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

// The loader reports too: the set and the count are shared.
void SdlAudio::ReportOnce(const std::string& what, const std::string& detail) {
  std::lock_guard<std::mutex> lock(reportMu_);
  if (!reported_.insert(what).second) return;
  ++reports_;
  if (detail.empty())
    std::fprintf(stderr, "morvik: %s\n", what.c_str());
  else
    std::fprintf(stderr, "morvik: %s (%s)\n", what.c_str(), detail.c_str());
}

int SdlAudio::Reports() const {
  std::lock_guard<std::mutex> lock(reportMu_);
  return reports_;
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
  stop_ = false;
  // An SDL thread, so that what SDL keeps for the thread (its error text) goes with it.
  loader_ = SDL_CreateThread(&SdlAudio::LoaderMain, "morvik-music", this);
  if (!loader_) ReportOnce("cannot start the music's loader; music is off", SDL_GetError());
}

int SdlAudio::LoaderMain(void* self) {
  static_cast<SdlAudio*>(self)->Loader();
  return 0;
}

// Takes the newest request, frees the synths left behind, loads the piece and
// starts it if it was asked for meanwhile, unless a newer request came while
// it loaded: then it is freed unheard and the newer one is taken.
void SdlAudio::Loader() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || pending_ || !stale_.empty(); });
    if (stop_) break;
    std::vector<Mix_Music*> old;
    old.swap(stale_);
    const bool load = pending_;
    pending_ = false;
    const std::string path = musicPath_;
    const uint64_t generation = generation_;
    loading_ = true;
    lock.unlock();

    for (Mix_Music* m : old) Mix_FreeMusic(m);
    Mix_Music* fresh = load ? Mix_LoadMUS(path.c_str()) : nullptr;
    const std::string error = load && !fresh ? Mix_GetError() : "";

    lock.lock();
    loading_ = false;
    if (load && generation == generation_) {
      if (fresh) {
        music_ = fresh;
        fresh = nullptr;
        // Started under the lock, so that a halt asked for meanwhile cannot come before it.
        if (playWhenLoaded_ && Mix_PlayMusic(music_, 1) != 0)
          ReportOnce("cannot play the music " + path, Mix_GetError());
        playWhenLoaded_ = false;
      } else {
        musicPath_.clear();
        playWhenLoaded_ = false;
        ReportOnce("cannot play the music " + path, error);
      }
    }
    if (fresh) {
      lock.unlock();
      Mix_FreeMusic(fresh);
      lock.lock();
    }
    if (!pending_ && stale_.empty()) idle_.notify_all();
  }
  idle_.notify_all();
}

void SdlAudio::WaitForLoads() {
  std::unique_lock<std::mutex> lock(mu_);
  idle_.wait(lock, [this] { return !loader_ || stop_ || (!pending_ && !loading_ && stale_.empty()); });
}

void SdlAudio::DropPieceLocked() {
  Mix_HaltMusic();
  if (music_) stale_.push_back(music_);
  music_ = nullptr;
  pending_ = false;
  playWhenLoaded_ = false;
  ++generation_;
}

void SdlAudio::Silence() {
  if (!ok_) return;
  Mix_HaltChannel(-1);
  std::lock_guard<std::mutex> lock(mu_);
  Mix_HaltMusic();
  playWhenLoaded_ = false;  // a piece loading now stays quiet too
}

void SdlAudio::Shutdown() {
  if (!ok_) return;
  Mix_HaltChannel(-1);
  if (loader_) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      DropPieceLocked();
      stop_ = true;
    }
    wake_.notify_all();
    // Waits for a load under way (the only wait on the loader).
    SDL_WaitThread(loader_, nullptr);
    loader_ = nullptr;
  }
  Mix_HaltMusic();
  for (Mix_Music* m : stale_) Mix_FreeMusic(m);
  stale_.clear();
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
  musicPath_.clear();
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
  // The mixer keeps the music's level for every piece started later, loaded or not.
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
  {
    std::lock_guard<std::mutex> lock(mu_);
    DropPieceLocked();
    musicPath_.clear();
  }
  wake_.notify_all();
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
  if (!loader_) return false;
  {
    std::lock_guard<std::mutex> lock(mu_);
    musicPath_ = path;
    pending_ = true;
  }
  wake_.notify_all();
  return true;
}

void SdlAudio::MidiPlay(bool fromStart) {
  if (!ok_) return;
  // A piece plays once and then falls silent; the game itself asks for it
  // "from 0" on the first frame after its length, and that starts it from the
  // top whether or not it has finished (after a long pause it has, and the
  // music was silent meanwhile). A piece that has ended starts again from its
  // top. One still playing cannot be rewound by the synth (it would go on from
  // where it stopped, and it holds a piece as playing for two seconds past
  // its end, so the game's own restart at the length finds it so too): it is
  // halted and loaded afresh, and starts once loaded, a few frames late.
  // A piece still loading simply starts when it is loaded.
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (musicPath_.empty()) return;
    if (!music_) {
      playWhenLoaded_ = true;
      return;
    }
    if (fromStart && Mix_PlayingMusic()) {
      DropPieceLocked();
      pending_ = true;
      playWhenLoaded_ = true;
      wake = true;
    } else if (Mix_PlayMusic(music_, 1) != 0) {
      ReportOnce("cannot play the music " + musicPath_, Mix_GetError());
    }
  }
  if (wake) wake_.notify_all();
}

}  // namespace morvik
