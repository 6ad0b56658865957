// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/program_args.hpp"

namespace morvik {

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

void PrepareConsole() {}

}  // namespace morvik
