// SPDX-License-Identifier: GPL-3.0-or-later
// The browser's inputs as the game's settings name them; no browser calls,
// so that the native tests can try them.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/web/web_platform.hpp"

namespace morvik {

namespace {

// The window's key names and the page's key codes for the same keys.
struct KeyPair {
  const char* name;
  const char* code;
};
constexpr KeyPair kKeys[] = {
    {"Left", "ArrowLeft"}, {"Right", "ArrowRight"}, {"Up", "ArrowUp"}, {"Down", "ArrowDown"},
    {"Space", "Space"}, {"Escape", "Escape"}, {"Return", "Enter"}, {"Tab", "Tab"},
    {"Backspace", "Backspace"}, {"Delete", "Delete"}, {"Insert", "Insert"}, {"Home", "Home"},
    {"End", "End"}, {"PageUp", "PageUp"}, {"PageDown", "PageDown"}, {"CapsLock", "CapsLock"},
    {"Left Shift", "ShiftLeft"}, {"Right Shift", "ShiftRight"}, {"Left Ctrl", "ControlLeft"},
    {"Right Ctrl", "ControlRight"}, {"Left Alt", "AltLeft"}, {"Right Alt", "AltRight"},
    {"Left GUI", "MetaLeft"}, {"Right GUI", "MetaRight"},
    {",", "Comma"}, {".", "Period"}, {"/", "Slash"}, {";", "Semicolon"}, {"'", "Quote"},
    {"[", "BracketLeft"}, {"]", "BracketRight"}, {"\\", "Backslash"}, {"-", "Minus"}, {"=", "Equal"}, {"`", "Backquote"},
    {"Keypad Enter", "NumpadEnter"}, {"Keypad +", "NumpadAdd"}, {"Keypad -", "NumpadSubtract"},
    {"Keypad *", "NumpadMultiply"}, {"Keypad /", "NumpadDivide"}, {"Keypad .", "NumpadDecimal"},
};

// Button names of the standard gamepad layout, by index.
constexpr const char* kButtons[] = {"a",         "b",        "x",         "y",          "leftshoulder", "rightshoulder",
                                    "lefttrigger", "righttrigger", "back", "start",      "leftstick",    "rightstick",
                                    "dpup",      "dpdown",   "dpleft",    "dpright",    "guide"};
constexpr const char* kAxes[] = {"leftx", "lefty", "rightx", "righty"};
constexpr int kLeftTrigger = 6, kRightTrigger = 7;
// The window's dead zone (8000 of 32767) on the page's -1..1 scale.
constexpr double kDeadZone = 8000.0 / 32767.0;

bool IsKeyName(const std::string& name) {
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) return std::isupper(name[0]) || std::isdigit(name[0]);
  for (const KeyPair& k : kKeys)
    if (name == k.name) return true;
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F' && name[1] != '0' &&
      std::all_of(name.begin() + 1, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return std::atoi(name.c_str() + 1) <= 12;
  if (name.rfind("Keypad ", 0) == 0 && name.size() == 8 && std::isdigit(static_cast<unsigned char>(name[7]))) return true;
  return false;
}

}  // namespace

std::vector<std::string> WebKeyNames(const std::string& code, const std::string& key) {
  std::vector<std::string> names;
  for (const KeyPair& k : kKeys)
    if (code == k.code) names.push_back(k.name);
  if (code.size() == 4 && code.rfind("Key", 0) == 0) names.push_back(code.substr(3));
  if (code.size() == 6 && code.rfind("Digit", 0) == 0) names.push_back(code.substr(5));
  if (code.size() == 7 && code.rfind("Numpad", 0) == 0 && std::isdigit(static_cast<unsigned char>(code[6])))
    names.push_back("Keypad " + code.substr(6));
  if (code.size() >= 2 && code[0] == 'F' && IsKeyName(code)) names.push_back(code);
  // Letters are bound as labelled, so Z is the key marked Z on this keyboard.
  if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0]))) {
    std::string label(1, static_cast<char>(std::toupper(static_cast<unsigned char>(key[0]))));
    if (std::find(names.begin(), names.end(), label) == names.end()) names.push_back(label);
  }
  return names;
}

std::string WebKeyInputName(const std::string& code, const std::string& key) {
  const std::vector<std::string> names = WebKeyNames(code, key);
  if (names.empty()) return "";
  // A letter or digit is bound as labelled; the label comes last.
  if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0]))) return names.back();
  return names.front();
}

std::vector<std::string> WebPadPresses(const PadState& before, const PadState& now) {
  std::vector<std::string> out;
  // What is held as a gamepad arrives was not pressed now.
  if (!now.connected || !before.connected) return out;
  auto way = [](double v) { return v > 0.5 ? 1 : v < -0.5 ? -1 : 0; };
  for (int i = 0; i < 17; ++i) {
    const size_t b = static_cast<size_t>(i);
    if (now.buttons[b] > 0.5 && before.buttons[b] <= 0.5)
      out.push_back(i == kLeftTrigger || i == kRightTrigger ? std::string("+") + kButtons[i] : kButtons[i]);
  }
  for (int i = 0; i < 4; ++i) {
    const size_t a = static_cast<size_t>(i);
    const int w = way(now.axes[a]);
    if (w != 0 && w != way(before.axes[a]))
      out.push_back(std::string(w > 0 ? "+" : "-") + kAxes[i]);
  }
  return out;
}

bool ParseWebPadName(const std::string& name, WebPadInput& in) {
  std::string n = name;
  bool signed_ = false;
  in.sign = 1;
  if (!n.empty() && (n[0] == '+' || n[0] == '-')) {
    in.sign = n[0] == '-' ? -1 : 1;
    signed_ = true;
    n.erase(0, 1);
  }
  for (int i = 0; i < 4; ++i)
    if (n == kAxes[i]) {
      if (!signed_) return false;
      in.axis = true;
      in.id = i;
      return true;
    }
  for (int i = 0; i < 17; ++i)
    if (n == kButtons[i]) {
      // A trigger pulls one way only: "lefttrigger" or "+lefttrigger".
      const bool trigger = i == kLeftTrigger || i == kRightTrigger;
      if (signed_ && (!trigger || in.sign < 0)) return false;
      in.axis = false;
      in.id = i;
      in.sign = 1;
      return true;
    }
  return false;
}

InputNames WebInputNames() {
  InputNames n;
  n.isKey = IsKeyName;
  n.isPad = [](const std::string& name) {
    WebPadInput in;
    return ParseWebPadName(name, in);
  };
  return n;
}

void WebPad::Bind(const Settings& s) {
  for (int a = 0; a < kActionCount; ++a) {
    pads_[a].clear();
    for (const std::string& name : s.pad[a]) {
      WebPadInput in;
      if (ParseWebPadName(name, in)) pads_[a].push_back(in);
    }
  }
}

bool WebPad::Raw(const WebPadInput& in) const {
  if (!st_.connected) return false;
  if (!in.axis) return st_.buttons[static_cast<size_t>(in.id)] > (in.id == kLeftTrigger || in.id == kRightTrigger ? kDeadZone : 0.5);
  const double v = st_.axes[static_cast<size_t>(in.id)];
  return in.sign > 0 ? v > kDeadZone : v < -kDeadZone;
}

void WebPad::Update(const PadState& st, bool arrived) {
  st_ = st;
  if (arrived) {
    // The game takes the first reading of a controller as its rest: what is
    // held as it arrives waits until it is let go.
    waiting_.clear();
    for (const auto& list : pads_)
      for (const WebPadInput& in : list)
        if (Raw(in)) waiting_.insert(in);
    return;
  }
  for (auto it = waiting_.begin(); it != waiting_.end();) it = Raw(*it) ? std::next(it) : waiting_.erase(it);
}

bool WebPad::Held(int action) const {
  for (const WebPadInput& in : pads_[static_cast<size_t>(action)])
    if (!waiting_.count(in) && Raw(in)) return true;
  return false;
}

JoyReading WebPad::Reading() const {
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
