// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/bindings.hpp"

#include "platform/platform.hpp"

namespace morvik {

const char* ActionName(int action) {
  static const char* const kNames[kActionCount] = {"left", "right", "jump", "down", "action", "pause", "leave"};
  return action >= 0 && action < kActionCount ? kNames[action] : "";
}

int ActionOfKey(int vk) {
  switch (vk) {
    case VK_LEFT: return kActLeft;
    case VK_RIGHT: return kActRight;
    case VK_UP: return kActJump;
    case VK_DOWN: return kActDown;
    case VK_SPACE:
    case VK_Z: return kActFire;
    case VK_P: return kActPause;
    case VK_ESCAPE: return kActLeave;
    default: return -1;
  }
}

Settings DefaultSettings() {
  Settings s;
  s.keys[kActLeft] = {"Left"};
  s.keys[kActRight] = {"Right"};
  s.keys[kActJump] = {"Up"};
  s.keys[kActDown] = {"Down"};
  s.keys[kActFire] = {"Space", "Z"};
  s.keys[kActPause] = {"P"};
  s.keys[kActLeave] = {"Escape"};
  s.pad[kActLeft] = {"dpleft", "-leftx"};
  s.pad[kActRight] = {"dpright", "+leftx"};
  s.pad[kActJump] = {"dpup", "-lefty"};
  s.pad[kActDown] = {"dpdown", "+lefty"};
  s.pad[kActFire] = {"a", "b", "x", "y"};
  s.pad[kActPause] = {"start"};
  s.pad[kActLeave] = {};
  return s;
}

}  // namespace morvik
