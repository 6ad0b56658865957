// SPDX-License-Identifier: GPL-3.0-or-later
// Composing the play frame's background in one sweep: the sky, and the
// terrain laid over it, written straight into the back buffer, with the
// spans where the terrain is all white filled from the sky alone.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "media/surface.hpp"
#include "media/wide_loops.hpp"

namespace morvik {

MORVIK_WIDE_LOOP void SweepMasked(uint32_t* __restrict d, const uint32_t* __restrict m,
                                  const uint32_t* __restrict im, int n) {
  for (int k = 0; k < n; ++k) d[k] = ((m[k] & ~d[k]) ^ im[k]) & 0xFFFFFF;
}

namespace {

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

}  // namespace

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
  Surface::SweepWork& work = dst.Sweep();
  std::vector<uint64_t>& clear = work.clear;
  clear.assign(static_cast<size_t>(w), 0);
  if (mw && iw)
    for (int c = 0; c < np; ++c)
      for (int x = pieces[c].a; x < pieces[c].b; ++x) clear[x] = mw[x + pieces[c].m] & iw[x + pieces[c].i];
  std::vector<std::pair<int, int>>& runSpans = work.runs;
  runSpans.clear();
  for (int x = 0; x < w; ++x) {
    if (!runSpans.empty() && clear[x] == clear[runSpans.back().first])
      runSpans.back().second = x + 1;
    else
      runSpans.emplace_back(x, x + 1);
  }
  std::vector<Surface::SweepWork::Span>& spans = work.spans;
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

}  // namespace morvik
