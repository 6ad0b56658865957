// SPDX-License-Identifier: GPL-3.0-or-later
// The leaderboard's verifier: one known game (tests/demos/bot.demo, three
// games of 12,945 play frames in all) checked by replaying it, as a verifier
// thread does: without pictures (pictures:0, as the verifier does it) and,
// to compare, with every picture drawn (pictures:1). Counters: play frames
// replayed a second, and replays a minute of one verifier.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/verify.hpp"

#ifndef MORVIK_SOURCE_DIR
#define MORVIK_SOURCE_DIR "."
#endif

namespace morvik {
namespace {

std::string BuiltData() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "." : exe.parent_path().string();
}

void BM_VerifyKnownGame(benchmark::State& state) {
  std::ifstream f(std::string(MORVIK_SOURCE_DIR) + "/tests/demos/bot.demo", std::ios::binary);
  const std::vector<uint8_t> demo((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const std::string data = BuiltData();
  VerifyLimits limits;
  limits.pictures = state.range(0) != 0;
  int64_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const Verdict v = VerifyDemo(demo.data(), demo.size(), data, limits);
    if (v.kind != Verdict::kVerified) {
      state.SkipWithError(("not verified: " + v.reason).c_str());
      return;
    }
    frames += v.frames;
  }
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  // A plain figure (a rate counter would be shown "per second").
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["replays_per_min"] = static_cast<double>(state.iterations()) * 60.0 / seconds;
}
BENCHMARK(BM_VerifyKnownGame)->ArgName("pictures")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace morvik
