// SPDX-License-Identifier: GPL-3.0-or-later
// Joystick directions and buttons, and the keys of the headless platform.
#include <gtest/gtest.h>

#include "support.hpp"

using namespace morvik;
using morvik::test::Fixture;

namespace {
int16_t ReadAt(Fixture& f, uint32_t x, uint32_t y, uint32_t buttons = 0) {
  f.plat.SetJoystick(true, JoyReading{x, y, buttons});
  return JoyRead(*f.g);
}
}  // namespace

TEST(Joystick, NoneMeansCentreAndNoButtons) {
  Fixture f;
  EXPECT_EQ(JoyInit(*f.g), 0);
  EXPECT_EQ(f.g->JoyPresent, 0);
  EXPECT_EQ(JoyRead(*f.g), 0);
  EXPECT_EQ(f.g->JoyButtons, 0);
  EXPECT_EQ(f.g->JoyMasks[4], 8);
}

TEST(Joystick, DirectionsAgainstTheRestPosition) {
  Fixture f;
  f.plat.SetJoystick(true, JoyReading{1000, 2000, 0});
  ASSERT_EQ(JoyInit(*f.g), -1);
  EXPECT_EQ(f.g->JoyRestX, 1000);
  EXPECT_EQ(f.g->JoyRestY, 2000);
  EXPECT_EQ(ReadAt(f, 1000, 2000), 0);
  EXPECT_EQ(ReadAt(f, 1000, 1999), 1);
  EXPECT_EQ(ReadAt(f, 1001, 1999), 2);
  EXPECT_EQ(ReadAt(f, 1001, 2000), 3);  // one unit right of rest is right, for ever
  EXPECT_EQ(ReadAt(f, 1001, 2001), 4);
  EXPECT_EQ(ReadAt(f, 1000, 2001), 5);
  EXPECT_EQ(ReadAt(f, 999, 2001), 6);
  EXPECT_EQ(ReadAt(f, 999, 2000), 7);
  EXPECT_EQ(ReadAt(f, 999, 1999), 8);
}

TEST(Joystick, ButtonBits) {
  Fixture f;
  f.plat.SetJoystick(true, JoyReading{5, 5, 0});
  JoyInit(*f.g);
  ReadAt(f, 5, 5, 3);  // buttons 1 and 2: the action, not the pause
  EXPECT_EQ(f.g->JoyButtons, 3);
  ReadAt(f, 5, 5, 1);
  EXPECT_EQ(f.g->JoyButtons, 1);
}

TEST(Joystick, AFailedReadIsAtRestNotUpLeft) {
  Fixture f;
  f.plat.SetJoystick(true, JoyReading{32767, 32767, 0});
  JoyInit(*f.g);
  f.plat.SetJoystick(true, JoyReading{0, 0, 6}, /*failing=*/true);
  EXPECT_EQ(JoyRead(*f.g), 0);
  EXPECT_EQ(f.g->JoyButtons, 0);
}

TEST(Joystick, AStickThatFailsBothStartReadsIsIgnored) {
  Fixture f;
  f.plat.SetJoystick(true, JoyReading{0, 0, 0}, /*failing=*/true);
  EXPECT_EQ(JoyInit(*f.g), 0);
  f.plat.SetJoystick(true, JoyReading{0, 0, 2}, /*failing=*/true);
  EXPECT_EQ(JoyRead(*f.g), 0);
  EXPECT_EQ(f.g->JoyButtons, 0);
}

TEST(Joystick, AControllerPluggedInLaterIsTakenUpAtItsRest) {
  Fixture f;
  EXPECT_EQ(JoyInit(*f.g), 0);
  EXPECT_EQ(JoyRead(*f.g), 0);
  f.plat.SetJoystick(true, JoyReading{300, 300, 0});
  EXPECT_EQ(JoyRead(*f.g), 0);  // its rest position is read when it arrives
  EXPECT_EQ(f.g->JoyPresent, -1);
  EXPECT_EQ(ReadAt(f, 301, 300), 3);
}

TEST(Keys, ScriptedKeysAndSpaceWithZ) {
  Fixture f;
  f.plat.HoldKeys(test::kKeySpaceZ());
  EXPECT_TRUE(KeyDown(*f.g, VK_SPACE));
  EXPECT_TRUE(KeyDown(*f.g, VK_Z));
  EXPECT_FALSE(KeyDown(*f.g, VK_P));
  EXPECT_FALSE(KeyDown(*f.g, 65));
}
