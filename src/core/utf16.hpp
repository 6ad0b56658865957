// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows' wide strings and the game's UTF-8, both ways (the Windows
// platform's own; nothing else needs them).
#include <string>

namespace morvik {

// False for text that is not UTF-8 (no such name can be on the system).
bool WideFromUtf8(const std::string& utf8, std::wstring& out);
// Unpaired surrogates come out as U+FFFD.
std::string Utf8FromWide(const std::wstring& wide);

}  // namespace morvik
