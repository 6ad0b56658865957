// SPDX-License-Identifier: GPL-3.0-or-later
// How long the music keeps the caller waiting and how late it starts, through
// SDL's disk driver at the pace of real time. A piece of one short note is
// opened and played, asked for from the top while it still plays (in its
// rest) and again after it has ended, ROUNDS times (default 5). Prints one
// line a figure, the median and the largest over the rounds:
//   call_ms      the time spent in the calls themselves (the game's thread)
//   started_ms   from the calls until the piece is started (its load done)
//   sound_ms     from the calls to its first audible sample in the output
//                (in steps of the mixer's buffer, 23 ms)
// for open (MidiOpen + MidiPlay(false)), restart (MidiPlay(true) while it
// plays) and replay (MidiPlay(true) after its end).
// Usage: morvik_music_latency [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// The first frame from `from` on that is not silence, waiting for it to be written.
size_t FirstAudible(size_t from) {
  for (int tries = 0; tries < 5000; ++tries) {
    std::ifstream in(raw, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from * 4));
    std::vector<int16_t> b(4096);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size() * 2));
    size_t got = static_cast<size_t>(in.gcount()) / 4 * 2;
    for (size_t i = 0; i < got; ++i)
      if (std::abs(b[i]) > 30) return from + i / 2;
    from += got / 2;
    if (got < b.size()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return from;
}

// One 0.3 s note of a square lead, then a rest to the end at 2 s.
void WritePiece(const std::string& path) {
  const std::string track("\x00\xC0\x50\x00\x90\x3C\x64\x82\x20\x80\x3C\x00\x8C\x60\xFF\x2F\x00", 17);
  std::string f = std::string("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14) + "MTrk";
  for (int sh = 24; sh >= 0; sh -= 8) f += static_cast<char>((track.size() >> sh) & 0xFF);
  std::ofstream(path, std::ios::binary) << f + track;
}

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char dir[] = "/tmp/morvik-latency-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  raw = std::string(dir) + "/out.raw";
  const std::string piece = std::string(dir) + "/piece.mid";
  WritePiece(piece);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "23", 1);  // a 1024-frame buffer every 23 ms
  std::map<std::string, std::vector<double>> figures;
  {
    SdlAudio audio;
    audio.Init();
    if (!audio.Ready()) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto measure = [&](const std::string& name, auto calls) {
      size_t at = Written();
      auto t0 = Clock::now();
      calls();
      figures[name + "_call_ms"].push_back(Ms(t0));
      audio.WaitForLoads();
      figures[name + "_started_ms"].push_back(Ms(t0));
      figures[name + "_sound_ms"].push_back((FirstAudible(at) - at) / 44.1);
    };
    for (int r = 0; r < rounds; ++r) {
      measure("open", [&] { audio.MidiOpen(piece); audio.MidiPlay(false); });
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
      measure("restart", [&] { audio.MidiPlay(true); });
      // Past the end and the two seconds the synth still holds the piece after it.
      std::this_thread::sleep_for(std::chrono::milliseconds(4700));
      measure("replay", [&] { audio.MidiPlay(true); });
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      audio.MidiCloseAll();
    }
    audio.Shutdown();
  }
  std::filesystem::remove_all(dir);
  for (auto& [name, v] : figures) {
    std::sort(v.begin(), v.end());
    std::printf("%s %.1f %.1f\n", name.c_str(), v[v.size() / 2], v.back());
  }
  return 0;
}
