// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The platform for tests, traces, demos and benchmarks: a virtual clock that
// moves only when the game waits (to the deadline) and by 1 ms at each
// yield, keys from a script (bound to the game's actions as the settings
// say, default or changed on the options screen), sound and music calls
// recorded, M kept.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/bindings.hpp"

#include "platform/headless/script.hpp"
#include "platform/input_edges.hpp"
#include "core/stop_signals.hpp"

namespace morvik {

class HeadlessPlatform : public InputEdges {
 public:
  explicit HeadlessPlatform(uint32_t clockStart = 0) : clock_(clockStart), now_(clockStart) {
    ApplySettings(DefaultSettings());
  }

  void SetScript(std::vector<ScriptEvent> events) { script_ = std::move(events); next_ = 0; }
  // The program is closed once the clock has reached ms. Script times and
  // this one are read on the clock counted on past 2^32 (the game's own
  // reading wraps there), so every value means the one moment.
  void SetUntil(uint64_t ms) { until_ = ms; hasUntil_ = true; }
  // Keys held from now on, for tests that drive the game directly.
  void HoldKeys(uint64_t keys) { SetKeys(keys); }
  uint64_t HeldKeys() const { return keys_; }
  // A joystick for tests: present or not, its reading, and whether reads fail.
  void SetJoystick(bool present, JoyReading r = {}, bool failing = false) {
    if (present && !joyPresent_) CountArrival();
    joyPresent_ = present;
    joy_ = r;
    joyFails_ = failing;
  }
  // Called at each yield and frame note, before the script; may change keys (automatic players).
  std::function<void(HeadlessPlatform&)> onInput;
  void RequestClose() { closeAsked_ = true; }
  // The window loses the focus (as another program is brought to the front).
  void LoseFocus() {
    NoteFocus(false);
    NoteFocus(true);
  }

  uint32_t Clock() override { return clock_; }
  void WaitUntil(uint32_t ms) override {
    if (static_cast<int32_t>(ms - clock_) > 0) {
      now_ += ms - clock_;
      clock_ = ms;
    }
  }
  void Yield() override;
  bool CloseRequested() override {
    return closeAsked_ || StopSignalled() || (hasUntil_ && now_ >= until_);
  }
  void AttachScreen(const Surface* m) override { screen_ = m; }
  void SetDisplayMode(int w, int h) override { modeW_ = w; modeH_ = h; }
  void SetScreenPosition(int l, int t) override { left_ = l; top_ = t; }
  void RestoreDisplay() override { restored_ = true; }
  int DesktopDepth() override { return 32; }
  void NoteFrame(int frame) override;

  bool KeyDown(int vk) override;
  int JoyCount() override { return joyPresent_ ? 1 : 0; }
  bool JoyRead(int id, JoyReading& out) override;

  bool TakeOptionsRequest() override;
  std::string TakeInput() override;
  void ApplySettings(const Settings& s) override;
  const Settings& Applied() const { return applied_; }

  // Nothing is built once the log is full (benchmarks run with it off).
  void PlayWave(const std::string& path) override {
    if (audio_.size() < audioLimit_) Log("wave " + path);
  }
  void MidiCloseAll() override { Log("midi close all"); }
  bool MidiOpen(const std::string& path) override {
    if (audio_.size() < audioLimit_) Log("midi open " + path);
    return true;
  }
  void MidiPlay(bool fromStart) override { Log(fromStart ? "midi play from 0" : "midi play"); }
  // The records and settings are plain files here.
  void RecordsWritten() override {}
  void SettingsWritten() override {}

  // What the game did, for tests.
  const std::vector<std::string>& AudioLog() const { return audio_; }
  void ClearAudioLog() { audio_.clear(); }
  void SetAudioLogLimit(size_t n) { audioLimit_ = n; }
  int ModeWidth() const { return modeW_; }
  int ModeHeight() const { return modeH_; }
  int ScreenLeft() const { return left_; }
  int ScreenTop() const { return top_; }
  bool Restored() const { return restored_; }
  int Yields() const { return yields_; }
  int Frame() const { return frame_; }
  const Surface* Screen() const { return screen_; }

 private:
  void RunScript();
  // Holds exactly `keys`; each key newly pressed is an input for the options
  // screen (F1 asks for the screen).
  void SetKeys(uint64_t keys);
  void Log(std::string s) {
    if (audio_.size() < audioLimit_) audio_.push_back(std::move(s));
  }

  uint32_t clock_;
  uint64_t now_;  // the clock, not wrapping
  uint64_t until_ = 0;
  bool hasUntil_ = false;
  bool closeAsked_ = false;
  std::vector<ScriptEvent> script_;
  size_t next_ = 0;
  uint64_t keys_ = 0;
  std::array<uint64_t, kActionCount> bound_{};  // script keys of each action
  Settings applied_;
  int frame_ = 0;
  bool joyPresent_ = false, joyFails_ = false;
  JoyReading joy_;
  const Surface* screen_ = nullptr;
  int modeW_ = 0, modeH_ = 0, left_ = 0, top_ = 0;
  bool restored_ = false;
  int yields_ = 0;
  std::vector<std::string> audio_;
  size_t audioLimit_ = 100000;
};

}  // namespace morvik
