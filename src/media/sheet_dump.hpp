// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

namespace morvik {
// Writes every sheet as DIR/<Name>.png and a contact sheet DIR/contact.png;
// returns the exit status (0, or 1 with a message on stderr).
int DumpSheets(const std::string& dir);
}  // namespace morvik
