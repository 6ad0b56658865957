// SPDX-License-Identifier: GPL-3.0-or-later
// sfxsynth: turns a small text description of a sound effect into a 16-bit
// PCM mono wave file.
//
//   sfxsynth IN.sfx OUT.wav
//
// The description is one statement a line; '#' starts a comment.
//   rate HZ            sample rate (default 44100)
//   peak DB            the loudest sample lands at this level in dBFS (default -3)
//   length S           total length in seconds (default: the end of the last tone)
//   tone KEY=VALUE...  one voice; the keys are
//     wave=square|triangle|saw|sine|noise
//     start=S dur=S    when the note starts and how long it is held
//     f=HZ to=HZ       pitch at the start and at the end of the release (to defaults to f)
//     slide=exp|lin    how the pitch moves from f to to (default exp)
//     duty=X duty_to=X pulse width of a square (default 0.5)
//     a=S d=S s=X r=S  envelope: attack, decay to the sustain level s, release after dur
//     gain=X           level of this voice before the whole sound is scaled to the peak
//     vib=HZ vibdepth=SEMITONES
//     arp=0,4,7 step=S pitch steps in semitones, cycled every step seconds
//     lp=HZ lp_to=HZ   one-pole low-pass filter on the voice, its cut-off sliding
//     seed=N           noise seed (noise is sample-and-hold at the pitch f)
// Unknown keys and malformed numbers are errors: a typo must not pass quietly.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum class Wave { Square, Triangle, Saw, Sine, Noise };

struct Tone {
  Wave wave = Wave::Square;
  double start = 0, dur = 0.1;
  double f = 440, to = -1;
  bool expSlide = true;
  double duty = 0.5, dutyTo = -1;
  double a = 0.002, d = 0.0, s = 1.0, r = 0.01;
  double gain = 1.0;
  double vib = 0, vibDepth = 0;
  std::vector<double> arp;
  double step = 0.05;
  double lp = 0, lpTo = -1;
  uint32_t seed = 12345;
  double End() const { return start + dur + r; }
};

struct Effect {
  int rate = 44100;
  double peakDb = -3.0;
  double length = -1;
  std::vector<Tone> tones;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& msg) {
  std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), line, msg.c_str());
  std::exit(1);
}

double Number(const std::string& file, int line, const std::string& key, const std::string& v) {
  char* end = nullptr;
  double x = std::strtod(v.c_str(), &end);
  if (v.empty() || end == nullptr || *end != '\0' || !std::isfinite(x)) Fail(file, line, "bad number for " + key + ": '" + v + "'");
  return x;
}

Effect Parse(const std::string& file) {
  std::ifstream in(file);
  if (!in) Fail(file, 0, "cannot read");
  Effect e;
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    if (auto h = text.find('#'); h != std::string::npos) text.erase(h);
    std::istringstream ss(text);
    std::string word;
    if (!(ss >> word)) continue;
    if (word == "rate" || word == "peak" || word == "length") {
      std::string v;
      if (!(ss >> v)) Fail(file, line, word + " needs a value");
      double x = Number(file, line, word, v);
      if (word == "rate") {
        if (x < 8000 || x > 192000) Fail(file, line, "rate out of range");
        e.rate = static_cast<int>(x);
      } else if (word == "peak") {
        if (x > 0 || x < -40) Fail(file, line, "peak must lie between -40 and 0 dBFS");
        e.peakDb = x;
      } else {
        if (x <= 0 || x > 10) Fail(file, line, "length out of range");
        e.length = x;
      }
      continue;
    }
    if (word != "tone") Fail(file, line, "unknown statement '" + word + "'");
    Tone t;
    std::string kv;
    while (ss >> kv) {
      auto eq = kv.find('=');
      if (eq == std::string::npos) Fail(file, line, "expected KEY=VALUE, got '" + kv + "'");
      std::string k = kv.substr(0, eq), v = kv.substr(eq + 1);
      auto num = [&] { return Number(file, line, k, v); };
      if (k == "wave") {
        if (v == "square") t.wave = Wave::Square;
        else if (v == "triangle") t.wave = Wave::Triangle;
        else if (v == "saw") t.wave = Wave::Saw;
        else if (v == "sine") t.wave = Wave::Sine;
        else if (v == "noise") t.wave = Wave::Noise;
        else Fail(file, line, "unknown wave '" + v + "'");
      } else if (k == "start") t.start = num();
      else if (k == "dur") t.dur = num();
      else if (k == "f") t.f = num();
      else if (k == "to") t.to = num();
      else if (k == "slide") {
        if (v != "exp" && v != "lin") Fail(file, line, "slide is exp or lin");
        t.expSlide = v == "exp";
      } else if (k == "duty") t.duty = num();
      else if (k == "duty_to") t.dutyTo = num();
      else if (k == "a") t.a = num();
      else if (k == "d") t.d = num();
      else if (k == "s") t.s = num();
      else if (k == "r") t.r = num();
      else if (k == "gain") t.gain = num();
      else if (k == "vib") t.vib = num();
      else if (k == "vibdepth") t.vibDepth = num();
      else if (k == "step") t.step = num();
      else if (k == "lp") t.lp = num();
      else if (k == "lp_to") t.lpTo = num();
      else if (k == "seed") t.seed = static_cast<uint32_t>(num());
      else if (k == "arp") {
        std::istringstream as(v);
        std::string n;
        while (std::getline(as, n, ',')) t.arp.push_back(Number(file, line, k, n));
        if (t.arp.empty()) Fail(file, line, "arp needs steps");
      } else Fail(file, line, "unknown key '" + k + "'");
    }
    if (t.start < 0 || t.dur <= 0 || t.r < 0 || t.a < 0 || t.d < 0) Fail(file, line, "times must be positive");
    if (t.f <= 0 || (t.to != -1 && t.to <= 0)) Fail(file, line, "pitches must be positive");
    if (t.step <= 0) Fail(file, line, "step must be positive");
    if (t.End() > 10) Fail(file, line, "tone ends after 10 s");
    e.tones.push_back(t);
  }
  if (e.tones.empty()) Fail(file, line, "no tones");
  return e;
}

double Envelope(const Tone& t, double lt) {
  if (lt < 0) return 0;
  double held;
  if (lt < t.a) held = lt / t.a;
  else if (lt < t.a + t.d) {
    double u = (lt - t.a) / t.d;
    held = t.s + (1 - t.s) * std::pow(1 - u, 2.0);
  } else held = t.s;
  auto at = [&](double x) {
    if (x < t.a) return x / t.a;
    if (x < t.a + t.d) return t.s + (1 - t.s) * std::pow(1 - (x - t.a) / t.d, 2.0);
    return t.s;
  };
  if (lt <= t.dur) return held;
  if (t.r <= 0) return 0;
  double u = (lt - t.dur) / t.r;
  if (u >= 1) return 0;
  return at(t.dur) * (1 - u) * (1 - u);
}

// Band-limited step correction for pulse and saw edges.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

void Render(const Tone& t, int rate, std::vector<double>& out) {
  const double to = t.to > 0 ? t.to : t.f;
  const double dutyTo = t.dutyTo >= 0 ? t.dutyTo : t.duty;
  const double total = t.End();
  const size_t first = static_cast<size_t>(std::llround(t.start * rate));
  const size_t count = static_cast<size_t>(std::ceil((t.dur + t.r) * rate));
  if (out.size() < first + count) out.resize(first + count, 0.0);
  double phase = 0, lpState = 0, noiseValue = 0;
  uint32_t rng = t.seed ? t.seed : 1;
  auto nextNoise = [&] {
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return (rng / 4294967295.0) * 2.0 - 1.0;
  };
  noiseValue = nextNoise();
  for (size_t i = 0; i < count; ++i) {
    double lt = static_cast<double>(i) / rate;
    double u = std::min(1.0, lt / (total - t.start));
    double f = t.expSlide ? t.f * std::pow(to / t.f, u) : t.f + (to - t.f) * u;
    if (!t.arp.empty()) {
      size_t k = static_cast<size_t>(lt / t.step) % t.arp.size();
      f *= std::pow(2.0, t.arp[k] / 12.0);
    }
    if (t.vib > 0) f *= std::pow(2.0, t.vibDepth * std::sin(2 * M_PI * t.vib * lt) / 12.0);
    double dt = std::min(f / rate, 0.5);
    double v = 0;
    switch (t.wave) {
      case Wave::Square: {
        double duty = t.duty + (dutyTo - t.duty) * u;
        duty = std::clamp(duty, 0.05, 0.95);
        v = phase < duty ? 1.0 : -1.0;
        v += PolyBlep(phase, dt);
        v -= PolyBlep(std::fmod(phase + 1.0 - duty, 1.0), dt);
        break;
      }
      case Wave::Saw:
        v = 2.0 * phase - 1.0 - PolyBlep(phase, dt);
        break;
      case Wave::Triangle:
        v = phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
        break;
      case Wave::Sine:
        v = std::sin(2 * M_PI * phase);
        break;
      case Wave::Noise:
        v = noiseValue;
        break;
    }
    phase += f / rate;
    while (phase >= 1.0) {
      phase -= 1.0;
      if (t.wave == Wave::Noise) noiseValue = nextNoise();
    }
    if (t.lp > 0) {
      double cut = t.lpTo > 0 ? t.lp * std::pow(t.lpTo / t.lp, u) : t.lp;
      double alpha = 1.0 - std::exp(-2 * M_PI * cut / rate);
      lpState += alpha * (v - lpState);
      v = lpState;
    }
    out[first + i] += v * Envelope(t, lt) * t.gain;
  }
}

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v & 0xFF));
  b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sfxsynth IN.sfx OUT.wav\n");
    return 2;
  }
  Effect e = Parse(argv[1]);
  std::vector<double> mix;
  for (const Tone& t : e.tones) Render(t, e.rate, mix);
  if (e.length > 0) mix.resize(static_cast<size_t>(std::llround(e.length * e.rate)), 0.0);
  // A few milliseconds of fade at the end, so a cut never clicks.
  size_t fade = std::min(mix.size(), static_cast<size_t>(e.rate / 200));
  for (size_t i = 0; i < fade; ++i) mix[mix.size() - 1 - i] *= static_cast<double>(i) / fade;
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::fabs(v));
  if (peak <= 0) {
    std::fprintf(stderr, "%s: the effect is silent\n", argv[1]);
    return 1;
  }
  const double scale = std::pow(10.0, e.peakDb / 20.0) * 32767.0 / peak;
  std::vector<uint8_t> b;
  const uint32_t dataBytes = static_cast<uint32_t>(mix.size() * 2);
  for (char c : std::string("RIFF")) b.push_back(static_cast<uint8_t>(c));
  Put32(b, 36 + dataBytes);
  for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<uint8_t>(c));
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, static_cast<uint32_t>(e.rate));
  Put32(b, static_cast<uint32_t>(e.rate * 2));
  Put16(b, 2);
  Put16(b, 16);
  for (char c : std::string("data")) b.push_back(static_cast<uint8_t>(c));
  Put32(b, dataBytes);
  for (double v : mix) {
    long s = std::lround(v * scale);
    s = std::clamp(s, -32767L, 32767L);
    Put16(b, static_cast<uint16_t>(static_cast<int16_t>(s)));
  }
  std::string tmp = std::string(argv[2]) + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  if (std::rename(tmp.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %.0f ms, peak %.1f dBFS\n", argv[2], 1000.0 * mix.size() / e.rate, e.peakDb);
  return 0;
}
