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

#include "app/settings.hpp"
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
  // The pixels shown, read back from the renderer, or from the window's own
  // pixels where the picture goes straight into them.
  std::vector<uint32_t> Shown(int& w, int& h) {
    SDL_Renderer* r = SDL_GetRenderer(Win());
    if (!r) {
      SDL_Surface* s = SDL_GetWindowSurface(Win());
      w = s ? s->w : 0;
      h = s ? s->h : 0;
      std::vector<uint32_t> px(static_cast<size_t>(w) * h);
      if (s) SDL_ConvertPixels(w, h, s->format->format, s->pixels, s->pitch, SDL_PIXELFORMAT_RGB888, px.data(), w * 4);
      return px;
    }
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
  // Stripes shown on the large screen in a window of ow x oh: the box lit,
  // and the colours inside it.
  auto show = [](int mode, int ow, int oh, Box& b, std::set<uint32_t>& colours) {
    Settings s = DefaultSettings();
    s.smooth = mode;
    Window w(s);
    ASSERT_TRUE(w.plat);
    Surface m = Stripes();
    w.plat->AttachScreen(&m);
    w.plat->SetDisplayMode(640, 480);
    w.plat->SetScreenPosition(108, 76);
    SDL_SetWindowSize(w.Win(), ow, oh);
    m.Touch();
    w.plat->Yield();
    int sw = 0, sh = 0;
    std::vector<uint32_t> px = w.Shown(sw, sh);
    ASSERT_EQ(sw, ow);
    ASSERT_EQ(sh, oh);
    b = Lit(px, sw, sh);
    for (int y = b.y0; y <= b.y1; ++y)
      for (int x = b.x0; x <= b.x1; ++x) colours.insert(px[static_cast<size_t>(y) * sw + x] & 0xFFFFFF);
  };
  for (int mode : {kSmoothOff, kSmoothOn}) {
    Box b;
    std::set<uint32_t> colours;
    show(mode, 1000, 700, b, colours);
    if (mode == kSmoothOff) {
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
  // Where whole multiples fill the window but for a quarter of its height, auto keeps them sharp.
  Box b;
  std::set<uint32_t> colours;
  show(kSmoothAuto, 1300, 1000, b, colours);
  EXPECT_EQ(b.y1 - b.y0 + 1, 2 * 329);
  EXPECT_EQ(colours, (std::set<uint32_t>{0xFF0000, 0x0000FF}));
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
  // The next picture: M's part of the window changes, the black around it stays.
  m.Set(0, 0, 0x00FF00);
  m.Set(424, 328, 0x00FF00);
  m.Touch();
  w.plat->Yield();
  px = w.Shown(ow, oh);
  const Box again = Lit(px, ow, oh);
  EXPECT_EQ(again.x0, b.x0);
  EXPECT_EQ(again.x1, b.x1);
  EXPECT_EQ(again.y1, b.y1);
  EXPECT_EQ(px[static_cast<size_t>(b.y0 + 1) * ow + b.x0 + 1] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(px[static_cast<size_t>(b.y0) * ow + b.x0 + 2] & 0xFFFFFF, 0xFF0000u);
}

Uint32 PushEvent(Uint32, void* e) {
  SDL_PushEvent(static_cast<SDL_Event*>(e));
  return 0;
}

TEST(SdlWindow, AWaitKeepsTheEventsThatWokeItAndACloseCutsItShort) {
  Window w;
  ASSERT_TRUE(w.plat);
  SDL_Event focus{};
  focus.type = SDL_WINDOWEVENT;
  focus.window.windowID = SDL_GetWindowID(w.Win());
  focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  // A focus lost during a wait does not end it; the next yield sees it.
  SDL_AddTimer(20, PushEvent, &focus);
  uint32_t due = w.plat->Clock() + 120;
  w.plat->WaitUntil(due);
  EXPECT_GE(static_cast<int32_t>(w.plat->Clock() - due), 0);
  w.plat->Yield();
  EXPECT_TRUE(w.plat->TakeFocusLoss());
  EXPECT_FALSE(w.plat->CloseRequested());
  // A close ends the wait long before its end.
  SDL_AddTimer(20, PushEvent, &quit);
  due = w.plat->Clock() + 20000;
  w.plat->WaitUntil(due);
  EXPECT_LT(static_cast<int32_t>(w.plat->Clock() - due), -10000);
  w.plat->Yield();
  EXPECT_TRUE(w.plat->CloseRequested());
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

// Each input held when a controller is plugged in is ignored until that one
// is let go; the others count at once, so a stick drifting past the dead zone
// silences no button.
TEST(SdlController, EachInputHeldWhenPluggedInWaitsForItsOwnReleaseAndAPulledPadIsLetGo) {
  Window w;
  ASSERT_TRUE(w.plat);
  {
    Pad pad;
    ASSERT_GE(pad.index, 0) << SDL_GetError();
    pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);  // the stick drifts right
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    w.plat->Yield();
    ASSERT_EQ(w.plat->JoyCount(), 1);
    // What the game reads as its rest is the rest, not the held direction.
    JoyReading r = Read(*w.plat);
    EXPECT_EQ(r.x, 32767u);
    EXPECT_EQ(r.buttons, 0u);
    // Another button and another direction count at once, the held ones not.
    pad.Button(SDL_CONTROLLER_BUTTON_B, true);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    r = Read(*w.plat);
    EXPECT_EQ(r.buttons, 2u);
    EXPECT_EQ(r.y, 0u);
    EXPECT_EQ(r.x, 32767u);
    pad.Button(SDL_CONTROLLER_BUTTON_B, false);
    EXPECT_EQ(Read(*w.plat).buttons, 0u) << "A is still held from the start";
    pad.Button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(Read(*w.plat).buttons, 0u);
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(Read(*w.plat).buttons, 2u) << "A pressed again counts";
    // The dpad's right is another input than the drifting stick: it counts.
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_EQ(Read(*w.plat).x, 65535u);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_EQ(Read(*w.plat).x, 32767u) << "the stick still waits";
    pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    EXPECT_EQ(Read(*w.plat).x, 32767u);
    pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
    EXPECT_EQ(Read(*w.plat).x, 65535u) << "let go and pushed again, the stick counts";
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

namespace {

// Every key the options screen can take, bound alone and among others, is
// written into the settings file so that the next start reads it back.
TEST(SdlSettings, EveryKeyTheOptionsScreenTakesReadsBackFromTheFile) {
  Window w;
  const InputNames names = SdlInputNames();
  int tried = 0;
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
    const char* raw = SDL_GetKeyName(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(sc)));
    if (!raw || !*raw) continue;
    const std::string name = raw;
    ASSERT_TRUE(names.isKey(name)) << name;
    for (const std::vector<std::string>& keys :
         {std::vector<std::string>{name}, std::vector<std::string>{"Space", name, "Z"}}) {
      Settings s = DefaultSettings();
      s.keys[kActLeft] = keys;
      Settings back = DefaultSettings();
      std::vector<std::string> messages;
      ParseSettings(SettingsText(s), "settings.txt", names, back, messages);
      EXPECT_TRUE(messages.empty()) << name << ": " << (messages.empty() ? "" : messages[0]);
      EXPECT_EQ(back.keys[kActLeft], keys) << name;
    }
    ++tried;
  }
  EXPECT_GT(tried, 100);
  // A comma key the game wrote once, before names with commas were quoted.
  Settings old = DefaultSettings();
  std::vector<std::string> messages;
  ParseSettings("key-left ,\n", "settings.txt", names, old, messages);
  EXPECT_EQ(old.keys[kActLeft], std::vector<std::string>{","});
}

}  // namespace
