// SPDX-License-Identifier: GPL-3.0-or-later
// morvik-headless.js: the headless runner built for WebAssembly, run with
// node. It takes the native program's headless options and reads and writes
// the real file system, so that a demo, trace or digest means the same here.
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/run.hpp"
#include "core/printable.hpp"
#include "game.hpp"

namespace {
// The folder the runner's script lies in: its data lie in data/ beside it.
std::string ScriptDir() {
  char* dir = reinterpret_cast<char*>(EM_ASM_INT({
    var p = require('path').dirname(require('fs').realpathSync(process.argv[1]));
    return allocateUTF8(p);
  }));
  std::string s = dir ? dir : ".";
  std::free(dir);
  return s;
}
}  // namespace

int main(int argc, char** argv) {
  using namespace morvik;
  Options o;
  if (const int status = ReadCommandLine(argc, argv, o); status >= 0) return status;
  const std::string dataDir = o.dataDir.empty() ? ScriptDir() + "/data" : o.dataDir;
  const std::string recordPath = FindRecordPath(dataDir, false);
  if (o.paths) {
    std::printf("data:        %s\nrecords:     %s\n", Printable(dataDir).c_str(), Printable(recordPath).c_str());
    return 0;
  }
  if (!o.verify.empty()) return RunVerify(o, dataDir);
  // Only headless: this runner has no window (the page is the browser's).
  return RunHeadless(o, dataDir, recordPath);
}
