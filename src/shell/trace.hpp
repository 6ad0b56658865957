// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The trace of a run: one JSON object a play frame, after its course step:
// "t" (clock ms), "frame" (play frame of this game), "sounds" (effects
// started this frame), then every GameState member by its name.
#include <chrono>
#include <string>
#include <vector>

#include "core/files.hpp"
#include "game.hpp"

namespace morvik {

// Appends one frame's line (without the newline) to out.
void TraceLine(const Game& g, std::string& out);

// A file written a line per play frame; the writers below say what the line is.
// Every write is checked: after the first that fails nothing more is written,
// and Close tells why.
class TraceFile : public FrameObserver {
 public:
  // Opens the file for writing; false with the reason when it cannot.
  bool Open(const std::string& path, std::string& why);
  // Flushes and closes the file; false with the reason when any write or the
  // close failed (a full disk, a lost device).
  bool Close(std::string& error);

 protected:
  void Write(const std::string& s);
  bool Ready() const { return file_.IsOpen() && !file_.Failed(); }
  std::string line_;

 private:
  StreamFile file_;
  // Lines wait in a large buffer, but none for long: whoever follows the file
  // as the game plays sees each within a tenth of a second.
  std::chrono::steady_clock::time_point flushed_{};
};

class TraceWriter : public TraceFile {
 public:
  void OnPlayFrame(Game& g) override;
};

// A readable digest of the trace, for regression files kept small: one line
// a play frame with the key members, and a hash of the frame's full trace
// line, so that any change shows on the frame it happens.
class TraceDigestWriter : public TraceFile {
 public:
  void OnPlayFrame(Game& g) override;
};

}  // namespace morvik
