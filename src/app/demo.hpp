// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Demos: a played game kept as everything it read from the outside world
// (the clock, the keys, the joystick, the window's close and focus, the
// desktop depth) in call order, so that playing it back gives the same game
// frame for frame. The file format is described in docs/demo-format.md.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/relay.hpp"

namespace morvik {

// The format written; format 1 (no ticket, no automatic player's mark) is read too.
constexpr uint16_t kDemoFormat = 2;

// The leaderboard's ticket a demo's first game was played on.
struct DemoTicket {
  std::string id;         // 32 hex digits
  uint64_t seed = 0;      // the luck of that game
  std::string course;     // "open" or "daily-YYYY-MM-DD"
};

struct DemoHeader {
  uint16_t format = kDemoFormat;
  std::string program;      // the program's version line
  bool realWindow = false;  // recorded in the real window (else headless)
  // A game kept as a replay: it ends at that game's end, where its reads run
  // out, and playing it stops there as a close would (status 0).
  bool endsWithGame = false;
  bool bot = false;         // the automatic player played
  bool hasTicket = false;   // the first game was played on `ticket`
  DemoTicket ticket;
  uint32_t clockFirst = 0;  // the first clock value the game read
  int32_t bestScore = 0;    // the records the game started with
  int16_t bestCombo = 0;
  uint32_t reads = 0;       // reads in the stream
};

// A ticket's id, 32 lower-case hex digits, as its 16 bytes and back;
// false for text that is no such id.
bool TicketIdBytes(const std::string& text, uint8_t out[16]);
std::string TicketIdText(const uint8_t id[16]);

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
// Only the header, the sizes and the file's checksum, unpacking nothing;
// `rawSize` is what the stream would unpack to.
bool ReadDemoHeader(const uint8_t* data, size_t size, DemoHeader& h, uint32_t& rawSize, std::string& error);
bool LoadDemoFile(const std::string& path, DemoHeader& h, std::vector<uint8_t>& raw, std::string& error);

// The reads a demo keeps besides the clock, each handed to Ask as the event
// it is kept as: the recorder answers it from the platform underneath and
// logs it, the player answers it from the demo.
class DemoReads : public PlatformRelay {
 public:
  using PlatformRelay::PlatformRelay;
  bool CloseRequested() final { return Ask(DemoRead::kClose, 0).yes; }
  int DesktopDepth() final { return static_cast<int>(Ask(DemoRead::kDepth, 0).value); }
  bool KeyDown(int vk) final { return Ask(DemoRead::kKey, vk).yes; }
  int JoyCount() final { return static_cast<int>(Ask(DemoRead::kJoyCount, 0).value); }
  bool JoyRead(int id, JoyReading& out) final {
    const DemoEvent& e = Ask(DemoRead::kJoyRead, id);
    out = e.joy;
    return e.yes;
  }
  uint32_t JoyArrivals() final { return Ask(DemoRead::kJoyArrivals, 0).value; }
  bool TakeFocusLoss() final { return Ask(DemoRead::kFocusLoss, 0).yes; }
  // Kept only when they answered something: a request, an input's name.
  bool TakeOptionsRequest() final { return Ask(DemoRead::kOptions, 0).yes; }
  std::string TakeInput() final { return Ask(DemoRead::kInput, 0).name; }

 protected:
  // The answer to one read of this kind (and argument: the key, the joystick).
  virtual const DemoEvent& Ask(DemoRead kind, int32_t arg) = 0;
  DemoEvent ev_;  // the last answer
};

// Forwards everything to the real platform and logs every read.
class DemoRecorder : public DemoReads {
 public:
  DemoRecorder(Platform& inner, bool realWindow) : DemoReads(inner) { header_.realWindow = realWindow; }
  void SetRecords(int32_t bestScore, int16_t bestCombo) {
    header_.bestScore = bestScore;
    header_.bestCombo = bestCombo;
  }
  // Marks the demo as the automatic player's game.
  void SetBot(bool on) { header_.bot = on; }
  // The ticket the session's first game is played on.
  void SetTicket(const DemoTicket& t) {
    header_.hasTicket = true;
    header_.ticket = t;
  }
  // While observers look at a frame, the clock answers its last value unlogged.
  void SetObserving(bool on) { observing_ = on; }
  // Writes the file; false with a reason when it cannot.
  bool Save(const std::string& path, std::string& error) const;
  const std::vector<uint8_t>& Raw() const { return raw_; }
  DemoHeader Header() const;

  uint32_t Clock() override;

 private:
  const DemoEvent& Ask(DemoRead kind, int32_t arg) override;
  void Log(const DemoEvent& e);

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
class DemoPlayer : public DemoReads {
 public:
  DemoPlayer(Platform& inner, const DemoHeader& h, std::vector<uint8_t> raw, std::string name, bool realTime);
  void SetObserving(bool on) { observing_ = on; }
  size_t ReadsDone() const { return done_; }
  // Why the replay ended early (the demo ran out, or does not match); with
  // quiet set it is only kept here, not printed.
  void SetQuiet(bool on) { quiet_ = on; }
  const std::string& Message() const { return message_; }
  bool Finished() const { return pos_ >= raw_.size(); }
  // A best game kept as a replay ended as its reads ran out (as it does at its game's end).
  bool RanOut() const { return ranOut_; }
  // At the recorded speed from now on (or flat out again); the pace is taken
  // from the next clock read.
  // A clock that jumps more than ten seconds between two reads then ends
  // the replay (status 0) with a message: it cannot be followed.
  void SetRealTime(bool on) {
    realTime_ = on;
    paceStarted_ = false;
  }
  // The player's own Escape (or the controller's B), read from the platform
  // underneath, ends the replay.
  void StopOnEscape(bool on) { stopOnEscape_ = on; }

  uint32_t Clock() override;
  void WaitUntil(uint32_t) override {}
  void Yield() override;

 private:
  const DemoEvent& Ask(DemoRead kind, int32_t arg) override;
  // The next event, which must be a read of this kind (and argument).
  const DemoEvent& Take(DemoRead kind, int32_t arg);
  void Say(const std::string& words);

  DemoHeader header_;
  std::vector<uint8_t> raw_;
  std::string name_;
  bool realTime_;
  size_t pos_ = 0, done_ = 0;
  uint32_t clock_;
  bool observing_ = false;
  bool quiet_ = false;
  std::string message_;
  bool paceStarted_ = false;
  bool stopOnEscape_ = false;
  bool ranOut_ = false;
  uint32_t paceBaseDemo_ = 0, paceBaseReal_ = 0, pacedLast_ = 0;
  // The most the clock may move between two reads while played at its pace.
  static constexpr uint32_t kMaxPacedStep = 10000;
};

}  // namespace morvik
