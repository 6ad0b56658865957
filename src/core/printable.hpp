// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text from outside (a file name, a line of a script, a board's answer) made
// safe to show in a one-line message: control bytes (C0 and C1), DEL, a
// byte-order mark, the marks that turn the text's direction and bytes that
// are not UTF-8 are written as \xNN, so the message shows what is really there.
#include <string>

namespace morvik {

inline std::string Printable(const std::string& s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  auto escape = [&](unsigned char c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  };
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) {
      escape(c);
      ++i;
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // The length of a well-formed UTF-8 sequence starting here, 0 if none.
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n > s.size() - i) n = 0;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) n = 0;
    if (n >= 3) {
      const unsigned char d = static_cast<unsigned char>(s[i + 1]);
      if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0) || (c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90))
        n = 0;  // overlong, a surrogate, or beyond U+10FFFF
    }
    const bool bom = n == 3 && s.compare(i, 3, "\xEF\xBB\xBF") == 0;
    // The C1 controls (U+0080 to U+009F: a terminal takes U+009B as the
    // start of a command) and the marks that turn the text's direction
    // (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), which
    // would make the message read as something else.
    const unsigned char d = n >= 2 ? static_cast<unsigned char>(s[i + 1]) : 0;
    const unsigned char e = n >= 3 ? static_cast<unsigned char>(s[i + 2]) : 0;
    const bool c1 = n == 2 && c == 0xC2 && d <= 0x9F;
    const bool turn = (n == 2 && c == 0xD8 && d == 0x9C) ||
                      (n == 3 && c == 0xE2 && d == 0x80 && (e == 0x8E || e == 0x8F || (e >= 0xAA && e <= 0xAE))) ||
                      (n == 3 && c == 0xE2 && d == 0x81 && e >= 0xA6 && e <= 0xA9);
    if (n == 0 || bom || c1 || turn) {
      const size_t k = n == 0 ? 1 : n;
      for (size_t j = 0; j < k; ++j) escape(static_cast<unsigned char>(s[i + j]));
      i += k;
      continue;
    }
    out.append(s, i, n);
    i += n;
  }
  return out;
}

}  // namespace morvik
