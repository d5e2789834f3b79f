#include "crypto/des_core.h"

#include <array>

namespace qv::des {

namespace {

// FIPS 46 tables, bit positions counted from 1 at the most significant bit.
constexpr uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
                             14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
                             27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};
constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                              35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                              46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr uint8_t kS[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8, 14, 6,  11, 3,  4, 9, 7, 2,  13, 12, 0, 5, 10, 3,  13, 4,  7, 15, 2,  8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0,  14, 7, 11, 10, 4,  13, 1, 5, 8, 12, 6,  9,  3, 2, 15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6, 7, 12, 0, 5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0, 8, 13, 3,  12, 9, 7, 5, 10, 6, 1, 13, 0,  11, 7, 4, 9, 1,  10, 14, 3, 5, 12, 2,  15, 8, 6,
     1, 4,  11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5,  9, 2, 6,  11, 13, 8, 1, 4, 10, 7,  9,  5, 0, 15, 14, 2,  3, 12},
    {13, 2, 8, 4, 6,  15, 11, 1, 10, 9,  3,  14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7,  4,  12, 5, 6, 11, 0, 14, 9, 2, 7,
     11, 4, 1, 9, 12, 14, 2,  0, 6,  10, 13, 15, 3, 5, 8,  2, 1, 14, 7,  4, 10, 8, 13, 15, 12, 9, 0, 3,  5, 6,  11}};

// SP[j][x]: S-box j on the 6-bit group x, its 4 output bits put through P.
constexpr std::array<std::array<uint32_t, 64>, 8> MakeSP() {
  std::array<std::array<uint32_t, 64>, 8> sp{};
  for (int j = 0; j < 8; ++j)
    for (int x = 0; x < 64; ++x) {
      int row = ((x >> 4) & 2) | (x & 1), col = (x >> 1) & 15;
      uint32_t pre = static_cast<uint32_t>(kS[j][row * 16 + col]) << (28 - 4 * j);
      uint32_t out = 0;
      for (int i = 0; i < 32; ++i)
        if (pre & (1u << (32 - kP[i]))) out |= 1u << (31 - i);
      sp[j][x] = out;
    }
  return sp;
}
constexpr auto kSP = MakeSP();

// Byte-indexed tables of a 64-bit permutation: out = OR over the 8 input bytes.
using PermTable = std::array<std::array<uint64_t, 256>, 8>;
constexpr PermTable MakePerm(bool inverse) {
  uint8_t map[64] = {};  // map[out bit] = in bit, 1-based from the top
  for (int i = 0; i < 64; ++i) {
    if (inverse)
      map[kIP[i] - 1] = static_cast<uint8_t>(i + 1);
    else
      map[i] = kIP[i];
  }
  PermTable t{};
  for (int byte = 0; byte < 8; ++byte)
    for (int v = 0; v < 256; ++v) {
      uint64_t out = 0;
      for (int o = 0; o < 64; ++o) {
        int in = map[o] - 1;  // 0-based from the top
        if (in / 8 == byte && (v & (0x80 >> (in % 8)))) out |= uint64_t{1} << (63 - o);
      }
      t[byte][v] = out;
    }
  return t;
}
const PermTable kIPTable = MakePerm(false);
const PermTable kFPTable = MakePerm(true);

inline uint64_t Permute(const PermTable& t, uint64_t x) {
  return t[0][x >> 56] | t[1][(x >> 48) & 255] | t[2][(x >> 40) & 255] | t[3][(x >> 32) & 255] | t[4][(x >> 24) & 255] |
         t[5][(x >> 16) & 255] | t[6][(x >> 8) & 255] | t[7][x & 255];
}

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// Groups of E(R): with t = R rotated left by 1, group j (1..8) is (t rotated right by 4(8-j)) & 63.
// k[0] holds groups 8, 6, 4, 2 at bits 0, 8, 16, 24; k[1] groups 7, 5, 3, 1 the same way.
inline uint32_t F(uint32_t r, const uint32_t k[2]) {
  uint32_t t = (r << 1) | (r >> 31);
  uint32_t u = t ^ k[0], v = Rotr(t, 4) ^ k[1];
  return kSP[7][u & 63] ^ kSP[5][(u >> 8) & 63] ^ kSP[3][(u >> 16) & 63] ^ kSP[1][(u >> 24) & 63] ^ kSP[6][v & 63] ^
         kSP[4][(v >> 8) & 63] ^ kSP[2][(v >> 16) & 63] ^ kSP[0][(v >> 24) & 63];
}

inline void Stage(const StageKeys& s, bool encrypt, uint32_t& l, uint32_t& r) {
  if (encrypt) {
    for (int i = 0; i < 16; i += 2) {
      l ^= F(r, s.k[i]);
      r ^= F(l, s.k[i + 1]);
    }
  } else {
    for (int i = 15; i > 0; i -= 2) {
      l ^= F(r, s.k[i]);
      r ^= F(l, s.k[i - 1]);
    }
  }
  uint32_t t = l;  // the pre-output is R16 L16
  l = r;
  r = t;
}

}  // namespace

void MakeStageKeys(const uint8_t key[8], StageKeys& out) {
  uint64_t k = 0;
  for (int i = 0; i < 8; ++i) k = (k << 8) | key[i];
  uint32_t c = 0, d = 0;
  for (int i = 0; i < 28; ++i) {
    c = (c << 1) | static_cast<uint32_t>((k >> (64 - kPC1[i])) & 1);
    d = (d << 1) | static_cast<uint32_t>((k >> (64 - kPC1[i + 28])) & 1);
  }
  for (int round = 0; round < 16; ++round) {
    for (int s = 0; s < kShifts[round]; ++s) {
      c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
      d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
    }
    uint64_t cd = (uint64_t{c} << 28) | d;
    uint64_t sub = 0;  // 48 bits
    for (int i = 0; i < 48; ++i) sub = (sub << 1) | ((cd >> (56 - kPC2[i])) & 1);
    uint32_t g[9];
    for (int j = 1; j <= 8; ++j) g[j] = static_cast<uint32_t>((sub >> (48 - 6 * j)) & 63);
    out.k[round][0] = g[8] | (g[6] << 8) | (g[4] << 16) | (g[2] << 24);
    out.k[round][1] = g[7] | (g[5] << 8) | (g[3] << 16) | (g[1] << 24);
  }
}

void CryptBlocks(const StageKeys* stages, unsigned count, uint32_t encrypt_mask, bool encrypt, uint8_t* data,
                 size_t blocks) {
  for (size_t b = 0; b < blocks; ++b, data += 8) {
    uint64_t x = 0;
    for (int i = 0; i < 8; ++i) x = (x << 8) | data[i];
    x = Permute(kIPTable, x);
    uint32_t l = static_cast<uint32_t>(x >> 32), r = static_cast<uint32_t>(x);
    if (encrypt) {
      for (unsigned s = 0; s < count; ++s) Stage(stages[s], (encrypt_mask >> s) & 1, l, r);
    } else {
      for (unsigned s = count; s-- > 0;) Stage(stages[s], !((encrypt_mask >> s) & 1), l, r);
    }
    x = Permute(kFPTable, (uint64_t{l} << 32) | r);
    for (int i = 7; i >= 0; --i, x >>= 8) data[i] = static_cast<uint8_t>(x);
  }
}

}  // namespace qv::des
