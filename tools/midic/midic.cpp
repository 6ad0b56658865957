// SPDX-License-Identifier: GPL-3.0-or-later
// midic: compiles a piece written as text into a Standard MIDI File (format 1).
//
//   midic IN.mus OUT.mid
//
// Top level, one statement a line ('#' at the start of a word begins a comment):
//   title NAME              the sequence name
//   tempo US                microseconds per quarter note
//   meter N/D               time signature (bar checks and the file's meta event)
//   ppq N                   ticks per quarter note (default 480)
//   bars N                  every track must last exactly this many bars
//   length_ms N             the piece must last exactly this long; checked to the microsecond
//   def NAME ... enddef     a phrase that tracks insert with $NAME (on one line or several)
//   track NAME key=value... channel=1..16 program=0..127 volume= pan= reverb= chorus=
//     ...notes...
//   end
//
// Notes, separated by blanks:
//   c4:8  e  g  c5:4        letter, optional # or b, optional octave (c4 = middle C),
//                           optional :length; octave and length carry on to later notes
//   lengths                 :1 :2 :4 :8 :16 :32, a dot adds half (:4.), t makes a
//                           triplet (:8t), + joins lengths (:2+8)
//   r  r:4                  rest
//   ~  ~:8                  holds the notes just played longer
//   [c4 e g]:2              a chord
//   kick snare hat ohat pedal crash splash ride bell tom1 tom2 tom3 tom4 clap stick tamb cowbell shaker
//                           drum hits, written like notes (kick:8, [kick hat]:8)
//   v100                    velocity of the notes that follow
//   q90                     how much of its length a note sounds, in percent
//   k-3                     transposes the notes that follow by semitones (not the drums)
//   @48                     program change
//   cc11=90                 controller change
//   |                       bar check: the track must stand on a bar line here
//   ( ... )x2               repeat
//   $NAME                   the phrase NAME
// Any error names the file and line and no output is written.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string gFile;

[[noreturn]] void Fail(int line, const std::string& msg) {
  std::fprintf(stderr, "%s:%d: %s\n", gFile.c_str(), line, msg.c_str());
  std::exit(1);
}

struct Token {
  std::string text;
  int line;
};

long ToInt(const std::string& s, int line, long lo, long hi, const char* what) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || v < lo || v > hi) Fail(line, std::string("bad ") + what + ": '" + s + "'");
  return v;
}

struct Event {
  int64_t tick;
  int order;  // at one tick: 0 note off, 1 meta/controls, 2 note on
  std::vector<uint8_t> bytes;
};

struct TrackDef {
  std::string name;
  int line = 0;
  int channel = 1, program = 0, volume = 100, pan = 64, reverb = -1, chorus = -1;
  std::vector<Token> body;
};

struct Piece {
  std::string title;
  long tempo = 500000, ppq = 480, bars = 0, lengthMs = -1;
  int meterN = 4, meterD = 4;
  std::map<std::string, std::vector<Token>> defs;
  std::vector<TrackDef> tracks;
};

void Tokenize(const std::string& text, int line, std::vector<Token>& out) {
  std::istringstream ss(text);
  std::string w;
  while (ss >> w) {
    // Chord brackets and repeat parentheses may touch the notes they enclose.
    while (w.size() > 1 && (w[0] == '[' || w[0] == '(')) {
      out.push_back({w.substr(0, 1), line});
      w.erase(0, 1);
    }
    size_t close = w.find_first_of("])");
    if (close != std::string::npos && close > 0) {
      out.push_back({w.substr(0, close), line});
      w.erase(0, close);
    }
    out.push_back({w, line});
  }
}

Piece Parse(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail(0, "cannot read");
  Piece p;
  std::string text;
  int line = 0;
  enum { Top, InDef, InTrack } where = Top;
  std::string defName;
  while (std::getline(in, text)) {
    ++line;
    // '#' opens a comment where it starts a word; inside a word it is a sharp (c#5).
    for (size_t h = 0; h < text.size(); ++h)
      if (text[h] == '#' && (h == 0 || text[h - 1] == ' ' || text[h - 1] == '\t')) {
        text.erase(h);
        break;
      }
    std::istringstream ss(text);
    std::string w;
    if (!(ss >> w)) continue;
    if (where == InDef) {
      if (w == "enddef") where = Top;
      else Tokenize(text, line, p.defs[defName]);
      continue;
    }
    if (where == InTrack) {
      if (w == "end") where = Top;
      else Tokenize(text, line, p.tracks.back().body);
      continue;
    }
    std::string v;
    if (w == "title") {
      std::getline(ss >> std::ws, p.title);
    } else if (w == "tempo") {
      ss >> v;
      p.tempo = ToInt(v, line, 1, 0xFFFFFF, "tempo");
    } else if (w == "ppq") {
      ss >> v;
      p.ppq = ToInt(v, line, 24, 15360, "ppq");
    } else if (w == "bars") {
      ss >> v;
      p.bars = ToInt(v, line, 1, 10000, "bar count");
    } else if (w == "length_ms") {
      ss >> v;
      p.lengthMs = ToInt(v, line, 1, 3600000, "length");
    } else if (w == "meter") {
      ss >> v;
      auto slash = v.find('/');
      if (slash == std::string::npos) Fail(line, "meter is N/D");
      p.meterN = static_cast<int>(ToInt(v.substr(0, slash), line, 1, 32, "meter"));
      p.meterD = static_cast<int>(ToInt(v.substr(slash + 1), line, 1, 32, "meter"));
      if (p.meterD & (p.meterD - 1)) Fail(line, "the meter's lower number must be a power of two");
    } else if (w == "def") {
      if (!(ss >> defName)) Fail(line, "def needs a name");
      if (p.defs.count(defName)) Fail(line, "phrase " + defName + " defined twice");
      // A short phrase may stand on its own line: def NAME notes... enddef
      std::string rest;
      std::getline(ss, rest);
      auto endAt = rest.rfind("enddef");
      bool oneLine = endAt != std::string::npos && rest.find_first_not_of(" \t", endAt + 6) == std::string::npos;
      if (oneLine) rest.erase(endAt);
      Tokenize(rest, line, p.defs[defName]);
      where = oneLine ? Top : InDef;
    } else if (w == "track") {
      TrackDef t;
      t.line = line;
      if (!(ss >> t.name)) Fail(line, "track needs a name");
      std::string kv;
      while (ss >> kv) {
        auto eq = kv.find('=');
        if (eq == std::string::npos) Fail(line, "expected key=value, got '" + kv + "'");
        std::string k = kv.substr(0, eq), val = kv.substr(eq + 1);
        if (k == "channel") t.channel = static_cast<int>(ToInt(val, line, 1, 16, "channel"));
        else if (k == "program") t.program = static_cast<int>(ToInt(val, line, 0, 127, "program"));
        else if (k == "volume") t.volume = static_cast<int>(ToInt(val, line, 0, 127, "volume"));
        else if (k == "pan") t.pan = static_cast<int>(ToInt(val, line, 0, 127, "pan"));
        else if (k == "reverb") t.reverb = static_cast<int>(ToInt(val, line, 0, 127, "reverb"));
        else if (k == "chorus") t.chorus = static_cast<int>(ToInt(val, line, 0, 127, "chorus"));
        else Fail(line, "unknown track setting '" + k + "'");
      }
      p.tracks.push_back(t);
      where = InTrack;
    } else {
      Fail(line, "unknown statement '" + w + "'");
    }
  }
  if (where != Top) Fail(line, "missing end or enddef");
  if (p.tracks.empty()) Fail(line, "no tracks");
  if (p.bars <= 0) Fail(line, "bars is required");
  return p;
}

// Expands phrases and repeats into one flat list.
void Expand(const Piece& p, const std::vector<Token>& in, std::vector<Token>& out, int depth) {
  if (depth > 16) Fail(in.empty() ? 0 : in[0].line, "phrases nested too deep (a phrase uses itself?)");
  for (size_t i = 0; i < in.size(); ++i) {
    const Token& t = in[i];
    if (t.text[0] == '$') {
      auto it = p.defs.find(t.text.substr(1));
      if (it == p.defs.end()) Fail(t.line, "unknown phrase " + t.text);
      Expand(p, it->second, out, depth + 1);
    } else if (t.text == "(") {
      int level = 1;
      size_t j = i + 1;
      for (; j < in.size(); ++j) {
        if (in[j].text == "(") ++level;
        else if (in[j].text.rfind(")", 0) == 0 && --level == 0) break;
      }
      if (j == in.size()) Fail(t.line, "( without )");
      const std::string& close = in[j].text;
      if (close.size() < 3 || close[1] != 'x') Fail(in[j].line, "a repeat closes with )xN");
      long n = ToInt(close.substr(2), in[j].line, 1, 256, "repeat count");
      std::vector<Token> inner(in.begin() + static_cast<long>(i) + 1, in.begin() + static_cast<long>(j));
      for (long k = 0; k < n; ++k) Expand(p, inner, out, depth + 1);
      i = j;
    } else if (t.text.rfind(")", 0) == 0) {
      Fail(t.line, ") without (");
    } else {
      out.push_back(t);
    }
  }
}

const std::map<std::string, int>& Drums() {
  static const std::map<std::string, int> d = {
      {"kick", 36}, {"kick2", 35}, {"stick", 37}, {"snare", 38}, {"clap", 39}, {"snare2", 40},
      {"tom4", 41}, {"hat", 42},   {"tom3", 43},  {"pedal", 44}, {"tom2", 45}, {"ohat", 46},
      {"tom1", 48}, {"crash", 49}, {"ride", 51},  {"china", 52}, {"bell", 53}, {"tamb", 54},
      {"splash", 55}, {"cowbell", 56}, {"crash2", 57}, {"shaker", 70}, {"triangle", 81}};
  return d;
}

struct Compiler {
  const Piece& p;
  const TrackDef& t;
  std::vector<Event> ev;
  int64_t now = 0;
  int64_t len;
  int octave = 4, velocity = 90, gate = 90, transpose = 0;
  std::vector<std::pair<int, int64_t>> last;  // notes just played: pitch, index of their note-off
  int64_t barTicks;
  int64_t endTicks;

  Compiler(const Piece& piece, const TrackDef& track)
      : p(piece), t(track), len(piece.ppq), barTicks(piece.ppq * 4 * piece.meterN / piece.meterD),
        endTicks(barTicks * piece.bars) {}

  uint8_t Ch() const { return static_cast<uint8_t>(t.channel - 1); }

  int64_t ParseLength(const std::string& s, int line) {
    int64_t total = 0;
    std::istringstream ss(s);
    std::string part;
    while (std::getline(ss, part, '+')) {
      size_t k = 0;
      while (k < part.size() && isdigit(static_cast<unsigned char>(part[k]))) ++k;
      long d = ToInt(part.substr(0, k), line, 1, 64, "length");
      if (d & (d - 1)) Fail(line, "a length is 1, 2, 4, 8, 16, 32 or 64");
      int64_t ticks = p.ppq * 4;
      if (ticks % d) Fail(line, "length too short for this ppq");
      ticks /= d;
      std::string rest = part.substr(k);
      if (rest == ".") {
        if (ticks % 2) Fail(line, "dotted length too short for this ppq");
        ticks += ticks / 2;
      } else if (rest == "t") {
        if ((ticks * 2) % 3) Fail(line, "triplet length too short for this ppq");
        ticks = ticks * 2 / 3;
      } else if (!rest.empty()) {
        Fail(line, "bad length '" + part + "'");
      }
      total += ticks;
    }
    if (total <= 0) Fail(line, "empty length");
    return total;
  }

  // A note or drum name; returns the MIDI key or -1 for a rest.
  int ParsePitch(const std::string& s, int line) {
    if (s == "r") return -1;
    auto d = Drums().find(s);
    if (d != Drums().end()) return d->second;
    static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    if (s.empty() || s[0] < 'a' || s[0] > 'g') Fail(line, "not a note: '" + s + "'");
    int key = base[s[0] - 'a'];
    size_t k = 1;
    if (k < s.size() && s[k] == '#') { ++key; ++k; }
    else if (k < s.size() && s[k] == 'b') { --key; ++k; }
    if (k < s.size()) octave = static_cast<int>(ToInt(s.substr(k), line, 0, 9, "octave"));
    int midi = 12 * (octave + 1) + key + transpose;
    if (midi < 0 || midi > 127) Fail(line, "note out of range: '" + s + "'");
    return midi;
  }

  void Put(int64_t tick, int order, std::vector<uint8_t> b) { ev.push_back({tick, order, std::move(b)}); }

  void Sound(const std::vector<int>& keys, int64_t ticks) {
    last.clear();
    int64_t sounding = std::max<int64_t>(1, ticks * gate / 100);
    for (int k : keys) {
      Put(now, 2, {static_cast<uint8_t>(0x90 | Ch()), static_cast<uint8_t>(k), static_cast<uint8_t>(velocity)});
      Put(now + sounding, 0, {static_cast<uint8_t>(0x80 | Ch()), static_cast<uint8_t>(k), 0});
      last.push_back({k, static_cast<int64_t>(ev.size() - 1)});
    }
    now += ticks;
  }

  void Run(const std::vector<Token>& toks) {
    Put(0, 1, {static_cast<uint8_t>(0xC0 | Ch()), static_cast<uint8_t>(t.program)});
    Put(0, 1, {static_cast<uint8_t>(0xB0 | Ch()), 7, static_cast<uint8_t>(t.volume)});
    Put(0, 1, {static_cast<uint8_t>(0xB0 | Ch()), 10, static_cast<uint8_t>(t.pan)});
    Put(0, 1, {static_cast<uint8_t>(0xB0 | Ch()), 11, 127});
    if (t.reverb >= 0) Put(0, 1, {static_cast<uint8_t>(0xB0 | Ch()), 91, static_cast<uint8_t>(t.reverb)});
    if (t.chorus >= 0) Put(0, 1, {static_cast<uint8_t>(0xB0 | Ch()), 93, static_cast<uint8_t>(t.chorus)});
    for (size_t i = 0; i < toks.size(); ++i) {
      const std::string& s = toks[i].text;
      int line = toks[i].line;
      if (s == "|") {
        if (now % barTicks) Fail(line, "track " + t.name + ": bar check: " + std::to_string(now % barTicks) + " ticks past the bar line " +
                                           std::to_string(now / barTicks + 1));
      } else if (s == "[") {
        std::vector<int> keys;
        size_t j = i + 1;
        for (; j < toks.size() && toks[j].text[0] != ']'; ++j) {
          int k = ParsePitch(toks[j].text, toks[j].line);
          if (k < 0) Fail(toks[j].line, "a rest inside a chord");
          keys.push_back(k);
        }
        if (j == toks.size()) Fail(line, "[ without ]");
        const std::string& close = toks[j].text;
        if (close.size() > 1) {
          if (close[1] != ':') Fail(toks[j].line, "a chord closes with ] or ]:LENGTH");
          len = ParseLength(close.substr(2), toks[j].line);
        }
        if (keys.empty()) Fail(line, "empty chord");
        Sound(keys, len);
        i = j;
      } else if (s[0] == '~') {
        if (s.size() > 1) {
          if (s[1] != ':') Fail(line, "a hold is ~ or ~:LENGTH");
          len = ParseLength(s.substr(2), line);
        }
        if (last.empty()) Fail(line, "~ with nothing to hold");
        for (auto& [key, off] : last) ev[static_cast<size_t>(off)].tick = now + std::max<int64_t>(1, len * gate / 100);
        now += len;
      } else if (s[0] == 'v' && s.size() > 1 && isdigit(static_cast<unsigned char>(s[1]))) {
        velocity = static_cast<int>(ToInt(s.substr(1), line, 1, 127, "velocity"));
      } else if (s[0] == 'q' && s.size() > 1) {
        gate = static_cast<int>(ToInt(s.substr(1), line, 1, 100, "gate"));
      } else if (s[0] == 'k' && s.size() > 1 && (s[1] == '+' || s[1] == '-' || isdigit(static_cast<unsigned char>(s[1])))) {
        transpose = static_cast<int>(ToInt(s[1] == '+' ? s.substr(2) : s.substr(1), line, -48, 48, "transpose"));
      } else if (s[0] == '@') {
        Put(now, 1, {static_cast<uint8_t>(0xC0 | Ch()), static_cast<uint8_t>(ToInt(s.substr(1), line, 0, 127, "program"))});
      } else if (s.rfind("cc", 0) == 0 && s.find('=') != std::string::npos) {
        auto eq = s.find('=');
        Put(now, 1, {static_cast<uint8_t>(0xB0 | Ch()), static_cast<uint8_t>(ToInt(s.substr(2, eq - 2), line, 0, 127, "controller")),
                     static_cast<uint8_t>(ToInt(s.substr(eq + 1), line, 0, 127, "controller value"))});
      } else {
        std::string name = s, lenText;
        if (auto colon = s.find(':'); colon != std::string::npos) {
          name = s.substr(0, colon);
          lenText = s.substr(colon + 1);
        }
        if (!lenText.empty()) len = ParseLength(lenText, line);
        int k = ParsePitch(name, line);
        if (k < 0) {
          last.clear();
          now += len;
        } else {
          Sound({k}, len);
        }
      }
      if (now > endTicks) Fail(line, "track " + t.name + " runs past bar " + std::to_string(p.bars));
    }
    if (now != endTicks)
      Fail(t.line, "track " + t.name + " lasts " + std::to_string(now) + " ticks, the piece " + std::to_string(endTicks));
    for (auto& e : ev) e.tick = std::min(e.tick, endTicks);
  }
};

void PutVar(std::vector<uint8_t>& b, uint64_t v) {
  uint8_t tmp[10];
  int n = 0;
  tmp[n++] = v & 0x7F;
  while (v >>= 7) tmp[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
  while (n) b.push_back(tmp[--n]);
}

std::vector<uint8_t> TrackChunk(std::vector<Event> ev, int64_t endTicks) {
  std::stable_sort(ev.begin(), ev.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<uint8_t> data;
  int64_t at = 0;
  for (const Event& e : ev) {
    PutVar(data, static_cast<uint64_t>(e.tick - at));
    at = e.tick;
    data.insert(data.end(), e.bytes.begin(), e.bytes.end());
  }
  PutVar(data, static_cast<uint64_t>(endTicks - at));
  data.insert(data.end(), {0xFF, 0x2F, 0x00});
  std::vector<uint8_t> chunk = {'M', 'T', 'r', 'k'};
  uint32_t n = static_cast<uint32_t>(data.size());
  chunk.insert(chunk.end(), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                             static_cast<uint8_t>(n)});
  chunk.insert(chunk.end(), data.begin(), data.end());
  return chunk;
}

std::vector<uint8_t> Meta(uint8_t type, const std::string& text) {
  std::vector<uint8_t> b = {0xFF, type};
  PutVar(b, text.size());
  b.insert(b.end(), text.begin(), text.end());
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: midic IN.mus OUT.mid\n");
    return 2;
  }
  gFile = argv[1];
  Piece p = Parse(argv[1]);
  const int64_t barTicks = p.ppq * 4 * p.meterN / p.meterD;
  if ((p.ppq * 4 * p.meterN) % p.meterD) Fail(0, "the bar is not a whole number of ticks");
  const int64_t endTicks = barTicks * p.bars;
  // The length in microseconds must come out whole and exact.
  const int64_t us = endTicks * p.tempo / p.ppq;
  if ((endTicks * p.tempo) % p.ppq) Fail(0, "the length is not a whole number of microseconds");
  if (p.lengthMs >= 0 && us != p.lengthMs * 1000)
    Fail(0, "the piece lasts " + std::to_string(us) + " us, not " + std::to_string(p.lengthMs) + " ms");

  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  uint16_t ntracks = static_cast<uint16_t>(p.tracks.size() + 1);
  file.insert(file.end(), {static_cast<uint8_t>(ntracks >> 8), static_cast<uint8_t>(ntracks),
                           static_cast<uint8_t>(p.ppq >> 8), static_cast<uint8_t>(p.ppq)});
  // The conductor track: name, tempo and meter.
  std::vector<Event> cond;
  cond.push_back({0, 1, Meta(0x03, p.title)});
  int dd = 0;
  while ((1 << dd) < p.meterD) ++dd;
  cond.push_back({0, 1, {0xFF, 0x58, 0x04, static_cast<uint8_t>(p.meterN), static_cast<uint8_t>(dd), 24, 8}});
  cond.push_back({0, 1, {0xFF, 0x51, 0x03, static_cast<uint8_t>(p.tempo >> 16), static_cast<uint8_t>(p.tempo >> 8),
                         static_cast<uint8_t>(p.tempo)}});
  auto c = TrackChunk(cond, endTicks);
  file.insert(file.end(), c.begin(), c.end());
  int notes = 0;
  for (const TrackDef& t : p.tracks) {
    std::vector<Token> flat;
    Expand(p, t.body, flat, 0);
    Compiler comp(p, t);
    comp.Run(flat);
    for (const auto& e : comp.ev) notes += (e.bytes[0] & 0xF0) == 0x90;
    comp.ev.insert(comp.ev.begin(), {0, 1, Meta(0x03, t.name)});
    auto chunk = TrackChunk(comp.ev, endTicks);
    file.insert(file.end(), chunk.begin(), chunk.end());
  }
  std::string tmp = std::string(argv[2]) + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0 ||
      std::rename(tmp.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %ld bars, %lld.%03lld ms, %zu tracks, %d notes\n", argv[2], p.bars, static_cast<long long>(us / 1000),
              static_cast<long long>(us % 1000), p.tracks.size(), notes);
  return 0;
}
