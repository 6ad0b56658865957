// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The words the platforms and the settings share: the actions a player can
// bind, the action each of the game's polled keys stands for, what a player
// sets once (display, volumes, bindings) and its defaults.
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace morvik {

// The game's actions a player can bind. Space and Z are one action to the
// game, so they are bound together as `action`.
enum BoundAction : int { kActLeft, kActRight, kActJump, kActDown, kActFire, kActPause, kActLeave, kActionCount };
// "left", "right", "jump", "down", "action", "pause", "leave"; "" for no action.
const char* ActionName(int action);
// The action each of the game's polled keys (VK_LEFT ... VK_ESCAPE) stands for; -1 for none.
int ActionOfKey(int vk);

// The mixer's levels (0..128) a player starts with. The pieces are rendered
// at the full music level (128) and every platform scales them by level /
// 128: at 48 they peak near -9 dBFS and the effects (made at -3 dBFS, played
// at 96/128) near -5.5 dBFS, so an effect over the loudest moment of the
// music still stays under full scale.
constexpr int kDefaultEffectsVolume = 96, kDefaultMusicVolume = 48;

// How the picture fills the screen. Off: sharp pixels, whole multiples only.
// On: sharp up to the largest whole multiple, then one smoothed step to the
// largest size that keeps the shape. Auto: as on, whenever the whole
// multiple alone would leave more than a quarter of the screen's height
// unused (640 x 480 on a 1366 x 768 screen), else as off.
enum Smoothing : int { kSmoothOff = 0, kSmoothOn = 1, kSmoothAuto = 2 };
// Whether an output of outW x outH shows the display mode modeW x modeH smoothed.
inline bool SmoothsAt(int smooth, int modeW, int modeH, int outW, int outH) {
  if (smooth != kSmoothAuto) return smooth == kSmoothOn;
  if (modeW <= 0 || modeH <= 0) return false;
  const int byW = outW / modeW, byH = outH / modeH;
  const int whole = byW < byH ? byW : byH;
  return 4 * (outH - (whole > 1 ? whole : 1) * modeH) > outH;
}

struct Settings {
  bool window = false;           // false: full screen on the desktop
  int scale = 0;                 // window size in multiples of 640x480, 0 = the largest that fits
  int smooth = kSmoothAuto;      // kSmoothOff, kSmoothOn or kSmoothAuto
  int effectsVolume = kDefaultEffectsVolume;
  int musicVolume = kDefaultMusicVolume;
  // Inputs of each action: key names, and controller buttons or axis
  // directions ("a", "dpleft", "-leftx", "+righttrigger").
  std::array<std::vector<std::string>, kActionCount> keys, pad;
  // The leaderboard morvik --submit sends to (http:// or https://); none by default.
  std::string leaderboard;
  // The name morvik --board plays under; none by default.
  std::string boardName;
};

Settings DefaultSettings();

// Tells whether a name is a key or a controller input the platform knows.
struct InputNames {
  std::function<bool(const std::string&)> isKey, isPad;
};

}  // namespace morvik
