// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/web/web_platform.hpp"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstring>

#include "media/surface.hpp"

// The page's side, in web_library.js.
extern "C" {
void morvik_show(const uint8_t* rgba, int w, int h, int modeW, int modeH, int left, int top);
void morvik_toggle_fullscreen();
void morvik_play_wave(const char* path);
void morvik_music_close();
int morvik_music_open(const char* path);
void morvik_music_play(int fromStart);
void morvik_set_volumes(int effects, int music);
void morvik_sync_files();
void morvik_sync_settings();
void morvik_set_fullscreen(int on);
void morvik_note_frame(int frame);
}

namespace morvik {

namespace {
WebPlatform* gPlatform = nullptr;

// The browser is given the control back at least this often while the game
// runs late, so that the page's events keep coming.
constexpr double kHandBackMs = 50;
// How much of a wait is spent awake, to keep the frames on time.
constexpr int32_t kSpinMs = 3;

EM_BOOL KeyEvent(int type, const EmscriptenKeyboardEvent* e, void*) {
  if (!gPlatform) return false;
  const std::string code = e->code, key = e->key;
  if (type == EMSCRIPTEN_EVENT_KEYDOWN && code == "F11") {
    if (!e->repeat) morvik_toggle_fullscreen();
    return true;
  }
  if (type == EMSCRIPTEN_EVENT_KEYDOWN && (code == "Enter" || code == "NumpadEnter") && e->altKey) {
    if (!e->repeat) morvik_toggle_fullscreen();
    return true;
  }
  // F1 opens the options screen, never the browser's help.
  if (code == "F1") {
    if (type == EMSCRIPTEN_EVENT_KEYDOWN && !e->repeat) gPlatform->OnOptionsKey();
    return true;
  }
  gPlatform->OnKey(type == EMSCRIPTEN_EVENT_KEYDOWN, code, key, e->repeat);
  // The game's keys must not scroll the page or press its buttons; the
  // browser's own keys (F5, F12, with Ctrl) keep working.
  if (e->ctrlKey || e->metaKey) return false;
  return !WebKeyNames(code, key).empty() && code.rfind('F', 0) != 0;
}

EM_BOOL FocusEvent(int type, const EmscriptenFocusEvent*, void*) {
  if (gPlatform) gPlatform->OnFocus(type == EMSCRIPTEN_EVENT_FOCUS);
  return false;
}

EM_BOOL VisibilityEvent(int, const EmscriptenVisibilityChangeEvent* e, void*) {
  if (gPlatform && e->hidden) gPlatform->OnFocus(false);
  return false;
}

EM_BOOL PadEvent(int, const EmscriptenGamepadEvent*, void*) { return 0; }

// Every handler the platform listens with, set or (on = false) let go.
void Listen(bool on) {
  const char* win = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  emscripten_set_keydown_callback(win, nullptr, true, on ? KeyEvent : nullptr);
  emscripten_set_keyup_callback(win, nullptr, true, on ? KeyEvent : nullptr);
  // The window's own focus only: heard in capture, an element's (the canvas
  // giving the focus to the page's button) would count as the window's.
  emscripten_set_blur_callback(win, nullptr, false, on ? FocusEvent : nullptr);
  emscripten_set_focus_callback(win, nullptr, false, on ? FocusEvent : nullptr);
  emscripten_set_visibilitychange_callback(nullptr, true, on ? VisibilityEvent : nullptr);
  // Listening for arrivals is what makes the browser report gamepads at all.
  emscripten_set_gamepadconnected_callback(nullptr, true, on ? PadEvent : nullptr);
  emscripten_set_gamepaddisconnected_callback(nullptr, true, on ? PadEvent : nullptr);
}
}  // namespace

WebPlatform::WebPlatform(const Settings& s) {
  gPlatform = this;
  window_ = s.window;
  start_ = emscripten_get_now();
  lastHandBack_ = start_;
  for (int a = 0; a < kActionCount; ++a) keys_[a] = s.keys[a];
  pad_.Bind(s);
  morvik_set_volumes(s.effectsVolume, s.musicVolume);
  Listen(true);
}

WebPlatform::~WebPlatform() {
  // The page lives on after the program ends (the title's Escape): a key
  // released or a focus changed then must not reach a platform that is gone.
  Listen(false);
  if (gPlatform == this) gPlatform = nullptr;
}

uint32_t WebPlatform::Clock() { return static_cast<uint32_t>(static_cast<int64_t>(emscripten_get_now() - start_)); }

void WebPlatform::WaitUntil(uint32_t ms) {
  // The page is drawn and its events run only while the game waits: the
  // wait is spent in the browser (the game's stack set aside meanwhile).
  // The browser's timers wake a few milliseconds late now and then, so the
  // last few are waited out here.
  for (;;) {
    const int32_t left = static_cast<int32_t>(ms - Clock());
    if (left <= kSpinMs) break;
    emscripten_sleep(static_cast<unsigned>(left - kSpinMs));
    lastHandBack_ = emscripten_get_now();
  }
  if (emscripten_get_now() - lastHandBack_ >= kHandBackMs) {
    emscripten_sleep(0);
    lastHandBack_ = emscripten_get_now();
  }
  while (static_cast<int32_t>(ms - Clock()) > 0) {
  }
}

void WebPlatform::Yield() {
  SamplePad();
  if (screen_ && (dirty_ || screen_->Generation() != shownGen_)) Present();
}

void WebPlatform::Present() {
  dirty_ = false;
  shownGen_ = screen_->Generation();
  // Only the part of M that lies on the screen: in the small mode M
  // overhangs it by almost half.
  const int x0 = std::max(0, -left_), y0 = std::max(0, -top_);
  const int w = std::min(screen_->Width(), modeW_ - left_) - x0;
  const int h = std::min(screen_->Height(), modeH_ - top_) - y0;
  if (w <= 0 || h <= 0) return;
  rgba_.resize(static_cast<size_t>(w) * h * 4);
  uint8_t* p = rgba_.data();
  for (int y = y0; y < y0 + h; ++y) {
    const uint32_t* row = screen_->Row(y) + x0;
    for (int x = 0; x < w; ++x, p += 4) {
      // XRGB to the canvas's bytes R, G, B, A: one store a pixel.
      const uint32_t c = row[x];
      const uint32_t v = 0xFF000000u | (c & 0xFF00u) | ((c >> 16) & 0xFFu) | ((c & 0xFFu) << 16);
      std::memcpy(p, &v, 4);
    }
  }
  morvik_show(rgba_.data(), w, h, modeW_, modeH_, left_ + x0, top_ + y0);
}

// The page measures the frame periods from these.
void WebPlatform::NoteFrame(int frame) { morvik_note_frame(frame); }


void WebPlatform::OnKey(bool down, const std::string& code, const std::string& key, bool repeat) {
  if (!down) {
    held_.erase(code);
    return;
  }
  held_[code] = WebKeyNames(code, key);
  // The window's own keys (F11, F12) are not the game's to bind.
  if (!repeat && code != "F11" && code != "F12")
    if (std::string name = WebKeyInputName(code, key); !name.empty()) KeepInput("key:" + name);
  // A key pressed on the page means the page has the focus, whatever the
  // browser said of the focus before (a tab shown again need not say so).
  NoteFocus(true);
}

void WebPlatform::OnFocus(bool focused) {
  // Only a loss of a focus the page had counts (the game pauses on it); keys
  // held then are let go, as their release goes elsewhere.
  if (!focused && Focused()) held_.clear();
  NoteFocus(focused);
}

bool WebPlatform::KeyDown(int vk) {
  if (!Focused()) return false;
  const int action = ActionOfKey(vk);
  if (action < 0) return false;
  for (const auto& [code, names] : held_)
    for (const std::string& n : names)
      if (std::find(keys_[action].begin(), keys_[action].end(), n) != keys_[action].end()) return true;
  // The game reads no controller input to leave, so a gamepad binding for it acts as the key.
  return action == kActLeave && pad_.Held(action);
}

void WebPlatform::SamplePad() {
  WebGamepad g;
  int found = -1;
  if (emscripten_sample_gamepad_data() == EMSCRIPTEN_RESULT_SUCCESS) {
    const int n = emscripten_get_num_gamepads();
    // The gamepad in use stays in use while it is there; else the first one.
    for (int pass = 0; pass < 2 && found < 0; ++pass)
      for (int i = 0; i < n && found < 0; ++i) {
        if (pass == 0 && i != padIndex_) continue;
        EmscriptenGamepadEvent e;
        if (emscripten_get_gamepad_status(i, &e) != EMSCRIPTEN_RESULT_SUCCESS || !e.connected) continue;
        found = i;
        g.connected = true;
        for (int a = 0; a < 4 && a < e.numAxes; ++a) g.axes[static_cast<size_t>(a)] = e.axis[a];
        for (int b = 0; b < 17 && b < e.numButtons; ++b)
          g.buttons[static_cast<size_t>(b)] = e.digitalButton[b] ? std::max(e.analogButton[b], 1.0) : e.analogButton[b];
      }
  }
  const bool arrived = found >= 0 && found != padIndex_;
  if (arrived) CountArrival();
  padIndex_ = found;
  const PadState st = PadStateOf(g);
  pad_.Update(st, arrived);
  // Presses for the options screen; Back asks for the screen itself.
  if (Focused() && !arrived)
    for (const std::string& name : PadPresses(padSeen_, st)) {
      if (name == "back") AskForOptions();
      else KeepInput("pad:" + name);
    }
  padSeen_ = st;
}

void WebPlatform::ApplySettings(const Settings& s) {
  for (int a = 0; a < kActionCount; ++a) keys_[a] = s.keys[a];
  pad_.Bind(s);
  morvik_set_volumes(s.effectsVolume, s.musicVolume);
  // A page goes full screen only just after a key or click, which the
  // options screen's change is; the scale and smoothing stay the page's own.
  if (s.window != window_) morvik_set_fullscreen(s.window ? 0 : 1);
  window_ = s.window;
  dirty_ = true;
}

int WebPlatform::JoyCount() { return pad_.Connected() ? 1 : 0; }

bool WebPlatform::JoyRead(int id, JoyReading& out) {
  out = JoyReading{};
  if (id != 0 || !pad_.Connected()) return false;
  out.x = out.y = 32767;
  if (Focused()) out = pad_.Reading();
  return true;
}

void WebPlatform::PlayWave(const std::string& path) { morvik_play_wave(path.c_str()); }
void WebPlatform::MidiCloseAll() { morvik_music_close(); }
bool WebPlatform::MidiOpen(const std::string& path) { return morvik_music_open(path.c_str()) != 0; }
void WebPlatform::MidiPlay(bool fromStart) { morvik_music_play(fromStart ? 1 : 0); }
void WebPlatform::RecordsWritten() { morvik_sync_files(); }
void WebPlatform::SettingsWritten() { morvik_sync_settings(); }

}  // namespace morvik
