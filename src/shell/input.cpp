// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard and joystick, polled: is this key held now, where does the stick point.
#include "game.hpp"

namespace morvik {

bool KeyDown(Game& g, int vk) { return g.plat.KeyDown(vk); }

int16_t JoyInit(Game& g) {
  static const int32_t masks[5] = {0, 1, 2, 4, 8};
  for (int i = 0; i < 5; ++i) g.JoyMasks[i] = masks[i];
  g.joyArrivals = g.plat.JoyArrivals();
  g.JoyPresent = 0;
  if (g.plat.JoyCount() == 0) return 0;
  JoyReading r;
  if (!g.plat.JoyRead(0, r) && !g.plat.JoyRead(0, r)) return 0;
  g.JoyId = 0;
  g.JoyPresent = -1;
  if (g.plat.JoyRead(0, r)) {
    g.JoyRestX = static_cast<int32_t>(r.x);
    g.JoyRestY = static_cast<int32_t>(r.y);
  }
  return -1;
}

int16_t JoyRead(Game& g) {
  // A controller plugged in after start-up is taken up, its rest position
  // read when it arrives.
  if (g.plat.JoyArrivals() != g.joyArrivals) JoyInit(g);
  if (g.JoyPresent == 0) return 0;
  JoyReading r;
  int64_t x, y;
  if (g.plat.JoyRead(g.JoyId, r)) {
    x = r.x;
    y = r.y;
  } else {
    // A failed read (an unplugged controller) is a stick at rest with no buttons.
    x = g.JoyRestX;
    y = g.JoyRestY;
    r.buttons = 0;
  }
  const int64_t rx = g.JoyRestX, ry = g.JoyRestY;
  int16_t code = 0;
  if (y < ry) code = 1;
  if (x > rx) code = 3;
  if (y > ry) code = 5;
  if (x < rx) code = 7;
  if (x > rx) {
    if (y < ry) code = 2;
    if (y > ry) code = 4;
  }
  if (x < rx) {
    if (y > ry) code = 6;
    if (y < ry) code = 8;
  }
  g.JoyButtons = static_cast<int16_t>(r.buttons & 0xFFFF);
  return code;
}

}  // namespace morvik
