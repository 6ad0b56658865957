// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Demos: a played game kept as everything it read from the outside world
// (the clock, the keys, the joystick, the window's close and focus, the
// desktop depth) in call order, so that playing it back gives the same game
// frame for frame. The file format is described in docs/demo-format.md.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace morvik {

constexpr uint16_t kDemoFormat = 1;

struct DemoHeader {
  uint16_t format = kDemoFormat;
  std::string program;      // the program's version line
  bool realWindow = false;  // recorded in the real window (else headless)
  uint32_t clockFirst = 0;  // the first clock value the game read
  int32_t bestScore = 0;    // the records the game started with
  int16_t bestCombo = 0;
  uint32_t reads = 0;       // reads in the stream
};

// One read of the outside world.
enum class DemoRead : uint8_t {
  kClock, kKey, kClose, kFocusLoss, kJoyCount, kJoyRead, kJoyArrivals, kDepth,
  // The options screen's reads, kept only when they answered something (an
  // options request, an input's name): the game asks for them often, and a
  // demo of a game that never used the screen holds none.
  kOptions, kInput,
};

struct DemoEvent {
  DemoRead kind = DemoRead::kClock;
  int32_t arg = 0;       // the key asked for, the joystick id
  uint32_t value = 0;    // the clock, a count, the depth (as bits)
  bool yes = false;      // key down, close asked, focus lost, read succeeded
  JoyReading joy;
  std::string name;      // an input's name (at most 255 bytes)
};

// Appends the coded form of e to a raw stream; `clock` is the last clock value.
void EncodeDemoEvent(const DemoEvent& e, uint32_t& clock, std::vector<uint8_t>& out);
// Reads one event at pos; false (pos unchanged) at the end or on a damaged stream.
bool DecodeDemoEvent(const std::vector<uint8_t>& raw, size_t& pos, uint32_t& clock, DemoEvent& e);
// A one-line description of an event, for messages.
std::string DescribeDemoEvent(const DemoEvent& e);

// The whole file from a header and a raw stream, and back. Reading checks the
// magic, format, program version, sizes, both checksums and every event.
std::vector<uint8_t> WriteDemoBytes(const DemoHeader& h, const std::vector<uint8_t>& raw);
bool ReadDemoBytes(const uint8_t* data, size_t size, DemoHeader& h, std::vector<uint8_t>& raw, std::string& error);
bool LoadDemoFile(const std::string& path, DemoHeader& h, std::vector<uint8_t>& raw, std::string& error);
// Writes a whole file: a plain file (or a new one) through a temporary file
// renamed over it, a device as it is. False with the reason when it cannot.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Passes every call on to the platform underneath; the demo's recorder and
// player override only the reads.
class PlatformRelay : public Platform {
 public:
  explicit PlatformRelay(Platform& inner) : in_(inner) {}
  uint32_t Clock() override { return in_.Clock(); }
  void WaitUntil(uint32_t ms) override { in_.WaitUntil(ms); }
  void Yield() override { in_.Yield(); }
  bool CloseRequested() override { return in_.CloseRequested(); }
  void AttachScreen(const Surface* m) override { in_.AttachScreen(m); }
  void SetDisplayMode(int w, int h) override { in_.SetDisplayMode(w, h); }
  void SetScreenPosition(int l, int t) override { in_.SetScreenPosition(l, t); }
  void RestoreDisplay() override { in_.RestoreDisplay(); }
  int DesktopDepth() override { return in_.DesktopDepth(); }
  void NoteFrame(int f) override { in_.NoteFrame(f); }
  bool KeyDown(int vk) override { return in_.KeyDown(vk); }
  int JoyCount() override { return in_.JoyCount(); }
  bool JoyRead(int id, JoyReading& out) override { return in_.JoyRead(id, out); }
  uint32_t JoyArrivals() override { return in_.JoyArrivals(); }
  bool TakeFocusLoss() override { return in_.TakeFocusLoss(); }
  void PlayWave(const std::string& p) override { in_.PlayWave(p); }
  void MidiCloseAll() override { in_.MidiCloseAll(); }
  bool MidiOpen(const std::string& p) override { return in_.MidiOpen(p); }
  void MidiPlay(bool fromStart) override { in_.MidiPlay(fromStart); }
  bool TakeOptionsRequest() override { return in_.TakeOptionsRequest(); }
  std::string TakeInput() override { return in_.TakeInput(); }
  void ApplySettings(const Settings& s) override { in_.ApplySettings(s); }
  void RecordsWritten() override { in_.RecordsWritten(); }
  void SettingsWritten() override { in_.SettingsWritten(); }

 protected:
  Platform& in_;
};

// Forwards everything to the real platform and logs every read.
class DemoRecorder : public PlatformRelay {
 public:
  DemoRecorder(Platform& inner, bool realWindow) : PlatformRelay(inner) { header_.realWindow = realWindow; }
  void SetRecords(int32_t bestScore, int16_t bestCombo) {
    header_.bestScore = bestScore;
    header_.bestCombo = bestCombo;
  }
  // While observers look at a frame, the clock answers its last value unlogged.
  void SetObserving(bool on) { observing_ = on; }
  // Writes the file; false with a reason when it cannot.
  bool Save(const std::string& path, std::string& error) const;
  const std::vector<uint8_t>& Raw() const { return raw_; }
  DemoHeader Header() const;

  uint32_t Clock() override;
  bool CloseRequested() override;
  int DesktopDepth() override;
  bool KeyDown(int vk) override;
  int JoyCount() override;
  bool JoyRead(int id, JoyReading& out) override;
  uint32_t JoyArrivals() override;
  bool TakeFocusLoss() override;
  bool TakeOptionsRequest() override;
  std::string TakeInput() override;

 private:
  void Log(const DemoEvent& e);
  // Logs a yes-or-no read (with its argument) or a value read, and answers it.
  bool LogYes(DemoRead kind, int32_t arg, bool yes);
  uint32_t LogValue(DemoRead kind, uint32_t value);

  DemoHeader header_;
  std::vector<uint8_t> raw_;
  uint32_t lastClock_ = 0;
  bool started_ = false;
  bool observing_ = false;
};

// Answers every read from a demo; pictures, sounds and window events still
// go to the platform underneath. With `realTime`, the clock's answers wait
// for the real clock so that the game runs at the recorded speed. A read the
// demo does not hold ends the program: status 2 when the game asked for
// something else (the demo does not match), 1 when the demo ran out.
class DemoPlayer : public PlatformRelay {
 public:
  DemoPlayer(Platform& inner, const DemoHeader& h, std::vector<uint8_t> raw, std::string name, bool realTime);
  void SetObserving(bool on) { observing_ = on; }
  size_t ReadsDone() const { return done_; }
  // Why the replay ended early (the demo ran out, or does not match); with
  // quiet set it is only kept here, not printed.
  void SetQuiet(bool on) { quiet_ = on; }
  const std::string& Message() const { return message_; }
  bool Finished() const { return pos_ >= raw_.size(); }

  uint32_t Clock() override;
  void WaitUntil(uint32_t) override {}
  void Yield() override;
  bool CloseRequested() override;
  int DesktopDepth() override;
  bool KeyDown(int vk) override;
  int JoyCount() override;
  bool JoyRead(int id, JoyReading& out) override;
  uint32_t JoyArrivals() override;
  bool TakeFocusLoss() override;
  bool TakeOptionsRequest() override;
  std::string TakeInput() override;

 private:
  // The next event, which must be a read of this kind (and argument).
  const DemoEvent& Take(DemoRead kind, int32_t arg);
  void Say(const std::string& words);
  // Takes the next event when it is of this kind (reads kept only when they answered something).
  bool TakeIfNext(DemoRead kind);

  DemoHeader header_;
  std::vector<uint8_t> raw_;
  std::string name_;
  bool realTime_;
  size_t pos_ = 0, done_ = 0;
  uint32_t clock_;
  DemoEvent ev_;
  bool observing_ = false;
  bool quiet_ = false;
  std::string message_;
  bool paceStarted_ = false;
  uint32_t paceBaseDemo_ = 0, paceBaseReal_ = 0;
};

}  // namespace morvik
