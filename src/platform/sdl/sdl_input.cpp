// SPDX-License-Identifier: GPL-3.0-or-later
// The window's keys and game controllers: the bindings of the game's
// actions, the controller's reading, and the presses the options screen takes.
#include <SDL.h>

#include "platform/sdl/sdl_platform.hpp"

namespace morvik {

InputNames SdlInputNames() {
  InputNames n;
  n.isKey = [](const std::string& name) { return SDL_GetKeyFromName(name.c_str()) != SDLK_UNKNOWN; };
  n.isPad = [](const std::string& name) {
    PadInput in;
    return ParsePadName(name, in);
  };
  return n;
}

void SdlPlatform::Bind(const Settings& s) {
  for (int a = 0; a < kActionCount; ++a) {
    keys_[a].clear();
    // Keys are named as they are labelled, so Z is the key marked Z on this keyboard.
    for (const std::string& name : s.keys[a]) {
      SDL_Keycode k = SDL_GetKeyFromName(name.c_str());
      SDL_Scancode sc = k == SDLK_UNKNOWN ? SDL_SCANCODE_UNKNOWN : SDL_GetScancodeFromKey(k);
      if (sc != SDL_SCANCODE_UNKNOWN) keys_[a].push_back(sc);
    }
  }
  pads_.Bind(s);
}

bool SdlPlatform::KeyHeld(int action) const {
  int n = 0;
  const Uint8* k = SDL_GetKeyboardState(&n);
  for (int sc : keys_[action])
    if (sc >= 0 && sc < n && k[sc]) return true;
  return false;
}

bool SdlPlatform::KeyDown(int vk) {
  // The keys are the game window's own: nothing counts while another program has the focus.
  if (!Focused()) return false;
  const int action = ActionOfKey(vk);
  if (action < 0) return false;
  if (KeyHeld(action)) return true;
  // The game reads no controller input to leave, so a controller binding for it acts as the key.
  return action == kActLeave && ReadController() && pads_.Held(action);
}

void SdlPlatform::OpenController(int index) {
  if (pad_) return;
  pad_ = SDL_GameControllerOpen(index);
  if (!pad_) return;
  padInstance_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad_));
  padFresh_ = true;
  CountArrival();
}

void SdlPlatform::OpenFirstController() {
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_IsGameController(i)) {
      OpenController(i);
      return;
    }
}

void SdlPlatform::CloseController() {
  if (pad_) SDL_GameControllerClose(pad_);
  pad_ = nullptr;
  padInstance_ = -1;
}

bool SdlPlatform::ReadController() {
  if (!pad_ || !SDL_GameControllerGetAttached(pad_)) return false;
  PadState st;
  st.connected = true;
  for (int b = 0; b < kPadButtons; ++b)
    st.buttons[static_cast<size_t>(b)] = SDL_GameControllerGetButton(pad_, static_cast<SDL_GameControllerButton>(b)) != 0;
  for (int a = 0; a < kPadAxes; ++a)
    st.axes[static_cast<size_t>(a)] = SDL_GameControllerGetAxis(pad_, static_cast<SDL_GameControllerAxis>(a)) / 32767.0;
  // The game takes the first reading of a controller as its rest.
  pads_.Update(st, padFresh_);
  padFresh_ = false;
  return true;
}

int SdlPlatform::JoyCount() { return pad_ ? 1 : 0; }

bool SdlPlatform::JoyRead(int id, JoyReading& out) {
  out = JoyReading{};
  if (id != 0 || !ReadController()) return false;
  // The stick reads at rest, minimum or maximum on each axis; at rest while
  // another program has the focus.
  out.x = out.y = 32767;
  if (Focused()) out = pads_.Reading();
  return true;
}

void SdlPlatform::TakeInputEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
      if (e.key.repeat) break;
      if ((e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT))
        ToggleFullscreen();
      else if (e.key.keysym.sym == SDLK_F11) ToggleFullscreen();
      else if (e.key.keysym.sym == SDLK_F12) screenshotWanted_ = true;
      else if (e.key.keysym.sym == SDLK_F1) AskForOptions();
      else if (const char* name = SDL_GetKeyName(e.key.keysym.sym); name && *name)
        KeepInput(std::string("key:") + name);
      break;
    case SDL_CONTROLLERBUTTONDOWN:
      if (!pad_ || e.cbutton.which != padInstance_) break;
      if (e.cbutton.button == SDL_CONTROLLER_BUTTON_BACK) AskForOptions();
      else if (const char* name = PadButtonName(e.cbutton.button); *name) KeepInput(std::string("pad:") + name);
      break;
    case SDL_CONTROLLERAXISMOTION: {
      // A stick or trigger counts as pressed once it passes the middle of its way.
      if (!pad_ || e.caxis.which != padInstance_ || e.caxis.axis >= axisWay_.size()) break;
      const int way = e.caxis.value > 16384 ? 1 : e.caxis.value < -16384 ? -1 : 0;
      int& was = axisWay_[e.caxis.axis];
      if (way != 0 && way != was) KeepInput(std::string("pad:") + (way > 0 ? "+" : "-") + PadAxisName(e.caxis.axis));
      was = way;
      break;
    }
    case SDL_CONTROLLERDEVICEADDED:
      if (!pad_) OpenController(e.cdevice.which);
      break;
    case SDL_CONTROLLERDEVICEREMOVED:
      if (pad_ && e.cdevice.which == padInstance_) {
        CloseController();
        OpenFirstController();
      }
      break;
    default: break;
  }
}

}  // namespace morvik
