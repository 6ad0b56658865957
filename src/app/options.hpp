#pragma once
// Command-line options of the morvik program.
#include <cstdint>
#include <string>
#include <vector>

namespace morvik {

struct ShotRequest {
  int frame = 0;
  std::string path;
};

struct Options {
  bool headless = false;
  bool help = false, version = false;
  std::string dataDir;           // empty: found beside the program or installed
  std::string script;
  uint32_t clockStart = 0;
  bool hasUntil = false;
  uint32_t untilMs = 0;
  std::string trace;
  std::vector<ShotRequest> shots;
  // real window
  bool window = false;           // a window instead of full screen
  bool fullscreen = false;
  int scale = 0;                 // window scale, 0 = automatic
  bool smooth = false;
  // tools
  std::string dumpSheets;
  bool paths = false;
  std::string recordDemo, playDemo;
};

// Parses argv; on a bad argument returns false with a one-line message.
bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error);
const char* UsageText();
const char* VersionText();

// Where the game finds its data and keeps its records.
std::string ExecutableDir();
std::string FindDataDir(const std::string& exeDir, const std::string& installedDataDir);
std::string FindRecordPath(const std::string& dataDir);
std::string ScreenshotDir();

}  // namespace morvik
