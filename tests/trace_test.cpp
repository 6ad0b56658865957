// SPDX-License-Identifier: GPL-3.0-or-later
// The trace line writes every number as it always has: reals with nine
// significant digits ("%.9g", which reads back as the same single), so that
// traces and the regression digests made from them keep their bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "game.hpp"
#include "platform/headless/headless_platform.hpp"
#include "shell/trace.hpp"

namespace morvik {
namespace {

std::string Printed(float v) {
  if (std::isnan(v)) return "\"nan\"";
  if (std::isinf(v)) return v > 0 ? "\"inf\"" : "\"-inf\"";
  char b[32];
  std::snprintf(b, sizeof b, "%.9g", static_cast<double>(v));
  return b;
}

// The text of one member in the line: from after "name": to the next comma or bracket.
std::string Member(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  const size_t at = line.find(key);
  if (at == std::string::npos) return "?";
  const size_t from = at + key.size();
  return line.substr(from, line.find_first_of(",]}", from) - from);
}

TEST(Trace, NumbersAreWrittenAsNineSignificantDigitsAndReadBack) {
  HeadlessPlatform plat(4321);
  Game g(plat);
  const float special[] = {0.0f, -0.0f, 0.1f, -2.5f, 1.0f / 3, 16777217.0f, 123456792.0f, 999999936.0f, 1e9f,
                           -1e9f, 1e-7f, 3.4e38f, 1e-45f, std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
  std::mt19937 rng(7);
  std::string line;
  for (int i = 0; i < 3000; ++i) {
    float v;
    if (i < static_cast<int>(std::size(special))) {
      v = special[i];
    } else {
      const uint32_t bits = rng();
      std::memcpy(&v, &bits, sizeof v);
      if (i % 3 == 0) v = std::round(v);
      if (i % 5 == 0) v = static_cast<float>(static_cast<int32_t>(bits) % 100000) / 8;
    }
    g.HeroX = v;
    g.Score = static_cast<int32_t>(rng());
    line.assign(1, 'x');  // the line is appended to what the string holds
    TraceLine(g, line);
    ASSERT_EQ(line.rfind("x{\"t\":4321,", 0), 0u) << line.substr(0, 40);
    const std::string text = Member(line, "HeroX");
    ASSERT_EQ(text, Printed(v)) << "bits of " << v;
    if (std::isfinite(v)) {
      const float back = std::strtof(text.c_str(), nullptr);
      ASSERT_EQ(std::memcmp(&back, &v, sizeof v), 0) << text;
    }
    ASSERT_EQ(Member(line, "Score"), std::to_string(g.Score));
  }
  FillConstantTables(g);
  g.CloudX[0] = -0.5f;
  g.CloudX[5] = 7;
  line.clear();
  TraceLine(g, line);
  EXPECT_NE(line.find("\"CloudX\":[-0.5,500,400,140,330,7]"), std::string::npos) << line;
  EXPECT_EQ(line.back(), '}');
}

}  // namespace
}  // namespace morvik
