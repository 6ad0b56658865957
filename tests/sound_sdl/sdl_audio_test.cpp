// SPDX-License-Identifier: GPL-3.0-or-later
// The real audio layer: silence without a device, one report per missing or
// unplayable file, and the game's pieces as the mixer plays them through
// SDL's disk driver: their lengths and levels, and a start, a restart from
// the top and a change of piece that each come in the mixer's next buffer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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
    if (::mkdtemp(tmpl)) path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  std::string File(const std::string& n) const { return path_ + "/" + n; }

 private:
  std::string path_;
};

std::string Data(const std::string& name) { return std::string(MORVIK_BINARY_DIR) + "/" + name; }

constexpr size_t kRate = 44100, kBuffer = 1024;  // the mixer's frames a second and a buffer

struct Level {
  double peakDb = -999, rmsDb = -999;
  size_t clipped = 0;
};

// Over frames [from, to) of interleaved stereo.
Level Measure(const std::vector<int16_t>& s, size_t from, size_t to) {
  Level l;
  double sum = 0;
  int peak = 0;
  from = std::min(from * 2, s.size()), to = std::min(to * 2, s.size());
  for (size_t i = from; i < to; ++i) {
    int a = std::abs(static_cast<int>(s[i]));
    peak = std::max(peak, a);
    sum += static_cast<double>(a) * a;
    l.clipped += a >= 32767;
  }
  if (peak > 0) l.peakDb = 20 * std::log10(peak / 32768.0);
  if (to > from && sum > 0) l.rmsDb = 20 * std::log10(std::sqrt(sum / (to - from)) / 32768.0);
  return l;
}

// A piece as the mixer decodes it (the mixer must be open), interleaved stereo.
std::vector<int16_t> Decoded(const std::string& path) {
  std::vector<int16_t> s;
  Mix_Chunk* c = Mix_LoadWAV(path.c_str());
  if (!c) return s;
  s.resize(c->alen / 2);
  std::memcpy(s.data(), c->abuf, s.size() * 2);
  Mix_FreeChunk(c);
  return s;
}

// The first frame in [from, to] where `out` holds the start of `piece`
// sample for sample (the music at level 128 is the decoded piece itself), or -1.
long FindStart(const std::vector<int16_t>& out, const std::vector<int16_t>& piece, size_t from, size_t to) {
  const size_t n = std::min<size_t>(piece.size(), 4096 * 2);
  for (size_t f = from; f <= to && f * 2 + n <= out.size(); ++f)
    if (std::equal(piece.begin(), piece.begin() + static_cast<long>(n), out.begin() + static_cast<long>(f * 2)))
      return static_cast<long>(f);
  return -1;
}

// The mixer's output through SDL's disk driver, written a buffer every
// `delayMs` (0: as fast as it goes).
class Recorder {
 public:
  explicit Recorder(int delayMs) : raw_(dir_.File("out.raw")) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
    audio.Init();
  }
  size_t Written() const {
    std::error_code ec;
    uintmax_t n = fs::file_size(raw_, ec);
    return ec ? 0 : static_cast<size_t>(n / 4);
  }
  void WaitFor(size_t frames) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (Written() < frames && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // Ends the output and reads it.
  std::vector<int16_t> Output() {
    audio.Shutdown();
    std::ifstream in(raw_, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(b.size() / 2);
    std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
  }
  SdlAudio audio;

 private:
  TempDir dir_;
  std::string raw_;
};

}  // namespace

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
  { std::ofstream(dir.File("broken.ogg")) << "OggS garbage"; }
  fs::copy_file(Data("stage.mid"), dir.File("midi.ogg"));  // a MIDI file is no render
  fs::copy_file(Data("stage.mid"), dir.File("gone.mid"));  // a piece without its render
  ASSERT_EQ(::mkfifo(dir.File("fifo.ogg").c_str(), 0600), 0);  // opened, it would wait for a writer
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("SDL_SOUNDFONTS", dir.File("no.sf2").c_str(), 1);
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
  EXPECT_EQ(audio.Reports(), base + 3);
  EXPECT_FALSE(audio.MidiOpen(dir.File("broken.mid")));
  EXPECT_FALSE(audio.MidiOpen(dir.File("midi.mid")));
  EXPECT_FALSE(audio.MidiOpen(dir.File("fifo.mid")));
  EXPECT_EQ(audio.Reports(), base + 6);
  // The game's own pieces open and play, a missing one between them closing the one before.
  audio.PlayWave(Data("piro.wav"));
  EXPECT_TRUE(audio.MidiOpen(Data("opening.mid")));
  audio.MidiPlay(false);
  EXPECT_EQ(Mix_PlayingMusic(), 1);
  EXPECT_FALSE(audio.MidiOpen(dir.File("gone.mid")));
  EXPECT_EQ(Mix_PlayingMusic(), 0);
  EXPECT_TRUE(audio.MidiOpen(Data("stage.mid")));
  audio.MidiPlay(true);
  EXPECT_EQ(Mix_PlayingMusic(), 1);
  EXPECT_EQ(audio.Reports(), base + 6);
  unsetenv("SDL_SOUNDFONTS");
}

// Each piece lasts its length and the second of ring after it, and through
// the mixer at the game's level is audible and well under full scale.
TEST(SdlAudio, EachPieceLastsItsLengthAndPlaysAudibleAndUnclipped) {
  for (auto [name, lengthMs] : {std::pair{"opening", 59964}, std::pair{"stage", 84970}}) {
    Recorder rec(0);
    ASSERT_TRUE(rec.audio.Ready());
    const size_t frames = Decoded(Data(std::string(name) + ".ogg")).size() / 2;
    const size_t length = static_cast<size_t>(lengthMs) * kRate / 1000;
    EXPECT_GE(frames, length + kRate * 99 / 100) << name;
    EXPECT_LE(frames, length + kRate * 101 / 100) << name;
    const size_t start = rec.Written();
    ASSERT_TRUE(rec.audio.MidiOpen(Data(std::string(name) + ".mid")));
    rec.audio.MidiPlay(false);
    rec.WaitFor(start + 30 * kRate);
    std::vector<int16_t> s = rec.Output();
    Level l = Measure(s, start, start + 30 * kRate);
    std::printf("%s: %.0f ms; through the mixer at level %d: peak %.2f dBFS, RMS %.2f dBFS, %zu clipped\n", name,
                1000.0 * frames / kRate, kDefaultMusicVolume, l.peakDb, l.rmsDb, l.clipped);
    EXPECT_EQ(l.clipped, 0u) << name;
    EXPECT_LT(l.peakDb, -6.0) << name;
    EXPECT_GT(l.rmsDb, -35.0) << name << " is nearly silent";
  }
}

TEST(SdlAudio, AnEffectPlaysThroughTheMixerAtItsLevel) {
  Recorder rec(0);
  ASSERT_TRUE(rec.audio.Ready());
  rec.audio.PlayWave(Data("1UP.wav"));
  rec.WaitFor(kRate);
  std::vector<int16_t> s = rec.Output();
  Level l = Measure(s, 0, s.size() / 2);
  std::printf("1UP through the mixer: peak %.2f dBFS, RMS %.2f dBFS\n", l.peakDb, l.rmsDb);
  EXPECT_EQ(l.clipped, 0u);
  EXPECT_GT(l.peakDb, -9.0);
  EXPECT_LT(l.peakDb, -4.0);
}

// Opening a piece, starting it from the top while it plays and opening
// another each come in the mixer's next buffer after the call. The driver's
// file may lag the mixer by a buffer, so the piece must start no later than
// two buffers past what the file held when the call returned (a piece loaded
// on another thread would come several buffers later). "play" leaves a piece
// that plays alone, and closing silences it as promptly.
TEST(SdlAudio, StartingRestartingAndChangingPiecesTakeEffectAtOnce) {
  Recorder rec(4);  // a 23 ms buffer every 4 ms or so
  ASSERT_TRUE(rec.audio.Ready());
  rec.audio.SetVolumes(0, MIX_MAX_VOLUME);  // the music as decoded, sample for sample
  const std::vector<int16_t> stage = Decoded(Data("stage.ogg")), opening = Decoded(Data("opening.ogg"));
  ASSERT_FALSE(stage.empty());
  ASSERT_FALSE(opening.empty());
  struct Call {
    const char* what;
    const std::vector<int16_t>* piece;  // what must start, or nullptr: silence
    std::function<void(SdlAudio&)> run;
    double after;  // seconds of output before the call
    size_t called = 0, returned = 0;
  };
  std::vector<Call> calls = {
      {"open", &stage, [](SdlAudio& a) { ASSERT_TRUE(a.MidiOpen(Data("stage.mid"))); a.MidiPlay(false); }, 0.2},
      {"from 0", &stage, [](SdlAudio& a) { a.MidiPlay(true); }, 1.0},
      {"another", &opening, [](SdlAudio& a) { ASSERT_TRUE(a.MidiOpen(Data("opening.mid"))); a.MidiPlay(false); }, 0.5},
      {"play while playing", nullptr, [](SdlAudio& a) { a.MidiPlay(false); }, 0.5},
      {"close", nullptr, [](SdlAudio& a) { a.MidiCloseAll(); }, 0.3},
  };
  for (Call& c : calls) {
    rec.WaitFor(rec.Written() + static_cast<size_t>(c.after * kRate));
    c.called = rec.Written();
    c.run(rec.audio);
    c.returned = rec.Written();
  }
  rec.WaitFor(rec.Written() + kRate / 2);
  const std::vector<int16_t> out = rec.Output();

  long starts[3];
  for (int i = 0; i < 3; ++i) {
    const Call& c = calls[i];
    starts[i] = FindStart(out, *c.piece, c.called - std::min(c.called, kBuffer), c.returned + 8 * kBuffer);
    ASSERT_GE(starts[i], 0) << c.what << ": the piece never started from its top";
    std::printf("%s: called at %zu, returned at %zu, the piece starts at %ld (frames)\n", c.what, c.called,
                c.returned, starts[i]);
    EXPECT_GE(static_cast<size_t>(starts[i]), c.called) << c.what;
    EXPECT_LE(static_cast<size_t>(starts[i]), c.returned + 2 * kBuffer) << c.what << " came late";
  }
  // The second piece plays on unchanged through "play" up to the close.
  const size_t closed = calls[4].called;
  ASSERT_GT(closed, static_cast<size_t>(starts[2]));
  EXPECT_TRUE(std::equal(out.begin() + starts[2] * 2, out.begin() + static_cast<long>(closed * 2), opening.begin()))
      << "\"play\" disturbed the piece playing";
  const size_t silent = calls[4].returned + 2 * kBuffer;
  EXPECT_EQ(Measure(out, silent, out.size() / 2).peakDb, -999) << "the music went on after the close";
}

// A piece plays once, whole and unchanged, and then falls silent (the game,
// not the mixer, starts it again); "from 0" after its end starts it again.
TEST(SdlAudio, APiecePlaysOnceWholeThenFallsSilentUntilStartedAgain) {
  Recorder rec(0);
  ASSERT_TRUE(rec.audio.Ready());
  rec.audio.SetVolumes(0, MIX_MAX_VOLUME);
  const std::vector<int16_t> opening = Decoded(Data("opening.ogg"));
  ASSERT_FALSE(opening.empty());
  const size_t frames = opening.size() / 2;
  const size_t called = rec.Written();
  ASSERT_TRUE(rec.audio.MidiOpen(Data("opening.mid")));
  rec.audio.MidiPlay(false);
  const size_t returned = rec.Written();
  rec.WaitFor(returned + frames + kRate);
  EXPECT_EQ(Mix_PlayingMusic(), 0);
  const size_t again = rec.Written();
  rec.audio.MidiPlay(true);
  rec.WaitFor(rec.Written() + kRate / 2);
  const std::vector<int16_t> out = rec.Output();
  const long start = FindStart(out, opening, called, returned + 8 * kBuffer);
  ASSERT_GE(start, 0);
  ASSERT_GE(out.size(), (start + frames) * 2);
  EXPECT_TRUE(std::equal(opening.begin(), opening.end(), out.begin() + start * 2)) << "not the piece, whole";
  EXPECT_EQ(Measure(out, start + frames, again).peakDb, -999) << "the piece went on past its end";
  EXPECT_GE(FindStart(out, opening, again, out.size() / 2), 0) << "\"from 0\" after the end did not start it";
}
