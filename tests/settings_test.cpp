// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: what it holds, how damaged lines are passed over, and
// that the game writes it only when it is missing.
#include <gtest/gtest.h>

#include <tuple>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/command_line.hpp"
#include "app/settings.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

// Names as a window layer might know them: a few keys and controller inputs.
InputNames Names() {
  InputNames n;
  n.isKey = [](const std::string& s) {
    for (const char* k : {"Left", "Right", "Up", "Down", "Space", "Z", "P", "Escape", "A", "D", "W", "Left Shift"})
      if (s == k) return true;
    return false;
  };
  n.isPad = [](const std::string& s) {
    for (const char* k : {"a", "b", "x", "y", "start", "back", "dpleft", "dpright", "dpup", "dpdown", "-leftx",
                          "+leftx", "-lefty", "+lefty", "+righttrigger"})
      if (s == k) return true;
    return false;
  };
  return n;
}

struct Parsed {
  Settings s = DefaultSettings();
  std::vector<std::string> messages;
};

Parsed Parse(const std::string& text) {
  Parsed p;
  ParseSettings(text, "settings.txt", Names(), p.s, p.messages);
  return p;
}

bool Same(const Settings& a, const Settings& b) {
  return a.window == b.window && a.scale == b.scale && a.smooth == b.smooth && a.effectsVolume == b.effectsVolume &&
         a.musicVolume == b.musicVolume && a.keys == b.keys && a.pad == b.pad;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(Settings, TheDefaultsAreTheGamesOwnKeysAndLevels) {
  const Settings d = DefaultSettings();
  EXPECT_FALSE(d.window);
  EXPECT_EQ(d.scale, 0);
  EXPECT_EQ(d.smooth, kSmoothAuto);
  // Auto fills the common laptop screens (one whole multiple would leave over
  // a quarter of their height empty) and keeps larger ones sharp.
  for (const auto& [w, h, smooths] : {std::tuple{1366, 768, true}, {1280, 800, true}, {1920, 1080, false},
                                      {1280, 1024, false}, {1000, 1000, true}})
    EXPECT_EQ(SmoothsAt(kSmoothAuto, 640, 480, w, h), smooths) << w << "x" << h;
  EXPECT_EQ(d.effectsVolume, 96);
  EXPECT_EQ(d.musicVolume, 48);
  EXPECT_EQ(d.keys[kActLeft], std::vector<std::string>{"Left"});
  EXPECT_EQ(d.keys[kActRight], std::vector<std::string>{"Right"});
  EXPECT_EQ(d.keys[kActJump], std::vector<std::string>{"Up"});
  EXPECT_EQ(d.keys[kActDown], std::vector<std::string>{"Down"});
  EXPECT_EQ(d.keys[kActFire], (std::vector<std::string>{"Space", "Z"}));
  EXPECT_EQ(d.keys[kActPause], std::vector<std::string>{"P"});
  EXPECT_EQ(d.keys[kActLeave], std::vector<std::string>{"Escape"});
  EXPECT_EQ(d.pad[kActPause], std::vector<std::string>{"start"});
  EXPECT_EQ(d.pad[kActFire], (std::vector<std::string>{"a", "b", "x", "y"}));
  EXPECT_TRUE(d.pad[kActLeave].empty());
}

TEST(Settings, TheWrittenFileReadsBackAsWhatItHoldsWithACommentOnEverySetting) {
  Settings s = DefaultSettings();
  Parsed p = Parse(SettingsText(s));
  EXPECT_TRUE(p.messages.empty()) << p.messages[0];
  EXPECT_TRUE(Same(p.s, s));

  // Changed values survive the round trip too (a list, an empty list).
  s.window = true;
  s.scale = 3;
  s.smooth = true;
  s.effectsVolume = 0;
  s.musicVolume = 128;
  s.keys[kActFire] = {"Left Shift", "Space"};
  s.pad[kActLeave] = {"back"};
  s.pad[kActPause] = {};
  s.leaderboard = "https://board.example:8443/morvik";
  Parsed q;
  q.s = DefaultSettings();
  ParseSettings(SettingsText(s), "x", Names(), q.s, q.messages);
  EXPECT_TRUE(q.messages.empty());
  EXPECT_TRUE(Same(q.s, s));
  EXPECT_EQ(q.s.leaderboard, s.leaderboard);
  // The board's address is a web address or nothing.
  EXPECT_EQ(Parse("leaderboard ftp://board.example\n").messages.size(), 1u);

  // Every setting line has its own comment line just above it.
  std::istringstream in(SettingsText(DefaultSettings()));
  std::string line, prev;
  int settings = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#') {
      ++settings;
      EXPECT_EQ(prev.rfind("# ", 0), 0u) << line;
    }
    prev = line;
  }
  EXPECT_EQ(settings, 5 + 2 * kActionCount);
}

TEST(Settings, LinesAreReadWithLooseSpacingCommentsAndWindowsLineEnds) {
  Parsed p = Parse(
      "# mine\r\n"
      "\r\n"
      "   display\twindow  \r\n"
      "scale 2\n"
      "smooth on\n"
      "music-volume 0\n"
      "key-left A ,Left\n"
      "key-right   D\n"
      "key-jump W, Up , Space\n"
      "pad-fire x\n"  // no such action: damaged
      "pad-leave back\n"
      "pad-pause none\n"
      "key-down none");  // no newline at the end
  ASSERT_EQ(p.messages.size(), 1u);
  EXPECT_EQ(p.messages[0].rfind("settings.txt:10: ", 0), 0u) << p.messages[0];
  EXPECT_TRUE(p.s.window);
  EXPECT_EQ(p.s.scale, 2);
  EXPECT_TRUE(p.s.smooth);
  EXPECT_EQ(p.s.musicVolume, 0);
  EXPECT_EQ(p.s.effectsVolume, 96);
  EXPECT_EQ(p.s.keys[kActLeft], (std::vector<std::string>{"A", "Left"}));
  EXPECT_EQ(p.s.keys[kActRight], std::vector<std::string>{"D"});
  EXPECT_EQ(p.s.keys[kActJump], (std::vector<std::string>{"W", "Up", "Space"}));
  EXPECT_EQ(p.s.pad[kActLeave], std::vector<std::string>{"back"});
  EXPECT_TRUE(p.s.pad[kActPause].empty());
  EXPECT_TRUE(p.s.keys[kActDown].empty());
  // A later line for the same setting wins.
  EXPECT_EQ(Parse("scale 2\nscale 5\n").s.scale, 5);
}

TEST(Settings, EachDamagedLineIsIgnoredWithOneMessageNamingIt) {
  const char* bad[] = {
      "scale 9",          "scale -1",           "scale 2x",          "scale",
      "scale 99999999999", "display big",       "display",           "smooth yes",
      "effects-volume 129", "music-volume -4",  "music-volume 4 4",  "speed 3",
      "key-left Left Arrow", "key-left Left,,Up", "key-left ,Left",  "key-left Left,",
      "pad-jump -leftz",  "pad-jump leftx",     "key-pause start",   "pad-pause P",
      "key-",             "Scale 2",            "scale\x01 2",        "key-left \xff\xfe",
  };
  for (const char* line : bad) {
    const std::string text = std::string("# first\nsmooth on\n") + line + "\nscale 4\n";
    Parsed p = Parse(text);
    ASSERT_EQ(p.messages.size(), 1u) << line;
    EXPECT_EQ(p.messages[0].rfind("settings.txt:3: ", 0), 0u) << p.messages[0];
    // The damaged line changed nothing; the lines around it were taken.
    Settings want = DefaultSettings();
    want.smooth = true;
    want.scale = 4;
    EXPECT_TRUE(Same(p.s, want)) << line;
  }
  // A line far too long is damaged, not cut and half taken.
  Parsed p = Parse("key-left Left" + std::string(2000, ' ') + "\n");
  EXPECT_EQ(p.messages.size(), 1u);
  EXPECT_EQ(p.s.keys[kActLeft], std::vector<std::string>{"Left"});
  // Garbage from end to end: every line reported, the defaults kept.
  std::string junk;
  for (int i = 0; i < 50; ++i) junk += std::string(1, static_cast<char>(0x80 + i)) + "\x07 zz\n";
  Parsed j = Parse(junk);
  EXPECT_EQ(j.messages.size(), 50u);
  EXPECT_TRUE(Same(j.s, DefaultSettings()));
}

TEST(Settings, AMissingFileIsWrittenWithTheDefaultsAndAnExistingOneIsNeverRewritten) {
  TempDir d;
  const std::string path = d.File("config/morvik/settings.txt");
  std::vector<std::string> msg;
  Settings s = LoadSettings(path, Names(), msg);
  EXPECT_TRUE(Same(s, DefaultSettings()));
  ASSERT_EQ(msg.size(), 1u);
  EXPECT_NE(msg[0].find("wrote"), std::string::npos);
  EXPECT_EQ(ReadAll(path), SettingsText(DefaultSettings()));

  // The player's own file, damaged or not, stays byte for byte.
  const std::string mine = "display window\nscale 11\n# keep me\n";
  WriteText(path, mine);
  msg.clear();
  s = LoadSettings(path, Names(), msg);
  EXPECT_TRUE(s.window);
  EXPECT_EQ(s.scale, 0);
  ASSERT_EQ(msg.size(), 1u);
  EXPECT_NE(msg[0].find(path + ":2: "), std::string::npos) << msg[0];
  EXPECT_EQ(ReadAll(path), mine);

  // An empty file is a file: every default, nothing written.
  WriteText(path, "");
  msg.clear();
  s = LoadSettings(path, Names(), msg);
  EXPECT_TRUE(Same(s, DefaultSettings()));
  EXPECT_TRUE(msg.empty());
  EXPECT_EQ(ReadAll(path), "");

  // No place for the file at all: defaults, nothing said or written.
  msg.clear();
  s = LoadSettings("", Names(), msg);
  EXPECT_TRUE(Same(s, DefaultSettings()));
  EXPECT_TRUE(msg.empty());
}

TEST(Settings, WhatCannotBeAFileLeavesTheDefaultsWithoutHangingOrWriting) {
  TempDir d;
  std::vector<std::string> msg;
  // A directory in the file's place.
  std::filesystem::create_directories(d.File("dir/settings.txt"));
  Settings s = LoadSettings(d.File("dir/settings.txt"), Names(), msg);
  EXPECT_TRUE(Same(s, DefaultSettings()));
  EXPECT_EQ(msg.size(), 1u);
#ifndef _WIN32
  // A FIFO nobody writes to: opened without blocking and refused.
  ASSERT_EQ(::mkfifo(d.File("fifo").c_str(), 0600), 0);
  msg.clear();
  s = LoadSettings(d.File("fifo"), Names(), msg);
  EXPECT_EQ(msg.size(), 1u);
#endif
  // Far too large to be a settings file.
  WriteText(d.File("big"), std::string(200000, '#'));
  msg.clear();
  s = LoadSettings(d.File("big"), Names(), msg);
  EXPECT_EQ(msg.size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(d.File("big")), 200000u);
  // A configuration folder where nothing can be made (a plain file stands
  // where the folder should be, which stops root too): said once, defaults kept.
  WriteText(d.File("cfg"), "not a folder");
  msg.clear();
  SettingsFile file;
  s = LoadSettings(d.File("cfg/morvik/settings.txt"), Names(), msg, &file);
  EXPECT_TRUE(Same(s, DefaultSettings()));
  ASSERT_EQ(msg.size(), 1u);
  EXPECT_NE(msg[0].find("cannot be written"), std::string::npos) << msg[0];
  // The options screen's changes then last for the run only.
  SettingsStore st = MakeSettingsStore(s, file, Options{});
  st.file.musicVolume = 0;
  std::string why;
  EXPECT_FALSE(SaveSettings(st, why));
  EXPECT_NE(why.find("cannot be written"), std::string::npos) << why;
  EXPECT_EQ(ReadAll(d.File("cfg")), "not a folder");
}

// Whatever stands in the settings file's place that is no settings file: the
// defaults, one message, and the file is never written over, at start or by
// the options screen.
TEST(Settings, ABadFileGivesTheDefaultsWithOneMessageAndIsNeverWrittenOver) {
  TempDir d;
  std::string junk;
  for (int i = 0; i < 50; ++i) junk += std::string(1, static_cast<char>(0x80 + i)) + "\x07 zz\n";
  std::string binary = "display window\n";
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
  const std::string path = d.File("settings.txt");
  auto check = [&](const std::string& what) {
    std::vector<std::string> msg;
    SettingsFile file;
    const Settings s = LoadSettings(path, Names(), msg, &file);
    EXPECT_TRUE(Same(s, DefaultSettings())) << what;
    EXPECT_EQ(msg.size(), 1u) << what;
    EXPECT_TRUE(file.keep) << what;
    SettingsStore st = MakeSettingsStore(s, file, Options{});
    st.file.effectsVolume = 8;
    std::string why;
    EXPECT_FALSE(SaveSettings(st, why)) << what;
    EXPECT_FALSE(std::filesystem::exists(path + ".new")) << what;
  };
  for (const auto& [what, text] : {std::pair<const char*, std::string>{"garbage", junk}, {"binary", binary}}) {
    WriteText(path, text);
    check(what);
    EXPECT_EQ(ReadAll(path), text) << what;
  }
  // 100 MB (sparse, so the test stays quick): refused without being read.
  WriteText(path, "");
  std::filesystem::resize_file(path, 100u << 20);
  check("100 MB");
  EXPECT_EQ(std::filesystem::file_size(path), 100u << 20);
  std::filesystem::remove(path);
  std::filesystem::create_directories(path);
  check("a directory");
  EXPECT_TRUE(std::filesystem::is_directory(path));
  std::filesystem::remove(path);

#ifndef _WIN32
  // A file the player cannot read, read as an ordinary user (root reads
  // anything, and tests run as root): in a child process that gives up root.
  WriteText(path, "display window\n");
  ::chmod(path.c_str(), 0);
  if (::geteuid() == 0) {
    EXPECT_EQ(::chown(d.Path().c_str(), 65534, 65534), 0);
    EXPECT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    std::vector<std::string> msg;
    SettingsFile file;
    const Settings s = LoadSettings(path, Names(), msg, &file);
    SettingsStore st = MakeSettingsStore(s, file, Options{});
    std::string why;
    const bool ok = Same(s, DefaultSettings()) && msg.size() == 1 && msg[0].find("Permission denied") != std::string::npos &&
                    file.keep && !SaveSettings(st, why);
    ::_exit(ok ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::chmod(path.c_str(), 0644);
  EXPECT_EQ(ReadAll(path), "display window\n");
#endif
}

// The options screen writes the whole file anew in the first start's layout,
// through a temporary file; lines the game does not know stay, once.
TEST(Settings, TheOptionsScreenRewritesTheFileInItsLayoutKeepingLinesTheGameDoesNotKnow) {
  TempDir d;
  const std::string path = d.File("morvik/settings.txt");
  std::vector<std::string> msg;
  SettingsFile file;
  Settings s = LoadSettings(path, Names(), msg, &file);  // the first start writes the defaults
  SettingsStore st = MakeSettingsStore(s, file, Options{});
  st.file.musicVolume = 16;
  st.file.keys[kActJump] = {"W"};
  std::string why;
  ASSERT_TRUE(SaveSettings(st, why)) << why;
  EXPECT_EQ(ReadAll(path), SettingsText(st.file));

  // A hand-edited file: its own comment, an unknown setting and a damaged
  // line of a known one, with carriage returns; the write keeps the first
  // two, after the layout, and writing again changes nothing.
  WriteText(path, "# my keys\r\nscale 11\nkey-jump A\nturbo on\r\r\n\r\r\r");
  msg.clear();
  s = LoadSettings(path, Names(), msg, &file);
  st = MakeSettingsStore(s, file, Options{});
  st.file.smooth = true;
  ASSERT_TRUE(SaveSettings(st, why)) << why;
  const std::string text = ReadAll(path);
  EXPECT_EQ(text.rfind(SettingsText(st.file), 0), 0u);
  EXPECT_EQ(text.substr(SettingsText(st.file).size()),
            "\n# Lines the game does not know, kept as they were:\n# my keys\nturbo on\n");
  ASSERT_TRUE(SaveSettings(st, why)) << why;
  EXPECT_EQ(ReadAll(path), text);
  msg.clear();
  Settings back = LoadSettings(path, Names(), msg);
  EXPECT_TRUE(Same(back, st.file));
  EXPECT_EQ(back.keys[kActJump], std::vector<std::string>{"A"});
  ASSERT_EQ(msg.size(), 1u);  // the unknown setting, named as before
  EXPECT_NE(msg[0].find("turbo"), std::string::npos) << msg[0];
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

#ifndef _WIN32  // the XDG folders (Windows' own: tests/windows)
// Sets an environment variable for one test and puts it back after.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~EnvVar() {
    if (had_) ::setenv(name_, old_.c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

TEST(Settings, TheFileLivesInTheUsersConfigurationDirectory) {
  {
    EnvVar x("XDG_CONFIG_HOME", "/srv/cfg"), h("HOME", "/home/pat");
    EXPECT_EQ(SettingsPath(), "/srv/cfg/morvik/settings.txt");
  }
  {
    EnvVar x("XDG_CONFIG_HOME", "relative/cfg"), h("HOME", "/home/pat");  // not absolute: ignored
    EXPECT_EQ(SettingsPath(), "/home/pat/.config/morvik/settings.txt");
  }
  {
    EnvVar x("XDG_CONFIG_HOME", nullptr), h("HOME", nullptr);
    EXPECT_EQ(SettingsPath(), "");
  }
}

#endif

TEST(Settings, TheCommandLineBeatsTheFile) {
  auto with = [](std::vector<std::string> args) {
    Options o;
    std::string err;
    EXPECT_TRUE(ParseOptions(args, o, err)) << err;
    Settings s = DefaultSettings();
    s.window = true;
    s.scale = 3;
    ApplyOptions(o, s);
    return s;
  };
  EXPECT_FALSE(with({"--fullscreen"}).window);
  EXPECT_EQ(with({"--fullscreen"}).scale, 3);  // kept for the switch to a window
  EXPECT_TRUE(with({}).window);
  EXPECT_EQ(with({"--window=2"}).scale, 2);
  EXPECT_TRUE(with({"--smooth"}).smooth);
  EXPECT_FALSE(with({"--window", "--fullscreen"}).window);
  EXPECT_TRUE(with({"--fullscreen", "--window"}).window);
}

#ifndef _WIN32
TEST(Paths, AnInstalledGameFindsItsDataBesideItselfAndKeepsRecordsInTheUsersDirectory) {
  TempDir d;
  std::filesystem::create_directories(d.File("pfx/bin"));
  std::filesystem::create_directories(d.File("pfx/share/morvik"));
  WriteText(d.File("pfx/share/morvik/Morvik_1.kvd"), "");
  // Found relative to the program wherever the tree lies; else the configured place.
  EXPECT_EQ(InstalledDataDir(d.File("pfx/bin"), "../share/morvik", "/usr/share/morvik"), d.File("pfx/share/morvik"));
  EXPECT_EQ(InstalledDataDir(d.File("elsewhere"), "../share/morvik", "/usr/share/morvik"), "/usr/share/morvik");
  EnvVar x("XDG_DATA_HOME", nullptr), h("HOME", d.Path().c_str());
  // Writable data: records beside it for a portable copy, in the user's directory once installed.
  EXPECT_EQ(FindRecordPath(d.File("pfx/share/morvik")), d.File("pfx/share/morvik/Mor_vik_0.kvd"));
  EXPECT_EQ(FindRecordPath(d.File("pfx/share/morvik"), true), d.File(".local/share/morvik/Mor_vik_0.kvd"));
}

TEST(Paths, ScreenshotsGoToThePicturesFolderTheUserDirsFileNames) {
  TempDir d;
  EnvVar p("XDG_PICTURES_DIR", nullptr), c("XDG_CONFIG_HOME", nullptr), h("HOME", d.Path().c_str());
  EXPECT_EQ(ScreenshotDir(), d.File("Pictures/morvik"));
  std::filesystem::create_directories(d.File(".config"));
  WriteText(d.File(".config/user-dirs.dirs"),
            "# written by xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
  EXPECT_EQ(ScreenshotDir(), d.File("Bilder/morvik"));
  // A folder switched off (pointing at the home itself) falls back to ~/Pictures.
  WriteText(d.File(".config/user-dirs.dirs"), "XDG_PICTURES_DIR=\"$HOME/\"\n");
  EXPECT_EQ(ScreenshotDir(), d.File("Pictures/morvik"));
  {
    EnvVar e("XDG_PICTURES_DIR", "/srv/shots");  // the environment comes first
    EXPECT_EQ(ScreenshotDir(), "/srv/shots/morvik");
  }
}
#endif

}  // namespace
}  // namespace morvik::test
