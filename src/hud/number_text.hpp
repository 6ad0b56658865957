// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decimal text the status display and the title build their digits from:
// a non-negative number gets one leading blank in its sign place (" 5000"),
// a negative one its minus sign ("-12"). A blank or sign draws as the digit 0.
#include <cstdint>
#include <cstdio>

namespace morvik {

struct NumberText {
  char c[16];
  int len;  // characters, the blank or sign included
  explicit NumberText(int32_t v) {
    len = std::snprintf(c, sizeof c, v < 0 ? "%d" : " %d", v);
    if (len < 0) len = 0;
  }
  // The digit shown for character k, counting from 1 as the game always has.
  int DigitAt(int k) const {
    if (k < 1 || k > len) return 0;
    char ch = c[k - 1];
    return ch >= '0' && ch <= '9' ? ch - '0' : 0;
  }
};

// The two digits of a best combo kept as 100 + the count (MaxCombo,
// BestCombo): its tens and units for counts up to 99; a count of 100 or more
// shows 99, the most two digits can say. k is 0 for the tens, 1 for the units.
inline int ComboDigit(int32_t kept, int k) {
  int32_t count = kept - 100;
  if (count < 0) count = 0;
  if (count > 99) count = 99;
  return k == 0 ? count / 10 : count % 10;
}

}  // namespace morvik
