#include "media/surface.hpp"

#include <algorithm>
#include <cstring>

namespace morvik {

void Surface::Create(int w, int h, uint32_t back) {
  w_ = w < 0 ? 0 : w;
  h_ = h < 0 ? 0 : h;
  ring_ = 0;
  origin_ = 0;
  back_ = back & 0xFFFFFF;
  pix_.assign(static_cast<size_t>(w_) * h_, back_);
  ++gen_;
}

void Surface::SetBackColour(uint32_t back) {
  back_ = back & 0xFFFFFF;
  Clear(back_);
}

void Surface::Clear(uint32_t colour) {
  std::fill(pix_.begin(), pix_.end(), colour & 0xFFFFFF);
  origin_ = 0;
  ++gen_;
}

void Surface::MakeRing(int ringWidth) {
  // Re-layout so that logical pixels keep their values.
  std::vector<uint32_t> old(pix_.size());
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) old[static_cast<size_t>(y) * w_ + x] = Row(y)[Phys(x)];
  ring_ = std::clamp(ringWidth, 0, w_);
  origin_ = 0;
  pix_ = std::move(old);
  ++gen_;
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
    ++gen_;
    return;
  }
  // Ring: columns [0, rw - s) now show what lay at [s, rw); columns
  // [rw - s, rw) receive what lies at [rw, rw + s) beyond the ring.
  origin_ = (origin_ + s) % rw;
  for (int y = 0; y < h_; ++y) {
    uint32_t* r = Row(y);
    for (int i = 0; i < s; ++i) {
      int from = rw + i;
      r[Phys(rw - s + i)] = from < w_ ? r[from] : back_;
    }
  }
  ++gen_;
}

namespace {

// Clips a copy of w x h at dst (x, y) from sources at (sx, sy) [and (mx, my)]
// to every picture involved. Returns false when nothing is left.
bool Clip(const Surface& dst, int& x, int& y, int& w, int& h, const Surface& src, int& sx, int& sy, int* mx,
          int* my) {
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
    cut(*mx, src.Width(), w, x, sx, nullptr);
    cut(*my, src.Height(), h, y, sy, nullptr);
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
    dst.Touch();
    return;
  }
  for (int j = 0; j < h; ++j)
    ForRuns(dst, x, y + j, src, sx, sy + j, w,
            [](uint32_t* d, const uint32_t* s, int n) { std::memcpy(d, s, sizeof(uint32_t) * n); });
  dst.Touch();
}

void DrawMasked(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy, int mx, int my) {
  if (&dst == &src) return;  // never used on itself
  if (!Clip(dst, x, y, w, h, src, sx, sy, &mx, &my)) return;
  for (int j = 0; j < h; ++j) {
    // pass 1: destination = mask AND NOT destination
    ForRuns(dst, x, y + j, src, mx, my + j, w, [](uint32_t* d, const uint32_t* s, int n) {
      for (int k = 0; k < n; ++k) d[k] = (s[k] & ~d[k]) & 0xFFFFFF;
    });
    // pass 2: destination = sprite XOR destination
    ForRuns(dst, x, y + j, src, sx, sy + j, w, [](uint32_t* d, const uint32_t* s, int n) {
      for (int k = 0; k < n; ++k) d[k] = (s[k] ^ d[k]) & 0xFFFFFF;
    });
  }
  dst.Touch();
}

void DrawStretched(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy, int sw, int sh,
                   StretchMode mode) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
  for (int j = 0; j < h; ++j) {
    int dy = y + j;
    if (dy < 0 || dy >= dst.Height()) continue;
    int y0 = sy + static_cast<int>(static_cast<int64_t>(j) * sh / h);
    int y1 = sy + static_cast<int>(static_cast<int64_t>(j + 1) * sh / h);
    if (y1 <= y0) y1 = y0 + 1;
    uint32_t* dr = dst.Row(dy);
    for (int i = 0; i < w; ++i) {
      int dx = x + i;
      if (dx < 0 || dx >= dst.Width()) continue;
      int x0 = sx + static_cast<int>(static_cast<int64_t>(i) * sw / w);
      uint32_t c = src.Get(x0, y0);
      if (mode == StretchMode::KeepSolid) {
        int x1 = sx + static_cast<int>(static_cast<int64_t>(i + 1) * sw / w);
        if (x1 <= x0) x1 = x0 + 1;
        bool solid = false;
        for (int yy = y0; yy < y1 && !solid; ++yy)
          for (int xx = x0; xx < x1; ++xx)
            if (src.Get(xx, yy) == kSolid) { solid = true; break; }
        c = solid ? kSolid : kBlack;
      }
      if (c == kOutside) continue;
      dr[dst.Phys(dx)] = c;
    }
  }
  dst.Touch();
}

}  // namespace morvik
