// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures written as PNG: they read back to the same pixels, and a write that
// fails says so in one line and leaves nothing half-written.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/png.hpp"
#include "support.hpp"

using namespace morvik;

namespace {
// Bytes 16..25 of a PNG: width, height, bit depth and colour type.
int ColourType(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[26] = {};
  in.read(head, 26);
  return in ? static_cast<unsigned char>(head[25]) : -1;
}

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}
}  // namespace

TEST(Png, PicturesReadBackPixelForPixel) {
  test::TempDir dir;
  const int w = 425, h = 329;
  struct Case {
    const char* name;
    bool alpha;
    int colours;  // distinct colours drawn
    int type;     // PNG colour type expected: 3 palette, 2 RGB, 6 RGBA
  } cases[] = {{"two.png", false, 2, 3}, {"screen.png", false, 256, 3}, {"many.png", false, 257, 2},
               {"icon.png", true, 300, 6}};
  for (const Case& c : cases) {
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < px.size(); ++i) {
      const uint32_t k = static_cast<uint32_t>((i * 7919u + i / w) % static_cast<size_t>(c.colours));
      // The top byte is alpha for an icon, and is ignored (read back as opaque) otherwise.
      px[i] = (k * 0x9E3779u & 0xFFFFFFu) | (c.alpha ? (k * 37u & 0xFFu) << 24 : 0x5A000000u);
    }
    ASSERT_TRUE(WritePng(dir.File(c.name), px.data(), w, h, c.alpha)) << c.name;
    EXPECT_EQ(ColourType(dir.File(c.name)), c.type) << c.name;
    std::vector<uint32_t> back;
    int bw = 0, bh = 0;
    ASSERT_TRUE(ReadPng(dir.File(c.name), back, bw, bh)) << c.name;
    ASSERT_EQ(bw, w);
    ASSERT_EQ(bh, h);
    for (size_t i = 0; i < px.size(); ++i) {
      const uint32_t want = c.alpha ? px[i] : (px[i] | 0xFF000000u);
      ASSERT_EQ(back[i], want) << c.name << " pixel " << i;
    }
  }
  // Compressed: a screen of few colours is far smaller than its raw pixels.
  EXPECT_LT(std::filesystem::file_size(dir.File("two.png")), static_cast<uintmax_t>(w) * h / 8);
  // Writing over a picture replaces it whole, and only the pictures are left.
  std::vector<uint32_t> one(4, 0x102030);
  ASSERT_TRUE(WritePng(dir.File("many.png"), one.data(), 2, 2));
  std::vector<uint32_t> back;
  int bw = 0, bh = 0;
  ASSERT_TRUE(ReadPng(dir.File("many.png"), back, bw, bh));
  EXPECT_EQ(bw * bh, 4);
  EXPECT_EQ(Listing(dir.Path()).size(), 4u);
  EXPECT_FALSE(ReadPng(dir.File("absent.png"), back, bw, bh));
}

TEST(Png, AFailedWriteSaysSoOnceAndLeavesNothing) {
  test::TempDir dir;
  std::vector<uint32_t> px(640 * 480, 0x336699);
  const std::string missing = dir.File("no-such-folder/shot.png");
  const std::string cases[] = {missing, "/dev/full"};
  for (const std::string& path : cases) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(WritePng(path, px.data(), 640, 480)) << path;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("morvik: cannot write " + path + " (", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  // The disk fills up in the middle of a picture (a file size limit stands in
  // for it): the write fails and no part of the picture is left.
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu;
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 8192;
  auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &small);
  testing::internal::CaptureStderr();
  const bool wrote = WritePng(dir.File("full.png"), px.data(), 640, 480);
  const std::string err = testing::internal::GetCapturedStderr();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_FALSE(wrote);
  EXPECT_EQ(err.rfind("morvik: cannot write " + dir.File("full.png") + " (", 0), 0u) << err;
  EXPECT_TRUE(Listing(dir.Path()).empty());
}
