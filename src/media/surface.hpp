// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Off-screen pictures and the rectangle copies every frame is composed with.
//
// A Surface is a 32-bit XRGB pixel buffer (only the low 24 bits carry colour)
// with a size and a back colour. The terrain canvases are rings: scrolling
// them moves an origin instead of copying 1250 columns, while every
// coordinate the game uses reads the same pixels as a plain picture would.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace morvik {

// Storage for pictures' pixels. Where the system offers huge pages, large
// pictures (the terrain canvases, whose rows lie 10 KB apart) are placed on
// 2 MB boundaries and the screen-sized ones share 2 MB blocks, all offered
// to the kernel for huge pages, so that a sweep down their rows does not
// miss the address cache on every row; elsewhere they are plain blocks.
template <class T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <class U>
  PixelAllocator(const PixelAllocator<U>&) {}
  T* allocate(size_t n);
  void deallocate(T* p, size_t n);
  template <class U>
  bool operator==(const PixelAllocator<U>&) const { return true; }
  template <class U>
  bool operator!=(const PixelAllocator<U>&) const { return false; }
};
void* AllocatePixels(size_t bytes);
void FreePixels(void* p, size_t bytes);
template <class T>
T* PixelAllocator<T>::allocate(size_t n) { return static_cast<T*>(AllocatePixels(n * sizeof(T))); }
template <class T>
void PixelAllocator<T>::deallocate(T* p, size_t n) { FreePixels(p, n * sizeof(T)); }

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kSolid = 0xFFFF00;       // the collision map's one solid colour
constexpr uint32_t kOutside = 0xFF00FF;     // what a read outside a picture answers: never solid

inline constexpr uint32_t Rgb(int r, int g, int b) {
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

class Surface {
 public:
  Surface() = default;
  Surface(int w, int h, uint32_t back) { Create(w, h, back); }

  // Sets the size and back colour and clears to it.
  void Create(int w, int h, uint32_t back);
  // Changes the back colour and clears the picture to it (as setting a picture's back colour does).
  void SetBackColour(uint32_t back);
  void Clear(uint32_t colour);
  // Makes columns [0, ringWidth) a ring that Scroll() can move in O(height).
  void MakeRing(int ringWidth);
  // Trades pixels with another plain picture of the same size (as a copy
  // each way would); false, changing nothing, for any other.
  bool SwapPixels(Surface& other);

  int Width() const { return w_; }
  int Height() const { return h_; }
  uint32_t BackColour() const { return back_; }
  int RingWidth() const { return ring_; }
  uint32_t Generation() const { return gen_; }
  // After writing through Row(): every column counts as changed.
  void Touch() {
    ++gen_;
    allStamp_ = ++stamp_;
  }
  // The drawing operations mark the logical columns [x, x + w) they wrote.
  void MarkColumns(int x, int w);
  // When physical column p last changed (a stamp that only grows).
  uint64_t ColumnStamp(int p) const { return colStamp_[p] > allStamp_ ? colStamp_[p] : allStamp_; }

  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
  // Physical column of logical column x.
  int Phys(int x) const {
    if (x < ring_) {
      int p = x + origin_;
      return p >= ring_ ? p - ring_ : p;
    }
    return x;
  }
  // Contiguous logical columns starting at x before the physical layout wraps.
  int Run(int x) const {
    if (x < ring_) {
      int p = x + origin_;
      if (p >= ring_) p -= ring_;
      int a = ring_ - x, b = ring_ - p;
      return a < b ? a : b;
    }
    return w_ - x;
  }
  // Raw rows in physical layout; whoever writes through them calls Touch() after.
  uint32_t* Row(int y) { return pix_.data() + static_cast<size_t>(y) * w_; }
  const uint32_t* Row(int y) const { return pix_.data() + static_cast<size_t>(y) * w_; }
  uint32_t Get(int x, int y) const { return Inside(x, y) ? Row(y)[Phys(x)] : kOutside; }
  void Set(int x, int y, uint32_t c) {
    if (Inside(x, y)) {
      const int p = Phys(x);
      Row(y)[p] = c & 0xFFFFFF;
      ++gen_;
      colStamp_[p] = ++stamp_;
    }
  }

  // Copies the region (s, 0) of width `ringWidth` onto (0, 0) of itself, as if
  // the whole source were read first. Works for any s; fast for ring surfaces.
  void ScrollLeft(int s);

  // For the reduced collision map: whether each physical column holds a
  // solid pixel within each band of rows, kept from frame to frame and
  // brought up to date only where columns changed since (a scroll moves
  // the ring's origin, not its columns).
  struct SolidBands {
    int sy = 0, sh = 0, bands = 0;     // the rows the bands were made for
    std::vector<uint64_t> bits;        // [group * width + physical column]: bit k for band 64 * group + k
    std::vector<uint64_t> madeAt;      // per physical column: its stamp when its bits were made
    // Working space kept between draws, so that a frame allocates nothing.
    std::vector<int> x0, x1;
    std::vector<uint8_t> fold;         // per physical column: solid within the band being made
    std::vector<uint64_t> logical;     // one group's words in logical column order
    std::vector<uint64_t> blocks;
    std::vector<std::pair<int, int>> spans;
  };
  SolidBands& Bands() const { return bands_; }

  // Working space of the sky-and-terrain sweep that composes into this
  // picture, kept between frames so that a frame allocates nothing.
  struct SweepWork {
    std::vector<uint64_t> clear;            // per logical column: its bands all white in both terrain pictures
    std::vector<std::pair<int, int>> runs;  // runs of columns alike in that, as [a, b)
    struct Span {
      int a, b;
      bool clear;
    };
    std::vector<Span> spans;                // one band's spans: [a, b) and whether the terrain is clear there
  };
  SweepWork& Sweep() const { return sweep_; }
  // The physical spans of the logical columns [a, b) (all inside the
  // picture) that changed since madeAt[physical column].
  void ChangedSpans(int a, int b, const std::vector<uint64_t>& madeAt, std::vector<std::pair<int, int>>& spans) const;

  // For laying the terrain over the sky: per physical column, bit k is set
  // when rows [8k, 8k + 8) of that column are all white, so that the sky
  // shows through unchanged there. Kept from frame to frame and brought up
  // to date for the logical columns [0, width) where they changed since;
  // nullptr for a picture taller than 64 bands.
  static constexpr int kBandRows = 8;
  const uint64_t* WhiteBands(int width) const;
  // Whether row y repeats every four pixels throughout (a dithered sky
  // does); its four colours (low 24 bits), by physical column modulo 4, are
  // then at the returned pointer; nullptr when it does not.
  const uint32_t* RowPattern(int y) const;

 private:
  int w_ = 0, h_ = 0;
  uint32_t back_ = kWhite;
  int ring_ = 0, origin_ = 0;
  uint32_t gen_ = 0;
  std::vector<uint32_t, PixelAllocator<uint32_t>> pix_;
  uint64_t stamp_ = 0, allStamp_ = 0;
  std::vector<uint64_t> colStamp_;
  mutable SolidBands bands_;
  mutable SweepWork sweep_;
  uint64_t AllBands() const;
  // Makes the white bands of the physical columns in `spans` anew.
  void RefreshWhite(const std::vector<std::pair<int, int>>& spans) const;
  mutable std::vector<uint64_t> white_, whiteAt_, whiteWork_;
  mutable std::vector<uint32_t> rowPattern_;   // per row: four colours, or kManyColours in the first
  mutable uint32_t rowsGen_ = 0;
  mutable bool rowsMade_ = false;
};

// Source copy of the w x h rectangle at (sx, sy) of src to (x, y) of dst.
void DrawOpaque(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy);
// Two raster passes on the same destination rectangle: the mask rectangle at
// (mx, my) with source AND NOT destination, then the sprite at (sx, sy) with
// source XOR destination.
void DrawMasked(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy, int mx, int my);
// The same two passes with the mask and the image on separate pictures (the
// terrain's mask and image canvases).
void DrawMaskedPair(Surface& dst, int x, int y, int w, int h, const Surface& mask, int mx, int my,
                    const Surface& image, int sx, int sy);
// The part of a picture a drawing is kept to: the columns [0, right) of the
// rows [top, bottom); a negative right or bottom reaches to the picture's edge.
struct Area {
  int top = 0, bottom = -1, right = -1;
  // The same part of a w x h picture, its edges given and kept inside it.
  Area Within(int w, int h) const;
};
// Copies, for each row y of dst, the columns [lo[y], hi[y]) from row skyY + y of sky.
void CopySkySpans(Surface& dst, const Surface& sky, int skyY, const int* lo, const int* hi, const Area& area = {});
// The sky and the terrain laid over it in one sweep, straight into dst:
// each row y of dst becomes (mask AND NOT sky) XOR image, the sky read
// from row skyY + y of `sky`, as DrawOpaque of the sky followed by
// DrawMaskedPair of the terrain would leave it. Within the columns
// [keepLo[y], keepHi[y]) dst already holds its sky (with whatever was drawn
// on it before the terrain) and the terrain is laid over that instead.
// Every picture must cover dst; returns false, drawing nothing, when one
// does not. Only `area` of dst is laid; the rest is left as it is.
bool DrawSkyAndTerrain(Surface& dst, const Surface& sky, int skyY, const Surface& mask, const Surface& image,
                       const int* keepLo, const int* keepHi, const Area& area = {});
// Scaled copy. KeepSolid reduces a collision map so that a block reaching into
// a destination pixel shows as solid instead of being dropped.
enum class StretchMode { Nearest, KeepSolid };
void DrawStretched(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy, int sw, int sh,
                   StretchMode mode = StretchMode::Nearest);
// The colour at a pixel; outside the picture a colour that is never solid.
inline uint32_t ReadPixel(const Surface& s, int x, int y) { return s.Get(x, y); }

}  // namespace morvik
