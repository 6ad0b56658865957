// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real platform: an SDL2 window (full screen on the desktop by default)
// showing M on a logical 640x480 or 320x240 screen, keyboard and game
// controllers, and sound through SDL2_mixer.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/bindings.hpp"
#include "platform/input_edges.hpp"
#include "platform/pad.hpp"
#include "core/stop_signals.hpp"
#include "platform/sdl/sdl_audio.hpp"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;
typedef struct _SDL_GameController SDL_GameController;

namespace morvik {

struct SdlOptions {
  Settings settings = DefaultSettings();  // display, volumes and bindings
  std::string dataDir;
  std::string screenshotDir;
};

// SDL's names of keys and of controller buttons and axis directions, for
// checking a settings file.
InputNames SdlInputNames();

class SdlPlatform : public InputEdges {
 public:
  // Opens the window; nullptr with a reason when there is no display.
  static std::unique_ptr<SdlPlatform> Create(const SdlOptions& o, std::string& error);
  ~SdlPlatform() override;
  // Ends the process at once, after the records are written: silences the
  // sound and exits without waiting for SDL's threads.
  [[noreturn]] void EndProcess(int status);
  SDL_Window* NativeWindow() const { return win_; }

  uint32_t Clock() override;
  void WaitUntil(uint32_t ms) override;
  void Yield() override;
  bool CloseRequested() override { return closeAsked_ || StopSignalled(); }
  void AttachScreen(const Surface* m) override { screen_ = m; dirty_ = true; }
  void SetDisplayMode(int w, int h) override { modeW_ = w, modeH_ = h, dirty_ = true; }
  void SetScreenPosition(int l, int t) override { left_ = l, top_ = t, dirty_ = true; }
  void RestoreDisplay() override;
  int DesktopDepth() override { return depth_; }
  void NoteFrame(int) override {}

  bool KeyDown(int vk) override;
  int JoyCount() override;
  bool JoyRead(int id, JoyReading& out) override;

  void ApplySettings(const Settings& s) override;

  void PlayWave(const std::string& path) override { audio_.PlayWave(path); }
  void MidiCloseAll() override { audio_.MidiCloseAll(); }
  bool MidiOpen(const std::string& path) override { return audio_.MidiOpen(path); }
  void MidiPlay(bool fromStart) override { audio_.MidiPlay(fromStart); }
  // The records and settings are plain files here.
  void RecordsWritten() override {}
  void SettingsWritten() override {}

 private:
  SdlPlatform() = default;
  // The window (sdl_window.cpp).
  bool Open(const SdlOptions& o, std::string& error);
  void ToggleFullscreen();
  static int WindowScale(int scale, int dispW, int dispH);  // 0: the largest that fits the desktop
  // The next window event: those a wait took first, then the queue's.
  bool NextEvent(SDL_Event& e);
  // How the picture reaches the window (sdl_present.cpp): a renderer, or
  // straight into the window's own pixels, which cannot smooth (`smooth`:
  // the picture is smoothed at the window's first size, so SDL's software
  // renderer draws it where there is no GL); false with a reason when
  // neither works. May make the window again (through remakeWindow) without GL.
  bool OpenPresenter(bool smooth, const std::function<bool()>& remakeWindow, std::string& error);
  void Present();
  void PresentDirect(bool full);
  bool MakeTextures();
  void DropTextures();
  // Keys and controllers (sdl_input.cpp).
  void Bind(const Settings& s);
  bool KeyHeld(int action) const;
  void OpenController(int deviceIndex);
  void CloseController();
  void OpenFirstController();
  // The controller's state now into the bindings; false when none is attached.
  bool ReadController();
  // Takes a key or controller event for the window's keys and the options screen.
  void TakeInputEvent(const SDL_Event& e);
  // F12 (sdl_screenshot.cpp).
  void TakeScreenshot();

  SdlOptions opt_;
  SDL_Window* win_ = nullptr;
  SDL_Renderer* ren_ = nullptr;
  SDL_Texture* tex_ = nullptr;
  SDL_Texture* big_ = nullptr;   // the logical screen at a whole multiple, for --smooth
  int bigW_ = 0, bigH_ = 0;
  bool targets_ = false;         // the renderer can draw into textures
  bool direct_ = false;          // no renderer: M goes into the window's pixels
  std::vector<int> columns_;     // for each column of the window's M, its column of M
  std::array<std::vector<int>, kActionCount> keys_;  // scancodes
  PadBindings pads_;
  SDL_GameController* pad_ = nullptr;
  int padInstance_ = -1;
  bool padFresh_ = false;        // opened and not yet read
  const Surface* screen_ = nullptr;
  uint32_t shownGen_ = 0;
  bool dirty_ = true;
  bool shownOnce_ = false;
  std::vector<SDL_Event> held_;  // events that woke a wait, for the next yield
  size_t heldAt_ = 0;
  bool closeAsked_ = false;
  bool fullscreen_ = true;
  int modeW_ = 640, modeH_ = 480;
  int left_ = 0, top_ = 0;
  int depth_ = 32;
  bool screenshotWanted_ = false;
  std::array<int, 6> axisWay_{};          // each controller axis: -1, 0 or 1 past the middle
  SdlAudio audio_;
};

}  // namespace morvik
