// SPDX-License-Identifier: GPL-3.0-or-later
// The options screen: display, volumes and every key and controller binding,
// opened with F1 (or the controller's Back) on the title, in play and while
// paused. It is drawn on M over the dimmed picture of where the player was,
// which it puts back when it closes; the game underneath does not move.
#include "frontend/options_screen.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/path_text.hpp"
#include "game.hpp"
#include "media/lettering.hpp"

namespace morvik {

namespace {

const char* const kActionLabels[kActionCount] = {"LEFT", "RIGHT", "JUMP", "DOWN", "ACTION", "PAUSE", "LEAVE"};

bool Is(const std::string& in, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (in == n) return true;
  return false;
}

bool IsUp(const std::string& in) { return Is(in, {"key:Up", "pad:dpup", "pad:-lefty"}); }
bool IsDown(const std::string& in) { return Is(in, {"key:Down", "pad:dpdown", "pad:+lefty"}); }
bool IsLeft(const std::string& in) { return Is(in, {"key:Left", "pad:dpleft", "pad:-leftx"}); }
bool IsRight(const std::string& in) { return Is(in, {"key:Right", "pad:dpright", "pad:+leftx"}); }
bool IsChoose(const std::string& in) { return Is(in, {"key:Return", "key:Keypad Enter", "key:Space", "pad:a"}); }
bool IsBack(const std::string& in) { return Is(in, {"key:Escape", "pad:b"}); }
bool IsClear(const std::string& in) { return Is(in, {"key:Backspace", "key:Delete"}); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string List(const std::vector<std::string>& v) {
  if (v.empty()) return "NONE";
  std::string s;
  for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + Upper(v[i]);
  return s;
}

// A volume one step of 8 up or down, landing on the steps from any value.
int Step(int v, int dir) {
  v = dir > 0 ? (v / 8 + 1) * 8 : ((v + 7) / 8 - 1) * 8;
  return std::clamp(v, 0, 128);
}

}  // namespace

bool OptionsMenu::Fixed(int row) const {
  return (row == kRowDisplay && st_.fixedDisplay) || (row == kRowScale && st_.fixedScale) ||
         (row == kRowSmooth && st_.fixedSmooth);
}

std::string OptionsMenu::Label(int row) {
  switch (row) {
    case kRowDisplay: return "DISPLAY";
    case kRowScale: return "WINDOW SCALE";
    case kRowSmooth: return "SMOOTHING";
    case kRowEffects: return "EFFECTS VOLUME";
    case kRowMusic: return "MUSIC VOLUME";
    case kRowWatch: return "WATCH YOUR BEST GAME";
    case kRowDefaults: return "RESTORE DEFAULTS";
    case kRowBack: return "BACK";
    default: break;
  }
  if (row >= kRowKeyFirst && row < kRowPadFirst) return std::string("KEY ") + kActionLabels[row - kRowKeyFirst];
  if (row >= kRowPadFirst && row < kRowWatch) return std::string("PAD ") + kActionLabels[row - kRowPadFirst];
  return "";
}

std::string OptionsMenu::Value(int row) const {
  const Settings& s = st_.run;
  std::string v;
  switch (row) {
    case kRowDisplay: v = s.window ? "WINDOW" : "FULL SCREEN"; break;
    case kRowScale: v = s.scale == 0 ? "AUTO" : std::to_string(s.scale) + "X"; break;
    case kRowSmooth: v = s.smooth == kSmoothOn ? "ON" : s.smooth == kSmoothOff ? "OFF" : "AUTO"; break;
    case kRowEffects: return std::to_string(s.effectsVolume);
    case kRowMusic: return std::to_string(s.musicVolume);
    case kRowWatch: return !onTitle_ ? "ON THE TITLE" : bestKept_ ? "" : "NONE KEPT YET";
    case kRowDefaults:
    case kRowBack: return "";
    default:
      if (waiting_ && row == row_) return row < kRowPadFirst ? "PRESS A KEY" : "PRESS A BUTTON";
      if (row >= kRowKeyFirst && row < kRowPadFirst) return List(s.keys[row - kRowKeyFirst]);
      if (row >= kRowPadFirst && row < kRowWatch) return List(s.pad[row - kRowPadFirst]);
      return "";
  }
  return Fixed(row) ? v + " (COMMAND LINE)" : v;
}

std::string OptionsMenu::Hint() const {
  if (!note_.empty()) return note_;
  if (confirming_) return "RETURN AGAIN RESTORES EVERY DEFAULT - ESC: NO";
  if (waiting_) {
    const bool key = row_ < kRowPadFirst;
    return std::string(key ? "PRESS THE KEY FOR " : "PRESS THE INPUT FOR ") +
           kActionLabels[row_ - (key ? kRowKeyFirst : kRowPadFirst)] + " - ESC CANCELS";
  }
  if (Fixed(row_)) return "SET ON THE COMMAND LINE FOR THIS RUN";
  if (row_ < kRowKeyFirst) return "UP DOWN: ROW - LEFT RIGHT: CHANGE - ESC: CLOSE";
  if (row_ < kRowWatch) return "RETURN: NEW BINDING - DELETE: NONE - ESC: CLOSE";
  if (row_ == kRowWatch && onTitle_)
    return bestKept_ ? "RETURN: PLAY IT BACK - ESC DURING IT: STOP" : "A GAME THAT BEATS YOUR BEST IS KEPT HERE";
  return "UP DOWN: ROW - RETURN: CHOOSE - ESC: CLOSE";
}

OptionsMenu::Outcome OptionsMenu::Input(const std::string& in) {
  note_.clear();
  if (waiting_) return Bind(in);
  if (confirming_) {
    confirming_ = false;
    if (!IsChoose(in)) return {};
    Settings d = DefaultSettings();
    // What the command line fixed stays as it is for this run.
    Settings run = d;
    if (st_.fixedDisplay) run.window = st_.run.window;
    if (st_.fixedScale) run.scale = st_.run.scale;
    if (st_.fixedSmooth) run.smooth = st_.run.smooth;
    st_.file = d;
    st_.run = run;
    note_ = "EVERY SETTING IS BACK AT ITS DEFAULT";
    return {true, true, false};
  }
  Outcome o;
  if (IsBack(in)) {
    o.close = true;
  } else if (IsUp(in)) {
    row_ = (row_ + kRowCount - 1) % kRowCount;
  } else if (IsDown(in)) {
    row_ = (row_ + 1) % kRowCount;
  } else if (IsLeft(in)) {
    o = Change(-1);
  } else if (IsRight(in)) {
    o = Change(1);
  } else if (IsChoose(in)) {
    if (row_ == kRowBack) o.close = true;
    else if (row_ == kRowWatch) o.close = o.watch = onTitle_;
    else if (row_ == kRowDefaults) confirming_ = true;
    else if (row_ >= kRowKeyFirst && row_ < kRowWatch) waiting_ = true;
    else o = Change(0);
  } else if (IsClear(in) && row_ >= kRowKeyFirst && row_ < kRowWatch) {
    const bool key = row_ < kRowPadFirst;
    const int a = row_ - (key ? kRowKeyFirst : kRowPadFirst);
    (key ? st_.file.keys : st_.file.pad)[a].clear();
    (key ? st_.run.keys : st_.run.pad)[a].clear();
    o.changed = true;
  }
  return o;
}

// Left (-1), Right (1) or Return (0, which steps on and wraps round) on a value row.
OptionsMenu::Outcome OptionsMenu::Change(int dir) {
  Outcome o;
  if (row_ >= kRowKeyFirst) return o;
  if (Fixed(row_)) {
    note_ = "SET ON THE COMMAND LINE FOR THIS RUN";
    return o;
  }
  Settings& r = st_.run;
  switch (row_) {
    case kRowDisplay: r.window = !r.window; break;
    // Off, on, auto, round; Left goes the other way.
    case kRowSmooth: r.smooth = (r.smooth + (dir < 0 ? 2 : 1)) % 3; break;
    case kRowScale: r.scale = dir == 0 ? (r.scale + 1) % 9 : std::clamp(r.scale + dir, 0, 8); break;
    case kRowEffects: r.effectsVolume = dir == 0 ? r.effectsVolume : Step(r.effectsVolume, dir); break;
    case kRowMusic: r.musicVolume = dir == 0 ? r.musicVolume : Step(r.musicVolume, dir); break;
    default: break;
  }
  Settings& f = st_.file;
  o.changed = r.window != f.window || r.scale != f.scale || r.smooth != f.smooth ||
              r.effectsVolume != f.effectsVolume || r.musicVolume != f.musicVolume;
  o.effect = row_ == kRowEffects && r.effectsVolume != f.effectsVolume;
  f.window = r.window;
  f.scale = r.scale;
  f.smooth = r.smooth;
  f.effectsVolume = r.effectsVolume;
  f.musicVolume = r.musicVolume;
  return o;
}

OptionsMenu::Outcome OptionsMenu::Bind(const std::string& in) {
  const bool keyRow = row_ < kRowPadFirst;
  const int a = row_ - (keyRow ? kRowKeyFirst : kRowPadFirst);
  const bool isKey = in.rfind("key:", 0) == 0, isPad = in.rfind("pad:", 0) == 0;
  std::string name = in.substr(4);
  // Escape (or the controller's B on a key row) cancels; Escape is still the
  // key a player can give Leave.
  if (in == "key:Escape" ? !(keyRow && a == kActLeave) : (keyRow && in == "pad:b")) {
    waiting_ = false;
    return {};
  }
  if (keyRow ? !isKey : !isPad) return {};  // the other kind of input: still waiting
  if (Is(in, {"key:F1", "key:F11", "key:F12", "pad:back"})) {
    note_ = Upper(name) + " BELONGS TO THE WINDOW";
    return {};
  }
  waiting_ = false;
  for (Settings* s : {&st_.file, &st_.run}) {
    auto& lists = keyRow ? s->keys : s->pad;
    for (int b = 0; b < kActionCount; ++b) {
      auto& l = lists[b];
      if (b != a && std::find(l.begin(), l.end(), name) != l.end()) {
        l.erase(std::remove(l.begin(), l.end(), name), l.end());
        note_ = Upper(name) + " NOW " + kActionLabels[a] + ", NO LONGER " + kActionLabels[b];
      }
    }
    lists[a] = {name};
  }
  return {true, false, false};
}

// ---- the screen ----

namespace {

// Half-way to the navy outline colour: the picture underneath, dimmed.
Surface Dimmed(const Surface& s) {
  Surface d = s;
  for (int y = 0; y < d.Height(); ++y) {
    uint32_t* r = d.Row(y);
    for (int x = 0; x < d.Width(); ++x) {
      const uint32_t c = r[x];
      const uint32_t rr = (((c >> 16) & 255) + 0x1C) / 2 * 3 / 4, gg = (((c >> 8) & 255) + 0x20) / 2 * 3 / 4,
                     bb = ((c & 255) + 0x48) / 2 * 3 / 4;
      r[x] = (rr << 16) | (gg << 8) | bb;
    }
  }
  return d;
}

// Row groups are set apart by a little space: display, volumes, keys, controller, the last three.
int RowY(int row) {
  int gaps = (row >= kRowEffects) + (row >= kRowKeyFirst) + (row >= kRowPadFirst) + (row >= kRowWatch);
  return 9 * row + gaps;
}

void DrawVolume(Surface& m, int x, int y, int v, uint32_t ink) {
  for (int k = 0; k < 16; ++k) {
    const bool lit = v >= 8 * (k + 1);
    Fill(m, x + 4 * k, y + 1, 3, 5, lit ? (k < 12 ? kCap : kOrange) : kShade);
  }
  Text(m, x + 68, y, std::to_string(v), ink);
}

}  // namespace

// Draws the screen onto m inside the visible area (ax, ay, aw, ah).
void DrawOptions(Surface& m, const OptionsMenu& menu, int ax, int ay, int aw, int ah) {
  const int w = 308, h = 4 + 13 + RowY(kRowBack) + 9 + 2 + 1 + 2 + 9 + 3;
  const int x0 = ax + (aw - w) / 2, y0 = ay + std::max(0, (ah - h) / 2);
  Bubble(m, x0, y0, w, h, false);
  // The heading in a small bubble of its own, as the game's labels are.
  const std::string head = "OPTIONS";
  Bubble(m, x0 + (w - TextWidth(head) - 10) / 2, y0 + 3, TextWidth(head) + 10, 13, false);
  Text(m, x0 + (w - TextWidth(head)) / 2, y0 + 6, head, kCapDark);
  const int labelX = x0 + 14, valueX = x0 + 110, valueW = w - (valueX - x0) - 8;
  const int top = y0 + 20;
  for (int row = 0; row < kRowCount; ++row) {
    const int y = top + RowY(row);
    const bool chosen = row == menu.Row();
    if (chosen) {
      Fill(m, x0 + 4, y - 1, w - 9, 9, kShade);
      Text(m, x0 + 6, y, ">", kNavy);
    }
    const bool fixed = menu.Fixed(row);
    const std::string label = OptionsMenu::Label(row);
    Text(m, labelX, y, label, fixed ? kGrey : kNavy);
    const uint32_t ink = fixed ? kGrey : chosen && menu.Waiting() ? kRed : kCapDark;
    if (row == kRowEffects || row == kRowMusic) {
      DrawVolume(m, valueX, y, row == kRowEffects ? menu.Shown().effectsVolume : menu.Shown().musicVolume, ink);
    } else if (labelX + TextWidth(label) + 6 > valueX) {
      // A label longer than its column: the value keeps to the right edge.
      const std::string v = menu.Value(row);
      Text(m, x0 + w - 8 - TextWidth(v), y, v, ink);
    } else {
      Text(m, valueX, y, menu.Value(row), ink, valueW);
    }
  }
  const int hy = y0 + h - 3 - 9;
  Fill(m, x0 + 4, hy - 2, w - 9, 1, kShade);
  const std::string hint = menu.Hint();
  Text(m, x0 + std::max(4, (w - TextWidth(hint)) / 2), hy, hint, kNavy, w - 8);
  m.Touch();
}

bool OptionsScreen(Game& g, bool onTitle) {
  // Drawn over the dimmed picture of where the player was (none without pictures).
  Surface& m = g.pic.M;
  const Surface under = g.pictures ? m : Surface{};
  const Surface dim = g.pictures ? Dimmed(m) : Surface{};
  // The visible part of M: its top-left 320 by 240 in the small mode.
  const bool small = g.ScreenMode == 0;
  const int aw = small ? 320 : m.Width(), ah = small ? 240 : m.Height();
  SettingsStore& st = g.settings;
  std::error_code ec;
  OptionsMenu menu(st, onTitle, !g.bestReplayPath.empty() && std::filesystem::is_regular_file(PathOf(g.bestReplayPath), ec));
  if (st.disk.keep) menu.Note("CHANGES LAST THIS RUN: THE FILE IS LEFT ALONE");
  auto draw = [&] {
    if (!g.pictures) return;
    for (int y = 0; y < m.Height(); ++y) std::copy(dim.Row(y), dim.Row(y) + m.Width(), m.Row(y));
    DrawOptions(m, menu, 0, 0, aw, ah);
  };
  draw();
  YieldToSystem(g);
  uint32_t t = g.plat.Clock();
  bool watch = false;
  for (bool open = true; open;) {
    g.plat.WaitUntil(t + 45);
    t = g.plat.Clock();
    if (g.plat.TakeOptionsRequest()) break;  // F1 again closes it
    for (std::string in; open && !(in = g.plat.TakeInput()).empty();) {
      const OptionsMenu::Outcome o = menu.Input(in);
      if (o.changed) {
        g.plat.ApplySettings(st.run);
        std::string why;
        if (st.save && st.save(st, why)) g.plat.SettingsWritten();
        else if (!st.disk.path.empty())
          menu.Note(st.disk.keep ? "NOT SAVED: THE SETTINGS FILE IS LEFT ALONE"
                                 : "NOT SAVED: THE SETTINGS FOLDER CANNOT BE WRITTEN");
      }
      // Straight to the platform: the game's own sound state stays as it was.
      if (o.effect) g.plat.PlayWave(g.dataDir + "/piro.wav");
      if (o.close) open = false;
      watch = watch || o.watch;
    }
    if (onTitle) ServiceMusic(g);
    draw();
    YieldToSystem(g);
  }
  // Where the player was, as it was; and nothing pressed to close the screen
  // acts on the game once it is back.
  if (g.pictures) {
    for (int y = 0; y < m.Height(); ++y) std::copy(under.Row(y), under.Row(y) + m.Width(), m.Row(y));
    m.Touch();
  }
  for (;;) {
    JoyRead(g);
    bool held = g.JoyPresent != 0 && g.JoyButtons != 0;
    for (int vk : {VK_ESCAPE, VK_SPACE, VK_Z, VK_P}) held = KeyDown(g, vk) || held;
    if (!held) break;
    g.plat.WaitUntil(t + 45);
    t = g.plat.Clock();
    YieldToSystem(g);
  }
  return watch;
}

}  // namespace morvik
