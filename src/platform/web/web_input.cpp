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

PadState PadStateOf(const WebGamepad& g) {
  // The standard layout's buttons, by the game's controller numbering: a b
  // x y, the shoulders, the triggers, back, start, the sticks, the d-pad, guide.
  static constexpr int kButtonOf[17] = {0, 1, 2, 3, 9, 10, -1, -1, 4, 6, 7, 8, 11, 12, 13, 14, 5};
  PadState st;
  st.connected = g.connected;
  if (!g.connected) return st;
  for (int i = 0; i < 17; ++i)
    if (kButtonOf[i] >= 0) st.buttons[static_cast<size_t>(kButtonOf[i])] = g.buttons[static_cast<size_t>(i)] > 0.5;
  for (int i = 0; i < 4; ++i) st.axes[static_cast<size_t>(i)] = g.axes[static_cast<size_t>(i)];
  st.axes[kPadLeftTrigger] = g.buttons[6];
  st.axes[kPadRightTrigger] = g.buttons[7];
  return st;
}

InputNames WebInputNames() {
  InputNames n;
  n.isKey = IsKeyName;
  n.isPad = [](const std::string& name) {
    PadInput in;
    return ParsePadName(name, in);
  };
  return n;
}

}  // namespace morvik
