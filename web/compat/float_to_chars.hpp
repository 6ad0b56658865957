// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The C++ library of Debian's Emscripten (libc++ 14) writes integers with
// std::to_chars but not floating-point numbers. The web build includes this
// header first: it writes them with the C library, which gives the same text
// as the standard asks of to_chars with a format and a precision (printf's
// %.*g, %.*e, %.*f), so traces read the same as the native program's.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

#if defined(__EMSCRIPTEN__) && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 15000
namespace std {
inline to_chars_result to_chars(char* first, char* last, double v, chars_format fmt, int precision) {
  const char* form = fmt == chars_format::scientific ? "%.*e" : fmt == chars_format::fixed ? "%.*f" : "%.*g";
  char buf[400];
  const int n = std::snprintf(buf, sizeof buf, form, precision, v);
  if (n < 0 || static_cast<size_t>(n) >= sizeof buf || n > last - first) return {last, errc::value_too_large};
  std::memcpy(first, buf, static_cast<size_t>(n));
  return {first + n, errc{}};
}
}  // namespace std
#endif
