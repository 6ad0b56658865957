// SPDX-License-Identifier: GPL-3.0-or-later
// Where pictures' pixels live: huge pages where the system offers them,
// plain blocks elsewhere.
#include "media/surface.hpp"

#include <cstdlib>
#include <mutex>
#include <new>
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

}  // namespace morvik
