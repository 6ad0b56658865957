// SPDX-License-Identifier: GPL-3.0-or-later
// A picture: its pixels, the ring layout of the terrain canvases and their
// scroll, and what is kept from frame to frame about their columns (when
// each changed, which bands are all white, which rows repeat).
#include "media/surface.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace morvik {

void Surface::Create(int w, int h, uint32_t back) {
  w_ = w < 0 ? 0 : w;
  h_ = h < 0 ? 0 : h;
  ring_ = 0;
  origin_ = 0;
  back_ = back & 0xFFFFFF;
  pix_.assign(static_cast<size_t>(w_) * h_, back_);
  colStamp_.assign(static_cast<size_t>(w_), 0);
  bands_ = SolidBands{};
  Touch();
}

void Surface::MarkColumns(int x, int w) {
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (x + w > w_) w = w_ - x;
  if (x == 0 && w == w_) {  // every column: one stamp for all
    Touch();
    return;
  }
  ++gen_;
  if (w <= 0) return;
  const uint64_t st = ++stamp_;
  for (int i = 0; i < w;) {
    const int n = std::min(w - i, Run(x + i));
    std::fill_n(colStamp_.begin() + Phys(x + i), n, st);
    i += n;
  }
}

void Surface::ChangedSpans(int a, int b, const std::vector<uint64_t>& madeAt,
                           std::vector<std::pair<int, int>>& spans) const {
  spans.clear();
  for (int c = a; c < b;) {
    const int n = std::min(b - c, Run(c)), p0 = Phys(c);
    for (int p = p0; p < p0 + n; ++p) {
      if (ColumnStamp(p) <= madeAt[p]) continue;
      if (!spans.empty() && spans.back().second == p)
        ++spans.back().second;
      else
        spans.emplace_back(p, p + 1);
    }
    c += n;
  }
}

uint64_t Surface::AllBands() const {
  const int bands = (h_ + kBandRows - 1) / kBandRows;
  return bands >= 64 ? ~uint64_t{0} : (uint64_t{1} << bands) - 1;
}

const uint64_t* Surface::WhiteBands(int width) const {
  if ((h_ + kBandRows - 1) / kBandRows > 64 || w_ == 0) return nullptr;
  if (white_.size() != static_cast<size_t>(w_)) {
    white_.assign(static_cast<size_t>(w_), 0);
    whiteAt_.assign(static_cast<size_t>(w_), 0);
  }
  // Only the columns changed since their bits were made are read again,
  // row by row across all of them.
  std::vector<std::pair<int, int>>& spans = bands_.spans;
  ChangedSpans(0, std::clamp(width, 0, w_), whiteAt_, spans);
  RefreshWhite(spans);
  return white_.data();
}

void Surface::RefreshWhite(const std::vector<std::pair<int, int>>& spans) const {
  if (spans.empty()) return;
  whiteWork_.resize(static_cast<size_t>(w_));
  uint64_t* dirty = whiteWork_.data();
  for (const auto& [p, q] : spans) std::fill(dirty + p, dirty + q, 0);
  for (int y = 0; y < h_; ++y) {
    const uint32_t* r = Row(y);
    const uint64_t bit = uint64_t{1} << (y / kBandRows);
    for (const auto& [p, q] : spans)
      for (int k = p; k < q; ++k)
        if (r[k] != kWhite) dirty[k] |= bit;
  }
  for (const auto& [p, q] : spans)
    for (int k = p; k < q; ++k) {
      white_[k] = ~dirty[k] & AllBands();
      whiteAt_[k] = ColumnStamp(k);
    }
}

namespace {
constexpr uint32_t kManyColours = 0x80000000u;
}

const uint32_t* Surface::RowPattern(int y) const {
  if (y < 0 || y >= h_ || w_ < 4) return nullptr;
  if (!rowsMade_ || rowsGen_ != gen_) {
    rowPattern_.resize(static_cast<size_t>(h_) * 4);
    for (int j = 0; j < h_; ++j) {
      const uint32_t* r = Row(j);
      bool repeats = true;
      for (int i = 4; i < w_ && repeats; ++i) repeats = r[i] == r[i - 4];
      uint32_t* pat = &rowPattern_[static_cast<size_t>(j) * 4];
      for (int i = 0; i < 4; ++i) pat[i] = r[i] & 0xFFFFFF;
      if (!repeats) pat[0] = kManyColours;
    }
    rowsGen_ = gen_;
    rowsMade_ = true;
  }
  const uint32_t* pat = &rowPattern_[static_cast<size_t>(y) * 4];
  return pat[0] & kManyColours ? nullptr : pat;
}

void Surface::SetBackColour(uint32_t back) {
  back_ = back & 0xFFFFFF;
  Clear(back_);
}

void Surface::Clear(uint32_t colour) {
  std::fill(pix_.begin(), pix_.end(), colour & 0xFFFFFF);
  origin_ = 0;
  Touch();
}

void Surface::MakeRing(int ringWidth) {
  // Re-layout so that logical pixels keep their values (with the origin at
  // 0 the layout already is the plain one).
  if (origin_ == 0) {
    ring_ = std::clamp(ringWidth, 0, w_);
    Touch();
    return;
  }
  std::vector<uint32_t, PixelAllocator<uint32_t>> old(pix_.size());
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) old[static_cast<size_t>(y) * w_ + x] = Row(y)[Phys(x)];
  ring_ = std::clamp(ringWidth, 0, w_);
  origin_ = 0;
  pix_ = std::move(old);
  Touch();
}

void Surface::ScrollLeft(int s) {
  const int rw = ring_ > 0 ? ring_ : 0;
  if (s <= 0 || h_ == 0) return;
  if (rw == 0 || s >= rw) {
    // Plain picture: a memmove per row keeps the read-before-write meaning.
    int width = ring_ > 0 ? ring_ : 1250;
    int srcEnd = std::min(w_, s + width);
    int n = srcEnd - s;
    if (n <= 0) return;
    for (int y = 0; y < h_; ++y) {
      uint32_t* r = Row(y);
      if (rw == 0) {
        std::memmove(r, r + s, sizeof(uint32_t) * n);
      } else {
        std::vector<uint32_t> tmp(n);
        for (int x = 0; x < n; ++x) tmp[x] = Get(x + s, y);
        for (int x = 0; x < n; ++x) r[Phys(x)] = tmp[x];
      }
    }
    Touch();
    return;
  }
  // Ring: columns [0, rw - s) now show what lay at [s, rw); columns
  // [rw - s, rw) receive what lies at [rw, rw + s) beyond the ring.
  origin_ = (origin_ + s) % rw;
  // The incoming columns are at most two physical runs; beyond the ring the
  // layout is plain, so the source never overlaps them.
  const int have = std::clamp(w_ - rw, 0, s);  // incoming columns that exist beyond the ring
  // The physical runs are the same on every row: found once.
  struct Piece { int i, n, p; };
  Piece pieces[2];
  int count = 0;
  for (int i = 0; i < s && count < 2;) {
    const int x = rw - s + i;
    const int n = std::min(s - i, Run(x));
    pieces[count++] = {i, n, Phys(x)};
    i += n;
  }
  for (int y = 0; y < h_; ++y) {
    uint32_t* r = Row(y);
    for (int c = 0; c < count; ++c) {
      const Piece& pc = pieces[c];
      uint32_t* d = r + pc.p;
      for (int k = 0; k < pc.n; ++k) d[k] = pc.i + k < have ? r[rw + pc.i + k] : back_;
    }
  }
  MarkColumns(rw - s, s);
  // The incoming columns are copies of columns beyond the ring (or the back
  // colour): where those columns' white bands are known, so are theirs.
  // (Columns beyond the ring are read once and then kept: nothing draws there.)
  if (white_.size() == static_cast<size_t>(w_)) {
    std::vector<std::pair<int, int>>& from = bands_.spans;
    from.clear();
    for (int x = rw; x < rw + have; ++x)
      if (ColumnStamp(x) > whiteAt_[x]) from.emplace_back(x, x + 1);
    RefreshWhite(from);
    const uint64_t backBits = back_ == kWhite ? AllBands() : 0;
    for (int c = 0; c < count; ++c) {
      const Piece& pc = pieces[c];
      for (int k = 0; k < pc.n; ++k) {
        const int p = pc.p + k;
        white_[p] = pc.i + k < have ? white_[rw + pc.i + k] : backBits;
        whiteAt_[p] = ColumnStamp(p);
      }
    }
  }
}

bool Surface::SwapPixels(Surface& other) {
  if (&other == this || other.w_ != w_ || other.h_ != h_ || ring_ != 0 || other.ring_ != 0) return false;
  pix_.swap(other.pix_);
  Touch();
  other.Touch();
  return true;
}

}  // namespace morvik
