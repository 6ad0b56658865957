// SPDX-License-Identifier: GPL-3.0-or-later
// What an F12 screenshot costs the frame it is taken in: a 640 x 480 screen
// written as a PNG (to a file beside the benchmark's working directory), for
// a screen of the game's few colours (palette) and one of many (RGB).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/png.hpp"

namespace morvik {
namespace {

std::vector<uint32_t> Screen(bool manyColours) {
  std::vector<uint32_t> px(640 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      // A sky of bands, a field of blocks; or a smooth gradient in every channel.
      uint32_t c = y < 320 ? 0x4040C0u + static_cast<uint32_t>(y / 8) * 0x030302u
                           : (((x / 32 + y / 32) & 1) ? 0x6090E0u : 0x4070C0u);
      if (manyColours) c = static_cast<uint32_t>(x * 0x010000 / 3 + y * 0x000100 / 2 + (x ^ y)) & 0xFFFFFFu;
      px[static_cast<size_t>(y) * 640 + x] = c;
    }
  return px;
}

void BM_ScreenshotPng(benchmark::State& state) {
  const std::vector<uint32_t> px = Screen(state.range(0) != 0);
  const std::string path = "morvik_bench_shot_" + std::to_string(::getpid()) + ".png";
  for (auto _ : state) benchmark::DoNotOptimize(WritePng(path, px.data(), 640, 480));
  ::unlink(path.c_str());
  state.SetLabel(state.range(0) ? "many colours (RGB)" : "few colours (palette)");
}
BENCHMARK(BM_ScreenshotPng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morvik
