// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pad.hpp"

#include <algorithm>

namespace morvik {

namespace {
constexpr const char* kButtons[kPadButtons] = {"a",         "b",          "x",           "y",            "back",
                                               "guide",     "start",      "leftstick",   "rightstick",   "leftshoulder",
                                               "rightshoulder", "dpup",   "dpdown",      "dpleft",       "dpright"};
constexpr const char* kAxes[kPadAxes] = {"leftx", "lefty", "rightx", "righty", "lefttrigger", "righttrigger"};
// A stick counts past a fifth of its way (8000 of 32767).
constexpr double kDeadZone = 8000.0 / 32767.0;

bool Trigger(int axis) { return axis == kPadLeftTrigger || axis == kPadRightTrigger; }
}  // namespace

const char* PadButtonName(int b) { return b >= 0 && b < kPadButtons ? kButtons[b] : ""; }
const char* PadAxisName(int a) { return a >= 0 && a < kPadAxes ? kAxes[a] : ""; }

bool ParsePadName(const std::string& name, PadInput& in) {
  std::string n = name;
  int sign = 1;
  const bool signed_ = !n.empty() && (n[0] == '+' || n[0] == '-');
  if (signed_) {
    sign = n[0] == '-' ? -1 : 1;
    n.erase(0, 1);
  }
  for (int i = 0; i < kPadAxes; ++i)
    if (n == kAxes[i]) {
      // A stick's direction is always said; a trigger only ever pulls up.
      if (Trigger(i) ? sign < 0 : !signed_) return false;
      in = PadInput{true, i, sign};
      return true;
    }
  if (signed_) return false;
  for (int i = 0; i < kPadButtons; ++i)
    if (n == kButtons[i]) {
      in = PadInput{false, i, 1};
      return true;
    }
  return false;
}

std::vector<std::string> PadPresses(const PadState& before, const PadState& now) {
  std::vector<std::string> out;
  if (!now.connected || !before.connected) return out;
  auto way = [](double v) { return v > 0.5 ? 1 : v < -0.5 ? -1 : 0; };
  for (int i = 0; i < kPadButtons; ++i)
    if (now.buttons[static_cast<size_t>(i)] && !before.buttons[static_cast<size_t>(i)]) out.push_back(kButtons[i]);
  for (int i = 0; i < kPadAxes; ++i) {
    const int w = way(now.axes[static_cast<size_t>(i)]);
    if (w != 0 && w != way(before.axes[static_cast<size_t>(i)])) out.push_back(std::string(w > 0 ? "+" : "-") + kAxes[i]);
  }
  return out;
}

void PadBindings::Bind(const Settings& s) {
  for (int a = 0; a < kActionCount; ++a) {
    bound_[static_cast<size_t>(a)].clear();
    for (const std::string& name : s.pad[static_cast<size_t>(a)]) {
      PadInput in;
      if (ParsePadName(name, in)) bound_[static_cast<size_t>(a)].push_back(in);
    }
  }
}

bool PadBindings::Raw(const PadInput& in) const {
  if (!st_.connected) return false;
  if (!in.axis) return st_.buttons[static_cast<size_t>(in.id)];
  const double v = st_.axes[static_cast<size_t>(in.id)];
  return in.sign > 0 ? v > kDeadZone : v < -kDeadZone;
}

void PadBindings::Update(const PadState& st, bool arrived) {
  st_ = st;
  if (arrived) {
    waiting_.clear();
    for (const auto& list : bound_)
      for (const PadInput& in : list)
        if (Raw(in) && std::find(waiting_.begin(), waiting_.end(), in) == waiting_.end()) waiting_.push_back(in);
    return;
  }
  std::erase_if(waiting_, [this](const PadInput& in) { return !Raw(in); });
}

bool PadBindings::Held(int action) const {
  for (const PadInput& in : bound_[static_cast<size_t>(action)])
    if (Raw(in) && std::find(waiting_.begin(), waiting_.end(), in) == waiting_.end()) return true;
  return false;
}

JoyReading PadBindings::Reading() const {
  JoyReading r;
  r.x = r.y = 32767;
  if (Held(kActLeft)) r.x = 0;
  else if (Held(kActRight)) r.x = 65535;
  if (Held(kActJump)) r.y = 0;
  else if (Held(kActDown)) r.y = 65535;
  if (Held(kActPause)) r.buttons |= 1u;
  if (Held(kActFire)) r.buttons |= 2u;
  return r;
}

}  // namespace morvik
