// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/headless/headless_platform.hpp"

namespace morvik {

void HeadlessPlatform::RunScript() {
  while (next_ < script_.size()) {
    const ScriptEvent& e = script_[next_];
    const bool due = e.atFrame ? static_cast<uint64_t>(frame_) >= e.when : now_ >= e.when;
    if (!due) break;
    ++next_;
    SetKeys(e.keys);
  }
}

void HeadlessPlatform::Yield() {
  ++clock_;
  ++now_;
  ++yields_;
  if (onInput) onInput(*this);
  RunScript();
}

void HeadlessPlatform::NoteFrame(int frame) {
  frame_ = frame;
  if (onInput) onInput(*this);
  RunScript();
}

void HeadlessPlatform::SetKeys(uint64_t keys) {
  const uint64_t pressed = keys & ~keys_;
  keys_ = keys;
  for (int i = 0; i < kScriptKeyCount; ++i) {
    const uint64_t bit = uint64_t{1} << i;
    if (!(pressed & bit)) continue;
    const std::string name = ScriptKeyName(bit);
    if (name == "F1") AskForOptions();
    else KeepInput("key:" + name);
  }
}

bool HeadlessPlatform::TakeOptionsRequest() {
  RunScript();
  return InputEdges::TakeOptionsRequest();
}

std::string HeadlessPlatform::TakeInput() {
  RunScript();
  return InputEdges::TakeInput();
}

void HeadlessPlatform::ApplySettings(const Settings& s) {
  applied_ = s;
  for (int a = 0; a < kActionCount; ++a) {
    bound_[a] = 0;
    for (const std::string& name : s.keys[a]) bound_[a] |= ScriptKeyBit(name);
  }
}

bool HeadlessPlatform::KeyDown(int vk) {
  RunScript();
  const int action = ActionOfKey(vk);
  return action >= 0 && (keys_ & bound_[action]) != 0;
}

bool HeadlessPlatform::JoyRead(int id, JoyReading& out) {
  out = JoyReading{};
  if (id != 0 || !joyPresent_ || joyFails_) return false;
  out = joy_;
  return true;
}

}  // namespace morvik
