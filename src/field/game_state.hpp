// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game's shared state: every variable the parts of the game share, by
// the names and widths the game has always used. One X-macro lists them, so
// that the struct, the stage-start resets and the trace all agree.
#include <cstdint>
#include <string>
#include <type_traits>

namespace morvik {

// X(type, name, count): count 0 = a scalar, otherwise an array of that many entries.
#define MORVIK_GAME_STATE(X)                                                        \
  /* display */                                                                    \
  X(int32_t, ScreenDepth, 0)                                                       \
  X(uint8_t, ScreenMode, 0)                                                        \
  /* main timer and play loop */                                                   \
  X(int32_t, AllInterval, 0)                                                       \
  X(int16_t, QuitToTitle, 0)                                                       \
  X(uint8_t, FrameSlowdown, 0)                                                     \
  /* records */                                                                    \
  X(int32_t, BestScore, 0)                                                         \
  X(int16_t, BestCombo, 0)                                                         \
  X(int16_t, FileNumber, 0)                                                        \
  /* sound and music */                                                            \
  X(uint8_t, SoundHold, 0)                                                         \
  X(int32_t, MusicLength, 0)                                                       \
  X(int32_t, MusicStart, 0)                                                        \
  X(int32_t, MusicClock, 0)                                                        \
  X(uint8_t, MusicState, 0)                                                        \
  /* joystick */                                                                   \
  X(int16_t, JoyPresent, 0)                                                        \
  X(int32_t, JoyId, 0)                                                             \
  X(int32_t, JoyRestX, 0)                                                          \
  X(int32_t, JoyRestY, 0)                                                          \
  X(int16_t, JoyButtons, 0)                                                        \
  X(int32_t, JoyMasks, 5)                                                          \
  /* course */                                                                     \
  X(int16_t, BlockMap, 663)                                                        \
  X(int16_t, SegmentNo, 0)                                                         \
  X(int16_t, CourseState, 0)                                                       \
  X(int16_t, MapCol, 0)                                                            \
  X(int16_t, MapRow, 0)                                                            \
  X(int32_t, ScrollSpeed, 0)                                                       \
  X(float, ScrollAcc, 0)                                                           \
  /* hero and balls */                                                             \
  X(float, HeroX, 0)                                                               \
  X(float, HeroY, 0)                                                               \
  X(float, HeroVY, 0)                                                              \
  X(float, HeroFrame, 0)                                                           \
  X(uint8_t, HeroState, 0)                                                         \
  X(uint8_t, Lives, 0)                                                             \
  X(int16_t, Invincible, 0)                                                        \
  X(int16_t, BallState, 11)                                                        \
  X(float, BallX, 11)                                                              \
  X(float, BallY, 11)                                                              \
  X(float, BallVX, 11)                                                             \
  X(float, BallVY, 11)                                                             \
  X(uint8_t, BallMax, 0)                                                           \
  X(int16_t, BallNext, 0)                                                          \
  X(uint8_t, BallRate, 0)                                                          \
  X(int16_t, ChargeGauge, 0)                                                       \
  X(uint8_t, PauseLatch, 0)                                                        \
  /* view and effects */                                                           \
  X(int16_t, ViewX, 0)                                                             \
  X(int16_t, ViewY, 0)                                                             \
  X(float, BackY, 0)                                                               \
  X(int16_t, LabelIndex, 0)                                                        \
  X(int16_t, LabelTimer, 0)                                                        \
  X(uint8_t, FlashTimer, 0)                                                        \
  /* sky */                                                                        \
  X(float, CloudX, 6)                                                              \
  X(float, CloudY, 6)                                                              \
  X(uint8_t, CloudDrift, 0)                                                        \
  X(int16_t, GustPhase, 0)                                                         \
  X(uint8_t, GustTimer, 0)                                                         \
  /* slot table */                                                                 \
  X(float, EnemyKind, 41)                                                          \
  X(float, EnemyX, 41)                                                             \
  X(float, EnemyY, 41)                                                             \
  X(float, EnemyFrame, 41)                                                         \
  X(float, EnemyVY, 41)                                                            \
  X(uint8_t, EnemyState, 41)                                                       \
  X(float, ThrowX, 41)                                                             \
  X(float, ThrowY, 41)                                                             \
  X(float, ThrowFrame, 41)                                                         \
  X(float, ThrowVY, 41)                                                            \
  X(uint8_t, ThrowState, 41)                                                       \
  X(uint8_t, SlotCount, 0)                                                         \
  X(int16_t, KillCount, 0)                                                         \
  /* damage and score */                                                           \
  X(uint8_t, HitFlag, 0)                                                           \
  X(int32_t, Score, 0)                                                             \
  X(int16_t, ComboPoints, 28)                                                      \
  X(int16_t, ShotHits, 13)                                                         \
  X(float, PopX, 41)                                                               \
  X(float, PopY, 41)                                                               \
  X(uint8_t, PopValue, 41)                                                         \
  X(uint8_t, PopNext, 0)                                                           \
  X(int16_t, MaxCombo, 0)                                                          \
  /* scripted screens */                                                           \
  X(int16_t, SceneStep, 0)                                                         \
  X(float, SceneX, 13)                                                             \
  X(float, SceneY, 13)                                                             \
  X(float, SceneV, 13)                                                             \
  /* status display */                                                             \
  X(float, LifeIconFrame, 0)                                                       \
  X(int16_t, MinimapY, 0)                                                          \
  X(int16_t, MinimapVY, 0)

struct GameState {
  // Scalars are declared as plain members, arrays with their sizes.
#define MORVIK_GS_MEMBER(type, name, count) \
  std::conditional_t<(count) == 0, type, type[(count) == 0 ? 1 : (count)]> name{};
  MORVIK_GAME_STATE(MORVIK_GS_MEMBER)
#undef MORVIK_GS_MEMBER

  // The current music's name ("Non" = none; empty before the first piece).
  std::string MusicName;
};

}  // namespace morvik
