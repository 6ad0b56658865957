// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/trace.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace morvik {

namespace {
// Writes a line straight into the string's own storage: numbers go in with
// std::to_chars, with no formatting state and no temporary strings.
class Out {
 public:
  explicit Out(std::string& s) : s_(s), n_(s.size()) {}
  ~Out() { s_.resize(n_); }
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;

  void Put(char c) { *Room(1) = c; ++n_; }
  void Put(const char* p, size_t k) {
    std::memcpy(Room(k), p, k);
    n_ += k;
  }
  template <size_t N>
  void Lit(const char (&text)[N]) {
    Put(text, N - 1);
  }
  void Str(const std::string& text) { Put(text.data(), text.size()); }
  void Int(long long v) {
    char* p = Room(24);
    n_ = static_cast<size_t>(std::to_chars(p, p + 24, v).ptr - s_.data());
  }
  void Real(float v) {
    if (std::isnan(v)) {
      Lit("\"nan\"");
    } else if (std::isinf(v)) {
      if (v > 0) Lit("\"inf\"");
      else Lit("\"-inf\"");
    } else if (v == std::trunc(v) && std::fabs(v) < 1e9f) {
      // A whole number below a billion is written as one, as nine significant digits would be.
      if (std::signbit(v)) Put('-');
      Int(static_cast<long long>(std::fabs(v)));
    } else {
      // Nine significant digits read back as the same single.
      char* p = Room(32);
      n_ = static_cast<size_t>(
          std::to_chars(p, p + 32, static_cast<double>(v), std::chars_format::general, 9).ptr - s_.data());
    }
  }

 private:
  char* Room(size_t k) {
    if (n_ + k > s_.size()) s_.resize(std::max(2 * s_.size(), n_ + k + 4096));
    return s_.data() + n_;
  }
  std::string& s_;
  size_t n_;
};

template <class T>
void Num(Out& o, T v) {
  if constexpr (std::is_same_v<T, float>) o.Real(v);
  else o.Int(static_cast<long long>(v));
}
template <size_t N, class T>
void Field(Out& o, const char (&name)[N], const T& v) {
  o.Lit(",\"");
  o.Lit(name);
  o.Lit("\":");
  if constexpr (std::is_array_v<T>) {
    o.Put('[');
    for (size_t i = 0; i < std::extent_v<T>; ++i) {
      if (i) o.Put(',');
      Num(o, v[i]);
    }
    o.Put(']');
  } else {
    Num(o, v);
  }
}
}  // namespace

void TraceLine(const Game& g, std::string& line) {
  Out o(line);
  o.Lit("{\"t\":");
  o.Int(g.plat.Clock());
  o.Lit(",\"frame\":");
  o.Int(g.playFrame);
  o.Lit(",\"sounds\":[");
  for (int i = 0; i < g.frameSoundCount && i < static_cast<int>(g.frameSounds.size()); ++i) {
    if (i) o.Put(',');
    o.Put('"');
    o.Put(g.frameSounds[i], std::strlen(g.frameSounds[i]));
    o.Put('"');
  }
  o.Lit("],\"MusicName\":\"");
  o.Str(g.MusicName);
  o.Put('"');
#define MORVIK_TRACE_FIELD(type, name, count) Field(o, #name, g.name);
  MORVIK_GAME_STATE(MORVIK_TRACE_FIELD)
#undef MORVIK_TRACE_FIELD
  o.Put('}');
}

bool TraceFile::Open(const std::string& path, std::string& why) { return file_.Open(path, why); }

void TraceFile::Write(const std::string& s) {
  if (!file_.Write(s.data(), s.size())) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - flushed_ < std::chrono::milliseconds(100)) return;
  flushed_ = now;
  file_.Flush();
}

bool TraceFile::Close(std::string& error) { return file_.Close(error); }

void TraceWriter::OnPlayFrame(Game& g) {
  if (!Ready()) return;
  line_.clear();
  TraceLine(g, line_);
  line_ += '\n';
  Write(line_);
}

void TraceDigestWriter::OnPlayFrame(Game& g) {
  if (!Ready()) return;
  line_.clear();
  TraceLine(g, line_);
  uint64_t h = 1469598103934665603ULL;  // FNV-1a
  for (unsigned char c : line_) h = (h ^ c) * 1099511628211ULL;
  std::string sounds;
  for (int i = 0; i < g.frameSoundCount && i < static_cast<int>(g.frameSounds.size()); ++i) {
    sounds += i ? "," : " ";
    sounds += g.frameSounds[i];
  }
  char head[256];
  std::snprintf(head, sizeof head, "%d t%u m%d seg%d hero%d %.1f,%.1f lives%d score%d kills%d combo%d", g.playFrame,
                g.plat.Clock(), g.ScreenMode, g.SegmentNo, g.HeroState, static_cast<double>(g.HeroX),
                static_cast<double>(g.HeroY), g.Lives, g.Score, g.KillCount, g.MaxCombo);
  char hash[24];
  std::snprintf(hash, sizeof hash, " %016llx\n", static_cast<unsigned long long>(h));
  line_ = head;
  line_ += sounds;
  line_ += hash;
  Write(line_);
}

}  // namespace morvik
