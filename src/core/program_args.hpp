// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's start as the system hands it over: its arguments as UTF-8
// text, and its console for the one-line messages.
#include <string>
#include <vector>

namespace morvik {

// argv[0] first. On Windows they are read from the wide command line, so
// that any name the player types arrives whole.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Readies the console for the program's messages (on Windows: UTF-8 out;
// a console opened only for this program, as when it is started from the
// desktop, is let go so that no empty window stands beside the game's).
void PrepareConsole();

}  // namespace morvik
