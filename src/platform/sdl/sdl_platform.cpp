// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_platform.hpp"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "media/png.hpp"
#include "media/surface.hpp"

namespace morvik {

namespace {
constexpr int kMW = 425, kMH = 329;
constexpr int kDeadZone = 8000;

// "a", "dpleft", "-leftx", "+lefttrigger", "lefttrigger" (triggers only pull one way).
bool ParsePadName(const std::string& name, bool& axis, int& id, int& sign) {
  std::string n = name;
  sign = 1;
  bool signed_ = false;
  if (!n.empty() && (n[0] == '+' || n[0] == '-')) {
    sign = n[0] == '-' ? -1 : 1;
    signed_ = true;
    n.erase(0, 1);
  }
  SDL_GameControllerAxis a = SDL_GameControllerGetAxisFromString(n.c_str());
  if (a != SDL_CONTROLLER_AXIS_INVALID) {
    const bool trigger = a == SDL_CONTROLLER_AXIS_TRIGGERLEFT || a == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    if (trigger ? sign < 0 : !signed_) return false;
    axis = true;
    id = a;
    return true;
  }
  if (signed_) return false;
  SDL_GameControllerButton b = SDL_GameControllerGetButtonFromString(n.c_str());
  if (b == SDL_CONTROLLER_BUTTON_INVALID) return false;
  axis = false;
  id = b;
  return true;
}

// How the picture reaches the window: through the accelerated renderer, or
// through SDL's own drawing into the window's pixels. MORVIK_RENDERER=gpu or
// software chooses; otherwise the accelerated one where there is a graphics
// processor to draw it.
enum class Presenter { kAuto, kGpu, kSoftware };

Presenter ChoosePresenter() {
  const char* asked = SDL_getenv("MORVIK_RENDERER");
  if (asked && std::strcmp(asked, "gpu") == 0) return Presenter::kGpu;
  if (asked && std::strcmp(asked, "software") == 0) return Presenter::kSoftware;
  if (asked && *asked && std::strcmp(asked, "auto") != 0)
    std::fprintf(stderr, "morvik: MORVIK_RENDERER is auto, gpu or software, not %s\n", asked);
#ifdef __linux__
  // Without a device node of a graphics processor GL could only be drawn by
  // the processor: the window is drawn in software from the start.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0)) {
    std::error_code ec;
    bool gpu = false;
    for (const auto& node : std::filesystem::directory_iterator("/dev/dri", ec))
      if (node.path().filename().string().rfind("renderD", 0) == 0) gpu = true;
    if (!gpu) return Presenter::kSoftware;
  }
#endif
  return Presenter::kAuto;
}

// True when the renderer's GL is drawn by the processor (a virtual machine, a
// remote desktop, a display without a GPU driver).
bool RendersInSoftware(SDL_Renderer* ren) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(ren, &info) != 0 || !info.name) return false;
  if ((info.flags & SDL_RENDERER_SOFTWARE) != 0 || std::strcmp(info.name, "software") == 0) return true;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (!getString) return false;
  const unsigned char* r = getString(0x1F01);  // GL_RENDERER
  if (!r) return false;
  const std::string name(reinterpret_cast<const char*>(r));
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer", "SWR"})
    if (name.find(soft) != std::string::npos) return true;
  return false;
}

// out[x] = src[(from + x) / k] for x in [0, n): a row of M widened k times.
void WidenRow(uint32_t* out, const uint32_t* src, int from, int n, int k) {
  src += from / k;
  int x = 0;
  for (int phase = from % k; phase > 0 && phase < k && x < n; ++phase) out[x++] = *src;
  if (from % k) ++src;
  if (k == 2) {
    for (; x + 2 <= n; x += 2, ++src) out[x] = out[x + 1] = *src;
  } else {
    for (; x + k <= n; x += k, ++src)
      for (int j = 0; j < k; ++j) out[x + j] = *src;
  }
  while (x < n) out[x++] = *src;
}

}  // namespace

static_assert(kDefaultEffectsVolume == kEffectsVolume && kDefaultMusicVolume == kMusicVolume,
              "the settings' default volumes are the mixer's tuned levels");

InputNames SdlInputNames() {
  InputNames n;
  n.isKey = [](const std::string& name) { return SDL_GetKeyFromName(name.c_str()) != SDLK_UNKNOWN; };
  n.isPad = [](const std::string& name) {
    bool axis = false;
    int id = 0, sign = 1;
    return ParsePadName(name, axis, id, sign);
  };
  return n;
}

void SdlPlatform::Bind(const Settings& s) {
  for (int a = 0; a < kActionCount; ++a) {
    keys_[a].clear();
    pads_[a].clear();
    // Keys are named as they are labelled, so Z is the key marked Z on this keyboard.
    for (const std::string& name : s.keys[a]) {
      SDL_Keycode k = SDL_GetKeyFromName(name.c_str());
      SDL_Scancode sc = k == SDLK_UNKNOWN ? SDL_SCANCODE_UNKNOWN : SDL_GetScancodeFromKey(k);
      if (sc != SDL_SCANCODE_UNKNOWN) keys_[a].push_back(sc);
    }
    for (const std::string& name : s.pad[a]) {
      PadInput in;
      if (ParsePadName(name, in.axis, in.id, in.sign)) pads_[a].push_back(in);
    }
  }
}

bool SdlPlatform::KeyHeld(int action) const {
  int n = 0;
  const Uint8* k = SDL_GetKeyboardState(&n);
  for (int sc : keys_[action])
    if (sc >= 0 && sc < n && k[sc]) return true;
  return false;
}

bool SdlPlatform::PadInputHeld(const PadInput& in) const {
  if (!in.axis) return SDL_GameControllerGetButton(pad_, static_cast<SDL_GameControllerButton>(in.id)) != 0;
  const int v = SDL_GameControllerGetAxis(pad_, static_cast<SDL_GameControllerAxis>(in.id));
  return in.sign > 0 ? v > kDeadZone : v < -kDeadZone;
}

bool SdlPlatform::PadInputWaits(const PadInput& in) const {
  for (const PadInput& w : padWaiting_)
    if (w.axis == in.axis && w.id == in.id && w.sign == in.sign) return true;
  return false;
}

bool SdlPlatform::PadHeld(int action) const {
  for (const PadInput& in : pads_[action])
    if (PadInputHeld(in) && !PadInputWaits(in)) return true;
  return false;
}

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
      SDL_Quit();
      return false;
    }
    SDL_SetWindowMinimumSize(win_, 320, 240);
    return true;
  };
  if (!makeWindow()) return false;
  const Presenter way = ChoosePresenter();
  if (way != Presenter::kSoftware) {
    ren_ = SDL_CreateRenderer(win_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (ren_ && way == Presenter::kAuto && RendersInSoftware(ren_)) {
      // GL drawn by the processor costs more than SDL's own drawing into the
      // window, and keeps a rasteriser in memory: the window is made again
      // without GL and drawn in software.
      SDL_DestroyRenderer(ren_);
      ren_ = nullptr;
      SDL_DestroyWindow(win_);
      if (!makeWindow()) return false;
    }
  }
  if (!ren_) {
    // Drawn by the processor: straight into the window's own pixels (not
    // through a GL texture), by this platform where M can be copied into
    // them as it is, otherwise (and for the smooth scaling) by SDL's drawing.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Surface* out = set.smooth ? nullptr : SDL_GetWindowSurface(win_);
    direct_ = out && (out->format->format == SDL_PIXELFORMAT_RGB888 || out->format->format == SDL_PIXELFORMAT_ARGB8888);
    if (!direct_) ren_ = SDL_CreateRenderer(win_, -1, SDL_RENDERER_SOFTWARE);
  }
  if (!ren_ && !direct_) {
    error = std::string("cannot draw in the window: ") + SDL_GetError();
    SDL_DestroyWindow(win_);
    win_ = nullptr;
    SDL_Quit();
    return false;
  }
  SDL_RendererInfo info;
  targets_ = ren_ && SDL_GetRendererInfo(ren_, &info) == 0 && (info.flags & SDL_RENDERER_TARGETTEXTURE) != 0;
  if (ren_ && !MakeTextures()) {
    error = std::string("cannot draw in the window: ") + SDL_GetError();
    SDL_DestroyRenderer(ren_);
    SDL_DestroyWindow(win_);
    ren_ = nullptr;
    win_ = nullptr;
    SDL_Quit();
    return false;
  }
  Bind(set);
  if (fullscreen_) SDL_ShowCursor(SDL_DISABLE);
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_IsGameController(i)) {
      OpenController(i);
      break;
    }
  audio_.Init();
  audio_.SetVolumes(set.effectsVolume, set.musicVolume);
  return true;
}

bool SdlPlatform::MakeTextures() {
  if (!ren_) return false;
  tex_ = SDL_CreateTexture(ren_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kMW, kMH);
  dirty_ = true;
  return tex_ != nullptr;
}

void SdlPlatform::DropTextures() {
  if (big_) SDL_DestroyTexture(big_);
  if (tex_) SDL_DestroyTexture(tex_);
  big_ = tex_ = nullptr;
  bigW_ = bigH_ = 0;
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
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, left - 1) == 0) continue;
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

void SdlPlatform::OpenController(int index) {
  if (pad_) return;
  pad_ = SDL_GameControllerOpen(index);
  if (!pad_) return;
  padInstance_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad_));
  padFresh_ = true;
  padWaiting_.clear();
  ++arrivals_;
}

void SdlPlatform::CloseController() {
  if (pad_) SDL_GameControllerClose(pad_);
  pad_ = nullptr;
  padInstance_ = -1;
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

void SdlPlatform::KeepInput(std::string name) {
  if (inputs_.size() >= 32) inputs_.pop_front();
  inputs_.push_back(std::move(name));
}

bool SdlPlatform::TakeOptionsRequest() {
  if (!optionsAsked_) return false;
  optionsAsked_ = false;
  inputs_.clear();
  return true;
}

std::string SdlPlatform::TakeInput() {
  if (inputs_.empty()) return "";
  std::string s = std::move(inputs_.front());
  inputs_.pop_front();
  return s;
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
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) focused_ = true;
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
          // Only a loss of a focus the window had counts (the game pauses on it).
          if (focused_) focusLost_ = true;
          focused_ = false;
        }
        else if (e.window.event == SDL_WINDOWEVENT_CLOSE) closeAsked_ = true;
        dirty_ = true;
        break;
      case SDL_KEYDOWN:
        if (e.key.repeat) break;
        if ((e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT))
          ToggleFullscreen();
        else if (e.key.keysym.sym == SDLK_F11) ToggleFullscreen();
        else if (e.key.keysym.sym == SDLK_F12) screenshotWanted_ = true;
        else if (e.key.keysym.sym == SDLK_F1) optionsAsked_ = true;
        else if (const char* name = SDL_GetKeyName(e.key.keysym.sym); name && *name)
          KeepInput(std::string("key:") + name);
        break;
      case SDL_CONTROLLERBUTTONDOWN:
        if (!pad_ || e.cbutton.which != padInstance_) break;
        if (e.cbutton.button == SDL_CONTROLLER_BUTTON_BACK) optionsAsked_ = true;
        else if (const char* name = SDL_GameControllerGetStringForButton(
                     static_cast<SDL_GameControllerButton>(e.cbutton.button)))
          KeepInput(std::string("pad:") + name);
        break;
      case SDL_CONTROLLERAXISMOTION: {
        // A stick or trigger counts as pressed once it passes the middle of its way.
        if (!pad_ || e.caxis.which != padInstance_ || e.caxis.axis >= axisWay_.size()) break;
        const int way = e.caxis.value > 16384 ? 1 : e.caxis.value < -16384 ? -1 : 0;
        int& was = axisWay_[e.caxis.axis];
        const char* name = SDL_GameControllerGetStringForAxis(static_cast<SDL_GameControllerAxis>(e.caxis.axis));
        if (way != 0 && way != was && name) KeepInput(std::string("pad:") + (way > 0 ? "+" : "-") + name);
        was = way;
        break;
      }
      case SDL_CONTROLLERDEVICEADDED:
        if (!pad_) OpenController(e.cdevice.which);
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        if (pad_ && e.cdevice.which == padInstance_) {
          CloseController();
          for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_IsGameController(i)) {
              OpenController(i);
              break;
            }
        }
        break;
      case SDL_RENDER_DEVICE_RESET:
        // The textures went with the device: make them again.
        DropTextures();
        MakeTextures();
        break;
      case SDL_RENDER_TARGETS_RESET: dirty_ = true; break;
      default: break;
    }
  }
  if (screenshotWanted_) {
    screenshotWanted_ = false;
    TakeScreenshot();
  }
  if (screen_ && (dirty_ || screen_->Generation() != shownGen_)) Present();
}

void SdlPlatform::Present() {
  const bool full = dirty_;
  dirty_ = false;
  if (!screen_ || (!tex_ && !direct_)) return;
  if (!shownOnce_) {
    // MORVIK_REPORT_START=1: when the first picture went to the window, for timing the start.
    shownOnce_ = true;
    const char* report = SDL_getenv("MORVIK_REPORT_START");
    if (report && *report == '1') {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::fprintf(stderr, "morvik: first picture at %lld ms since the epoch\n",
                   static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
    }
  }
  shownGen_ = screen_->Generation();
  if (direct_) {
    PresentDirect(full);
    return;
  }
  // M is a plain picture (no ring): its rows go to the texture as they are.
  SDL_UpdateTexture(tex_, nullptr, screen_->Row(0), kMW * static_cast<int>(sizeof(uint32_t)));
  int ow = 0, oh = 0;
  SDL_GetRendererOutputSize(ren_, &ow, &oh);
  if (ow <= 0 || oh <= 0) return;  // minimised
  SDL_RenderSetClipRect(ren_, nullptr);
  SDL_SetRenderDrawColor(ren_, 0, 0, 0, 255);
  SDL_RenderClear(ren_);
  // The logical screen (the display mode) fills as much of the output as it
  // can, centred, black around. Sharp: scaled by the largest whole number
  // that fits. Smooth: that whole multiple first, then one filtered step to
  // the largest size that fits.
  const double fit = std::min(static_cast<double>(ow) / modeW_, static_cast<double>(oh) / modeH_);
  const int whole = std::max(1, static_cast<int>(fit));
  const bool smooth = opt_.settings.smooth;
  const double sc = (!smooth && fit >= 1.0) ? whole : fit;
  const int lw = static_cast<int>(modeW_ * sc), lh = static_cast<int>(modeH_ * sc);
  const SDL_Rect screenRect{(ow - lw) / 2, (oh - lh) / 2, lw, lh};
  SDL_SetTextureScaleMode(tex_, SDL_ScaleModeNearest);
  if (smooth && fit > whole && targets_) {
    const int bw = modeW_ * whole, bh = modeH_ * whole;
    if (!big_ || bigW_ != bw || bigH_ != bh) {
      if (big_) SDL_DestroyTexture(big_);
      big_ = SDL_CreateTexture(ren_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, bw, bh);
      bigW_ = big_ ? bw : 0;
      bigH_ = big_ ? bh : 0;
    }
    if (big_ && SDL_SetRenderTarget(ren_, big_) == 0) {
      SDL_SetRenderDrawColor(ren_, 0, 0, 0, 255);
      SDL_RenderClear(ren_);
      const SDL_Rect m{left_ * whole, top_ * whole, kMW * whole, kMH * whole};
      SDL_RenderCopy(ren_, tex_, nullptr, &m);
      SDL_SetRenderTarget(ren_, nullptr);
      SDL_SetTextureScaleMode(big_, SDL_ScaleModeLinear);
      SDL_RenderCopy(ren_, big_, nullptr, &screenRect);
      SDL_RenderPresent(ren_);
      return;
    }
  }
  // M on the logical screen, cut to it (in the small mode M overhangs it).
  SDL_RenderSetClipRect(ren_, &screenRect);
  const SDL_Rect dst{screenRect.x + static_cast<int>(left_ * sc), screenRect.y + static_cast<int>(top_ * sc),
                     static_cast<int>(kMW * sc), static_cast<int>(kMH * sc)};
  if (smooth) SDL_SetTextureScaleMode(tex_, SDL_ScaleModeLinear);
  SDL_RenderCopy(ren_, tex_, nullptr, &dst);
  SDL_RenderPresent(ren_);
}

void SdlPlatform::PresentDirect(bool full) {
  SDL_Surface* out = SDL_GetWindowSurface(win_);
  if (!out || out->w <= 0 || out->h <= 0) return;
  const int ow = out->w, oh = out->h;
  // The same layout as the renderer's: the logical screen at the largest
  // whole multiple that fits (or shrunk to fit), centred, black around, and M
  // on it, cut to it.
  const double fit = std::min(static_cast<double>(ow) / modeW_, static_cast<double>(oh) / modeH_);
  const double sc = fit >= 1.0 ? std::max(1, static_cast<int>(fit)) : fit;
  const int lw = static_cast<int>(modeW_ * sc), lh = static_cast<int>(modeH_ * sc);
  const SDL_Rect screenRect{(ow - lw) / 2, (oh - lh) / 2, lw, lh};
  const SDL_Rect dst{screenRect.x + static_cast<int>(left_ * sc), screenRect.y + static_cast<int>(top_ * sc),
                     static_cast<int>(kMW * sc), static_cast<int>(kMH * sc)};
  SDL_Rect vis{0, 0, 0, 0};
  const bool any = SDL_IntersectRect(&dst, &screenRect, &vis) == SDL_TRUE;
  if (SDL_MUSTLOCK(out) && SDL_LockSurface(out) != 0) return;
  // Only M changes from one picture to the next: the black around it is
  // drawn when the window or the layout changed.
  if (full) SDL_FillRect(out, nullptr, SDL_MapRGB(out->format, 0, 0, 0));
  if (any) {
    // Each pixel of the window takes the nearest pixel of M; a row that takes
    // the same row of M as the one above is a copy of it.
    columns_.resize(static_cast<size_t>(vis.w));
    for (int x = 0; x < vis.w; ++x)
      columns_[static_cast<size_t>(x)] = std::min(kMW - 1, static_cast<int>((vis.x - dst.x + x) / sc));
    const bool unscaled = sc == 1.0;
    const int whole = fit >= 1.0 ? static_cast<int>(sc) : 0;
    const size_t rowBytes = static_cast<size_t>(vis.w) * sizeof(uint32_t);
    auto* base = static_cast<uint8_t*>(out->pixels);
    int lastRow = -1;
    const uint32_t* last = nullptr;
    for (int y = vis.y; y < vis.y + vis.h; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(base + static_cast<size_t>(y) * out->pitch) + vis.x;
      const int my = std::min(kMH - 1, static_cast<int>((y - dst.y) / sc));
      if (my == lastRow) {
        std::memcpy(row, last, rowBytes);
      } else if (unscaled) {
        std::memcpy(row, screen_->Row(my) + columns_[0], rowBytes);
      } else if (whole > 1) {
        WidenRow(row, screen_->Row(my), vis.x - dst.x, vis.w, whole);
      } else {
        const uint32_t* src = screen_->Row(my);
        for (int x = 0; x < vis.w; ++x) row[x] = src[columns_[static_cast<size_t>(x)]];
      }
      lastRow = my;
      last = row;
    }
  }
  if (SDL_MUSTLOCK(out)) SDL_UnlockSurface(out);
  if (full) SDL_UpdateWindowSurface(win_);
  else if (any) SDL_UpdateWindowSurfaceRects(win_, &vis, 1);
}

void SdlPlatform::SetDisplayMode(int w, int h) {
  modeW_ = w;
  modeH_ = h;
  dirty_ = true;
}

void SdlPlatform::SetScreenPosition(int l, int t) {
  left_ = l;
  top_ = t;
  dirty_ = true;
}

void SdlPlatform::RestoreDisplay() {
  if (win_) SDL_SetWindowFullscreen(win_, 0);
  SDL_ShowCursor(SDL_ENABLE);
}

bool SdlPlatform::KeyDown(int vk) {
  // The keys are the game window's own: nothing counts while another program has the focus.
  if (!focused_) return false;
  const int action = ActionOfKey(vk);
  if (action < 0) return false;
  if (KeyHeld(action)) return true;
  // The game reads no controller input to leave, so a controller binding for it acts as the key.
  return action == kActLeave && pad_ && SDL_GameControllerGetAttached(pad_) && PadHeld(action);
}

int SdlPlatform::JoyCount() { return pad_ ? 1 : 0; }

bool SdlPlatform::JoyRead(int id, JoyReading& out) {
  out = JoyReading{};
  if (id != 0 || !pad_ || !SDL_GameControllerGetAttached(pad_)) return false;
  // The stick reads at rest, minimum or maximum on each axis; at rest while
  // another program has the focus.
  out.x = out.y = 32767;
  if (!focused_) return true;
  // The game takes the first reading of a controller as its rest. Whatever is
  // held on a newly opened one is ignored, each input until that one is let
  // go, so a direction held while it is plugged in cannot become its rest,
  // while the others count at once (a stick drifting past the dead zone
  // silences nothing else).
  if (padFresh_) {
    padFresh_ = false;
    padWaiting_.clear();
    for (int a : {kActLeft, kActRight, kActJump, kActDown, kActFire, kActPause})
      for (const PadInput& in : pads_[a])
        if (PadInputHeld(in)) padWaiting_.push_back(in);
  }
  padWaiting_.erase(std::remove_if(padWaiting_.begin(), padWaiting_.end(),
                                   [this](const PadInput& in) { return !PadInputHeld(in); }),
                    padWaiting_.end());
  if (PadHeld(kActLeft)) out.x = 0;
  else if (PadHeld(kActRight)) out.x = 65535;
  if (PadHeld(kActJump)) out.y = 0;
  else if (PadHeld(kActDown)) out.y = 65535;
  // Button 1 pauses; any other button acts.
  if (PadHeld(kActPause)) out.buttons |= 1u;
  if (PadHeld(kActFire)) out.buttons |= 2u;
  return true;
}

void SdlPlatform::TakeScreenshot() {
  if (!screen_) return;
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(opt_.screenshotDir, ec);
  std::time_t now = std::time(nullptr);
  char name[64];
  std::strftime(name, sizeof name, "morvik-%Y%m%d-%H%M%S", std::localtime(&now));
  std::string path = (fs::path(opt_.screenshotDir) / (std::string(name) + ".png")).string();
  for (int n = 2; fs::exists(path, ec); ++n)
    path = (fs::path(opt_.screenshotDir) / (std::string(name) + "-" + std::to_string(n) + ".png")).string();
  // What the player sees: the display mode's screen with M on it.
  std::vector<uint32_t> px(static_cast<size_t>(modeW_) * modeH_, 0);
  for (int y = 0; y < modeH_; ++y)
    for (int x = 0; x < modeW_; ++x) {
      int mx = x - left_, my = y - top_;
      if (mx >= 0 && my >= 0 && mx < kMW && my < kMH) px[static_cast<size_t>(y) * modeW_ + x] = screen_->Get(mx, my);
    }
  // A failed write says so itself, in one line.
  if (WritePng(path, px.data(), modeW_, modeH_)) std::fprintf(stderr, "morvik: screenshot saved to %s\n", path.c_str());
}

}  // namespace morvik
