// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the game asks of the machine it runs on. The game logic sees only
// this interface; the SDL2 window, the browser's page and the headless
// runner implement it.
#include <cstdint>
#include <string>

namespace morvik {

class Surface;
struct Settings;

// Virtual key codes the game polls.
enum Vk : int {
  VK_SPACE = 32,
  VK_ESCAPE = 27,
  VK_LEFT = 37,
  VK_UP = 38,
  VK_RIGHT = 39,
  VK_DOWN = 40,
  VK_P = 80,
  VK_Z = 90,
};

struct JoyReading {
  uint32_t x = 0, y = 0, buttons = 0;
};

// Thrown (after the Unload event has run) to end the program from inside any
// loop; main catches it. Nothing else may swallow it.
struct ProgramEnd {
  int status = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- clock ---
  virtual uint32_t Clock() = 0;             // milliseconds from any start, wrapping at 2^32
  virtual void WaitUntil(uint32_t ms) = 0;  // returns once Clock() has reached ms

  // --- window system ---
  // Lets pending window events run and shows M if it changed.
  virtual void Yield() = 0;
  // True once the window has been asked to close (or a headless run reached its end).
  virtual bool CloseRequested() = 0;
  // The picture the window shows.
  virtual void AttachScreen(const Surface* m) = 0;
  // The display mode (640x480 or 320x240) and where M lies on it.
  virtual void SetDisplayMode(int width, int height) = 0;
  virtual void SetScreenPosition(int left, int top) = 0;
  virtual void RestoreDisplay() = 0;
  virtual int DesktopDepth() = 0;
  // Told at the top of every play frame (scripts and demos count frames).
  virtual void NoteFrame(int frameInGame) = 0;

  // --- input ---
  virtual bool KeyDown(int vk) = 0;
  virtual int JoyCount() = 0;
  // Reads joystick `id`; false when the read fails.
  virtual bool JoyRead(int id, JoyReading& out) = 0;
  // Counts controller arrivals, so the game can take up one plugged in later.
  virtual uint32_t JoyArrivals() = 0;
  // True once after the window has lost the keyboard focus (the pause check
  // treats it as a press of the pause key); headless runs never lose it.
  virtual bool TakeFocusLoss() = 0;

  // --- the options screen ---
  // True once after the player asked for the options screen (F1, or the
  // controller's Back button). The inputs kept for TakeInput are dropped
  // then, so that the screen starts afresh.
  virtual bool TakeOptionsRequest() = 0;
  // The next key or controller input pressed, oldest first, by name: "key:W",
  // "key:Left Shift" (the key names of the settings file), "pad:a",
  // "pad:-leftx" (a stick or trigger pushed past the middle of its way);
  // "" when there is none. Inputs that belong to the window (F1, F11, F12,
  // Alt+Enter, the controller's Back) are not given; at most 32 are kept.
  virtual std::string TakeInput() = 0;
  // Puts settings changed on the options screen into effect at once: the
  // display, the volumes and the bindings of the game's keys.
  virtual void ApplySettings(const Settings& s) = 0;

  // --- audio ---
  // Plays one wave file; a new one cuts off the one playing. Missing files play nothing.
  virtual void PlayWave(const std::string& path) = 0;
  // The music: one piece at a time. MidiCloseAll stops and forgets it;
  // MidiOpen names the next piece by its file (false when it cannot be
  // played); MidiPlay starts it, from its beginning when asked.
  virtual void MidiCloseAll() = 0;
  virtual bool MidiOpen(const std::string& path) = 0;
  virtual void MidiPlay(bool fromStart) = 0;

  // --- files ---
  // Told after the record file has been written safely to disk, so a platform
  // whose disk is only a cache (the browser's) can make it last.
  virtual void RecordsWritten() = 0;
  // Told after the settings file has been written, likewise.
  virtual void SettingsWritten() = 0;
};

}  // namespace morvik
