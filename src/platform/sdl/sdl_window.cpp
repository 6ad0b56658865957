// SPDX-License-Identifier: GPL-3.0-or-later
// The real window: opening it, the clock and the waits, the window system's
// events, full screen and the window's size.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "media/surface.hpp"
#include "platform/sdl/sdl_platform.hpp"

namespace morvik {

std::unique_ptr<SdlPlatform> SdlPlatform::Create(const SdlOptions& o, std::string& error) {
  std::unique_ptr<SdlPlatform> p(new SdlPlatform());
  if (!p->Open(o, error)) return nullptr;
  return p;
}

bool SdlPlatform::Open(const SdlOptions& o, std::string& error) {
  opt_ = o;
  const Settings& set = o.settings;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    error = std::string("no display available: ") + SDL_GetError();
    return false;
  }
  // Without a display SDL falls back on drivers that draw into memory; a
  // window nobody can see is no display, unless those were asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if (driver && (!asked || !*asked) && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    SDL_Quit();
    error = "no display available";
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
    std::fprintf(stderr, "morvik: no controller support: %s\n", SDL_GetError());
  SDL_DisplayMode dm;
  int dispW = 1280, dispH = 960;
  if (SDL_GetDesktopDisplayMode(0, &dm) == 0) {
    depth_ = static_cast<int>(SDL_BITSPERPIXEL(dm.format));
    dispW = dm.w;
    dispH = dm.h;
  }
  fullscreen_ = !set.window;
  const int scale = WindowScale(set.scale, dispW, dispH);
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (fullscreen_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  const auto makeWindow = [&] {
    win_ = SDL_CreateWindow("Morvik", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640 * scale, 480 * scale, flags);
    if (!win_) {
      error = std::string("cannot open a window: ") + SDL_GetError();
      return false;
    }
    SDL_SetWindowMinimumSize(win_, 320, 240);
    return true;
  };
  // Whether the picture is smoothed at the window's first size, in either mode.
  const int firstW = fullscreen_ ? dispW : 640 * scale, firstH = fullscreen_ ? dispH : 480 * scale;
  const bool smooths = SmoothsAt(set.smooth, 640, 480, firstW, firstH) || SmoothsAt(set.smooth, 320, 240, firstW, firstH);
  if (!makeWindow() || !OpenPresenter(smooths, makeWindow, error)) {
    if (win_) SDL_DestroyWindow(win_);
    win_ = nullptr;
    SDL_Quit();
    return false;
  }
  Bind(set);
  if (fullscreen_) SDL_ShowCursor(SDL_DISABLE);
  OpenFirstController();
  audio_.Init();
  audio_.SetVolumes(set.effectsVolume, set.musicVolume);
  return true;
}

SdlPlatform::~SdlPlatform() {
  audio_.Shutdown();
  CloseController();
  DropTextures();
  if (ren_) SDL_DestroyRenderer(ren_);
  if (win_) SDL_DestroyWindow(win_);
  SDL_Quit();
}

void SdlPlatform::EndProcess(int status) {
  // The display mode was never changed (the logical screen is scaled on the
  // desktop's own mode), so the window system takes the window, the grabs and
  // the controller down with the connection; tearing SDL down by hand would
  // only wait on its video and audio threads.
  audio_.Silence();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

uint32_t SdlPlatform::Clock() { return SDL_GetTicks(); }

void SdlPlatform::WaitUntil(uint32_t ms) {
  // Sleep on the window system's queue until the deadline. An event wakes the
  // wait and is kept for the next yield (the keyboard's state is already up
  // to date when it arrives); a close cuts the wait short, and the next yield
  // ends the program. While a joystick is plugged in SDL would look at the
  // queue every millisecond, so the wait sleeps in slices of its own instead.
  // The last millisecond passes in short sleeps, so that the wait ends as
  // the clock turns, not up to a millisecond after.
  const bool slices = SDL_NumJoysticks() > 0;
  for (;;) {
    const int32_t left = static_cast<int32_t>(ms - SDL_GetTicks());
    if (left <= 0) return;
    // A stop signal (SIGTERM, SIGINT, SIGHUP) ends the wait as a close does;
    // a signal that lands in a blocked wait ends it within the wait's timeout.
    if (StopSignalled()) return;
    if (left == 1) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      continue;
    }
    // (Also once a wait has kept many events that no yield has taken yet:
    // the rest stay in SDL's queue.)
    if (slices || held_.size() >= 4096) {
      SDL_Delay(static_cast<Uint32>(std::min(left - 1, 4)));
      SDL_PumpEvents();
      if (SDL_HasEvent(SDL_QUIT)) return;
      continue;
    }
    // In slices of a fifth of a second at most, so that a stop signal is
    // seen however far off the deadline is.
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, std::min(left - 1, 200)) == 0) continue;
    held_.push_back(e);
    if (e.type == SDL_QUIT || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) return;
  }
}

bool SdlPlatform::NextEvent(SDL_Event& e) {
  if (heldAt_ < held_.size()) {
    e = held_[heldAt_++];
    return true;
  }
  held_.clear();
  heldAt_ = 0;
  return SDL_PollEvent(&e) != 0;
}

int SdlPlatform::WindowScale(int scale, int dispW, int dispH) {
  if (scale > 0) return scale;
  return std::max(1, std::min((dispW * 9 / 10) / 640, (dispH * 9 / 10) / 480));
}

void SdlPlatform::ApplySettings(const Settings& s) {
  const Settings old = opt_.settings;
  opt_.settings = s;
  Bind(s);
  audio_.SetVolumes(s.effectsVolume, s.musicVolume);
  if (s.window != old.window && s.window == fullscreen_) ToggleFullscreen();
  if (s.window && (s.window != old.window || s.scale != old.scale)) {
    SDL_DisplayMode dm;
    int dispW = 1280, dispH = 960;
    if (SDL_GetDesktopDisplayMode(0, &dm) == 0) {
      dispW = dm.w;
      dispH = dm.h;
    }
    const int k = WindowScale(s.scale, dispW, dispH);
    SDL_SetWindowSize(win_, 640 * k, 480 * k);
    SDL_SetWindowPosition(win_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  dirty_ = true;
}

void SdlPlatform::ToggleFullscreen() {
  fullscreen_ = !fullscreen_;
  SDL_SetWindowFullscreen(win_, fullscreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  SDL_ShowCursor(fullscreen_ ? SDL_DISABLE : SDL_ENABLE);
  dirty_ = true;
}

void SdlPlatform::Yield() {
  SDL_Event e;
  while (NextEvent(e)) {
    switch (e.type) {
      case SDL_QUIT: closeAsked_ = true; break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) NoteFocus(true);
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) NoteFocus(false);
        else if (e.window.event == SDL_WINDOWEVENT_CLOSE) closeAsked_ = true;
        dirty_ = true;
        break;
      case SDL_RENDER_DEVICE_RESET:
        // The textures went with the device: make them again.
        DropTextures();
        MakeTextures();
        break;
      case SDL_RENDER_TARGETS_RESET: dirty_ = true; break;
      default: TakeInputEvent(e); break;
    }
  }
  if (screenshotWanted_) {
    screenshotWanted_ = false;
    TakeScreenshot();
  }
  if (screen_ && (dirty_ || screen_->Generation() != shownGen_)) Present();
}


void SdlPlatform::RestoreDisplay() {
  if (win_) SDL_SetWindowFullscreen(win_, 0);
  SDL_ShowCursor(SDL_ENABLE);
}

}  // namespace morvik
