// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game's own lettering for texts it writes as it runs: the small pixel
// font, the speech bubble its labels sit in, and the colours they share.
// Each writes through the picture's rows; the caller touches the picture.
#include <cstdint>
#include <string>

#include "media/surface.hpp"

namespace morvik {

constexpr uint32_t kNavy = 0x1C2048, kPaper = 0xFFFFFF, kSnow = 0xD6E6FA, kShade = 0xA6C0EE, kCap = 0x3C6CE8,
                   kCapDark = 0x2842A8, kRed = 0xE23A3E, kGrey = 0x949CB0, kOrange = 0xE8882E, kGold = 0xF6C23A;

void Fill(Surface& m, int x, int y, int w, int h, uint32_t c);
// Text in the small font with its top-left at (x, y), no wider than maxW.
void Text(Surface& m, int x, int y, const std::string& s, uint32_t c, int maxW = 1000);
// The same with a one-pixel outline all round, for text on the sky.
void OutlinedText(Surface& m, int x, int y, const std::string& s, uint32_t c, uint32_t outline);
int TextWidth(const std::string& s);
// A speech bubble: white body, navy outline, corners cut, shaded low and
// right, a small tail on the left when `tail` is set.
void Bubble(Surface& m, int x, int y, int w, int h, bool tail);

}  // namespace morvik
