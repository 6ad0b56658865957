// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few calls of zlib the game makes (demo files are kept deflated), for
// the WebAssembly build, where no zlib library is at hand. Reading takes any
// zlib stream; writing stores the data in uncompressed blocks, which every
// zlib reader takes too.
#include <cstddef>

typedef unsigned char Bytef;
typedef unsigned int uInt;
typedef unsigned long uLong;
typedef unsigned long uLongf;

#define Z_NULL nullptr
#define Z_OK 0
#define Z_STREAM_END 1
#define Z_MEM_ERROR (-4)
#define Z_BUF_ERROR (-5)
#define Z_DATA_ERROR (-3)

// CRC-32 as zlib computes it; crc32(0, Z_NULL, 0) is the starting value.
uLong crc32(uLong crc, const Bytef* buf, uInt len);
uLong compressBound(uLong sourceLen);
int compress2(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen, int level);
int uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen);
