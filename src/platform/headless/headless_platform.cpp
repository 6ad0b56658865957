// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/headless/headless_platform.hpp"

namespace morvik {

void HeadlessPlatform::RunScript() {
  while (next_ < script_.size()) {
    const ScriptEvent& e = script_[next_];
    bool due = e.atFrame ? (frame_ >= static_cast<int>(e.when)) : (static_cast<int32_t>(clock_ - e.when) >= 0);
    if (!due) break;
    keys_ = e.keys;
    ++next_;
  }
}

void HeadlessPlatform::Yield() {
  ++clock_;
  ++yields_;
  if (onInput) onInput(*this);
  RunScript();
}

void HeadlessPlatform::NoteFrame(int frame) {
  frame_ = frame;
  if (onInput) onInput(*this);
  RunScript();
}

bool HeadlessPlatform::KeyDown(int vk) {
  RunScript();
  uint32_t bit = VkToScriptKey(vk);
  return bit != 0 && (keys_ & bit) != 0;
}

bool HeadlessPlatform::JoyRead(int id, JoyReading& out) {
  out = JoyReading{};
  if (id != 0 || !joyPresent_ || joyFails_) return false;
  out = joy_;
  return true;
}

}  // namespace morvik
