// SPDX-License-Identifier: GPL-3.0-or-later
#include "zlib.h"

#include <cstdint>
#include <cstring>

namespace {

uint32_t Adler32(const Bytef* p, uLong n) {
  uint32_t a = 1, b = 0;
  for (uLong i = 0; i < n; ++i) {
    a = (a + p[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

constexpr uLong kStored = 65535;

// An inflater over a whole input and a whole output buffer (RFC 1951).
class Inflater {
 public:
  Inflater(const Bytef* in, uLong inLen, Bytef* out, uLong outLen)
      : in_(in), inLen_(inLen), out_(out), outLen_(outLen) {}

  // Z_OK with the data all out; Z_BUF_ERROR when it does not fit; Z_DATA_ERROR when damaged.
  int Run() {
    int last = 0;
    do {
      if (!Bits(1, last)) return Z_DATA_ERROR;
      int type = 0;
      if (!Bits(2, type)) return Z_DATA_ERROR;
      int r = type == 0 ? Stored() : type == 1 ? Fixed() : type == 2 ? Dynamic() : Z_DATA_ERROR;
      if (r != Z_OK) return r;
    } while (!last);
    return Z_OK;
  }
  uLong InUsed() const { return at_; }
  uLong OutUsed() const { return outAt_; }

 private:
  struct Huffman {
    short count[16];
    short symbol[288];
  };

  bool Bits(int n, int& v) {
    uint32_t acc = bitBuf_;
    while (bitCount_ < n) {
      if (at_ >= inLen_) return false;
      acc |= static_cast<uint32_t>(in_[at_++]) << bitCount_;
      bitCount_ += 8;
    }
    v = static_cast<int>(acc & ((1u << n) - 1));
    bitBuf_ = acc >> n;
    bitCount_ -= n;
    return true;
  }

  int Stored() {
    bitBuf_ = 0;
    bitCount_ = 0;
    if (inLen_ - at_ < 4) return Z_DATA_ERROR;
    const unsigned len = in_[at_] | (in_[at_ + 1] << 8);
    const unsigned nlen = in_[at_ + 2] | (in_[at_ + 3] << 8);
    at_ += 4;
    if (len != (~nlen & 0xffffu)) return Z_DATA_ERROR;
    if (inLen_ - at_ < len) return Z_DATA_ERROR;
    if (outLen_ - outAt_ < len) return Z_BUF_ERROR;
    if (len) std::memcpy(out_ + outAt_, in_ + at_, len);
    at_ += len;
    outAt_ += len;
    return Z_OK;
  }

  // Canonical codes from lengths; false when the lengths over-subscribe.
  static bool Build(Huffman& h, const short* lengths, int n) {
    std::memset(h.count, 0, sizeof h.count);
    for (int s = 0; s < n; ++s) h.count[lengths[s]]++;
    if (h.count[0] == n) return true;
    int left = 1;
    for (int len = 1; len < 16; ++len) {
      left <<= 1;
      left -= h.count[len];
      if (left < 0) return false;
    }
    short offs[16];
    offs[1] = 0;
    for (int len = 1; len < 15; ++len) offs[len + 1] = static_cast<short>(offs[len] + h.count[len]);
    for (int s = 0; s < n; ++s)
      if (lengths[s] != 0) h.symbol[offs[lengths[s]]++] = static_cast<short>(s);
    return true;
  }

  int Decode(const Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len < 16; ++len) {
      int b = 0;
      if (!Bits(1, b)) return -1;
      code |= b;
      const int count = h.count[len];
      if (code - count < first) return h.symbol[index + (code - first)];
      index += count;
      first += count;
      first <<= 1;
      code <<= 1;
    }
    return -1;
  }

  int Codes(const Huffman& lencode, const Huffman& distcode) {
    static const short kLenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const short kLenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const short kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const short kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    for (;;) {
      int sym = Decode(lencode);
      if (sym < 0) return Z_DATA_ERROR;
      if (sym < 256) {
        if (outAt_ >= outLen_) return Z_BUF_ERROR;
        out_[outAt_++] = static_cast<Bytef>(sym);
        continue;
      }
      if (sym == 256) return Z_OK;
      sym -= 257;
      if (sym >= 29) return Z_DATA_ERROR;
      int extra = 0;
      if (!Bits(kLenExtra[sym], extra)) return Z_DATA_ERROR;
      const uLong len = static_cast<uLong>(kLenBase[sym] + extra);
      int d = Decode(distcode);
      if (d < 0 || d >= 30) return Z_DATA_ERROR;
      if (!Bits(kDistExtra[d], extra)) return Z_DATA_ERROR;
      const uLong dist = static_cast<uLong>(kDistBase[d] + extra);
      if (dist > outAt_) return Z_DATA_ERROR;
      if (outLen_ - outAt_ < len) return Z_BUF_ERROR;
      for (uLong i = 0; i < len; ++i, ++outAt_) out_[outAt_] = out_[outAt_ - dist];
    }
  }

  int Fixed() {
    static Huffman lencode, distcode;
    static bool built = false;
    if (!built) {
      short lengths[288];
      int s = 0;
      for (; s < 144; ++s) lengths[s] = 8;
      for (; s < 256; ++s) lengths[s] = 9;
      for (; s < 280; ++s) lengths[s] = 7;
      for (; s < 288; ++s) lengths[s] = 8;
      Build(lencode, lengths, 288);
      for (s = 0; s < 30; ++s) lengths[s] = 5;
      Build(distcode, lengths, 30);
      built = true;
    }
    return Codes(lencode, distcode);
  }

  int Dynamic() {
    static const short kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int nlen = 0, ndist = 0, ncode = 0;
    if (!Bits(5, nlen) || !Bits(5, ndist) || !Bits(4, ncode)) return Z_DATA_ERROR;
    nlen += 257;
    ndist += 1;
    ncode += 4;
    if (nlen > 286 || ndist > 30) return Z_DATA_ERROR;
    short lengths[320] = {};
    for (int i = 0; i < ncode; ++i) {
      int v = 0;
      if (!Bits(3, v)) return Z_DATA_ERROR;
      lengths[kOrder[i]] = static_cast<short>(v);
    }
    Huffman lencode, distcode;
    if (!Build(lencode, lengths, 19)) return Z_DATA_ERROR;
    int index = 0;
    while (index < nlen + ndist) {
      int sym = Decode(lencode);
      if (sym < 0) return Z_DATA_ERROR;
      if (sym < 16) {
        lengths[index++] = static_cast<short>(sym);
        continue;
      }
      short len = 0;
      int rep = 0;
      if (sym == 16) {
        if (index == 0) return Z_DATA_ERROR;
        len = lengths[index - 1];
        if (!Bits(2, rep)) return Z_DATA_ERROR;
        rep += 3;
      } else if (sym == 17) {
        if (!Bits(3, rep)) return Z_DATA_ERROR;
        rep += 3;
      } else {
        if (!Bits(7, rep)) return Z_DATA_ERROR;
        rep += 11;
      }
      if (index + rep > nlen + ndist) return Z_DATA_ERROR;
      while (rep--) lengths[index++] = len;
    }
    if (lengths[256] == 0) return Z_DATA_ERROR;
    if (!Build(lencode, lengths, nlen) || !Build(distcode, lengths + nlen, ndist)) return Z_DATA_ERROR;
    return Codes(lencode, distcode);
  }

  const Bytef* in_;
  uLong inLen_, at_ = 0;
  Bytef* out_;
  uLong outLen_, outAt_ = 0;
  uint32_t bitBuf_ = 0;
  int bitCount_ = 0;
};

}  // namespace

uLong crc32(uLong crc, const Bytef* buf, uInt len) {
  if (buf == nullptr) return 0;
  static uint32_t table[256];
  static bool built = false;
  if (!built) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    built = true;
  }
  uint32_t c = static_cast<uint32_t>(crc) ^ 0xffffffffu;
  for (uInt i = 0; i < len; ++i) c = table[(c ^ buf[i]) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

uLong compressBound(uLong sourceLen) {
  const uLong blocks = sourceLen / kStored + 1;
  return 2 + sourceLen + blocks * 5 + 4;
}

int compress2(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen, int /*level*/) {
  if (*destLen < compressBound(sourceLen)) return Z_BUF_ERROR;
  Bytef* p = dest;
  *p++ = 0x78;
  *p++ = 0x01;
  uLong left = sourceLen;
  const Bytef* s = source;
  do {
    const uLong n = left < kStored ? left : kStored;
    left -= n;
    *p++ = left == 0 ? 1 : 0;
    *p++ = static_cast<Bytef>(n & 0xff);
    *p++ = static_cast<Bytef>(n >> 8);
    *p++ = static_cast<Bytef>(~n & 0xff);
    *p++ = static_cast<Bytef>((~n >> 8) & 0xff);
    if (n) std::memcpy(p, s, n);
    p += n;
    s += n;
  } while (left > 0);
  const uint32_t a = Adler32(source, sourceLen);
  for (int shift = 24; shift >= 0; shift -= 8) *p++ = static_cast<Bytef>(a >> shift);
  *destLen = static_cast<uLongf>(p - dest);
  return Z_OK;
}

int uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen) {
  if (sourceLen < 6) return Z_DATA_ERROR;
  const unsigned cmf = source[0], flg = source[1];
  if ((cmf & 0x0f) != 8 || (cmf >> 4) > 7 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20)) return Z_DATA_ERROR;
  Inflater inf(source + 2, sourceLen - 2 - 4, dest, *destLen);
  const int r = inf.Run();
  if (r != Z_OK) return r;
  const Bytef* t = source + 2 + inf.InUsed();
  if (static_cast<uLong>(t - source) + 4 > sourceLen) return Z_DATA_ERROR;
  const uint32_t want = (uint32_t{t[0]} << 24) | (uint32_t{t[1]} << 16) | (uint32_t{t[2]} << 8) | t[3];
  if (want != Adler32(dest, inf.OutUsed())) return Z_DATA_ERROR;
  *destLen = inf.OutUsed();
  return Z_OK;
}
