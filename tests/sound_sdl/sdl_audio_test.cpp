// SPDX-License-Identifier: GPL-3.0-or-later
// The real audio layer: the soundfont choice, silence without a device, one
// report per missing file, and the pieces rendered through SDL's disk driver.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <SDL_mixer.h>

#include "platform/sdl/sdl_audio.hpp"

using namespace morvik;
namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/morvik-sound-XXXXXX";
    char* p = ::mkdtemp(tmpl);
    path_ = p ? p : "/tmp";
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& n) const { return path_ + "/" + n; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

std::string Data(const std::string& name) { return std::string(MORVIK_BINARY_DIR) + "/" + name; }

struct Level {
  double peakDb = -999, rmsDb = -999;
  size_t clipped = 0, frames = 0;
};

Level Measure(const std::vector<int16_t>& s, size_t from, size_t to) {
  Level l;
  double sum = 0;
  int peak = 0;
  to = std::min(to, s.size());
  for (size_t i = from; i < to; ++i) {
    int a = std::abs(static_cast<int>(s[i]));
    peak = std::max(peak, a);
    sum += static_cast<double>(a) * a;
    l.clipped += a >= 32767;
  }
  size_t n = to > from ? to - from : 0;
  l.frames = n / 2;
  if (peak > 0) l.peakDb = 20 * std::log10(peak / 32768.0);
  if (n > 0 && sum > 0) l.rmsDb = 20 * std::log10(std::sqrt(sum / n) / 32768.0);
  return l;
}

// Plays through SDL's disk driver as fast as it will go: `play` starts the
// sound, then `seconds` of output (44.1 kHz, 16-bit stereo) are collected.
template <class Play>
std::vector<int16_t> RenderThroughDisk(Play play, double seconds, size_t& start) {
  TempDir dir;
  std::string raw = dir.File("out.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  std::vector<int16_t> samples;
  start = 0;
  {
    SdlAudio audio;
    audio.Init();
    if (!audio.Ready()) return samples;
    play(audio);
    // The driver writes silence as fast as it can while the piece is being
    // loaded; the sound starts from what has been written by then.
    audio.WaitForLoads();
    std::error_code ec;
    start = fs::file_size(raw, ec) / 2;
    if (ec) start = 0;
    const uintmax_t want = start * 2 + static_cast<uintmax_t>(seconds * 44100) * 4;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(200);
    while (std::chrono::steady_clock::now() < deadline) {
      uintmax_t have = fs::file_size(raw, ec);
      if (!ec && have >= want) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    audio.Shutdown();
  }
  std::ifstream in(raw, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  samples.resize(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  return samples;
}

}  // namespace

TEST(SoundFont, TheUsersChoiceWinsElseTimGM6mbElseAnyOtherElseNone) {
  TempDir dir;
  EXPECT_EQ(ChooseSoundFont("/my/own.sf2", dir.Path()), "/my/own.sf2");
  EXPECT_EQ(ChooseSoundFont(nullptr, dir.Path()), "") << "no soundfont at all";
  Touch(dir.File("zz.sf2"));
  Touch(dir.File("Piano.SF2"));
  Touch(dir.File("notes.txt"));
  EXPECT_EQ(ChooseSoundFont(nullptr, dir.Path()), dir.File("Piano.SF2"));
  Touch(dir.File("default-GM.sf2"));
  EXPECT_EQ(ChooseSoundFont("", dir.Path()), dir.File("default-GM.sf2")) << "an empty setting counts as unset";
  Touch(dir.File("TimGM6mb.sf2"));
  EXPECT_EQ(ChooseSoundFont(nullptr, dir.Path()), dir.File("TimGM6mb.sf2"));
  EXPECT_EQ(ChooseSoundFont(nullptr, dir.File("no-such-dir")), "");
}

TEST(MidiFile, DamagedFilesAreToldApartFromSoundOnes) {
  TempDir dir;
  EXPECT_EQ(MidiFileProblem(Data("opening.mid")), "");
  EXPECT_EQ(MidiFileProblem(Data("stage.mid")), "");
  EXPECT_EQ(MidiFileProblem(dir.File("gone.mid")), "missing");
  EXPECT_EQ(MidiFileProblem(dir.Path()), "cannot be read") << "a directory";
  { std::ofstream(dir.File("garbage.mid")) << "MThd garbage"; }
  EXPECT_EQ(MidiFileProblem(dir.File("garbage.mid")), "not a Standard MIDI File");
  { std::ofstream(dir.File("empty.mid")); }
  EXPECT_EQ(MidiFileProblem(dir.File("empty.mid")), "not a Standard MIDI File");
  std::ifstream in(Data("stage.mid"), std::ios::binary);
  std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  { std::ofstream(dir.File("cut.mid"), std::ios::binary) << whole.substr(0, whole.size() / 2); }
  EXPECT_EQ(MidiFileProblem(dir.File("cut.mid")), "cut short");
  { std::ofstream(dir.File("head.mid"), std::ios::binary) << whole.substr(0, 14); }
  EXPECT_EQ(MidiFileProblem(dir.File("head.mid")), "cut short");
}

TEST(SdlAudio, WithoutADeviceEverythingIsSilentAndSaidOnce) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SdlAudio audio;
  audio.Init();
  EXPECT_FALSE(audio.Ready());
  int reports = audio.Reports();
  EXPECT_GE(reports, 1);
  audio.PlayWave(Data("piro.wav"));
  EXPECT_FALSE(audio.MidiOpen(Data("stage.mid")));
  audio.MidiPlay(false);
  audio.MidiPlay(true);
  audio.MidiCloseAll();
  audio.SetVolumes(-5, 500);
  audio.Shutdown();
  EXPECT_EQ(audio.Reports(), reports) << "nothing more to say once the device is known to be missing";
}

TEST(SdlAudio, MissingAndBrokenFilesAreReportedOnceAndPlayNothing) {
  TempDir dir;
  { std::ofstream(dir.File("broken.wav")) << "RIFF....WAVEjunk"; }
  { std::ofstream(dir.File("broken.mid")) << "MThd garbage"; }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudio audio;
  audio.Init();
  ASSERT_TRUE(audio.Ready());
  int base = audio.Reports();
  for (int i = 0; i < 3; ++i) audio.PlayWave(dir.File("gone.wav"));
  EXPECT_EQ(audio.Reports(), base + 1);
  audio.PlayWave(dir.File("broken.wav"));
  audio.PlayWave(dir.File("broken.wav"));
  EXPECT_EQ(audio.Reports(), base + 2);
  EXPECT_FALSE(audio.MidiOpen(dir.File("gone.mid")));
  EXPECT_FALSE(audio.MidiOpen(dir.File("gone.mid")));
  audio.MidiPlay(false);
  audio.MidiPlay(true);  // the rewind of a piece that never opened is quiet too
  EXPECT_FALSE(audio.MidiOpen(dir.File("broken.mid")));
  EXPECT_EQ(audio.Reports(), base + 4);
  // The game's own files load and play.
  audio.PlayWave(Data("piro.wav"));
  EXPECT_TRUE(audio.MidiOpen(Data("opening.mid")));
  audio.MidiPlay(false);
  audio.MidiCloseAll();
  EXPECT_TRUE(audio.MidiOpen(Data("opening.mid")));
  EXPECT_TRUE(audio.MidiOpen(Data("stage.mid"))) << "opening another piece closes the first";
  audio.MidiPlay(true);
  EXPECT_EQ(audio.Reports(), base + 4);
}

// Each piece through the mixer as the game plays it: audible, under full
// scale, and its restart from the beginning plays again.
TEST(SdlAudio, EachPieceRendersAudibleAndUnclippedThroughTheMixer) {
  for (const char* name : {"opening", "stage"}) {
    size_t start = 0;
    std::vector<int16_t> s = RenderThroughDisk(
        [&](SdlAudio& a) {
          ASSERT_TRUE(a.MidiOpen(Data(std::string(name) + ".mid")));
          a.MidiPlay(false);
        },
        30.0, start);
    ASSERT_GE(s.size(), start + 44100u * 2 * 30) << name;
    Level l = Measure(s, start, start + 44100u * 2 * 30);
    std::printf("%s through the mixer: %zu frames, peak %.2f dBFS, RMS %.2f dBFS, %zu clipped\n", name, l.frames,
                l.peakDb, l.rmsDb, l.clipped);
    EXPECT_EQ(l.clipped, 0u) << name;
    EXPECT_LT(l.peakDb, -1.0) << name;
    EXPECT_GT(l.rmsDb, -40.0) << name << " is nearly silent";
  }
}

TEST(SdlAudio, AnEffectPlaysThroughTheMixerAtItsLevel) {
  size_t start = 0;
  std::vector<int16_t> s = RenderThroughDisk([](SdlAudio& a) { a.PlayWave(Data("1UP.wav")); }, 1.0, start);
  ASSERT_GT(s.size(), 44100u);
  Level l = Measure(s, 0, s.size());
  std::printf("1UP through the mixer: peak %.2f dBFS, RMS %.2f dBFS\n", l.peakDb, l.rmsDb);
  EXPECT_EQ(l.clipped, 0u);
  EXPECT_GT(l.peakDb, -9.0);
  EXPECT_LT(l.peakDb, -4.0);
}

namespace {

// Loudness in 50 ms windows, for comparing two stretches of music.
std::vector<double> Envelope(const std::vector<int16_t>& s, size_t from, double seconds) {
  const size_t win = 44100 / 20 * 2;
  std::vector<double> e;
  for (size_t k = 0; k < static_cast<size_t>(seconds * 20); ++k) {
    double sum = 0;
    for (size_t i = from + k * win; i < from + (k + 1) * win && i < s.size(); ++i) sum += std::fabs(s[i]);
    e.push_back(sum / win);
  }
  return e;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
  size_t n = std::min(a.size(), b.size());
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) ma += a[i], mb += b[i];
  ma /= n, mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < n; ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

bool Quiet(int16_t v) { return std::abs(static_cast<int>(v)) <= 30; }

size_t FirstAudible(const std::vector<int16_t>& s, size_t from) {
  for (size_t i = from; i < s.size(); ++i)
    if (!Quiet(s[i])) return i & ~static_cast<size_t>(1);
  return s.size();
}

// Where the sound playing at `at` began: just after the silence the driver
// wrote while the piece was being opened.
size_t StartOfSound(const std::vector<int16_t>& s, size_t at) {
  at = std::min(at, s.size());
  size_t quiet = 0;
  for (size_t i = at; i > 0; --i) {
    quiet = Quiet(s[i - 1]) ? quiet + 1 : 0;
    if (quiet >= 4000) return FirstAudible(s, i - 1);
  }
  return FirstAudible(s, 0);
}

}  // namespace

namespace {

// Plays through SDL's disk driver, a little faster than real time: each step
// runs once `at` seconds of output have been written since the one before it
// was done, that is, since the pieces it asked for were loaded (the driver
// writes silence while they load); `ran` gets the sample where each step was
// done (and `called`, if given, where it was called), `seconds` are written after the last.
struct Step {
  double at;
  std::function<void(SdlAudio&)> run;
};
std::vector<int16_t> RenderSteps(const std::vector<Step>& steps, double seconds, std::vector<size_t>& ran,
                                 std::vector<size_t>* called = nullptr) {
  TempDir dir;
  std::string raw = dir.File("out.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "4", 1);  // 1024 frames (23 ms) every 4 ms
  ran.clear();
  {
    SdlAudio audio;
    audio.Init();
    if (!audio.Ready()) return {};
    auto written = [&] {
      std::error_code ec;
      uintmax_t n = fs::file_size(raw, ec);
      return ec ? size_t{0} : static_cast<size_t>(n / 2);
    };
    size_t origin = written();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(200);
    auto waitFor = [&](size_t samples) {
      while (written() < samples && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    for (const Step& st : steps) {
      waitFor(origin + static_cast<size_t>(st.at * 44100) * 2);
      const size_t call = written();
      st.run(audio);
      audio.WaitForLoads();
      origin = written();
      ran.push_back(origin);
      if (called) called->push_back(call);
      std::printf("step %zu done %.0f ms of output after it was called\n", ran.size(), (origin - call) / 2 / 44.1);
    }
    waitFor(origin + static_cast<size_t>(seconds * 44100) * 2);
    audio.Shutdown();
  }
  std::ifstream in(raw, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  return samples;
}

void Vlq(std::string& out, uint32_t v) {
  std::string b(1, static_cast<char>(v & 0x7F));
  while (v >>= 7) b.insert(b.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  out += b;
}

// A piece of one short note (0.3 s) in a rest that ends at 2 s, or of the rest alone.
std::string ShortPiece(const TempDir& dir, bool note = true) {
  std::string track;
  Vlq(track, 0);
  auto bytes = [&](std::initializer_list<int> b) {
    for (int v : b) track += static_cast<char>(v);
  };
  bytes({0xC0, 0x50});  // a square lead: its sound stops soon after the note
  Vlq(track, 0);
  bytes({0x90, 0x3C, note ? 0x64 : 0x00});
  Vlq(track, 288);  // 480 ticks a beat at 120 beats a minute: 0.3 s
  bytes({0x80, 0x3C, 0x00});
  Vlq(track, 1920 - 288);
  bytes({0xFF, 0x2F, 0x00});
  std::string f = std::string("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14) + "MTrk";
  for (int sh = 24; sh >= 0; sh -= 8) f += static_cast<char>((track.size() >> sh) & 0xFF);
  f += track;
  const std::string path = dir.File(note ? "short.mid" : "rest.mid");
  std::ofstream(path, std::ios::binary) << f;
  return path;
}

}  // namespace

// A piece plays once and then falls silent; "from 0" starts it from the top,
// half-way through it, in the two seconds the synth still holds it after its
// end, or after that, as after a long pause.
TEST(SdlAudio, APiecePlaysOnceAndFromZeroStartsItFromTheTopWhetherOrNotItHasEnded) {
  TempDir dir;
  const std::string piece = ShortPiece(dir);
  ASSERT_EQ(MidiFileProblem(piece), "");
  std::vector<size_t> at;
  std::vector<int16_t> s = RenderSteps(
      {{0.0, [&](SdlAudio& a) { ASSERT_TRUE(a.MidiOpen(piece)); a.MidiPlay(false); }},
       {1.2, [](SdlAudio& a) { a.MidiPlay(true); }},  // half-way, in the rest
       {2.6, [](SdlAudio& a) {                         // just past its end
          EXPECT_EQ(Mix_PlayingMusic(), 1) << "the synth still holds the piece";
          a.MidiPlay(true);
        }},
       {4.5, [](SdlAudio& a) {                         // long after the restart has ended
          EXPECT_EQ(Mix_PlayingMusic(), 0);
          a.MidiPlay(true);
        }}},
      0.8, at);
  ASSERT_EQ(at.size(), 4u);
  ASSERT_GE(s.size(), at[3] + static_cast<size_t>(0.8 * 44100) * 2);
  auto level = [&](size_t from, double a, double b) {
    return Measure(s, from + static_cast<size_t>(a * 44100) * 2, from + static_cast<size_t>(b * 44100) * 2).rmsDb;
  };
  const double note = level(at[0], 0.0, 0.4), rest = level(at[0], 0.9, 1.2);
  const double again = level(at[1], 0.0, 0.4), tail = level(at[2], 0.0, 0.4);
  const double ended = level(at[2], 2.05, 4.45), last = level(at[3], 0.0, 0.4);
  std::printf("short piece: note %.1f dB, rest %.1f dB, from 0 in the rest %.1f dB, just after its end %.1f dB, "
              "after its end %.1f dB, from 0 after the end %.1f dB\n", note, rest, again, tail, ended, last);
  EXPECT_GT(note, -40.0);
  EXPECT_LT(rest, -50.0);
  EXPECT_GT(again, -40.0) << "from 0 half-way starts the piece again";
  EXPECT_GT(tail, -40.0) << "from 0 just after the end starts it again";
  EXPECT_LT(ended, -50.0) << "played once, the piece falls silent";
  EXPECT_GT(last, -40.0) << "from 0 after the end starts it again";
}

// A piece still loading when another is asked for, or the music closed or
// silenced, never sounds; nor does a restart overtaken by a new piece.
TEST(SdlAudio, APieceOvertakenWhileItLoadsIsNeverHeard) {
  TempDir dir;
  const std::string note = ShortPiece(dir), rest = ShortPiece(dir, false);
  std::vector<size_t> at, called;
  std::vector<int16_t> s = RenderSteps(
      {{0.0, [&](SdlAudio& a) {
          ASSERT_TRUE(a.MidiOpen(note));
          a.MidiPlay(false);
          ASSERT_TRUE(a.MidiOpen(rest));
          a.MidiPlay(false);
        }},
       {0.5, [&](SdlAudio& a) { a.MidiOpen(note); a.MidiPlay(false); a.MidiCloseAll(); }},
       {0.5, [&](SdlAudio& a) { a.MidiOpen(note); a.MidiPlay(false); a.Silence(); }},
       {0.5, [&](SdlAudio& a) { a.MidiOpen(note); a.MidiPlay(false); }},  // heard
       {0.5, [&](SdlAudio& a) { a.MidiPlay(true); a.MidiOpen(rest); a.MidiPlay(false); }}},
      1.0, at, &called);
  ASSERT_EQ(at.size(), 5u);
  ASSERT_GE(s.size(), at[4] + 44100u * 2);
  const Level before = Measure(s, 0, called[3]), heard = Measure(s, at[3], at[3] + 44100 / 4 * 2),
              after = Measure(s, at[4], s.size());
  std::printf("overtaken loads: %.1f dB before, %.1f dB the piece let play, %.1f dB after\n", before.peakDb,
              heard.peakDb, after.peakDb);
  EXPECT_LT(before.peakDb, -80.0) << "an overtaken piece sounded";
  EXPECT_GT(heard.peakDb, -30.0);
  EXPECT_LT(after.peakDb, -80.0) << "an overtaken restart sounded";
}

// Opened again after being closed half-way, a piece starts from its beginning.
TEST(SdlAudio, APieceOpenedAgainStartsFromItsBeginning) {
  size_t start = 0;
  std::vector<int16_t> fresh = RenderThroughDisk(
      [](SdlAudio& a) {
        ASSERT_TRUE(a.MidiOpen(Data("stage.mid")));
        a.MidiPlay(false);
      },
      4.0, start);
  size_t freshFirst = StartOfSound(fresh, start);
  size_t again = 0;
  std::vector<int16_t> twice = RenderThroughDisk(
      [&](SdlAudio& a) {
        ASSERT_TRUE(a.MidiOpen(Data("stage.mid")));
        a.MidiPlay(false);
        a.WaitForLoads();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        a.MidiCloseAll();
        ASSERT_TRUE(a.MidiOpen(Data("stage.mid")));
        a.MidiPlay(false);
      },
      4.0, again);
  double c = Correlation(Envelope(fresh, freshFirst, 3.0), Envelope(twice, StartOfSound(twice, again), 3.0));
  std::printf("stage: a fresh start and a start after closing correlate %.3f\n", c);
  EXPECT_GT(c, 0.9);
}
