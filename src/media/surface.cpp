// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/surface.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#if defined(__linux__)
#include <sys/mman.h>
#endif

// Under AddressSanitizer every picture keeps a block of its own, so that a
// sweep past its end is caught instead of landing in its neighbour.
#if defined(__SANITIZE_ADDRESS__)
#define MORVIK_PLAIN_PIXELS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORVIK_PLAIN_PIXELS 1
#endif
#endif
#if defined(MADV_HUGEPAGE) && !defined(MORVIK_PLAIN_PIXELS)
#define MORVIK_HUGE_PIXELS 1
#endif

namespace morvik {

#if defined(MORVIK_HUGE_PIXELS)
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Pictures from this size up share huge pages with each other.
constexpr size_t kShared = size_t{128} << 10;

void* HugeBlock(size_t size) {
  void* p = std::aligned_alloc(kHugePage, size);
  if (!p) throw std::bad_alloc();
  madvise(p, size, MADV_HUGEPAGE);  // only advice: without huge pages it is a plain block
  return p;
}

// The mid-sized pictures (the screen, its back buffer, the sky) are laid
// one after another into shared 2 MB blocks; a block goes back when the
// last picture in it does. Pictures are mostly made at the start and kept:
// space freed within a block is handed out again only when it was the
// block's last.
struct SharedBlocks {
  struct Block {
    char* base;
    size_t used;
    int live;
  };
  std::mutex lock;
  std::vector<Block> blocks;
};

SharedBlocks& Shared() {
  static SharedBlocks* s = new SharedBlocks;  // outlives every picture
  return *s;
}

}  // namespace
#endif

void* AllocatePixels(size_t bytes) {
#if defined(MORVIK_HUGE_PIXELS)
  if (bytes >= kHugePage) return HugeBlock((bytes + kHugePage - 1) / kHugePage * kHugePage);
  if (bytes >= kShared) {
    const size_t need = (bytes + 63) / 64 * 64;
    SharedBlocks& sb = Shared();
    std::lock_guard<std::mutex> hold(sb.lock);
    for (SharedBlocks::Block& b : sb.blocks)
      if (kHugePage - b.used >= need) {
        void* p = b.base + b.used;
        b.used += need;
        ++b.live;
        return p;
      }
    sb.blocks.push_back({static_cast<char*>(HugeBlock(kHugePage)), need, 1});
    return sb.blocks.back().base;
  }
#endif
  if (void* p = std::malloc(bytes == 0 ? 1 : bytes)) return p;
  throw std::bad_alloc();
}

void FreePixels(void* p, size_t bytes) {
#if defined(MORVIK_HUGE_PIXELS)
  if (bytes >= kShared && bytes < kHugePage) {
    SharedBlocks& sb = Shared();
    std::lock_guard<std::mutex> hold(sb.lock);
    for (size_t i = 0; i < sb.blocks.size(); ++i) {
      SharedBlocks::Block& b = sb.blocks[i];
      if (static_cast<char*>(p) < b.base || static_cast<char*>(p) >= b.base + kHugePage) continue;
      if (--b.live == 0) {
        std::free(b.base);
        sb.blocks.erase(sb.blocks.begin() + static_cast<long>(i));
      } else if (static_cast<char*>(p) + (bytes + 63) / 64 * 64 == b.base + b.used) {
        b.used = static_cast<size_t>(static_cast<char*>(p) - b.base);  // the last one in: its room is free again
      }
      return;
    }
  }
#else
  (void)bytes;
#endif
  std::free(p);
}

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

namespace {

// The innermost loops, built for the widest vector unit the machine has
// (chosen once when the program loads).
#if defined(__x86_64__) && defined(__GNUC__)
#define MORVIK_WIDE_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define MORVIK_WIDE_LOOP
#endif

// d = (mask AND NOT d) XOR image, over n pixels.
MORVIK_WIDE_LOOP void SweepMasked(uint32_t* __restrict d, const uint32_t* __restrict m,
                                  const uint32_t* __restrict im, int n) {
  for (int k = 0; k < n; ++k) d[k] = ((m[k] & ~d[k]) ^ im[k]) & 0xFFFFFF;
}

// d = (mask AND NOT sky) XOR image, over n pixels.
MORVIK_WIDE_LOOP void SweepMaskedOver(uint32_t* __restrict d, const uint32_t* __restrict b,
                                      const uint32_t* __restrict m, const uint32_t* __restrict im, int n) {
  for (int k = 0; k < n; ++k) d[k] = ((m[k] & ~b[k]) ^ im[k]) & 0xFFFFFF;
}

// For a sky row that repeats every four pixels: its colours from the
// first pixel of a span on, four times over (16 pixels, two wide vectors).
struct Pattern16 {
  uint32_t c[16];
  Pattern16(const uint32_t* pat, int phase) {
    for (int k = 0; k < 16; ++k) c[k] = pat[(phase + k) & 3];
  }
};

// d = (mask AND NOT sky) XOR image, over n pixels, the sky a repeating row.
MORVIK_WIDE_LOOP void SweepMaskedOverPattern(uint32_t* __restrict d, const Pattern16& p,
                                             const uint32_t* __restrict m, const uint32_t* __restrict im, int n) {
  int k = 0;
  for (; k + 16 <= n; k += 16)
    for (int j = 0; j < 16; ++j) d[k + j] = ((m[k + j] & ~p.c[j]) ^ im[k + j]) & 0xFFFFFF;
  for (int j = 0; k < n; ++k, ++j) d[k] = ((m[k] & ~p.c[j]) ^ im[k]) & 0xFFFFFF;
}

// d = the repeating sky row, over n pixels.
MORVIK_WIDE_LOOP void FillPattern(uint32_t* __restrict d, const Pattern16& p, int n) {
  int k = 0;
  for (; k + 16 <= n; k += 16)
    for (int j = 0; j < 16; ++j) d[k + j] = p.c[j];
  for (int j = 0; k < n; ++k, ++j) d[k] = p.c[j];
}

// d = sky, over n pixels (what the terrain leaves where it is all white).
MORVIK_WIDE_LOOP void CopyColours(uint32_t* __restrict d, const uint32_t* __restrict b, int n) {
  for (int k = 0; k < n; ++k) d[k] = b[k] & 0xFFFFFF;
}

// f |= (p == solid), over n pixels.
MORVIK_WIDE_LOOP void FoldSolid(uint8_t* __restrict f, const uint32_t* __restrict p, int n) {
  for (int k = 0; k < n; ++k) f[k] |= p[k] == kSolid ? 1 : 0;
}

// Clips a copy of w x h at dst (x, y) from sources at (sx, sy) [and (mx, my)]
// to every picture involved. Returns false when nothing is left.
bool Clip(const Surface& dst, int& x, int& y, int& w, int& h, const Surface& src, int& sx, int& sy, int* mx,
          int* my, const Surface* maskSrc = nullptr) {
  const Surface& msrc = maskSrc ? *maskSrc : src;
  auto cut = [&](int& pos, int lim, int& len, int& a, int& b, int* c) {
    if (pos < 0) {
      len += pos;
      a -= pos;
      b -= pos;
      if (c) *c -= pos;
      pos = 0;
    }
    if (pos + len > lim) len = lim - pos;
  };
  int dummy = 0;
  // destination
  cut(x, dst.Width(), w, sx, dummy, mx);
  cut(y, dst.Height(), h, sy, dummy, my);
  // sprite source
  cut(sx, src.Width(), w, x, dummy, mx);
  cut(sy, src.Height(), h, y, dummy, my);
  if (mx) {
    cut(*mx, msrc.Width(), w, x, sx, nullptr);
    cut(*my, msrc.Height(), h, y, sy, nullptr);
  }
  return w > 0 && h > 0;
}

// Runs op(dstPtr, srcPtr, n) over contiguous runs of one row.
template <class Op>
void ForRuns(Surface& dst, int x, int y, const Surface& src, int sx, int sy, int w, Op op) {
  uint32_t* dr = dst.Row(y);
  const uint32_t* sr = src.Row(sy);
  int i = 0;
  while (i < w) {
    int n = std::min({w - i, dst.Run(x + i), src.Run(sx + i)});
    op(dr + dst.Phys(x + i), sr + src.Phys(sx + i), n);
    i += n;
  }
}

}  // namespace

void DrawOpaque(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy) {
  if (!Clip(dst, x, y, w, h, src, sx, sy, nullptr, nullptr)) return;
  if (&dst == &src) {
    // A copy within one picture behaves as if the whole source were read first.
    std::vector<uint32_t> tmp(static_cast<size_t>(w) * h);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) tmp[static_cast<size_t>(j) * w + i] = src.Get(sx + i, sy + j);
    for (int j = 0; j < h; ++j) {
      uint32_t* r = dst.Row(y + j);
      for (int i = 0; i < w; ++i) r[dst.Phys(x + i)] = tmp[static_cast<size_t>(j) * w + i];
    }
    dst.MarkColumns(x, w);
    return;
  }
  for (int j = 0; j < h; ++j)
    ForRuns(dst, x, y + j, src, sx, sy + j, w,
            [](uint32_t* d, const uint32_t* s, int n) { std::memcpy(d, s, sizeof(uint32_t) * n); });
  dst.MarkColumns(x, w);
}

void DrawMasked(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy, int mx, int my) {
  DrawMaskedPair(dst, x, y, w, h, src, mx, my, src, sx, sy);
}

void DrawMaskedPair(Surface& dst, int x, int y, int w, int h, const Surface& mask, int mx, int my,
                    const Surface& image, int sx, int sy) {
  if (&dst == &mask || &dst == &image) return;  // never used on itself
  if (!Clip(dst, x, y, w, h, image, sx, sy, &mx, &my, &mask)) return;
  // Both passes in one sweep: each destination pixel depends only on
  // itself and its two source pixels, so doing pass 2 right after pass 1
  // for every pixel gives what two whole passes give.
  for (int j = 0; j < h; ++j) {
    uint32_t* dr = dst.Row(y + j);
    const uint32_t* mr = mask.Row(my + j);
    const uint32_t* ir = image.Row(sy + j);
    int i = 0;
    while (i < w) {
      const int n = std::min({w - i, dst.Run(x + i), mask.Run(mx + i), image.Run(sx + i)});
      uint32_t* d = dr + dst.Phys(x + i);
      const uint32_t* m = mr + mask.Phys(mx + i);
      const uint32_t* im = ir + image.Phys(sx + i);
      SweepMasked(d, m, im, n);
      i += n;
    }
  }
  dst.MarkColumns(x, w);
}

bool Surface::SwapPixels(Surface& other) {
  if (&other == this || other.w_ != w_ || other.h_ != h_ || ring_ != 0 || other.ring_ != 0) return false;
  pix_.swap(other.pix_);
  Touch();
  other.Touch();
  return true;
}

Area Area::Within(int w, int h) const {
  Area a;
  a.right = right < 0 ? w : std::clamp(right, 0, w);
  a.top = std::clamp(top, 0, h);
  a.bottom = bottom < 0 ? h : std::clamp(bottom, a.top, h);
  return a;
}

void CopySkySpans(Surface& dst, const Surface& sky, int skyY, const int* lo, const int* hi, const Area& area) {
  const Area in = area.Within(std::min(dst.Width(), sky.Width()), dst.Height());
  const int w = in.right;
  for (int y = in.top; y < in.bottom; ++y) {
    const int a = std::max(lo[y], 0), b = std::min(hi[y], w), sy = skyY + y;
    if (a >= b || sy < 0 || sy >= sky.Height()) continue;
    for (int x = a; x < b;) {
      const int n = std::min({b - x, dst.Run(x), sky.Run(x)});
      std::memcpy(dst.Row(y) + dst.Phys(x), sky.Row(sy) + sky.Phys(x), sizeof(uint32_t) * static_cast<size_t>(n));
      x += n;
    }
  }
  dst.Touch();
}

bool DrawSkyAndTerrain(Surface& dst, const Surface& sky, int skyY, const Surface& mask, const Surface& image,
                       const int* keepLo, const int* keepHi, const Area& area) {
  const int h = dst.Height();
  const auto covers = [&](const Surface& s, int top) {
    return s.Width() >= dst.Width() && top >= 0 && top + h <= s.Height();
  };
  if (&dst == &sky || &dst == &mask || &dst == &image) return false;
  if (!covers(sky, skyY) || !covers(mask, 0) || !covers(image, 0)) return false;
  // The columns [0, w) of the rows [top, bottom) are laid.
  const Area in = area.Within(dst.Width(), h);
  const int w = in.right, top = in.top, bottom = in.bottom;
  // Where any picture's layout wraps: the same columns on every row, so
  // each piece between two such columns keeps fixed offsets from the
  // logical column to every picture's physical one. A picture's layout
  // breaks at most twice (where its ring wraps and where the ring ends).
  int cuts[4 * 2 + 2];
  int nc = 0;
  cuts[nc++] = 0;
  const auto addCut = [&](int x) {  // kept in order, each once
    int k = 0;
    while (k < nc && cuts[k] < x) ++k;
    if (k < nc && cuts[k] == x) return;
    for (int j = nc; j > k; --j) cuts[j] = cuts[j - 1];
    cuts[k] = x;
    ++nc;
  };
  for (const Surface* s : {static_cast<const Surface*>(&dst), &sky, &mask, &image})
    for (int x = s->Run(0), k = 0; x < w && k < 2; x += s->Run(x), ++k) addCut(x);
  cuts[nc] = w;
  struct Piece { int a, b, d, s, m, i; };  // columns [a, b) and each picture's offset
  Piece pieces[4 * 2 + 1];
  int np = 0;
  for (int c = 0; c < nc; ++c) {
    const int x = cuts[c];
    pieces[np++] = {x, cuts[c + 1], dst.Phys(x) - x, sky.Phys(x) - x, mask.Phys(x) - x, image.Phys(x) - x};
  }
  // Where the terrain is all white (both its pictures) the sky shows
  // through as it is: those spans are the sky itself, or, within the kept
  // span, stay as they are. The white columns are known per band of rows;
  // each band's clear spans are found once from runs of columns alike.
  const uint64_t* mw = mask.WhiteBands(w);
  const uint64_t* iw = image.WhiteBands(w);
  std::vector<uint64_t>& clear = dst.Bands().line;  // per logical column: its bands clear in both
  clear.assign(static_cast<size_t>(w), 0);
  if (mw && iw)
    for (int c = 0; c < np; ++c)
      for (int x = pieces[c].a; x < pieces[c].b; ++x) clear[x] = mw[x + pieces[c].m] & iw[x + pieces[c].i];
  std::vector<std::pair<int, int>>& runSpans = dst.Bands().spans;  // runs of alike columns, as [a, b)
  runSpans.clear();
  for (int x = 0; x < w; ++x) {
    if (!runSpans.empty() && clear[x] == clear[runSpans.back().first])
      runSpans.back().second = x + 1;
    else
      runSpans.emplace_back(x, x + 1);
  }
  // One band's spans: [a, b) and whether the terrain is clear there.
  std::vector<Surface::SolidBands::SweepSpan>& spans = dst.Bands().sweepSpans;
  // Lays columns [a, b) of row y, all in one piece and one side of the kept span.
  const auto lay = [&](int y, const Piece& pc, int a, int b, bool isClear, bool kept, const uint32_t* pat) {
    if (a >= b) return;
    uint32_t* d = dst.Row(y) + a + pc.d;
    const uint32_t* m = mask.Row(y) + a + pc.m;
    const uint32_t* im = image.Row(y) + a + pc.i;
    const uint32_t* sk = sky.Row(skyY + y) + a + pc.s;
    if (isClear) {
      if (kept) return;  // the sky (and what lies on it) is already there
      if (pat)
        FillPattern(d, Pattern16(pat, a + pc.s), b - a);
      else
        CopyColours(d, sk, b - a);
    } else if (kept) {
      SweepMasked(d, m, im, b - a);
    } else if (pat) {
      SweepMaskedOverPattern(d, Pattern16(pat, a + pc.s), m, im, b - a);
    } else {
      SweepMaskedOver(d, sk, m, im, b - a);
    }
  };
  for (int y0 = top - top % Surface::kBandRows; y0 < bottom; y0 += Surface::kBandRows) {
    const int band = y0 / Surface::kBandRows;
    spans.clear();
    for (const auto& [a, b] : runSpans) {
      const bool c = (clear[a] >> band) & 1;
      if (!spans.empty() && spans.back().clear == c)
        spans.back().b = b;
      else
        spans.push_back({a, b, c});
    }
    for (int y = std::max(y0, top); y < std::min(bottom, y0 + Surface::kBandRows); ++y) {
      const int lo = std::clamp(keepLo[y], 0, w), hi = std::clamp(keepHi[y], lo, w);
      const uint32_t* pat = sky.RowPattern(skyY + y);
      int c = 0;
      for (const auto& sp : spans) {
        // The span through each piece it crosses, and each side of the kept span.
        for (int x = sp.a; x < sp.b;) {
          while (pieces[c].b <= x) ++c;
          const Piece& pc = pieces[c];
          const int e = std::min(sp.b, pc.b);
          const int l = std::clamp(lo, x, e), r = std::clamp(hi, l, e);
          lay(y, pc, x, l, sp.clear, false, pat);
          lay(y, pc, l, r, sp.clear, true, pat);
          lay(y, pc, r, e, sp.clear, false, pat);
          x = e;
        }
      }
    }
  }
  dst.Touch();
  return true;
}

namespace {

// The reduced collision map: a destination pixel is solid when any source
// pixel of its block is. The source keeps, per physical column and band of
// rows, whether the column holds a solid pixel there; only columns changed
// since they were last looked at are read again (during play, the few that
// scrolled in and the stamped column), and the blocks then look at their
// columns' bits.
void StretchKeepSolid(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy, int sw, int sh) {
  Surface::SolidBands& sb = src.Bands();
  std::vector<int>& x0 = sb.x0;
  std::vector<int>& x1 = sb.x1;
  x0.resize(static_cast<size_t>(w));
  x1.resize(static_cast<size_t>(w));
  int lo = sx, hi = sx;  // source columns any block reads
  for (int i = 0; i < w; ++i) {
    x0[i] = sx + static_cast<int>(static_cast<int64_t>(i) * sw / w);
    x1[i] = sx + static_cast<int>(static_cast<int64_t>(i + 1) * sw / w);
    if (x1[i] <= x0[i]) x1[i] = x0[i] + 1;
    lo = std::min(lo, x0[i]);
    hi = std::max(hi, x1[i]);
  }
  // Only columns inside the source can be solid.
  const int a = std::max(lo, 0), b = std::min(hi, src.Width());
  const int W = src.Width();
  auto bandRows = [&](int j, int& r0, int& r1) {
    r0 = sy + static_cast<int>(static_cast<int64_t>(j) * sh / h);
    r1 = sy + static_cast<int>(static_cast<int64_t>(j + 1) * sh / h);
    if (r1 <= r0) r1 = r0 + 1;
    r0 = std::max(r0, 0);
    r1 = std::min(r1, src.Height());
  };

  // Up to 64 bands share one word a column: bit k of group q is band 64 q + k.
  const int groups = (h + 63) / 64;
  if (sb.sy != sy || sb.sh != sh || sb.bands != h || sb.madeAt.size() != static_cast<size_t>(W)) {
    sb.sy = sy;
    sb.sh = sh;
    sb.bands = h;
    sb.bits.assign(static_cast<size_t>(groups) * W, 0);
    sb.madeAt.assign(static_cast<size_t>(W), 0);
  }
  // Stale columns among the needed ones, as physical spans.
  std::vector<std::pair<int, int>>& spans = sb.spans;
  src.ChangedSpans(a, b, sb.madeAt, spans);
  if (!spans.empty()) {
    for (const auto& [p, q] : spans)
      for (int g = 0; g < groups; ++g) std::fill_n(sb.bits.begin() + static_cast<size_t>(g) * W + p, q - p, 0);
    std::vector<uint8_t>& fold = sb.fold;
    fold.resize(static_cast<size_t>(W));
    for (int j = 0; j < h; ++j) {
      for (const auto& [p, q] : spans) std::fill(fold.begin() + p, fold.begin() + q, 0);
      int r0, r1;
      bandRows(j, r0, r1);
      for (int yy = r0; yy < r1; ++yy) {
        const uint32_t* row = src.Row(yy);
        for (const auto& [p, q] : spans) FoldSolid(fold.data() + p, row + p, q - p);
      }
      uint64_t* words = sb.bits.data() + static_cast<size_t>(j / 64) * W;
      const uint64_t bit = uint64_t{1} << (j % 64);
      for (const auto& [p, q] : spans)
        for (int k = p; k < q; ++k)
          if (fold[k]) words[k] |= bit;
    }
    for (const auto& [p, q] : spans)
      for (int k = p; k < q; ++k) sb.madeAt[k] = src.ColumnStamp(k);
  }

  // Each group's words in logical order; a block's word is its columns' OR.
  std::vector<uint64_t>& line = sb.line;
  std::vector<uint64_t>& blocks = sb.blocks;
  line.resize(static_cast<size_t>(std::max(b - a, 0)));
  blocks.assign(static_cast<size_t>(groups) * w, 0);
  for (int g = 0; g < groups; ++g) {
    const uint64_t* words = sb.bits.data() + static_cast<size_t>(g) * W;
    for (int c = a; c < b;) {
      const int n = std::min(b - c, src.Run(c));
      std::memcpy(line.data() + (c - a), words + src.Phys(c), sizeof(uint64_t) * static_cast<size_t>(n));
      c += n;
    }
    uint64_t* out = blocks.data() + static_cast<size_t>(g) * w;
    for (int i = 0; i < w; ++i) {
      uint64_t acc = 0;
      for (int c = std::max(x0[i], a); c < std::min(x1[i], b); ++c) acc |= line[c - a];
      out[i] = acc;
    }
  }
  for (int j = 0; j < h; ++j) {
    const int dy = y + j;
    if (dy < 0 || dy >= dst.Height()) continue;
    const uint64_t* in = blocks.data() + static_cast<size_t>(j / 64) * w;
    const int bit = j % 64;
    uint32_t* dr = dst.Row(dy);
    for (int i = 0; i < w; ++i) {
      const int dx = x + i;
      if (dx < 0 || dx >= dst.Width()) continue;
      dr[dst.Phys(dx)] = (in[i] >> bit) & 1 ? kSolid : kBlack;
    }
  }
  dst.MarkColumns(x, w);
}

}  // namespace

void DrawStretched(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy, int sw, int sh,
                   StretchMode mode) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
  if (mode == StretchMode::KeepSolid) {
    StretchKeepSolid(dst, x, y, w, h, src, sx, sy, sw, sh);
    return;
  }
  for (int j = 0; j < h; ++j) {
    int dy = y + j;
    if (dy < 0 || dy >= dst.Height()) continue;
    const int y0 = sy + static_cast<int>(static_cast<int64_t>(j) * sh / h);
    uint32_t* dr = dst.Row(dy);
    for (int i = 0; i < w; ++i) {
      int dx = x + i;
      if (dx < 0 || dx >= dst.Width()) continue;
      int x0 = sx + static_cast<int>(static_cast<int64_t>(i) * sw / w);
      const uint32_t c = src.Get(x0, y0);
      if (c == kOutside) continue;
      dr[dst.Phys(dx)] = c;
    }
  }
  dst.MarkColumns(x, w);
}

}  // namespace morvik
