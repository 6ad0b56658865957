// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The browser's platform (WebAssembly): M drawn into the page's canvas at a
// whole-number scale, keys and gamepads through the page's events, sound and
// music through Web Audio, the records kept in the browser's storage. Waits
// hand control back to the browser until their deadline.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/bindings.hpp"
#include "platform/input_edges.hpp"
#include "platform/pad.hpp"

namespace morvik {

// The key names a settings file may bind in the browser (the window's own
// names: "Left", "Space", "Z", "Left Shift", "Keypad 4", ...), and the
// gamepad inputs of the standard layout ("a", "dpleft", "-leftx", "lefttrigger").
InputNames WebInputNames();

// The names a key press stands for: the key's place on the keyboard, and
// for a letter or digit also the label on it.
std::vector<std::string> WebKeyNames(const std::string& code, const std::string& key);

// What a gamepad of the standard layout shows at one moment, as the
// browser reports it.
struct WebGamepad {
  bool connected = false;
  std::array<double, 4> axes{};      // -1..1
  std::array<double, 17> buttons{};  // 0..1
};
// The same as the game's controllers name it: a button counts past half its
// way, the triggers (buttons here) are the axes that pull one way.
PadState PadStateOf(const WebGamepad& g);

// The name a key press gives the options screen: the label for a letter or
// digit, else the key's place ("Left Shift"); "" for a key the game cannot bind.
std::string WebKeyInputName(const std::string& code, const std::string& key);

class WebPlatform : public InputEdges {
 public:
  explicit WebPlatform(const Settings& s);
  // The page's events stop reaching the platform once the game is over.
  ~WebPlatform() override;
  WebPlatform(const WebPlatform&) = delete;
  WebPlatform& operator=(const WebPlatform&) = delete;

  uint32_t Clock() override;
  void WaitUntil(uint32_t ms) override;
  void Yield() override;
  // True once the page has asked the session to end (to start another, on a
  // leaderboard's ticket), until Reopen.
  bool CloseRequested() override { return closeAsked_; }
  void AskToClose() { closeAsked_ = true; }
  void Reopen() { closeAsked_ = false; }
  void AttachScreen(const Surface* m) override { screen_ = m; dirty_ = true; }
  void SetDisplayMode(int w, int h) override { modeW_ = w, modeH_ = h, dirty_ = true; }
  void SetScreenPosition(int l, int t) override { left_ = l, top_ = t, dirty_ = true; }
  void RestoreDisplay() override {}
  int DesktopDepth() override { return 32; }
  void NoteFrame(int frame) override;

  bool KeyDown(int vk) override;
  int JoyCount() override;
  bool JoyRead(int id, JoyReading& out) override;

  void PlayWave(const std::string& path) override;
  void MidiCloseAll() override;
  bool MidiOpen(const std::string& path) override;
  void MidiPlay(bool fromStart) override;

  void ApplySettings(const Settings& s) override;

  void RecordsWritten() override;
  void SettingsWritten() override;

  // Called from the page's events.
  void OnKey(bool down, const std::string& code, const std::string& key, bool repeat = false);
  void OnOptionsKey() { AskForOptions(); }
  void OnFocus(bool focused);

 private:
  void Present();
  void SamplePad();

  double start_ = 0;
  double lastHandBack_ = 0;
  std::array<std::vector<std::string>, kActionCount> keys_;
  std::map<std::string, std::vector<std::string>> held_;  // key code -> names it stands for
  PadBindings pad_;
  PadState padSeen_;  // the last reading, for the presses the options screen takes
  bool closeAsked_ = false;
  bool window_ = false;  // the settings' display: full screen asked for when false
  int padIndex_ = -1;
  const Surface* screen_ = nullptr;
  uint32_t shownGen_ = 0;
  bool dirty_ = true;
  int modeW_ = 640, modeH_ = 480, left_ = 0, top_ = 0;
  std::vector<uint8_t> rgba_;
};

}  // namespace morvik
