#include "platform/sdl/sdl_platform.hpp"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "media/png.hpp"
#include "media/surface.hpp"

namespace morvik {

namespace {
constexpr int kMW = 425, kMH = 329;
constexpr int kDeadZone = 8000;
}  // namespace

std::unique_ptr<SdlPlatform> SdlPlatform::Create(const SdlOptions& o, std::string& error) {
  std::unique_ptr<SdlPlatform> p(new SdlPlatform());
  if (!p->Open(o, error)) return nullptr;
  return p;
}

bool SdlPlatform::Open(const SdlOptions& o, std::string& error) {
  opt_ = o;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    error = std::string("no display available: ") + SDL_GetError();
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
  fullscreen_ = !o.window;
  int scale = o.scale;
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
    SDL_Quit();
    return false;
  }
  tex_ = SDL_CreateTexture(ren_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kMW, kMH);
  if (fullscreen_) SDL_ShowCursor(SDL_DISABLE);
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_IsGameController(i)) {
      OpenController(i);
      break;
    }
  audio_.Init();
  return true;
}

SdlPlatform::~SdlPlatform() {
  audio_.Shutdown();
  CloseController();
  if (tex_) SDL_DestroyTexture(tex_);
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
    if (SDL_HasEvent(SDL_QUIT)) return;
  }
}

void SdlPlatform::OpenController(int index) {
  if (pad_) return;
  pad_ = SDL_GameControllerOpen(index);
  if (!pad_) return;
  padInstance_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad_));
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
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) focused_ = false;
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
  if (!screen_) return;
  shownGen_ = screen_->Generation();
  // M is a plain picture (no ring): its rows go to the texture as they are.
  SDL_UpdateTexture(tex_, nullptr, screen_->Row(0), kMW * static_cast<int>(sizeof(uint32_t)));
  int ow = 0, oh = 0;
  SDL_GetRendererOutputSize(ren_, &ow, &oh);
  SDL_RenderSetClipRect(ren_, nullptr);
  SDL_SetRenderDrawColor(ren_, 0, 0, 0, 255);
  SDL_RenderClear(ren_);
  // The logical screen (the display mode), scaled by a whole number when it fits.
  double sc = std::min(static_cast<double>(ow) / modeW_, static_cast<double>(oh) / modeH_);
  if (sc >= 1.0 && !opt_.smooth) sc = static_cast<int>(sc);
  const int lw = static_cast<int>(modeW_ * sc), lh = static_cast<int>(modeH_ * sc);
  const int lx = (ow - lw) / 2, ly = (oh - lh) / 2;
  SDL_Rect screenRect{lx, ly, lw, lh};
  SDL_RenderSetClipRect(ren_, &screenRect);
  SDL_Rect dst{lx + static_cast<int>(left_ * sc), ly + static_cast<int>(top_ * sc), static_cast<int>(kMW * sc),
               static_cast<int>(kMH * sc)};
  SDL_SetTextureScaleMode(tex_, opt_.smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
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
  const Uint8* k = SDL_GetKeyboardState(nullptr);
  switch (vk) {
    case VK_ESCAPE: return k[SDL_SCANCODE_ESCAPE];
    case VK_LEFT: return k[SDL_SCANCODE_LEFT];
    case VK_RIGHT: return k[SDL_SCANCODE_RIGHT];
    case VK_UP: return k[SDL_SCANCODE_UP];
    case VK_DOWN: return k[SDL_SCANCODE_DOWN];
    case VK_SPACE: return k[SDL_SCANCODE_SPACE];
    case VK_Z: return k[SDL_SCANCODE_Z];
    case VK_P: return k[SDL_SCANCODE_P];
    default: return false;
  }
}

int SdlPlatform::JoyCount() { return pad_ ? 1 : 0; }

bool SdlPlatform::JoyRead(int id, JoyReading& out) {
  out = JoyReading{};
  if (id != 0 || !pad_ || !SDL_GameControllerGetAttached(pad_)) return false;
  if (!focused_) {  // at rest while another program has the focus
    out.x = out.y = 32767;
    return true;
  }
  auto axis = [&](SDL_GameControllerAxis a, SDL_GameControllerButton minus, SDL_GameControllerButton plus) {
    int v = SDL_GameControllerGetAxis(pad_, a);
    if (SDL_GameControllerGetButton(pad_, minus) || v < -kDeadZone) return 0u;
    if (SDL_GameControllerGetButton(pad_, plus) || v > kDeadZone) return 65535u;
    return 32767u;
  };
  out.x = axis(SDL_CONTROLLER_AXIS_LEFTX, SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  out.y = axis(SDL_CONTROLLER_AXIS_LEFTY, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  // Start is button 1 (pause); A, B, X and Y act.
  const SDL_GameControllerButton order[5] = {SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_A,
                                             SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X,
                                             SDL_CONTROLLER_BUTTON_Y};
  for (int i = 0; i < 5; ++i)
    if (SDL_GameControllerGetButton(pad_, order[i])) out.buttons |= 1u << i;
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

void SdlPlatform::ApplyScaling() { dirty_ = true; }

}  // namespace morvik
