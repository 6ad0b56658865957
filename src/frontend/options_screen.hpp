// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options screen's rows and rules: display, volumes and every binding,
// changed by the player's keys or controller. The screen itself (drawing,
// its loop, saving) is OptionsScreen in game.hpp; this part only knows the
// settings and the inputs, by name ("key:Up", "pad:a").
#include <string>

#include "platform/settings_store.hpp"

namespace morvik {

// The rows, top to bottom.
constexpr int kRowDisplay = 0, kRowScale = 1, kRowSmooth = 2, kRowEffects = 3, kRowMusic = 4;
constexpr int kRowKeyFirst = 5;                            // one row per action, keyboard
constexpr int kRowPadFirst = kRowKeyFirst + kActionCount;  // the same for the controller
constexpr int kRowWatch = kRowPadFirst + kActionCount;     // the best game kept, played back
constexpr int kRowDefaults = kRowWatch + 1, kRowBack = kRowDefaults + 1, kRowCount = kRowBack + 1;

class OptionsMenu {
 public:
  // `onTitle`: the screen was opened on the title, where the best game can
  // be watched; `bestKept`: there is one to watch (it only changes the words).
  explicit OptionsMenu(SettingsStore& st, bool onTitle = true, bool bestKept = false)
      : st_(st), onTitle_(onTitle), bestKept_(bestKept) {}

  // What one input did.
  struct Outcome {
    bool changed = false;  // the settings changed: apply them and save them
    bool effect = false;   // the effects volume changed: let it be heard
    bool close = false;    // the screen is done
    bool watch = false;    // ... and the best game is to be played back
  };
  Outcome Input(const std::string& name);

  int Row() const { return row_; }
  // Waiting for the next key or controller input to bind to the chosen row.
  bool Waiting() const { return waiting_; }
  bool Confirming() const { return confirming_; }
  // A row set on the command line for this run, which the screen leaves alone.
  bool Fixed(int row) const;
  static std::string Label(int row);
  std::string Value(int row) const;
  // The one line of help at the bottom: what just happened, else the keys.
  std::string Hint() const;
  const Settings& Shown() const { return st_.run; }
  // Says something on the hint line until the next input.
  void Note(std::string s) { note_ = std::move(s); }

 private:
  Outcome Change(int dir);
  Outcome Bind(const std::string& name);

  SettingsStore& st_;
  bool onTitle_, bestKept_;
  int row_ = 0;
  bool waiting_ = false;
  bool confirming_ = false;
  std::string note_;
};

class Surface;
// Draws the screen onto m, centred in the visible area (ax, ay, aw, ah).
void DrawOptions(Surface& m, const OptionsMenu& menu, int ax, int ay, int aw, int ah);

}  // namespace morvik
