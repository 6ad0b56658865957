// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/program_args.hpp"

#include <windows.h>
#include <shellapi.h>

#include "core/utf16.hpp"

namespace morvik {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) args.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return args;
}

void PrepareConsole() {
  SetConsoleOutputCP(CP_UTF8);
  // Started from the desktop, the program is the only one in a console made
  // for it: that window is let go (a console it shares with the shell that
  // started it stays, and so do messages sent to a file or a pipe).
  DWORD processes[2];
  if (GetConsoleWindow() != nullptr && GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

}  // namespace morvik
