// SPDX-License-Identifier: GPL-3.0-or-later
// The browser's inputs: key and gamepad names as a settings file gives them,
// and a gamepad's settling when it arrives.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/web/web_platform.hpp"

namespace morvik {
namespace {

bool Has(const std::vector<std::string>& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

TEST(WebInput, KeyAndPadNamesMatchTheWindows) {
  // A letter is bound as labelled (Z on a keyboard whose Z lies where W is), and by its place.
  auto azertyZ = WebKeyNames("KeyW", "z");
  EXPECT_TRUE(Has(azertyZ, "Z"));
  EXPECT_TRUE(Has(azertyZ, "W"));
  EXPECT_EQ(WebKeyNames("ArrowLeft", "ArrowLeft"), std::vector<std::string>{"Left"});
  EXPECT_TRUE(Has(WebKeyNames("Numpad4", "4"), "Keypad 4"));
  EXPECT_TRUE(Has(WebKeyNames("Space", " "), "Space"));
  EXPECT_TRUE(WebKeyNames("Unidentified", "").empty());

  InputNames n = WebInputNames();
  for (const char* k : {"Left", "Space", "Z", "P", "Escape", "Left Shift", "F5", "Keypad 7", "7"}) EXPECT_TRUE(n.isKey(k)) << k;
  for (const char* k : {"", "z", "Nope", "F13", "Keypad", "Left Shiftx"}) EXPECT_FALSE(n.isKey(k)) << k;
  for (const char* p : {"a", "start", "dpleft", "-leftx", "+righty", "lefttrigger", "+righttrigger"}) EXPECT_TRUE(n.isPad(p)) << p;
  for (const char* p : {"leftx", "-lefttrigger", "+a", "trigger", ""}) EXPECT_FALSE(n.isPad(p)) << p;
  // Every default binding is one the browser knows.
  const Settings d = DefaultSettings();
  for (int a = 0; a < kActionCount; ++a) {
    for (const std::string& k : d.keys[a]) EXPECT_TRUE(n.isKey(k)) << k;
    for (const std::string& p : d.pad[a]) EXPECT_TRUE(n.isPad(p)) << p;
  }
}

TEST(WebInput, EachInputHeldAtArrivalWaitsForItsRelease) {
  PadBindings pad;
  pad.Bind(DefaultSettings());
  WebGamepad st;
  st.connected = true;
  st.buttons[14] = 1;   // dpleft
  st.buttons[0] = 1;    // a
  pad.Update(PadStateOf(st), true);
  JoyReading r = pad.Reading();
  EXPECT_EQ(r.x, 32767u);
  EXPECT_EQ(r.buttons, 0u);

  // What was not held at the arrival counts at once, while the others still wait.
  st.axes[1] = -0.9;    // the stick up
  st.buttons[9] = 1;    // start
  pad.Update(PadStateOf(st), false);
  r = pad.Reading();
  EXPECT_EQ(r.y, 0u);
  EXPECT_EQ(r.buttons, 1u);
  EXPECT_EQ(r.x, 32767u);

  // Let go, then pressed again: now it counts.
  st.buttons[14] = 0;
  st.buttons[0] = 0;
  pad.Update(PadStateOf(st), false);
  st.buttons[14] = 1;
  st.buttons[0] = 1;
  pad.Update(PadStateOf(st), false);
  r = pad.Reading();
  EXPECT_EQ(r.x, 0u);
  EXPECT_EQ(r.buttons, 3u);

  // The dead zone, and a trigger bound as the action.
  Settings s = DefaultSettings();
  s.pad[kActFire] = {"righttrigger"};
  pad.Bind(s);
  WebGamepad rest;
  rest.connected = true;
  rest.axes[0] = 0.2;
  pad.Update(PadStateOf(rest), true);
  rest.buttons[7] = 0.5;
  pad.Update(PadStateOf(rest), false);
  r = pad.Reading();
  EXPECT_EQ(r.x, 32767u);
  EXPECT_EQ(r.buttons, 2u);
  pad.Update(PadState{}, false);
  EXPECT_FALSE(pad.Connected());
  EXPECT_FALSE(pad.Held(kActFire));
}

TEST(WebInput, TheOptionsScreenTakesPressesByTheSettingsNames) {
  EXPECT_EQ(WebKeyInputName("KeyW", "z"), "Z");  // as labelled
  EXPECT_EQ(WebKeyInputName("ShiftLeft", "Shift"), "Left Shift");
  EXPECT_EQ(WebKeyInputName("Enter", "Enter"), "Return");
  EXPECT_EQ(WebKeyInputName("Unidentified", ""), "");

  // Only what changed counts: a button going down, a trigger or stick passing
  // the middle of its way; nothing from a gamepad as it arrives.
  WebGamepad a, b;
  b.connected = true;
  b.buttons[0] = 1;
  auto presses = [](const WebGamepad& x, const WebGamepad& y) { return PadPresses(PadStateOf(x), PadStateOf(y)); };
  EXPECT_TRUE(presses(a, b).empty());
  a = b;
  b.buttons[8] = 1;
  b.buttons[7] = 0.7;
  b.axes[0] = -0.8;
  b.axes[1] = 0.3;
  EXPECT_EQ(presses(a, b), (std::vector<std::string>{"back", "-leftx", "+righttrigger"}));
  EXPECT_TRUE(presses(b, b).empty());
  a = b;
  b.axes[0] = 0.9;
  EXPECT_EQ(presses(a, b), std::vector<std::string>{"+leftx"});
  PadInput in;
  for (const char* n : {"back", "+righttrigger", "-leftx"}) EXPECT_TRUE(ParsePadName(n, in)) << n;
}

}  // namespace
}  // namespace morvik
