// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The browser's platform (WebAssembly): M drawn into the page's canvas at a
// whole-number scale, keys and gamepads through the page's events, sound and
// music through Web Audio, the records kept in the browser's storage. Waits
// hand control back to the browser until their deadline.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/settings.hpp"
#include "platform/platform.hpp"

namespace morvik {

// The key names a settings file may bind in the browser (the window's own
// names: "Left", "Space", "Z", "Left Shift", "Keypad 4", ...), and the
// gamepad inputs of the standard layout ("a", "dpleft", "-leftx", "lefttrigger").
InputNames WebInputNames();

// The names a key press stands for: the key's place on the keyboard, and
// for a letter or digit also the label on it.
std::vector<std::string> WebKeyNames(const std::string& code, const std::string& key);

// A gamepad input: a button of the standard layout, or one direction of a
// stick axis; the triggers are buttons that pull one way.
struct WebPadInput {
  bool axis = false;
  int id = 0;
  int sign = 1;
  bool operator<(const WebPadInput& o) const {
    return axis != o.axis ? axis < o.axis : id != o.id ? id < o.id : sign < o.sign;
  }
};
bool ParseWebPadName(const std::string& name, WebPadInput& in);

// What a gamepad shows at one moment.
struct PadState {
  bool connected = false;
  std::array<double, 4> axes{};      // -1..1
  std::array<double, 17> buttons{};  // 0..1
};

// The name a key press gives the options screen: the label for a letter or
// digit, else the key's place ("Left Shift"); "" for a key the game cannot bind.
std::string WebKeyInputName(const std::string& code, const std::string& key);

// The gamepad inputs pressed from one reading to the next, by the settings
// file's names: buttons ("a", "back"), triggers ("+lefttrigger") and stick
// directions ("-leftx") once past the middle of their way.
std::vector<std::string> WebPadPresses(const PadState& before, const PadState& now);

// The gamepad side of the platform, kept apart from the browser so that it
// can be tried with made-up readings: bindings, the dead zone, and settling
// (an input held when the gamepad arrives is ignored until it is let go;
// the others count at once).
class WebPad {
 public:
  void Bind(const Settings& s);
  // A new reading; `arrived` when this gamepad was not there before.
  void Update(const PadState& st, bool arrived);
  bool Held(int action) const;
  bool Connected() const { return st_.connected; }
  // The reading the game takes: stick at rest, minimum or maximum; button 1
  // pauses, button 2 acts.
  JoyReading Reading() const;

 private:
  bool Raw(const WebPadInput& in) const;
  std::array<std::vector<WebPadInput>, kActionCount> pads_;
  std::set<WebPadInput> waiting_;  // held at arrival, not yet let go
  PadState st_;
};

class WebPlatform : public Platform {
 public:
  explicit WebPlatform(const Settings& s);
  // The page's events stop reaching the platform once the game is over.
  ~WebPlatform() override;
  WebPlatform(const WebPlatform&) = delete;
  WebPlatform& operator=(const WebPlatform&) = delete;

  uint32_t Clock() override;
  void WaitUntil(uint32_t ms) override;
  void Yield() override;
  bool CloseRequested() override { return false; }
  void AttachScreen(const Surface* m) override { screen_ = m; dirty_ = true; }
  void SetDisplayMode(int w, int h) override;
  void SetScreenPosition(int l, int t) override;
  void RestoreDisplay() override {}
  int DesktopDepth() override { return 32; }
  void NoteFrame(int frame) override;

  bool KeyDown(int vk) override;
  int JoyCount() override;
  bool JoyRead(int id, JoyReading& out) override;
  uint32_t JoyArrivals() override { return arrivals_; }
  bool TakeFocusLoss() override {
    const bool lost = focusLost_;
    focusLost_ = false;
    return lost;
  }

  void PlayWave(const std::string& path) override;
  void MidiCloseAll() override;
  bool MidiOpen(const std::string& path) override;
  void MidiPlay(bool fromStart) override;

  bool TakeOptionsRequest() override;
  std::string TakeInput() override;
  void ApplySettings(const Settings& s) override;

  void RecordsWritten() override;
  void SettingsWritten() override;

  // Called from the page's events.
  void OnKey(bool down, const std::string& code, const std::string& key, bool repeat = false);
  void OnOptionsKey() { optionsAsked_ = true; }
  void OnFocus(bool focused);

 private:
  void Present();
  void SamplePad();
  void KeepInput(std::string name);

  double start_ = 0;
  double lastHandBack_ = 0;
  std::array<std::vector<std::string>, kActionCount> keys_;
  std::map<std::string, std::vector<std::string>> held_;  // key code -> names it stands for
  WebPad pad_;
  PadState padSeen_;  // the last reading, for the presses the options screen takes
  bool optionsAsked_ = false;
  std::deque<std::string> inputs_;
  bool window_ = false;  // the settings' display: full screen asked for when false
  int padIndex_ = -1;
  uint32_t arrivals_ = 0;
  bool focused_ = true;
  bool focusLost_ = false;
  const Surface* screen_ = nullptr;
  uint32_t shownGen_ = 0;
  bool dirty_ = true;
  int modeW_ = 640, modeH_ = 480, left_ = 0, top_ = 0;
  std::vector<uint8_t> rgba_;
};

}  // namespace morvik
