// SPDX-License-Identifier: GPL-3.0-or-later
// How long the music keeps the caller waiting and how late it starts, through
// SDL's disk driver at the pace of real time, with the game's own pieces
// (NAME.ogg in DATA_DIR, by default the build tree). ROUNDS times (default 5)
// the stage piece is opened and played, started from the top while it plays,
// and the opening piece opened and played over it. Prints one line a
// figure, the median and the largest over the rounds:
//   call_ms    the time spent in the calls themselves (the game's thread)
//   sound_ms   from the calls to the piece's first sample in the output file
//              (in the mixer's buffers of 23 ms; the driver's file may lag
//              the mixer by one)
// for open (MidiOpen + MidiPlay(false)), restart (MidiPlay(true) while it
// plays) and change (MidiOpen + MidiPlay(false) of the other piece).
// Usage: morvik_music_latency [ROUNDS] [DATA_DIR]
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/sdl_audio.hpp"

using namespace morvik;
using Clock = std::chrono::steady_clock;

namespace {

std::string raw;

size_t Written() {
  std::error_code ec;
  auto n = std::filesystem::file_size(raw, ec);
  return ec ? 0 : static_cast<size_t>(n / 4);
}

std::vector<int16_t> Decoded(const std::string& path) {
  std::vector<int16_t> s;
  if (Mix_Chunk* c = Mix_LoadWAV(path.c_str())) {
    s.assign(reinterpret_cast<int16_t*>(c->abuf), reinterpret_cast<int16_t*>(c->abuf) + c->alen / 2);
    Mix_FreeChunk(c);
  }
  return s;
}

// The first frame from `from` on where the output holds the piece's start.
long FindStart(const std::vector<int16_t>& out, const std::vector<int16_t>& piece, size_t from) {
  const size_t n = std::min<size_t>(piece.size(), 4096 * 2);
  for (size_t f = from; f * 2 + n <= out.size() && f < from + 44100; ++f)
    if (std::equal(piece.begin(), piece.begin() + static_cast<long>(n), out.begin() + static_cast<long>(f * 2)))
      return static_cast<long>(f);
  return -1;
}

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

struct Call {
  std::string name;
  const std::vector<int16_t>* piece;
  size_t at;
  double callMs;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string data = argc > 2 ? argv[2] : MORVIK_BINARY_DIR;
  char dir[] = "/tmp/morvik-latency-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  raw = std::string(dir) + "/out.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "23", 1);  // a 1024-frame buffer every 23 ms
  std::vector<Call> calls;
  std::vector<int16_t> stage, opening;
  {
    SdlAudio audio;
    audio.Init();
    if (!audio.Ready()) return 1;
    audio.SetVolumes(0, 128);  // the music as decoded, to be found sample for sample
    stage = Decoded(data + "/stage.ogg");
    opening = Decoded(data + "/opening.ogg");
    if (stage.empty() || opening.empty()) {
      std::fprintf(stderr, "morvik_music_latency: no stage.ogg or opening.ogg in %s\n", data.c_str());
      return 1;
    }
    auto measure = [&](const std::string& name, const std::vector<int16_t>& piece, auto run) {
      const size_t at = Written();
      const auto t0 = Clock::now();
      run();
      calls.push_back({name, &piece, at, Ms(t0)});
    };
    for (int r = 0; r < rounds; ++r) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      measure("open", stage, [&] { audio.MidiOpen(data + "/stage.mid"); audio.MidiPlay(false); });
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
      measure("restart", stage, [&] { audio.MidiPlay(true); });
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      measure("change", opening, [&] { audio.MidiOpen(data + "/opening.mid"); audio.MidiPlay(false); });
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      audio.MidiCloseAll();
    }
    audio.Shutdown();
  }
  std::ifstream in(raw, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> out(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  std::filesystem::remove_all(dir);
  std::map<std::string, std::vector<double>> figures;
  for (const Call& c : calls) {
    figures[c.name + "_call_ms"].push_back(c.callMs);
    const long start = FindStart(out, *c.piece, c.at);
    if (start < 0) std::fprintf(stderr, "morvik_music_latency: a %s never started within a second\n", c.name.c_str());
    figures[c.name + "_sound_ms"].push_back(start < 0 ? -1.0 : (static_cast<double>(start) - c.at) / 44.1);
  }
  for (auto& [name, v] : figures) {
    std::sort(v.begin(), v.end());
    std::printf("%s %.1f %.1f\n", name.c_str(), v[v.size() / 2], v.back());
  }
  return 0;
}
