// SPDX-License-Identifier: GPL-3.0-or-later
// The real window on SDL's dummy video driver: the picture placed sharp or
// smoothed on a resized window, and a virtual controller read through the
// bindings, plugged in with a button held, pulled out and plugged in again.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

#include "media/surface.hpp"
#include "platform/sdl/sdl_platform.hpp"

using namespace morvik;

namespace {

struct Window {
  std::unique_ptr<SdlPlatform> plat;
  explicit Window(Settings s = DefaultSettings()) {
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    // The dummy driver's window never has the keyboard focus, and SDL drops
    // controller input without it unless told otherwise.
    ::setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
    SdlOptions o;
    s.window = true;
    s.scale = 1;
    o.settings = s;
    o.screenshotDir = "/nonexistent";
    std::string err;
    plat = SdlPlatform::Create(o, err);
    EXPECT_TRUE(plat) << err;
  }
  SDL_Window* Win() const { return plat->NativeWindow(); }
  // The pixels shown, read back from the renderer.
  std::vector<uint32_t> Shown(int& w, int& h) {
    SDL_Renderer* r = SDL_GetRenderer(Win());
    SDL_GetRendererOutputSize(r, &w, &h);
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_RGB888, px.data(), w * 4);
    return px;
  }
};

// M in stripes one pixel wide: any filtering shows as colours between them.
Surface Stripes() {
  Surface m(425, 329, 0);
  for (int y = 0; y < 329; ++y)
    for (int x = 0; x < 425; ++x) m.Set(x, y, (x & 1) ? 0xFF0000 : 0x0000FF);
  return m;
}

struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
};
Box Lit(const std::vector<uint32_t>& px, int w, int h) {
  Box b;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (px[static_cast<size_t>(y) * w + x] & 0xFFFFFF) {
        b.x0 = std::min(b.x0, x);
        b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x);
        b.y1 = std::max(b.y1, y);
      }
  return b;
}

TEST(SdlWindow, AResizedWindowShowsMSharpAndCentredOrSmoothedToFit) {
  for (bool smooth : {false, true}) {
    Settings s = DefaultSettings();
    s.smooth = smooth;
    Window w(s);
    ASSERT_TRUE(w.plat);
    Surface m = Stripes();
    w.plat->AttachScreen(&m);
    w.plat->SetDisplayMode(640, 480);
    w.plat->SetScreenPosition(108, 76);
    SDL_SetWindowSize(w.Win(), 1000, 700);
    m.Touch();
    w.plat->Yield();
    int ow = 0, oh = 0;
    std::vector<uint32_t> px = w.Shown(ow, oh);
    ASSERT_EQ(ow, 1000);
    ASSERT_EQ(oh, 700);
    const Box b = Lit(px, ow, oh);
    std::set<uint32_t> colours;
    for (int y = b.y0; y <= b.y1; ++y)
      for (int x = b.x0; x <= b.x1; ++x) colours.insert(px[static_cast<size_t>(y) * ow + x] & 0xFFFFFF);
    if (!smooth) {
      // 640x480 fits once: M at its own size, in the middle of the 640x480 screen, itself centred.
      EXPECT_EQ(b.x0, 180 + 108);
      EXPECT_EQ(b.y0, 110 + 76);
      EXPECT_EQ(b.x1 - b.x0 + 1, 425);
      EXPECT_EQ(b.y1 - b.y0 + 1, 329);
      EXPECT_EQ(colours, (std::set<uint32_t>{0xFF0000, 0x0000FF}));
    } else {
      // The screen fills the height (700 / 480), M scaled with it and blended.
      const double k = 700.0 / 480;
      EXPECT_NEAR(b.y1 - b.y0 + 1, 329 * k, 2);
      EXPECT_NEAR(b.x1 - b.x0 + 1, 425 * k, 2);
      EXPECT_NEAR(b.x0, (1000 - 640 * k) / 2 + 108 * k, 2);
      EXPECT_GT(colours.size(), 10u);
    }
  }
}

TEST(SdlWindow, TheSmallModeCutsMToTheScreenAndScalesByWholeNumbers) {
  Window w;
  ASSERT_TRUE(w.plat);
  Surface m = Stripes();
  w.plat->AttachScreen(&m);
  w.plat->SetDisplayMode(320, 240);
  w.plat->SetScreenPosition(0, 0);
  SDL_SetWindowSize(w.Win(), 1000, 700);
  m.Touch();
  w.plat->Yield();
  int ow = 0, oh = 0;
  std::vector<uint32_t> px = w.Shown(ow, oh);
  const Box b = Lit(px, ow, oh);
  // 320x240 fits twice into 1000x700: M's top-left 320x240 at twice its size.
  EXPECT_EQ(b.x1 - b.x0 + 1, 640);
  EXPECT_EQ(b.y1 - b.y0 + 1, 480);
  EXPECT_EQ(b.x0, 180);
  EXPECT_EQ(b.y0, 110);
  EXPECT_EQ(px[static_cast<size_t>(b.y0) * ow + b.x0] & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(px[static_cast<size_t>(b.y0) * ow + b.x0 + 1] & 0xFFFFFF, 0x0000FFu);  // doubled
  EXPECT_EQ(px[static_cast<size_t>(b.y0) * ow + b.x0 + 2] & 0xFFFFFF, 0xFF0000u);
}

// A virtual game controller the test holds buttons and axes on.
struct Pad {
  int index = -1;
  SDL_Joystick* js = nullptr;
  Pad() {
    SDL_VirtualJoystickDesc d{};
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.name = "test pad";
    index = SDL_JoystickAttachVirtualEx(&d);
    js = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
  }
  void Button(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(js, b, down ? 1 : 0); }
  void Axis(SDL_GameControllerAxis a, int v) { SDL_JoystickSetVirtualAxis(js, a, static_cast<Sint16>(v)); }
  void Unplug() {
    const int id = SDL_JoystickInstanceID(js);
    SDL_JoystickClose(js);
    js = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }
  ~Pad() {
    if (js) Unplug();
  }
};

JoyReading Read(SdlPlatform& p) {
  p.Yield();
  JoyReading r;
  EXPECT_TRUE(p.JoyRead(0, r));
  return r;
}

TEST(SdlController, BindingsTurnButtonsAndAxesIntoTheGamesStickAndButtons) {
  Settings s = DefaultSettings();
  s.pad[kActPause] = {"back"};
  s.pad[kActLeave] = {"guide"};
  s.pad[kActFire] = {"a", "+righttrigger"};
  Window w(s);
  ASSERT_TRUE(w.plat);
  Pad pad;
  ASSERT_GE(pad.index, 0) << SDL_GetError();
  w.plat->Yield();
  ASSERT_EQ(w.plat->JoyCount(), 1);
  EXPECT_EQ(w.plat->JoyArrivals(), 1u);
  JoyReading r = Read(*w.plat);
  EXPECT_EQ(r.x, 32767u);
  EXPECT_EQ(r.y, 32767u);
  EXPECT_EQ(r.buttons, 0u);
  pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
  EXPECT_EQ(Read(*w.plat).x, 65535u);
  pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, -20000);
  EXPECT_EQ(Read(*w.plat).x, 0u);
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, -3000);  // inside the dead zone
  EXPECT_EQ(Read(*w.plat).x, 32767u);
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTY, 30000);
  EXPECT_EQ(Read(*w.plat).y, 65535u);
  pad.Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  // Start is no longer the pause: back is. A and the right trigger act.
  pad.Button(SDL_CONTROLLER_BUTTON_START, true);
  EXPECT_EQ(Read(*w.plat).buttons, 0u);
  pad.Button(SDL_CONTROLLER_BUTTON_BACK, true);
  EXPECT_EQ(Read(*w.plat).buttons, 1u);
  pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 30000);
  EXPECT_EQ(Read(*w.plat).buttons, 3u);  // with another button: the action, not the pause
  pad.Button(SDL_CONTROLLER_BUTTON_BACK, false);
  pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
  // The leave binding acts as the game's leave key.
  EXPECT_FALSE(w.plat->KeyDown(VK_ESCAPE));
  pad.Button(SDL_CONTROLLER_BUTTON_GUIDE, true);
  w.plat->Yield();
  EXPECT_TRUE(w.plat->KeyDown(VK_ESCAPE));
  EXPECT_FALSE(w.plat->KeyDown(VK_P));
}

TEST(SdlController, HeldWhenPluggedInCountsOnlyOnceLetGoAndAPulledPadIsLetGo) {
  Window w;
  ASSERT_TRUE(w.plat);
  {
    Pad pad;
    ASSERT_GE(pad.index, 0) << SDL_GetError();
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    w.plat->Yield();
    ASSERT_EQ(w.plat->JoyCount(), 1);
    // What the game reads as its rest is the rest, not the held direction.
    JoyReading r = Read(*w.plat);
    EXPECT_EQ(r.x, 32767u);
    EXPECT_EQ(r.buttons, 0u);
    pad.Button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(Read(*w.plat).x, 32767u);  // right still held
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_EQ(Read(*w.plat).x, 32767u);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_EQ(Read(*w.plat).x, 65535u);
    pad.Unplug();
    w.plat->Yield();
    JoyReading gone;
    EXPECT_FALSE(w.plat->JoyRead(0, gone));
    EXPECT_EQ(gone.buttons, 0u);
    EXPECT_EQ(w.plat->JoyCount(), 0);
  }
  Pad again;
  ASSERT_GE(again.index, 0);
  w.plat->Yield();
  EXPECT_EQ(w.plat->JoyCount(), 1);
  EXPECT_EQ(w.plat->JoyArrivals(), 2u);
  EXPECT_EQ(Read(*w.plat).x, 32767u);  // let go: it counts from now on
  again.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
  EXPECT_EQ(Read(*w.plat).x, 0u);
}

}  // namespace
