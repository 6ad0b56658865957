// SPDX-License-Identifier: GPL-3.0-or-later
// musicfit: readies a piece rendered by the fluidsynth program for the game,
// and checks the piece as it is shipped.
//
//   musicfit IN.wav LENGTH_MS OUT.wav   keeps the piece's LENGTH_MS and the
//                                       second that rings on after it, faded
//                                       out over its last half
//   musicfit IN.wav LENGTH_MS           only checks (the stored piece decoded)
//
// The game starts a piece again from the top one or two frames after its
// length, so what rings on past the length is heard up to then, and to its
// end through a long pause. Prints the lengths and the peak and RMS level
// over the piece's length; exits 1 when IN is shorter than the piece,
// (nearly) silent, or reaches full scale anywhere (a sample the renderer or
// the decoder had to clip), and 2 when it cannot be read or OUT written.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRingMs = 1000;  // kept past the length
constexpr int kFadeMs = 500;   // the last part of it, faded out

struct Wav {
  int channels = 0, rate = 0;
  std::vector<int16_t> samples;  // interleaved
  size_t Frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8) |
         (static_cast<uint8_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24);
}
uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

// 16-bit PCM only, as fluidsynth and oggdec write it. "" when read, else why not.
std::string ReadWav(const char* path, Wav& w) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot be read";
  std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return "not a WAV file";
  bool format = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    const std::string id = b.substr(at, 4);
    const size_t len = Le32(b, at + 4), body = at + 8;
    const size_t have = std::min(len, b.size() - body);  // a writer that never came back to fix the sizes
    if (id == "fmt ") {
      if (have < 16) return "a damaged format chunk";
      const int tag = Le16(b, body), bits = Le16(b, body + 14);
      w.channels = Le16(b, body + 2);
      w.rate = static_cast<int>(Le32(b, body + 4));
      if ((tag != 1 && tag != 0xFFFE) || bits != 16 || w.channels < 1 || w.channels > 8 || w.rate < 8000 ||
          w.rate > 192000)
        return "not 16-bit PCM";
      format = true;
    } else if (id == "data") {
      if (!format) return "sound before its format";
      w.samples.resize(have / 2 / static_cast<size_t>(w.channels) * static_cast<size_t>(w.channels));
      for (size_t i = 0; i < w.samples.size(); ++i) w.samples[i] = static_cast<int16_t>(Le16(b, body + 2 * i));
      return "";
    }
    at = body + len + (len & 1);
    if (at < body) break;
  }
  return "no sound in it";
}

void Put16(std::FILE* f, uint16_t v) {
  std::fputc(v & 0xFF, f);
  std::fputc(v >> 8, f);
}
void Put32(std::FILE* f, uint32_t v) {
  Put16(f, v & 0xFFFF);
  Put16(f, v >> 16);
}

bool WriteWav(const char* path, const Wav& w) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const uint32_t bytes = static_cast<uint32_t>(w.samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, static_cast<uint16_t>(w.channels));
  Put32(f, static_cast<uint32_t>(w.rate));
  Put32(f, static_cast<uint32_t>(w.rate * w.channels * 2));
  Put16(f, static_cast<uint16_t>(w.channels * 2));
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, bytes);
  for (int16_t v : w.samples) Put16(f, static_cast<uint16_t>(v));
  const bool ok = !std::ferror(f);
  return std::fclose(f) == 0 && ok;
}

double Db(double x) { return x > 0 ? 20.0 * std::log10(x) : -999.0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: musicfit IN.wav LENGTH_MS [OUT.wav]\n");
    return 2;
  }
  char* end = nullptr;
  const long lengthMs = std::strtol(argv[2], &end, 10);
  if (*argv[2] == '\0' || *end != '\0' || lengthMs <= 0 || lengthMs > 3600000) {
    std::fprintf(stderr, "musicfit: %s is not a length in milliseconds\n", argv[2]);
    return 2;
  }
  Wav w;
  const std::string problem = ReadWav(argv[1], w);
  if (!problem.empty()) {
    std::fprintf(stderr, "musicfit: %s: %s\n", argv[1], problem.c_str());
    return 2;
  }
  const size_t ch = static_cast<size_t>(w.channels);
  const size_t length = static_cast<size_t>(std::llround(lengthMs * (w.rate / 1000.0)));
  const double haveMs = 1000.0 * static_cast<double>(w.Frames()) / w.rate;
  if (w.Frames() < length) {
    std::fprintf(stderr, "musicfit: %s lasts %.0f ms, shorter than the piece's %ld ms\n", argv[1], haveMs, lengthMs);
    return 1;
  }

  if (argc == 4) {
    const size_t ring = static_cast<size_t>(w.rate) * kRingMs / 1000, fade = static_cast<size_t>(w.rate) * kFadeMs / 1000;
    const size_t keep = std::min(w.Frames(), length + ring);
    w.samples.resize(keep * ch);
    // A raised cosine to silence over the last half second (or what there is of it).
    const size_t from = keep > length + ring - fade ? length + ring - fade : keep;
    for (size_t i = from; i < keep; ++i) {
      const double g = 0.5 * (1.0 + std::cos(std::numbers::pi * static_cast<double>(i - from + 1) / static_cast<double>(fade)));
      for (size_t c = 0; c < ch; ++c) {
        int16_t& s = w.samples[i * ch + c];
        s = static_cast<int16_t>(std::lround(s * g));
      }
    }
  }

  int peak = 0;
  size_t clipped = 0;
  for (int16_t s : w.samples) {
    const int a = std::abs(static_cast<int>(s));
    peak = std::max(peak, a);
    clipped += a >= 32767;
  }
  double sum = 0;
  for (size_t i = 0; i < length * ch; ++i) sum += static_cast<double>(w.samples[i]) * w.samples[i];
  const double rms = std::sqrt(sum / static_cast<double>(length * ch)) / 32768.0;
  std::printf("%s: %.0f ms of %.0f ms, peak %.2f dBFS, RMS %.2f dBFS over its %ld ms\n", argc == 4 ? argv[3] : argv[1],
              1000.0 * static_cast<double>(w.Frames()) / w.rate, haveMs, Db(peak / 32768.0), Db(rms), lengthMs);
  if (clipped > 0) {
    std::fprintf(stderr, "musicfit: %s reaches full scale in %zu samples: lower the piece's volumes\n", argv[1], clipped);
    return 1;
  }
  if (Db(rms) < -40.0) {
    std::fprintf(stderr, "musicfit: %s is (nearly) silent: is the soundfont there?\n", argv[1]);
    return 1;
  }
  if (argc == 4 && !WriteWav(argv[3], w)) {
    std::fprintf(stderr, "musicfit: cannot write %s\n", argv[3]);
    return 2;
  }
  return 0;
}
