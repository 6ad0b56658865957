// SPDX-License-Identifier: GPL-3.0-or-later
#include "probe.hpp"

#include <emscripten.h>

#include <array>
#include <cstdio>

namespace morvik {

namespace {

constexpr size_t kBalls = 11;

struct Seen {
  int frame = 0;
  float heroX = 0, heroY = 0;
  int heroState = 0, score = 0;
  bool board = false;  // the game is played on a leaderboard's ticket
  std::array<int16_t, kBalls> ballState{};
  std::array<float, kBalls> ballX{}, ballVX{};
};
Seen gSeen;

}  // namespace

void WebProbe::OnPlayFrame(Game& g) {
  gSeen.frame = g.playFrame;
  gSeen.heroX = g.HeroX;
  gSeen.heroY = g.HeroY;
  gSeen.heroState = g.HeroState;
  gSeen.score = g.Score;
  gSeen.board = g.board.playing;
  for (size_t i = 0; i < kBalls; ++i) {
    gSeen.ballState[i] = g.BallState[i];
    gSeen.ballX[i] = g.BallX[i];
    gSeen.ballVX[i] = g.BallVX[i];
  }
}

}  // namespace morvik

// {"frame":N,"heroX":X,"heroY":Y,"heroState":S,"score":P,"board":B,"balls":[[state,x,vx],...]}
extern "C" EMSCRIPTEN_KEEPALIVE const char* morvik_state() {
  using morvik::gSeen;
  static char text[1024];
  int n = std::snprintf(text, sizeof text, "{\"frame\":%d,\"heroX\":%.2f,\"heroY\":%.2f,\"heroState\":%d,\"score\":%d,\"board\":%s,\"balls\":[",
                        gSeen.frame, gSeen.heroX, gSeen.heroY, gSeen.heroState, gSeen.score,
                        gSeen.board ? "true" : "false");
  for (size_t i = 0; i < morvik::kBalls && n > 0 && n < static_cast<int>(sizeof text); ++i)
    n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%s[%d,%.2f,%.2f]", i ? "," : "",
                       gSeen.ballState[i], gSeen.ballX[i], gSeen.ballVX[i]);
  if (n > 0 && n < static_cast<int>(sizeof text) - 2) std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "]}");
  return text;
}
