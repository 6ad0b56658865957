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

struct Settings {
  bool window = false;           // false: full screen on the desktop
  int scale = 0;                 // window size in multiples of 640x480, 0 = the largest that fits
  bool smooth = false;           // fill the screen, smoothing the last step
  int effectsVolume = kDefaultEffectsVolume;
  int musicVolume = kDefaultMusicVolume;
  // Inputs of each action: key names, and controller buttons or axis
  // directions ("a", "dpleft", "-leftx", "+righttrigger").
  std::array<std::vector<std::string>, kActionCount> keys, pad;
  // The leaderboard morvik --submit sends to (http:// or https://); none by default.
  std::string leaderboard;
};

Settings DefaultSettings();

// Tells whether a name is a key or a controller input the platform knows.
struct InputNames {
  std::function<bool(const std::string&)> isKey, isPad;
};

}  // namespace morvik
