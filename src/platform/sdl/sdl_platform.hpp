// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real platform: an SDL2 window (full screen on the desktop by default)
// showing M on a logical 640x480 or 320x240 screen, keyboard and game
// controllers, and sound through SDL2_mixer.
#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/settings.hpp"
#include "platform/platform.hpp"
#include "platform/stop_signals.hpp"
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

class SdlPlatform : public Platform {
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
  void SetDisplayMode(int w, int h) override;
  void SetScreenPosition(int l, int t) override;
  void RestoreDisplay() override;
  int DesktopDepth() override { return depth_; }

  bool KeyDown(int vk) override;
  int JoyCount() override;
  bool JoyRead(int id, JoyReading& out) override;
  uint32_t JoyArrivals() override { return arrivals_; }
  bool TakeFocusLoss() override {
    const bool lost = focusLost_;
    focusLost_ = false;
    return lost;
  }

  bool TakeOptionsRequest() override;
  std::string TakeInput() override;
  void ApplySettings(const Settings& s) override;

  void PlayWave(const std::string& path) override { audio_.PlayWave(path); }
  void MidiCloseAll() override { audio_.MidiCloseAll(); }
  bool MidiOpen(const std::string& path) override { return audio_.MidiOpen(path); }
  void MidiPlay(bool fromStart) override { audio_.MidiPlay(fromStart); }

 private:
  SdlPlatform() = default;
  bool Open(const SdlOptions& o, std::string& error);
  void Present();
  // Without a renderer: M scaled into the window's own pixels.
  void PresentDirect(bool full);
  void ToggleFullscreen();
  void OpenController(int deviceIndex);
  void CloseController();
  void TakeScreenshot();
  void Bind(const Settings& s);
  static int WindowScale(int scale, int dispW, int dispH);  // 0: the largest that fits the desktop
  void KeepInput(std::string name);
  bool KeyHeld(int action) const;
  bool PadHeld(int action) const;
  bool MakeTextures();
  void DropTextures();
  // The next window event: those a wait took first, then the queue's.
  bool NextEvent(SDL_Event& e);

  // A controller input: a button, or one direction of an axis.
  struct PadInput {
    bool axis = false;
    int id = 0;
    int sign = 1;
  };
  bool PadInputHeld(const PadInput& in) const;  // held now, whether or not it waits
  bool PadInputWaits(const PadInput& in) const;

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
  std::array<std::vector<PadInput>, kActionCount> pads_;
  SDL_GameController* pad_ = nullptr;
  int padInstance_ = -1;
  bool padFresh_ = false;        // opened and not yet read
  std::vector<PadInput> padWaiting_;  // held when first read: each ignored until it is let go
  uint32_t arrivals_ = 0;
  const Surface* screen_ = nullptr;
  uint32_t shownGen_ = 0;
  bool dirty_ = true;
  bool shownOnce_ = false;
  std::vector<SDL_Event> held_;  // events that woke a wait, for the next yield
  size_t heldAt_ = 0;
  bool closeAsked_ = false;
  bool focused_ = true;
  bool focusLost_ = false;
  bool fullscreen_ = true;
  int modeW_ = 640, modeH_ = 480;
  int left_ = 0, top_ = 0;
  int depth_ = 32;
  bool screenshotWanted_ = false;
  bool optionsAsked_ = false;             // F1 or the controller's Back, for the options screen
  std::deque<std::string> inputs_;        // presses for the options screen, oldest first
  std::array<int, 6> axisWay_{};          // each controller axis: -1, 0 or 1 past the middle
  SdlAudio audio_;
};

}  // namespace morvik
