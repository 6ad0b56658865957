// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every platform with a player in front of it keeps alike: the presses
// the options screen takes, the request for that screen, the focus and its
// loss, and the count of controllers that arrived.
#include <deque>
#include <string>

#include "platform/platform.hpp"

namespace morvik {

class InputEdges : public Platform {
 public:
  uint32_t JoyArrivals() override { return arrivals_; }
  bool TakeFocusLoss() override {
    const bool lost = focusLost_;
    focusLost_ = false;
    return lost;
  }
  bool TakeOptionsRequest() override {
    if (!optionsAsked_) return false;
    optionsAsked_ = false;
    inputs_.clear();
    return true;
  }
  std::string TakeInput() override {
    if (inputs_.empty()) return "";
    std::string s = std::move(inputs_.front());
    inputs_.pop_front();
    return s;
  }

 protected:
  // A press for the options screen, by name ("key:W", "pad:-leftx"); the oldest go past 32.
  void KeepInput(std::string name) {
    if (inputs_.size() >= 32) inputs_.pop_front();
    inputs_.push_back(std::move(name));
  }
  void AskForOptions() { optionsAsked_ = true; }
  // The focus as the window system tells it. Only the loss of a focus the
  // window had counts (the game pauses on it once).
  void NoteFocus(bool focused) {
    if (!focused && focused_) focusLost_ = true;
    focused_ = focused;
  }
  bool Focused() const { return focused_; }
  void CountArrival() { ++arrivals_; }

 private:
  std::deque<std::string> inputs_;
  bool optionsAsked_ = false;
  bool focused_ = true;
  bool focusLost_ = false;
  uint32_t arrivals_ = 0;
};

}  // namespace morvik
