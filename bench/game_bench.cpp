// SPDX-License-Identifier: GPL-3.0-or-later
// Where a frame's time goes: one full play frame on a busy field, the masked
// sprite copy, the terrain scroll and column stamp, the status display, and
// as the yardstick a plain copy of three 425 x 329 frames. The last one is
// the headless game played flat out (frames a second as a counter).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game.hpp"
#include "platform/headless/headless_platform.hpp"
#include "shell/trace.hpp"

namespace morvik {
namespace {

// The built course lies beside the executable's build tree.
std::string DataDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && std::filesystem::exists(exe.parent_path() / "Morvik_1.kvd", ec)) return exe.parent_path().string();
  return ".";
}

struct BusyField {
  HeadlessPlatform plat{5000};
  std::unique_ptr<Game> g;
  GameState start;

  explicit BusyField(uint8_t screenMode) {
    g = std::make_unique<Game>(plat);
    g->dataDir = DataDir();
    g->recordPath = "/nonexistent/Mor_vik_0.kvd";
    FillConstantTables(*g);
    g->ScreenMode = screenMode;
    PrepareCanvases(*g);
    g->playFrame = 0;
    StartStage(*g);
    for (int i = 0; i < 30; ++i) PlayFrame(*g);  // the course under way
    Game& s = *g;
    // Every group of the slot table filled with its kind.
    const float kinds[8] = {1, 2, 1, 3, 3, 2, 4, 5};
    for (int slot = 1; slot <= 40; ++slot) {
      const int group = (slot - 1) / 5;
      const int p = (slot - 1) % 5 + 1;
      const float kind = slot > 36 ? 0 : kinds[group];
      s.EnemyKind[slot] = kind;
      s.EnemyState[slot] = 0;
      s.EnemyFrame[slot] = 0;
      s.EnemyVY[slot] = 0;
      s.EnemyX[slot] = static_cast<float>(120 + 50 * p + 7 * group);
      s.EnemyY[slot] = static_cast<float>(kind == 2 || kind == 4 ? 250 : 60 + 25 * group);
      // A projectile in every thrower's slot, and the item under the Carrier.
      if (kind == 2 || kind == 4 || kind == 5) {
        s.ThrowState[slot] = 2;
        s.ThrowX[slot] = static_cast<float>(200 + 20 * p);
        s.ThrowY[slot] = static_cast<float>(150 + 10 * group);
        s.ThrowVY[slot] = 6;
        s.ThrowFrame[slot] = 0;
      }
    }
    s.SlotCount = 40;
    // Eleven balls in flight.
    s.BallMax = 10;
    for (int b = 0; b <= 10; ++b) {
      s.BallState[b] = 3;
      s.BallX[b] = static_cast<float>(60 + 25 * b);
      s.BallY[b] = static_cast<float>(80 + 15 * b);
      s.BallVX[b] = 6;
      s.BallVY[b] = -2;
    }
    s.Invincible = 30000;  // the hero stays on the field
    start = static_cast<GameState&>(s);
  }
  // Back to the busy field before each frame (a few kilobytes of state).
  void Reset() { static_cast<GameState&>(*g) = start; }
};

void BM_PlayFrameBusy(benchmark::State& state) {
  BusyField f(static_cast<uint8_t>(state.range(0)));
  for (auto _ : state) {
    f.Reset();
    PlayFrame(*f.g);
    benchmark::DoNotOptimize(f.g->Score);
  }
}
BENCHMARK(BM_PlayFrameBusy)->Arg(0)->Arg(1)->ArgName("mode");

// The state reset alone, to subtract from the frame if wanted.
void BM_BusyFieldReset(benchmark::State& state) {
  BusyField f(0);
  for (auto _ : state) {
    f.Reset();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BusyFieldReset);

void BM_ThreeFrameCopy(benchmark::State& state) {
  Surface src[3], dst[3];
  for (int i = 0; i < 3; ++i) {
    src[i].Create(425, 329, Rgb(10 * i, 20, 30));
    dst[i].Create(425, 329, kBlack);
  }
  for (auto _ : state) {
    for (int i = 0; i < 3; ++i) DrawOpaque(dst[i], 0, 0, 425, 329, src[i], 0, 0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 3 * 425 * 329 * 4);
}
BENCHMARK(BM_ThreeFrameCopy);

void BM_DrawMasked20x24(benchmark::State& state) {
  BusyField f(1);
  Surface dst(425, 329, kWhite);
  const Surface& snow = f.g->pic.Snow;
  int x = 0;
  for (auto _ : state) {
    DrawMasked(dst, 100 + (x & 63), 120, 20, 24, snow, 0, 0, 0, 24);
    ++x;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawMasked20x24);

// The three terrain canvases scrolled by the course speed and a column stamped at the right.
void BM_TerrainScroll(benchmark::State& state) {
  BusyField f(1);
  Game& g = *f.g;
  for (auto _ : state) {
    ScrollTerrain(g, 2);
    DrawNextColumn(g);
    if (g.ScrollAcc > 1000) g.ScrollAcc = 0;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TerrainScroll);

void BM_StatusDisplay(benchmark::State& state) {
  BusyField f(1);
  for (auto _ : state) {
    DrawMinimap(*f.g, f.g->pic.UraM);
    DrawStatusBar(*f.g, f.g->pic.UraM);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StatusDisplay);

// Games played flat out with the throw held, no field set up: what the
// headless game does a frame when nothing waits for the clock; with trace:1,
// a full trace line a frame written to a file as --trace writes it.
void BM_HeadlessPlay(benchmark::State& state) {
  BusyField f(static_cast<uint8_t>(state.range(0)));
  Game& g = *f.g;
  TraceWriter trace;
  const std::string tracePath = "/tmp/morvik_bench_" + std::to_string(::getpid()) + ".jsonl";
  std::string why;
  if (state.range(1) && trace.Open(tracePath, why)) g.observer = &trace;
  f.plat.HoldKeys(kKeySpace);
  StartStage(g);
  int inGame = 0;
  for (auto _ : state) {
    PlayFrame(g);
    if (++inGame == 3000 || g.Lives == 0) {  // a new game now and then, as the title would start one
      state.PauseTiming();
      EndGameCourse(g);
      StartStage(g);
      inGame = 0;
      if (g.observer) trace.Open(tracePath, why);  // the file starts again, so it stays small
      state.ResumeTiming();
    }
  }
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  g.observer = nullptr;
  std::remove(tracePath.c_str());
}
BENCHMARK(BM_HeadlessPlay)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"mode", "trace"});

}  // namespace
}  // namespace morvik

BENCHMARK_MAIN();
