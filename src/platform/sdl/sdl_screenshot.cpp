// SPDX-License-Identifier: GPL-3.0-or-later
// F12: the screen as the player sees it, saved as a PNG in the pictures folder.
#include <ctime>
#include <cstdio>
#include <filesystem>

#include "core/files.hpp"
#include "core/path_text.hpp"
#include "core/printable.hpp"
#include "media/png.hpp"
#include "media/surface.hpp"
#include "platform/sdl/sdl_platform.hpp"

namespace morvik {

namespace {
constexpr int kMW = 425, kMH = 329;
}  // namespace

void SdlPlatform::TakeScreenshot() {
  if (!screen_) return;
  namespace fs = std::filesystem;
  std::string why;
  if (opt_.screenshotDir.empty()) why = "no pictures folder (HOME is not set)";
  else MakeFolders(opt_.screenshotDir, why);
  if (!why.empty()) {
    std::fprintf(stderr, "morvik: the screenshot is not saved: %s\n", why.c_str());
    return;
  }
  std::error_code ec;
  std::time_t now = std::time(nullptr);
  char name[64];
  std::strftime(name, sizeof name, "morvik-%Y%m%d-%H%M%S", std::localtime(&now));
  std::string path = PathText(PathOf(opt_.screenshotDir) / (std::string(name) + ".png"));
  for (int n = 2; fs::exists(PathOf(path), ec); ++n)
    path = PathText(PathOf(opt_.screenshotDir) / (std::string(name) + "-" + std::to_string(n) + ".png"));
  // What the player sees: the display mode's screen with M on it.
  std::vector<uint32_t> px(static_cast<size_t>(modeW_) * modeH_, 0);
  for (int y = 0; y < modeH_; ++y)
    for (int x = 0; x < modeW_; ++x) {
      int mx = x - left_, my = y - top_;
      if (mx >= 0 && my >= 0 && mx < kMW && my < kMH) px[static_cast<size_t>(y) * modeW_ + x] = screen_->Get(mx, my);
    }
  // A failed write says so itself, in one line.
  if (WritePng(path, px.data(), modeW_, modeH_))
    std::fprintf(stderr, "morvik: screenshot saved to %s\n", Printable(path).c_str());
}

}  // namespace morvik
