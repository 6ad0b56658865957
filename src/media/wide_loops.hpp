// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The innermost loops of the drawing, built for the widest vector unit the
// machine has (chosen once when the program loads). Windows' loader cannot
// choose between such clones: there the plain loop is built, which gives
// the same pixels.
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define MORVIK_WIDE_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define MORVIK_WIDE_LOOP
#endif

namespace morvik {

// d = (mask AND NOT d) XOR image, over n pixels: the two raster passes of a
// masked drawing in one.
void SweepMasked(uint32_t* __restrict d, const uint32_t* __restrict m, const uint32_t* __restrict im, int n);

}  // namespace morvik
