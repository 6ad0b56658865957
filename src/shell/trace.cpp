// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/trace.hpp"

#include <cmath>
#include <cstdio>
#include <type_traits>

namespace morvik {

namespace {
void Num(std::string& o, float v) {
  char b[32];
  if (std::isnan(v)) {
    o += "\"nan\"";
    return;
  }
  if (std::isinf(v)) {
    o += v > 0 ? "\"inf\"" : "\"-inf\"";
    return;
  }
  // Nine significant digits read back as the same single.
  std::snprintf(b, sizeof b, "%.9g", static_cast<double>(v));
  o += b;
}
template <class T>
void Num(std::string& o, T v) {
  o += std::to_string(static_cast<long long>(v));
}
template <class T>
void Field(std::string& o, const char* name, const T& v) {
  o += ",\"";
  o += name;
  o += "\":";
  if constexpr (std::is_array_v<T>) {
    o += '[';
    for (size_t i = 0; i < std::extent_v<T>; ++i) {
      if (i) o += ',';
      Num(o, v[i]);
    }
    o += ']';
  } else {
    Num(o, v);
  }
}
}  // namespace

void TraceLine(const Game& g, std::string& o) {
  o += "{\"t\":";
  o += std::to_string(g.plat.Clock());
  o += ",\"frame\":";
  o += std::to_string(g.playFrame);
  o += ",\"sounds\":[";
  for (int i = 0; i < g.frameSoundCount && i < static_cast<int>(g.frameSounds.size()); ++i) {
    if (i) o += ',';
    o += '"';
    o += g.frameSounds[i];
    o += '"';
  }
  o += "],\"MusicName\":\"";
  o += g.MusicName;
  o += '"';
#define MORVIK_TRACE_FIELD(type, name, count) Field(o, #name, g.name);
  MORVIK_GAME_STATE(MORVIK_TRACE_FIELD)
#undef MORVIK_TRACE_FIELD
  o += '}';
}

bool TraceFile::Open(const std::string& path) {
  if (f_) std::fclose(f_);
  f_ = std::fopen(path.c_str(), "w");
  return f_ != nullptr;
}

TraceFile::~TraceFile() {
  if (f_) std::fclose(f_);
}

void TraceWriter::OnPlayFrame(Game& g) {
  if (!f_) return;
  line_.clear();
  TraceLine(g, line_);
  line_ += '\n';
  std::fwrite(line_.data(), 1, line_.size(), f_);
}

void TraceDigestWriter::OnPlayFrame(Game& g) {
  if (!f_) return;
  line_.clear();
  TraceLine(g, line_);
  uint64_t h = 1469598103934665603ULL;  // FNV-1a
  for (unsigned char c : line_) h = (h ^ c) * 1099511628211ULL;
  std::string sounds;
  for (int i = 0; i < g.frameSoundCount && i < static_cast<int>(g.frameSounds.size()); ++i) {
    sounds += i ? "," : " ";
    sounds += g.frameSounds[i];
  }
  std::fprintf(f_, "%d t%u m%d seg%d hero%d %.1f,%.1f lives%d score%d kills%d combo%d%s %016llx\n", g.playFrame,
               g.plat.Clock(), g.ScreenMode, g.SegmentNo, g.HeroState, static_cast<double>(g.HeroX),
               static_cast<double>(g.HeroY), g.Lives, g.Score, g.KillCount, g.MaxCombo, sounds.c_str(),
               static_cast<unsigned long long>(h));
}

}  // namespace morvik
