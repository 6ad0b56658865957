// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A platform over another: every call is passed on to the platform
// underneath, and a wrapper overrides only what it changes (a demo's
// recorder and player the reads, the automatic player the keys).
#include <string>

#include "platform/platform.hpp"

namespace morvik {

class PlatformRelay : public Platform {
 public:
  explicit PlatformRelay(Platform& inner) : in_(inner) {}
  uint32_t Clock() override { return in_.Clock(); }
  void WaitUntil(uint32_t ms) override { in_.WaitUntil(ms); }
  void Yield() override { in_.Yield(); }
  bool CloseRequested() override { return in_.CloseRequested(); }
  void AttachScreen(const Surface* m) override { in_.AttachScreen(m); }
  void SetDisplayMode(int w, int h) override { in_.SetDisplayMode(w, h); }
  void SetScreenPosition(int l, int t) override { in_.SetScreenPosition(l, t); }
  void RestoreDisplay() override { in_.RestoreDisplay(); }
  int DesktopDepth() override { return in_.DesktopDepth(); }
  void NoteFrame(int f) override { in_.NoteFrame(f); }
  bool KeyDown(int vk) override { return in_.KeyDown(vk); }
  int JoyCount() override { return in_.JoyCount(); }
  bool JoyRead(int id, JoyReading& out) override { return in_.JoyRead(id, out); }
  uint32_t JoyArrivals() override { return in_.JoyArrivals(); }
  bool TakeFocusLoss() override { return in_.TakeFocusLoss(); }
  void PlayWave(const std::string& p) override { in_.PlayWave(p); }
  void MidiCloseAll() override { in_.MidiCloseAll(); }
  bool MidiOpen(const std::string& p) override { return in_.MidiOpen(p); }
  void MidiPlay(bool fromStart) override { in_.MidiPlay(fromStart); }
  bool TakeOptionsRequest() override { return in_.TakeOptionsRequest(); }
  std::string TakeInput() override { return in_.TakeInput(); }
  void ApplySettings(const Settings& s) override { in_.ApplySettings(s); }
  void RecordsWritten() override { in_.RecordsWritten(); }
  void SettingsWritten() override { in_.SettingsWritten(); }

 protected:
  Platform& in_;
};

}  // namespace morvik
