// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/demo.hpp"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/command_line.hpp"
#include "core/files.hpp"
#include "core/printable.hpp"

namespace morvik {

namespace {

constexpr char kMagic[8] = {'M', 'O', 'R', 'V', 'I', 'K', 'D', 'M'};
// Limits that keep a damaged or hostile file from asking for absurd memory.
constexpr uint32_t kMaxRaw = 256u << 20;
constexpr size_t kMaxFile = 64u << 20;

// The eight keys the game polls, by their place in the one-byte key codes.
constexpr int kKeys[8] = {VK_SPACE, VK_ESCAPE, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_P, VK_Z};

// Coded reads (see docs/demo-format.md).
enum : uint8_t {
  kKeyOther = 0x90,
  kClockFar = 0x91,
  kCloseNo = 0x92,
  kCloseYes = 0x93,
  kFocusNo = 0x94,
  kFocusYes = 0x95,
  kJoyCountCode = 0x96,
  kJoyReadCode = 0x97,
  kJoyArrivalsCode = 0x98,
  kDepthCode = 0x99,
  kOptionsCode = 0x9A,
  kInputCode = 0x9B,
};

void PutVar(std::vector<uint8_t>& o, uint32_t v) {
  while (v >= 0x80) {
    o.push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  o.push_back(static_cast<uint8_t>(v));
}

bool GetVar(const std::vector<uint8_t>& in, size_t& p, uint32_t& v) {
  v = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (p >= in.size()) return false;
    const uint8_t b = in[p++];
    if (shift == 28 && (b & 0xF0) != 0) return false;  // more than 32 bits
    v |= static_cast<uint32_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return true;
  }
  return false;
}

uint32_t Zig(int32_t v) { return (static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31); }
int32_t Unzig(uint32_t v) { return static_cast<int32_t>((v >> 1) ^ (0u - (v & 1))); }

void Put16(std::vector<uint8_t>& o, uint16_t v) {
  o.push_back(static_cast<uint8_t>(v));
  o.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& o, uint32_t v) {
  for (int i = 0; i < 4; ++i) o.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct In {
  const uint8_t* d;
  size_t n, p = 0;
  bool Get(void* out, size_t k) {
    if (n - p < k) return false;
    std::memcpy(out, d + p, k);
    p += k;
    return true;
  }
  bool U8(uint8_t& v) { return Get(&v, 1); }
  bool U16(uint16_t& v) {
    uint8_t b[2];
    if (!Get(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool U32(uint32_t& v) {
    uint8_t b[4];
    if (!Get(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
        (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
};

uint32_t Crc(const uint8_t* d, size_t n) {
  uLong c = crc32(0L, Z_NULL, 0);
  while (n > 0) {
    const uInt k = n > (1u << 30) ? (1u << 30) : static_cast<uInt>(n);
    c = crc32(c, d, k);
    d += k;
    n -= k;
  }
  return static_cast<uint32_t>(c);
}

const char* KeyName(int vk) {
  switch (vk) {
    case VK_SPACE: return "Space";
    case VK_ESCAPE: return "Escape";
    case VK_LEFT: return "Left";
    case VK_UP: return "Up";
    case VK_RIGHT: return "Right";
    case VK_DOWN: return "Down";
    case VK_P: return "P";
    case VK_Z: return "Z";
    default: return "another key";
  }
}

const char* KindName(DemoRead k) {
  switch (k) {
    case DemoRead::kClock: return "the clock";
    case DemoRead::kKey: return "a key";
    case DemoRead::kClose: return "the close request";
    case DemoRead::kFocusLoss: return "the focus";
    case DemoRead::kJoyCount: return "the controller count";
    case DemoRead::kJoyRead: return "the controller";
    case DemoRead::kJoyArrivals: return "the controller arrivals";
    case DemoRead::kDepth: return "the desktop depth";
    case DemoRead::kOptions: return "the options request";
    case DemoRead::kInput: return "an input";
  }
  return "?";
}

}  // namespace

bool TicketIdBytes(const std::string& text, uint8_t out[16]) {
  if (text.size() != 32) return false;
  for (size_t i = 0; i < 32; ++i) {
    const char c = text[i];
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) return false;
    if (i % 2 == 0) out[i / 2] = static_cast<uint8_t>(v << 4);
    else out[i / 2] = static_cast<uint8_t>(out[i / 2] | v);
  }
  return true;
}

std::string TicketIdText(const uint8_t id[16]) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 16; ++i) {
    s += kHex[id[i] >> 4];
    s += kHex[id[i] & 15];
  }
  return s;
}

void EncodeDemoEvent(const DemoEvent& e, uint32_t& clock, std::vector<uint8_t>& o) {
  switch (e.kind) {
    case DemoRead::kClock: {
      const uint32_t d = e.value - clock;
      if (d < 0x80) {
        o.push_back(static_cast<uint8_t>(d));
      } else {
        o.push_back(kClockFar);
        PutVar(o, Zig(static_cast<int32_t>(d)));
      }
      clock = e.value;
      return;
    }
    case DemoRead::kKey:
      for (int i = 0; i < 8; ++i)
        if (kKeys[i] == e.arg) {
          o.push_back(static_cast<uint8_t>(0x80 | (i << 1) | (e.yes ? 1 : 0)));
          return;
        }
      o.push_back(kKeyOther);
      PutVar(o, Zig(e.arg));
      o.push_back(e.yes ? 1 : 0);
      return;
    case DemoRead::kClose: o.push_back(e.yes ? kCloseYes : kCloseNo); return;
    case DemoRead::kFocusLoss: o.push_back(e.yes ? kFocusYes : kFocusNo); return;
    case DemoRead::kJoyCount:
    case DemoRead::kJoyArrivals:
    case DemoRead::kDepth:
      o.push_back(e.kind == DemoRead::kJoyCount ? kJoyCountCode
                  : e.kind == DemoRead::kJoyArrivals ? kJoyArrivalsCode : kDepthCode);
      PutVar(o, e.value);
      return;
    case DemoRead::kJoyRead:
      o.push_back(kJoyReadCode);
      PutVar(o, Zig(e.arg));
      o.push_back(e.yes ? 1 : 0);
      if (e.yes) {
        PutVar(o, e.joy.x);
        PutVar(o, e.joy.y);
        PutVar(o, e.joy.buttons);
      }
      return;
    case DemoRead::kOptions: o.push_back(kOptionsCode); return;
    case DemoRead::kInput: {
      const size_t n = e.name.size() < 255 ? e.name.size() : 255;
      o.push_back(kInputCode);
      o.push_back(static_cast<uint8_t>(n));
      o.insert(o.end(), e.name.begin(), e.name.begin() + static_cast<std::ptrdiff_t>(n));
      return;
    }
  }
}

bool DecodeDemoEvent(const std::vector<uint8_t>& raw, size_t& pos, uint32_t& clock, DemoEvent& e) {
  size_t p = pos;
  if (p >= raw.size()) return false;
  const uint8_t b = raw[p++];
  e = DemoEvent{};
  uint32_t v = 0;
  if (b < 0x80) {
    e.kind = DemoRead::kClock;
    e.value = clock + b;
  } else if (b < 0x90) {
    e.kind = DemoRead::kKey;
    e.arg = kKeys[(b >> 1) & 7];
    e.yes = b & 1;
  } else {
    switch (b) {
      case kKeyOther: {
        e.kind = DemoRead::kKey;
        if (!GetVar(raw, p, v) || p >= raw.size() || raw[p] > 1) return false;
        e.arg = Unzig(v);
        e.yes = raw[p++] != 0;
        break;
      }
      case kClockFar:
        e.kind = DemoRead::kClock;
        if (!GetVar(raw, p, v)) return false;
        e.value = clock + static_cast<uint32_t>(Unzig(v));
        break;
      case kCloseNo:
      case kCloseYes:
        e.kind = DemoRead::kClose;
        e.yes = b == kCloseYes;
        break;
      case kFocusNo:
      case kFocusYes:
        e.kind = DemoRead::kFocusLoss;
        e.yes = b == kFocusYes;
        break;
      case kJoyCountCode:
      case kJoyArrivalsCode:
      case kDepthCode:
        e.kind = b == kJoyCountCode ? DemoRead::kJoyCount : b == kDepthCode ? DemoRead::kDepth : DemoRead::kJoyArrivals;
        if (!GetVar(raw, p, e.value)) return false;
        break;
      case kJoyReadCode:
        e.kind = DemoRead::kJoyRead;
        if (!GetVar(raw, p, v) || p >= raw.size() || raw[p] > 1) return false;
        e.arg = Unzig(v);
        e.yes = raw[p++] != 0;
        if (e.yes && !(GetVar(raw, p, e.joy.x) && GetVar(raw, p, e.joy.y) && GetVar(raw, p, e.joy.buttons)))
          return false;
        break;
      case kOptionsCode: e.kind = DemoRead::kOptions; break;
      case kInputCode: {
        e.kind = DemoRead::kInput;
        if (p >= raw.size()) return false;
        const size_t n = raw[p++];
        if (n == 0 || raw.size() - p < n) return false;
        e.name.assign(reinterpret_cast<const char*>(raw.data() + p), n);
        p += n;
        break;
      }
      default: return false;
    }
  }
  if (e.kind == DemoRead::kClock) clock = e.value;
  pos = p;
  return true;
}

std::string DescribeDemoEvent(const DemoEvent& e) {
  std::string s = KindName(e.kind);
  if (e.kind == DemoRead::kKey) s += std::string(" (") + KeyName(e.arg) + ")";
  return s;
}

std::vector<uint8_t> WriteDemoBytes(const DemoHeader& h, const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> o(kMagic, kMagic + 8);
  Put16(o, h.format);
  const std::string prog = h.program.substr(0, 255);
  o.push_back(static_cast<uint8_t>(prog.size()));
  o.insert(o.end(), prog.begin(), prog.end());
  o.push_back(static_cast<uint8_t>((h.realWindow ? 1 : 0) | (h.endsWithGame ? 2 : 0) | (h.bot ? 4 : 0)));
  Put32(o, h.clockFirst);
  Put32(o, static_cast<uint32_t>(h.bestScore));
  Put16(o, static_cast<uint16_t>(h.bestCombo));
  Put32(o, h.reads);
  Put32(o, static_cast<uint32_t>(raw.size()));
  Put32(o, Crc(raw.data(), raw.size()));
  uLongf packed = compressBound(raw.size());
  std::vector<uint8_t> z(packed);
  if (compress2(z.data(), &packed, raw.data(), raw.size(), 9) != Z_OK) packed = 0;
  z.resize(packed);
  Put32(o, static_cast<uint32_t>(packed));
  // The ticket: present or not, then its id (16 bytes), seed and course.
  uint8_t id[16];
  const bool ticket = h.hasTicket && TicketIdBytes(h.ticket.id, id);
  o.push_back(ticket ? 1 : 0);
  if (ticket) {
    o.insert(o.end(), id, id + 16);
    for (int i = 0; i < 8; ++i) o.push_back(static_cast<uint8_t>(h.ticket.seed >> (8 * i)));
    const std::string course = h.ticket.course.substr(0, 255);
    o.push_back(static_cast<uint8_t>(course.size()));
    o.insert(o.end(), course.begin(), course.end());
  }
  o.insert(o.end(), z.begin(), z.end());
  Put32(o, Crc(o.data(), o.size()));
  return o;
}

namespace {
// The header, the sizes and the file's checksum; where the packed stream
// lies. Nothing is unpacked.
bool ReadHeader(const uint8_t* data, size_t size, DemoHeader& h, size_t& zAt, uint32_t& packed, uint32_t& rawSize,
                uint32_t& rawCrc, std::string& error) {
  h = DemoHeader{};
  In in{data, size};
  char magic[8];
  if (!in.Get(magic, 8) || std::memcmp(magic, kMagic, 8) != 0) {
    error = "not a demo file";
    return false;
  }
  if (!in.U16(h.format)) {
    error = "the demo is cut short";
    return false;
  }
  if (h.format != 1 && h.format != kDemoFormat) {
    error = "the demo has format " + std::to_string(h.format) + ", this program reads formats 1 to " +
            std::to_string(kDemoFormat);
    return false;
  }
  uint8_t n = 0, flag = 0;
  uint16_t combo = 0;
  uint32_t score = 0, fileCrc = 0;
  char prog[256];
  if (!in.U8(n) || !in.Get(prog, n) || !in.U8(flag) || !in.U32(h.clockFirst) || !in.U32(score) || !in.U16(combo) ||
      !in.U32(h.reads) || !in.U32(rawSize) || !in.U32(rawCrc) || !in.U32(packed)) {
    error = "the demo is cut short";
    return false;
  }
  h.program.assign(prog, n);
  h.realWindow = (flag & 1) != 0;
  h.endsWithGame = (flag & 2) != 0;
  h.bot = (flag & 4) != 0;
  h.bestScore = static_cast<int32_t>(score);
  h.bestCombo = static_cast<int16_t>(combo);
  if (h.program != VersionText()) {
    error = "the demo was recorded by " + (h.program.empty() ? std::string("an unnamed program") : Printable(h.program)) +
            ", this is " + VersionText();
    return false;
  }
  if (h.format >= 2) {
    uint8_t ticket = 0;
    if (!in.U8(ticket) || ticket > 1) {
      error = "the demo is damaged (its ticket is unreadable)";
      return false;
    }
    if (ticket == 1) {
      uint8_t id[16], seed[8], cn = 0;
      char course[256];
      if (!in.Get(id, 16) || !in.Get(seed, 8) || !in.U8(cn) || !in.Get(course, cn)) {
        error = "the demo is cut short";
        return false;
      }
      h.hasTicket = true;
      h.ticket.id = TicketIdText(id);
      for (int i = 7; i >= 0; --i) h.ticket.seed = (h.ticket.seed << 8) | seed[i];
      h.ticket.course.assign(course, cn);
    }
  }
  if (flag > (h.format >= 2 ? 7 : 3) || rawSize > kMaxRaw || packed > size - in.p) {
    error = "the demo is damaged (its sizes are wrong)";
    return false;
  }
  zAt = in.p;
  in.p += packed;
  if (!in.U32(fileCrc) || in.p != size) {
    error = "the demo is damaged (its length is wrong)";
    return false;
  }
  if (Crc(data, size - 4) != fileCrc) {
    error = "the demo is damaged (its checksum does not match)";
    return false;
  }
  return true;
}
}  // namespace

bool ReadDemoHeader(const uint8_t* data, size_t size, DemoHeader& h, uint32_t& rawSize, std::string& error) {
  size_t zAt = 0;
  uint32_t packed = 0, rawCrc = 0;
  return ReadHeader(data, size, h, zAt, packed, rawSize, rawCrc, error);
}

bool ReadDemoBytes(const uint8_t* data, size_t size, DemoHeader& h, std::vector<uint8_t>& raw, std::string& error) {
  raw.clear();
  size_t zAt = 0;
  uint32_t packed = 0, rawSize = 0, rawCrc = 0;
  if (!ReadHeader(data, size, h, zAt, packed, rawSize, rawCrc, error)) return false;
  raw.resize(rawSize);
  uLongf got = rawSize;
  if (rawSize > 0 || packed > 0) {
    // An empty stream still has its compressed form; a zero-size buffer needs a valid pointer.
    uint8_t dummy = 0;
    if (uncompress(rawSize ? raw.data() : &dummy, &got, data + zAt, packed) != Z_OK || got != rawSize ||
        Crc(raw.data(), raw.size()) != rawCrc) {
      error = "the demo is damaged (its stream does not unpack)";
      raw.clear();
      return false;
    }
  }
  // Every event must read, and their number must be the header's.
  size_t p = 0;
  uint32_t clock = h.clockFirst, count = 0;
  DemoEvent e;
  while (p < raw.size()) {
    if (!DecodeDemoEvent(raw, p, clock, e)) {
      error = "the demo is damaged (read " + std::to_string(count + 1) + " does not decode)";
      raw.clear();
      return false;
    }
    ++count;
  }
  if (count != h.reads) {
    error = "the demo is damaged (it holds " + std::to_string(count) + " reads, its header says " +
            std::to_string(h.reads) + ")";
    raw.clear();
    return false;
  }
  return true;
}

bool LoadDemoFile(const std::string& path, DemoHeader& h, std::vector<uint8_t>& raw, std::string& error) {
  const FileRead r = ReadPlainFile(path, kMaxFile);
  if (r.outcome != FileRead::kRead) {
    error = r.outcome == FileRead::kTooLarge ? "too large for a demo" : r.Why();
    return false;
  }
  return ReadDemoBytes(reinterpret_cast<const uint8_t*>(r.bytes.data()), r.bytes.size(), h, raw, error);
}

// ---- recording ----

void DemoRecorder::Log(const DemoEvent& e) {
  EncodeDemoEvent(e, lastClock_, raw_);
  ++header_.reads;
}

DemoHeader DemoRecorder::Header() const {
  DemoHeader h = header_;
  h.program = VersionText();
  return h;
}

bool DemoRecorder::Save(const std::string& path, std::string& error) const {
  const std::vector<uint8_t> bytes = WriteDemoBytes(Header(), raw_);
  return ReplaceFile(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, error);
}

uint32_t DemoRecorder::Clock() {
  if (observing_ && started_) return lastClock_;
  const uint32_t v = in_.Clock();
  if (!started_) {
    started_ = true;
    header_.clockFirst = v;
    lastClock_ = v;
  }
  if (observing_) return v;
  DemoEvent e;
  e.kind = DemoRead::kClock;
  e.value = v;
  Log(e);
  return v;
}

const DemoEvent& DemoRecorder::Ask(DemoRead kind, int32_t arg) {
  ev_ = DemoEvent{};
  ev_.kind = kind;
  ev_.arg = arg;
  switch (kind) {
    case DemoRead::kClose: ev_.yes = in_.CloseRequested(); break;
    case DemoRead::kDepth: ev_.value = static_cast<uint32_t>(in_.DesktopDepth()); break;
    case DemoRead::kKey: ev_.yes = in_.KeyDown(arg); break;
    case DemoRead::kJoyCount: ev_.value = static_cast<uint32_t>(in_.JoyCount()); break;
    case DemoRead::kJoyRead:
      ev_.yes = in_.JoyRead(arg, ev_.joy);
      if (!ev_.yes) ev_.joy = JoyReading{};
      break;
    case DemoRead::kJoyArrivals: ev_.value = in_.JoyArrivals(); break;
    case DemoRead::kFocusLoss: ev_.yes = in_.TakeFocusLoss(); break;
    case DemoRead::kOptions:
      ev_.yes = in_.TakeOptionsRequest();
      if (!ev_.yes) return ev_;
      break;
    case DemoRead::kInput:
      ev_.name = in_.TakeInput();
      if (ev_.name.size() > 255) ev_.name.resize(255);
      if (ev_.name.empty()) return ev_;
      break;
    case DemoRead::kClock: break;
  }
  if (kind != DemoRead::kKey && kind != DemoRead::kJoyRead) ev_.arg = 0;
  Log(ev_);
  return ev_;
}

// ---- playing back ----

DemoPlayer::DemoPlayer(Platform& inner, const DemoHeader& h, std::vector<uint8_t> raw, std::string name,
                       bool realTime)
    : DemoReads(inner), header_(h), raw_(std::move(raw)), name_(std::move(name)), realTime_(realTime), clock_(h.clockFirst) {}

void DemoPlayer::Say(const std::string& words) {
  message_ = words;
  if (!quiet_) std::fprintf(stderr, "morvik: %s\n", words.c_str());
}

const DemoEvent& DemoPlayer::Take(DemoRead kind, int32_t arg) {
  DemoEvent asked;
  asked.kind = kind;
  asked.arg = arg;
  // A best game kept as a replay ends with that game: the program ends there.
  if (pos_ >= raw_.size() && header_.endsWithGame) {
    ranOut_ = true;
    throw ProgramEnd{0};
  }
  if (pos_ >= raw_.size()) {
    Say("the demo " + Printable(name_) + " ends after " + std::to_string(done_) + " reads; the game asked for " +
        DescribeDemoEvent(asked) + ", the replay stops");
    throw ProgramEnd{1};
  }
  const uint32_t before = clock_;
  if (!DecodeDemoEvent(raw_, pos_, clock_, ev_)) {  // checked on loading; kept safe all the same
    Say("the demo " + Printable(name_) + " is damaged at read " + std::to_string(done_ + 1));
    throw ProgramEnd{2};
  }
  if (ev_.kind != kind || ((kind == DemoRead::kKey || kind == DemoRead::kJoyRead) && ev_.arg != arg)) {
    Say("the demo " + Printable(name_) + " does not match this program: at read " + std::to_string(done_ + 1) +
        " the game asked for " + DescribeDemoEvent(asked) + ", the demo holds " + DescribeDemoEvent(ev_));
    clock_ = before;
    throw ProgramEnd{2};
  }
  ++done_;
  return ev_;
}

uint32_t DemoPlayer::Clock() {
  if (observing_) return clock_;
  const uint32_t v = Take(DemoRead::kClock, 0).value;
  if (realTime_) {
    // Keep to the recorded pace: the demo's clock against the real one.
    const uint32_t now = in_.Clock();
    if (!paceStarted_) {
      paceStarted_ = true;
      paceBaseDemo_ = v;
      paceBaseReal_ = now;
    } else {
      // A real clock moves on by a frame's time between two reads; one that
      // jumps (a machine that slept while it recorded, or a made-up demo)
      // cannot be followed: waiting for it could take weeks.
      const uint32_t step = v - pacedLast_;
      if (step > kMaxPacedStep) {
        Say("the replay " + Printable(name_) + "'s clock jumps " +
            (static_cast<int32_t>(step) < 0 ? "back" : "ahead by " + std::to_string(step / 1000) + " s") +
            " at read " + std::to_string(done_) + "; watching it stops there");
        throw ProgramEnd{0};
      }
      in_.WaitUntil(paceBaseReal_ + (v - paceBaseDemo_));
    }
    pacedLast_ = v;
  }
  return v;
}

void DemoPlayer::Yield() {
  in_.Yield();
  // Closing the window during a replay ends it.
  if ((realTime_ || stopOnEscape_) && in_.CloseRequested()) throw ProgramEnd{0};
  if (stopOnEscape_) {
    // Held now, or pressed since the last frame (a tap shorter than a frame).
    bool stop = in_.KeyDown(VK_ESCAPE);
    for (std::string in; !stop && !(in = in_.TakeInput()).empty();) stop = in == "key:Escape" || in == "pad:b";
    if (stop) throw ProgramEnd{0};
  }
}

const DemoEvent& DemoPlayer::Ask(DemoRead kind, int32_t arg) {
  if (kind != DemoRead::kOptions && kind != DemoRead::kInput) return Take(kind, arg);
  // Kept only when they answered something: taken when they come next.
  size_t p = pos_;
  uint32_t c = clock_;
  DemoEvent e;
  if (!observing_ && p < raw_.size() && DecodeDemoEvent(raw_, p, c, e) && e.kind == kind) {
    Take(kind, 0);
    ev_.yes = true;  // an options request is kept as its code alone
    return ev_;
  }
  ev_ = DemoEvent{};
  ev_.kind = kind;
  return ev_;
}

}  // namespace morvik
