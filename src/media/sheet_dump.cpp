// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/sheet_dump.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/path_text.hpp"
#include "media/png.hpp"
#include "media/sheets.hpp"

namespace morvik {

namespace {

struct Rect {
  int x, y, w, h;
};

// A grid of cols x rows cells of w x h from the top-left corner.
std::vector<Rect> Grid(int w, int h, int cols, int rows) {
  std::vector<Rect> r;
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i) r.push_back({i * w, j * h, w, h});
  return r;
}

// The cells the drawing code copies from each sheet (sprites and masks).
std::vector<Rect> CellsOf(const std::string& n, int w, int h) {
  if (n == "Yuka") return {{0, 0, 25, 30}, {25, 0, 25, 30}, {50, 0, 25, 30}, {75, 0, 25, 25}, {100, 0, 25, 25}};
  if (n == "Cloud")
    return {{0, 0, 46, 24}, {46, 0, 46, 24}, {0, 24, 46, 19}, {46, 24, 46, 19}, {0, 43, 46, 14}, {46, 43, 46, 14}};
  if (n == "Snow") return Grid(20, 24, 7, 2);
  if (n == "SnowM") return Grid(20, 24, 6, 2);
  if (n == "Ball") return Grid(15, 15, 2, 1);
  if (n == "Enemy0") return Grid(15, 19, 4, 2);
  if (n == "Enemy1" || n == "Enemy4") return Grid(20, 26, 7, 2);
  if (n == "Enemy2") return Grid(20, 15, 4, 2);
  if (n == "Enemy3") return Grid(20, 20, 4, 2);
  if (n == "Enemy5") return Grid(21, 26, 5, 2);
  if (n == "Enemy6") return Grid(16, 20, 6, 2);
  if (n == "GetItem") return Grid(96, 14, 1, 6);
  if (n == "Ten") return Grid(40, 16, 2, 27);
  if (n == "Bar") return Grid(124, 13, 1, 2);
  if (n == "Geji") return {{0, 0, 120, 9}};
  if (n == "SC") return Grid(34, 10, 1, 2);
  if (n == "Math") return Grid(6, 10, 10, 2);
  if (n == "MaxA") return Grid(43, 10, 1, 2);
  if (n == "DieTalk") return Grid(115, 14, 1, 2);
  if (n == "SBit") return {{0, 0, 2, 2}, {2, 0, 2, 2}, {2, 2, 2, 2}, {4, 2, 2, 2}, {4, 0, 1, 1}};
  if (n == "Over") return Grid(32, 53, 8, 2);
  if (n == "Pose") return Grid(52, 14, 1, 2);
  if (n == "Morvik") return Grid(66, 78, 3, 2);
  if (n == "MOR") return Grid(57, 58, 7, 2);
  if (n == "Command") return {{0, 0, 140, 42}, {140, 0, 140, 42}, {0, 42, 140, 14}, {140, 42, 140, 14}};
  if (n == "HScore") return Grid(228, 14, 1, 2);
  if (n == "TalkChara") return Grid(21, 26, 1, 7);
  if (n == "CR") return {{0, 0, 154, 14}, {154, 0, 154, 14}, {0, 14, 154, 14}};
  return {{0, 0, w, h}};
}

// Regions drawn opaque, where white is a colour rather than "transparent".
bool OpaqueAt(const std::string& n, int x, int y) {
  if (n == "Back" || n == "Geji" || n == "SBit" || n == "TalkChara" || n == "Yuka") return true;
  if (n == "CR") return x < 154 && y >= 14;
  return false;
}

constexpr int kScale = 3, kGap = 18, kMaxWidth = 2100;
constexpr uint32_t kCheckA = 0x8E8E96, kCheckB = 0xA8A8B0, kCellLine = 0xFF3C9C, kBackdrop = 0x50505A;

}  // namespace

// Every art sheet at 3x, packed in shelves on a grey checkerboard, each cell outlined.
static std::vector<uint32_t> ContactSheet(const Sheets& s, int& width, int& height) {
  struct Item {
    const SheetInfo* info;
    int x = 0, y = 0;
  };
  std::vector<Item> items;
  for (const SheetInfo& i : SheetCatalogue())
    if (i.art) items.push_back({&i});
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.info->height > b.info->height; });
  int x = kGap, y = kGap, shelf = 0;
  width = 0;
  for (Item& it : items) {
    int w = it.info->width * kScale, h = it.info->height * kScale;
    if (x > kGap && x + w + kGap > kMaxWidth) {
      x = kGap;
      y += shelf + kGap;
      shelf = 0;
    }
    it.x = x;
    it.y = y;
    x += w + kGap;
    shelf = std::max(shelf, h);
    width = std::max(width, x);
  }
  height = y + shelf + kGap;
  std::vector<uint32_t> px(static_cast<size_t>(width) * height, kBackdrop);
  auto set = [&](int px_, int py, uint32_t c) {
    if (px_ >= 0 && py >= 0 && px_ < width && py < height) px[static_cast<size_t>(py) * width + px_] = c;
  };
  for (const Item& it : items) {
    const Surface& sh = *FindSheet(s, it.info->name);
    const std::string n = it.info->name;
    for (int j = 0; j < sh.Height() * kScale; ++j)
      for (int i = 0; i < sh.Width() * kScale; ++i) {
        int sx = i / kScale, sy = j / kScale;
        uint32_t c = sh.Get(sx, sy);
        if (c == kWhite && !OpaqueAt(n, sx, sy)) c = (((it.x + i) / 12 + (it.y + j) / 12) % 2) ? kCheckA : kCheckB;
        set(it.x + i, it.y + j, c);
      }
    for (const auto& r : CellsOf(n, sh.Width(), sh.Height())) {
      int x0 = it.x + r.x * kScale, y0 = it.y + r.y * kScale;
      int x1 = it.x + std::min(r.x + r.w, sh.Width()) * kScale - 1, y1 = it.y + std::min(r.y + r.h, sh.Height()) * kScale - 1;
      for (int i = x0; i <= x1; ++i) set(i, y0, kCellLine), set(i, y1, kCellLine);
      for (int j = y0; j <= y1; ++j) set(x0, j, kCellLine), set(x1, j, kCellLine);
    }
  }
  return px;
}

int DumpSheets(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(PathOf(dir), ec);
  Sheets s;
  for (const SheetInfo& i : SheetCatalogue()) {
    if (!i.art) continue;
    std::string path = dir + "/" + i.name + ".png";
    if (!WritePng(path, *FindSheet(s, i.name))) return 1;
  }
  int w = 0, h = 0;
  std::vector<uint32_t> contact = ContactSheet(s, w, h);
  std::string path = dir + "/contact.png";
  return WritePng(path, contact.data(), w, h) ? 0 : 1;
}
}  // namespace morvik
