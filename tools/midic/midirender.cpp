// SPDX-License-Identifier: GPL-3.0-or-later
// midirender: plays a MIDI file through FluidSynth offline, the way the game's
// mixer does, and reports its level.
//
//   midirender SOUNDFONT FILE.mid GAIN|game [OUT.wav]
//
// Prints the peak and RMS level in dBFS and the number of clipped samples.
// Exits 1 when the piece is silent or clips. GAIN is FluidSynth's synth gain;
// "game" takes the gain the game's mixer uses for its music level.
#include <fluidsynth.h>

#include <string>

#include "platform/sdl/sdl_audio.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Put16(std::FILE* f, uint16_t v) {
  std::fputc(v & 0xFF, f);
  std::fputc(v >> 8, f);
}
void Put32(std::FILE* f, uint32_t v) {
  Put16(f, v & 0xFFFF);
  Put16(f, v >> 16);
}

bool WriteWav(const char* path, const std::vector<float>& lr, int rate) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  uint32_t bytes = static_cast<uint32_t>(lr.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, 2);
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate * 4));
  Put16(f, 4);
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, bytes);
  for (float v : lr) Put16(f, static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f))));
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: midirender SOUNDFONT FILE.mid GAIN|game [OUT.wav]\n");
    return 2;
  }
  const int rate = 44100;
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
  fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", rate);
  fluid_synth_t* synth = new_fluid_synth(settings);
  if (fluid_synth_sfload(synth, argv[1], 1) == FLUID_FAILED) {
    std::fprintf(stderr, "midirender: cannot load the soundfont %s\n", argv[1]);
    return 2;
  }
  const double gain = std::string(argv[3]) == "game" ? morvik::MusicGain(morvik::kMusicVolume) : std::atof(argv[3]);
  fluid_synth_set_gain(synth, static_cast<float>(gain));
  fluid_player_t* player = new_fluid_player(synth);
  if (fluid_player_add(player, argv[2]) != FLUID_OK || fluid_player_play(player) != FLUID_OK) {
    std::fprintf(stderr, "midirender: cannot play %s\n", argv[2]);
    return 2;
  }
  const int block = 64;
  std::vector<float> lr;
  std::vector<float> l(block), r(block);
  // Render while the sequence plays (at most ten minutes), then a second of tail.
  while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && lr.size() < static_cast<size_t>(rate) * 2 * 600) {
    fluid_synth_write_float(synth, block, l.data(), 0, 1, r.data(), 0, 1);
    for (int i = 0; i < block; ++i) {
      lr.push_back(l[i]);
      lr.push_back(r[i]);
    }
  }
  for (int k = 0; k < rate / block; ++k) {
    fluid_synth_write_float(synth, block, l.data(), 0, 1, r.data(), 0, 1);
    for (int i = 0; i < block; ++i) {
      lr.push_back(l[i]);
      lr.push_back(r[i]);
    }
  }
  double peak = 0, sum = 0;
  size_t clipped = 0;
  for (float v : lr) {
    double a = std::fabs(v);
    peak = std::max(peak, a);
    sum += a * a;
    clipped += a >= 1.0;
  }
  double rms = std::sqrt(sum / std::max<size_t>(1, lr.size()));
  auto db = [](double x) { return x > 0 ? 20.0 * std::log10(x) : -999.0; };
  // RMS up to the last audible sample (-60 dBFS), not over the silent tail.
  size_t audible = lr.size();
  while (audible > 0 && std::fabs(lr[audible - 1]) < 0.001f) --audible;
  double audibleSum = 0;
  for (size_t i = 0; i < audible; ++i) audibleSum += static_cast<double>(lr[i]) * lr[i];
  rms = std::sqrt(audibleSum / std::max<size_t>(1, audible));
  std::printf("%s: sounds for %.0f ms, gain %.3f, peak %.2f dBFS, RMS %.2f dBFS, %zu clipped samples\n", argv[2], 500.0 * static_cast<double>(audible) / rate, gain, db(peak), db(rms),
              clipped);
  if (argc > 4 && !WriteWav(argv[4], lr, rate)) std::fprintf(stderr, "midirender: cannot write %s\n", argv[4]);
  delete_fluid_player(player);
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  if (db(rms) < -40.0) {
    std::fprintf(stderr, "midirender: %s is (nearly) silent\n", argv[2]);
    return 1;
  }
  if (clipped > 0) {
    std::fprintf(stderr, "midirender: %s clips\n", argv[2]);
    return 1;
  }
  return 0;
}
