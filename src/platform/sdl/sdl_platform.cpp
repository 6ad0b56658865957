#include "platform/sdl/sdl_platform.hpp"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

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

// The action each of the game's keys stands for.
int ActionOfKey(int vk) {
  switch (vk) {
    case VK_LEFT: return kActLeft;
    case VK_RIGHT: return kActRight;
    case VK_UP: return kActJump;
    case VK_DOWN: return kActDown;
    case VK_SPACE:
    case VK_Z: return kActFire;
    case VK_P: return kActPause;
    case VK_ESCAPE: return kActLeave;
    default: return -1;
  }
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

bool SdlPlatform::PadHeld(int action) const {
  for (const PadInput& in : pads_[action]) {
    if (!in.axis) {
      if (SDL_GameControllerGetButton(pad_, static_cast<SDL_GameControllerButton>(in.id))) return true;
      continue;
    }
    const int v = SDL_GameControllerGetAxis(pad_, static_cast<SDL_GameControllerAxis>(in.id));
    if (in.sign > 0 ? v > kDeadZone : v < -kDeadZone) return true;
  }
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
  int scale = set.scale;
  if (scale <= 0) {
    scale = std::max(1, std::min((dispW * 9 / 10) / 640, (dispH * 9 / 10) / 480));
  }
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (fullscreen_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  win_ = SDL_CreateWindow("Morvik", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640 * scale, 480 * scale, flags);
  if (!win_) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    SDL_Quit();
    return false;
  }
  SDL_SetWindowMinimumSize(win_, 320, 240);
  ren_ = SDL_CreateRenderer(win_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (!ren_) ren_ = SDL_CreateRenderer(win_, -1, SDL_RENDERER_SOFTWARE);
  if (!ren_) {
    error = std::string("cannot draw in the window: ") + SDL_GetError();
    SDL_DestroyWindow(win_);
    win_ = nullptr;
    SDL_Quit();
    return false;
  }
  SDL_RendererInfo info;
  targets_ = SDL_GetRendererInfo(ren_, &info) == 0 && (info.flags & SDL_RENDERER_TARGETTEXTURE) != 0;
  if (!MakeTextures()) {
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
  // Sleep most of the wait, in short slices so that a close of the window
  // cuts the wait short (the next yield then ends the program); spin only the
  // last millisecond.
  for (;;) {
    int32_t left = static_cast<int32_t>(ms - SDL_GetTicks());
    if (left <= 0) return;
    if (left > 1) SDL_Delay(static_cast<Uint32>(std::min(left - 1, 4)));
    SDL_PumpEvents();
    if (SDL_HasEvent(SDL_QUIT) || StopSignalled()) return;
  }
}

void SdlPlatform::OpenController(int index) {
  if (pad_) return;
  pad_ = SDL_GameControllerOpen(index);
  if (!pad_) return;
  padInstance_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad_));
  padSettled_ = false;
  ++arrivals_;
}

void SdlPlatform::CloseController() {
  if (pad_) SDL_GameControllerClose(pad_);
  pad_ = nullptr;
  padInstance_ = -1;
}

void SdlPlatform::ToggleFullscreen() {
  fullscreen_ = !fullscreen_;
  SDL_SetWindowFullscreen(win_, fullscreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  SDL_ShowCursor(fullscreen_ ? SDL_DISABLE : SDL_ENABLE);
  dirty_ = true;
}

void SdlPlatform::Yield() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
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
        break;
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
  dirty_ = false;
  if (!screen_ || !tex_) return;
  shownGen_ = screen_->Generation();
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
  // The game takes the first reading of a controller as its rest: until
  // everything on a newly opened one has been let go, it reads at rest, so a
  // direction held while it is plugged in cannot become its rest.
  if (!padSettled_) {
    for (int a : {kActLeft, kActRight, kActJump, kActDown, kActFire, kActPause})
      if (PadHeld(a)) return true;
    padSettled_ = true;
  }
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
  if (WritePng(path, px.data(), modeW_, modeH_)) std::fprintf(stderr, "morvik: screenshot saved to %s\n", path.c_str());
  else std::fprintf(stderr, "morvik: could not save a screenshot to %s\n", path.c_str());
}

}  // namespace morvik
