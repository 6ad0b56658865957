// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Game controllers as the settings name them, the same on every platform:
// the buttons "a", "b", ... "dpright" and the axis directions "-leftx",
// "+lefttrigger"; a controller's state at one moment; and the bindings of
// the game's actions to them, with the settling of a newly arrived
// controller (an input held as it arrives waits until it is let go).
#include <array>
#include <string>
#include <vector>

#include "platform/bindings.hpp"
#include "platform/platform.hpp"

namespace morvik {

// The buttons and axes by number, in the order of SDL's game controller
// (which the window's platform reads directly).
constexpr int kPadButtons = 15, kPadAxes = 6;
constexpr int kPadLeftTrigger = 4, kPadRightTrigger = 5;  // axes that pull one way, 0..1
const char* PadButtonName(int button);
const char* PadAxisName(int axis);

// A controller input: a button, or one direction of an axis.
struct PadInput {
  bool axis = false;
  int id = 0;
  int sign = 1;
  bool operator==(const PadInput&) const = default;
};
// "a", "dpleft", "-leftx", "+lefttrigger" or "lefttrigger" (triggers pull one way only).
bool ParsePadName(const std::string& name, PadInput& in);

// What a controller shows at one moment. Sticks -1..1, triggers 0..1.
struct PadState {
  bool connected = false;
  std::array<bool, kPadButtons> buttons{};
  std::array<double, kPadAxes> axes{};
};

// The inputs pressed from one state to the next, by the settings' names: a
// button going down, a stick or trigger passing the middle of its way. None
// from a controller that was not there before.
std::vector<std::string> PadPresses(const PadState& before, const PadState& now);

// The game's actions bound to a controller's inputs.
class PadBindings {
 public:
  void Bind(const Settings& s);
  // A new state; `arrived` when it is the first of this controller: what is
  // held then waits until it is let go, each input on its own, while the
  // others count at once (so a stick drifting past the dead zone silences
  // nothing else, and a direction held while plugged in never becomes the rest).
  void Update(const PadState& st, bool arrived);
  bool Connected() const { return st_.connected; }
  bool Held(int action) const;
  // The reading the game takes: the stick at rest, minimum or maximum;
  // button 1 pauses, button 2 acts.
  JoyReading Reading() const;

 private:
  bool Raw(const PadInput& in) const;
  std::array<std::vector<PadInput>, kActionCount> bound_;
  std::vector<PadInput> waiting_;
  PadState st_;
};

}  // namespace morvik
