// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text from outside (a file name, a line of a script) made safe to show in a
// one-line message: control bytes, DEL, a byte-order mark and bytes that are
// not UTF-8 are written as \xNN, so the message shows what is really there.
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
    if (n == 0 || bom) {
      for (size_t k = 0; k < (bom ? 3 : 1); ++k) escape(static_cast<unsigned char>(s[i + k]));
      i += bom ? 3 : 1;
      continue;
    }
    out.append(s, i, n);
    i += n;
  }
  return out;
}

}  // namespace morvik
