// SPDX-License-Identifier: GPL-3.0-or-later
// The raster operations: source copy, the masked drawing's two passes, and
// the scaled copy (with the collision map's reduction that keeps blocks solid).
#include <algorithm>
#include <cstring>
#include <vector>

#include "media/surface.hpp"
#include "media/wide_loops.hpp"

namespace morvik {

namespace {

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
  std::vector<uint64_t>& logical = sb.logical;
  std::vector<uint64_t>& blocks = sb.blocks;
  logical.resize(static_cast<size_t>(std::max(b - a, 0)));
  blocks.assign(static_cast<size_t>(groups) * w, 0);
  for (int g = 0; g < groups; ++g) {
    const uint64_t* words = sb.bits.data() + static_cast<size_t>(g) * W;
    for (int c = a; c < b;) {
      const int n = std::min(b - c, src.Run(c));
      std::memcpy(logical.data() + (c - a), words + src.Phys(c), sizeof(uint64_t) * static_cast<size_t>(n));
      c += n;
    }
    uint64_t* out = blocks.data() + static_cast<size_t>(g) * w;
    for (int i = 0; i < w; ++i) {
      uint64_t acc = 0;
      for (int c = std::max(x0[i], a); c < std::min(x1[i], b); ++c) acc |= logical[c - a];
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
