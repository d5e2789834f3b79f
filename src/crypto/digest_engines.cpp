#include "crypto/digest_engines.h"

#include <atomic>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QV_SHA_NI 1
#endif

namespace qv::digest {

namespace {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLE(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline uint32_t LoadBE(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
inline void StoreLE(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void StoreBE(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace

// ---- buffering ----

void Block64Engine::Update(const uint8_t* data, size_t len) {
  if (len == 0) return;
  total_ += len;
  if (buffered_) {
    size_t take = 64 - buffered_ < len ? 64 - buffered_ : len;
    std::memcpy(buffer_ + buffered_, data, take);
    buffered_ += take;
    data += take;
    len -= take;
    if (buffered_ < 64) return;
    Compress(buffer_, 1);
    buffered_ = 0;
  }
  if (len >= 64) {
    Compress(data, len / 64);
    data += len / 64 * 64;
    len %= 64;
  }
  if (len) {
    std::memcpy(buffer_, data, len);
    buffered_ = len;
  }
}

void Block64Engine::Finish(bool big_endian_length) {
  uint64_t bits = total_ * 8;
  uint8_t tail[128] = {0x80};
  size_t pad = (buffered_ < 56 ? 56 : 120) - buffered_;
  uint8_t* len_at = tail + pad;
  for (int i = 0; i < 8; ++i)
    len_at[i] = static_cast<uint8_t>(big_endian_length ? bits >> (56 - 8 * i) : bits >> (8 * i));
  uint64_t keep = total_;
  Update(tail, pad + 8);
  total_ = keep;
}

// ---- SHA-1 (FIPS 180-1) ----

void Sha1::Reset() {
  ResetBuffer();
  h_[0] = 0x67452301;
  h_[1] = 0xEFCDAB89;
  h_[2] = 0x98BADCFE;
  h_[3] = 0x10325476;
  h_[4] = 0xC3D2E1F0;
}

#ifdef QV_SHA_NI
namespace {

bool CpuHasShaInstructions() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  bool ssse3 = c & (1u << 9), sse41 = c & (1u << 19);
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return ssse3 && sse41 && (b & (1u << 29));
}

// Four rounds G (0..19) of the SHA instruction sequence: e[G % 2] takes the next message
// quarter, the schedule words are advanced for the rounds to come.
template <int G>
__attribute__((target("sha,sse4.1,ssse3"), always_inline)) inline void ShaNiGroup(__m128i& abcd, __m128i* e,
                                                                                  __m128i* m) {
  constexpr int k = G % 4, cur = G % 2, next = 1 - cur;
  if constexpr (G == 0)
    e[cur] = _mm_add_epi32(e[cur], m[0]);
  else
    e[cur] = _mm_sha1nexte_epu32(e[cur], m[k]);
  e[next] = abcd;
  if constexpr (G >= 3) m[(k + 1) % 4] = _mm_sha1msg2_epu32(m[(k + 1) % 4], m[k]);
  abcd = _mm_sha1rnds4_epu32(abcd, e[cur], G / 5);
  if constexpr (G >= 1) m[(k + 3) % 4] = _mm_sha1msg1_epu32(m[(k + 3) % 4], m[k]);
  if constexpr (G >= 2) m[(k + 2) % 4] = _mm_xor_si128(m[(k + 2) % 4], m[k]);
}

template <int... G>
__attribute__((target("sha,sse4.1,ssse3"), always_inline)) inline void ShaNiGroups(__m128i& abcd, __m128i* e,
                                                                                   __m128i* m,
                                                                                   std::integer_sequence<int, G...>) {
  (ShaNiGroup<G>(abcd, e, m), ...);
}

__attribute__((target("sha,sse4.1,ssse3"))) void Sha1CompressShaNi(uint32_t h[5], const uint8_t* p, size_t count) {
  const __m128i kByteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
  __m128i e_first = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);
  for (; count--; p += 64) {
    __m128i abcd_save = abcd, e_save = e_first;
    __m128i m[4], e[2] = {e_first, _mm_setzero_si128()};
    for (int i = 0; i < 4; ++i)
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), kByteSwap);
    ShaNiGroups(abcd, e, m, std::make_integer_sequence<int, 20>());
    // After the last group e[0] holds the state before its rounds, as the next block's E expects.
    e_first = _mm_sha1nexte_epu32(e[0], e_save);
    abcd = _mm_add_epi32(abcd, abcd_save);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
  h[4] = static_cast<uint32_t>(_mm_extract_epi32(e_first, 3));
}

std::atomic<bool> g_use_sha_ni{CpuHasShaInstructions()};

}  // namespace

bool Sha1::UseShaInstructions(bool use) { return g_use_sha_ni.exchange(use && CpuHasShaInstructions()); }
#else
bool Sha1::UseShaInstructions(bool) { return false; }
#endif

void Sha1::Compress(const uint8_t* p, size_t count) {
#ifdef QV_SHA_NI
  if (g_use_sha_ni.load(std::memory_order_relaxed)) {
    Sha1CompressShaNi(h_, p, count);
    return;
  }
#endif
  uint32_t h0 = h_[0], h1 = h_[1], h2 = h_[2], h3 = h_[3], h4 = h_[4];
  for (; count--; p += 64) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBE(p + 4 * i);
    uint32_t a = h0, b = h1, c = h2, d = h3, e = h4;
    // The schedule is kept as a 16-word ring.
#define QV_W(i) (w[(i)&15] = Rol(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define QV_R(f, k, wi)                             \
  {                                                \
    uint32_t t = Rol(a, 5) + (f) + e + (k) + (wi); \
    e = d;                                         \
    d = c;                                         \
    c = Rol(b, 30);                                \
    b = a;                                         \
    a = t;                                         \
  }
    for (int i = 0; i < 16; ++i) QV_R((b & c) | (~b & d), 0x5A827999u, w[i]);
    for (int i = 16; i < 20; ++i) QV_R((b & c) | (~b & d), 0x5A827999u, QV_W(i));
    for (int i = 20; i < 40; ++i) QV_R(b ^ c ^ d, 0x6ED9EBA1u, QV_W(i));
    for (int i = 40; i < 60; ++i) QV_R((b & c) | (d & (b | c)), 0x8F1BBCDCu, QV_W(i));
    for (int i = 60; i < 80; ++i) QV_R(b ^ c ^ d, 0xCA62C1D6u, QV_W(i));
#undef QV_R
#undef QV_W
    h0 += a;
    h1 += b;
    h2 += c;
    h3 += d;
    h4 += e;
  }
  h_[0] = h0;
  h_[1] = h1;
  h_[2] = h2;
  h_[3] = h3;
  h_[4] = h4;
}

void Sha1::Final(uint8_t out[kSize]) {
  Finish(true);
  for (int i = 0; i < 5; ++i) StoreBE(out + 4 * i, h_[i]);
  Reset();
}

// ---- MD5 (RFC 1321) ----

void Md5::Reset() {
  ResetBuffer();
  h_[0] = 0x67452301;
  h_[1] = 0xEFCDAB89;
  h_[2] = 0x98BADCFE;
  h_[3] = 0x10325476;
}

void Md5::Compress(const uint8_t* p, size_t count) {
  uint32_t h0 = h_[0], h1 = h_[1], h2 = h_[2], h3 = h_[3];
  for (; count--; p += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLE(p + 4 * i);
    uint32_t a = h0, b = h1, c = h2, d = h3;
#define QV_STEP(f, a, b, c, d, xk, s, t) a = b + Rol(a + (f) + (xk) + (t), s)
#define QV_F(b, c, d) (d ^ (b & (c ^ d)))
#define QV_G(b, c, d) (c ^ (d & (b ^ c)))
#define QV_H(b, c, d) (b ^ c ^ d)
#define QV_I(b, c, d) (c ^ (b | ~d))
    QV_STEP(QV_F(b, c, d), a, b, c, d, x[0], 7, 0xd76aa478);
    QV_STEP(QV_F(a, b, c), d, a, b, c, x[1], 12, 0xe8c7b756);
    QV_STEP(QV_F(d, a, b), c, d, a, b, x[2], 17, 0x242070db);
    QV_STEP(QV_F(c, d, a), b, c, d, a, x[3], 22, 0xc1bdceee);
    QV_STEP(QV_F(b, c, d), a, b, c, d, x[4], 7, 0xf57c0faf);
    QV_STEP(QV_F(a, b, c), d, a, b, c, x[5], 12, 0x4787c62a);
    QV_STEP(QV_F(d, a, b), c, d, a, b, x[6], 17, 0xa8304613);
    QV_STEP(QV_F(c, d, a), b, c, d, a, x[7], 22, 0xfd469501);
    QV_STEP(QV_F(b, c, d), a, b, c, d, x[8], 7, 0x698098d8);
    QV_STEP(QV_F(a, b, c), d, a, b, c, x[9], 12, 0x8b44f7af);
    QV_STEP(QV_F(d, a, b), c, d, a, b, x[10], 17, 0xffff5bb1);
    QV_STEP(QV_F(c, d, a), b, c, d, a, x[11], 22, 0x895cd7be);
    QV_STEP(QV_F(b, c, d), a, b, c, d, x[12], 7, 0x6b901122);
    QV_STEP(QV_F(a, b, c), d, a, b, c, x[13], 12, 0xfd987193);
    QV_STEP(QV_F(d, a, b), c, d, a, b, x[14], 17, 0xa679438e);
    QV_STEP(QV_F(c, d, a), b, c, d, a, x[15], 22, 0x49b40821);

    QV_STEP(QV_G(b, c, d), a, b, c, d, x[1], 5, 0xf61e2562);
    QV_STEP(QV_G(a, b, c), d, a, b, c, x[6], 9, 0xc040b340);
    QV_STEP(QV_G(d, a, b), c, d, a, b, x[11], 14, 0x265e5a51);
    QV_STEP(QV_G(c, d, a), b, c, d, a, x[0], 20, 0xe9b6c7aa);
    QV_STEP(QV_G(b, c, d), a, b, c, d, x[5], 5, 0xd62f105d);
    QV_STEP(QV_G(a, b, c), d, a, b, c, x[10], 9, 0x02441453);
    QV_STEP(QV_G(d, a, b), c, d, a, b, x[15], 14, 0xd8a1e681);
    QV_STEP(QV_G(c, d, a), b, c, d, a, x[4], 20, 0xe7d3fbc8);
    QV_STEP(QV_G(b, c, d), a, b, c, d, x[9], 5, 0x21e1cde6);
    QV_STEP(QV_G(a, b, c), d, a, b, c, x[14], 9, 0xc33707d6);
    QV_STEP(QV_G(d, a, b), c, d, a, b, x[3], 14, 0xf4d50d87);
    QV_STEP(QV_G(c, d, a), b, c, d, a, x[8], 20, 0x455a14ed);
    QV_STEP(QV_G(b, c, d), a, b, c, d, x[13], 5, 0xa9e3e905);
    QV_STEP(QV_G(a, b, c), d, a, b, c, x[2], 9, 0xfcefa3f8);
    QV_STEP(QV_G(d, a, b), c, d, a, b, x[7], 14, 0x676f02d9);
    QV_STEP(QV_G(c, d, a), b, c, d, a, x[12], 20, 0x8d2a4c8a);

    QV_STEP(QV_H(b, c, d), a, b, c, d, x[5], 4, 0xfffa3942);
    QV_STEP(QV_H(a, b, c), d, a, b, c, x[8], 11, 0x8771f681);
    QV_STEP(QV_H(d, a, b), c, d, a, b, x[11], 16, 0x6d9d6122);
    QV_STEP(QV_H(c, d, a), b, c, d, a, x[14], 23, 0xfde5380c);
    QV_STEP(QV_H(b, c, d), a, b, c, d, x[1], 4, 0xa4beea44);
    QV_STEP(QV_H(a, b, c), d, a, b, c, x[4], 11, 0x4bdecfa9);
    QV_STEP(QV_H(d, a, b), c, d, a, b, x[7], 16, 0xf6bb4b60);
    QV_STEP(QV_H(c, d, a), b, c, d, a, x[10], 23, 0xbebfbc70);
    QV_STEP(QV_H(b, c, d), a, b, c, d, x[13], 4, 0x289b7ec6);
    QV_STEP(QV_H(a, b, c), d, a, b, c, x[0], 11, 0xeaa127fa);
    QV_STEP(QV_H(d, a, b), c, d, a, b, x[3], 16, 0xd4ef3085);
    QV_STEP(QV_H(c, d, a), b, c, d, a, x[6], 23, 0x04881d05);
    QV_STEP(QV_H(b, c, d), a, b, c, d, x[9], 4, 0xd9d4d039);
    QV_STEP(QV_H(a, b, c), d, a, b, c, x[12], 11, 0xe6db99e5);
    QV_STEP(QV_H(d, a, b), c, d, a, b, x[15], 16, 0x1fa27cf8);
    QV_STEP(QV_H(c, d, a), b, c, d, a, x[2], 23, 0xc4ac5665);

    QV_STEP(QV_I(b, c, d), a, b, c, d, x[0], 6, 0xf4292244);
    QV_STEP(QV_I(a, b, c), d, a, b, c, x[7], 10, 0x432aff97);
    QV_STEP(QV_I(d, a, b), c, d, a, b, x[14], 15, 0xab9423a7);
    QV_STEP(QV_I(c, d, a), b, c, d, a, x[5], 21, 0xfc93a039);
    QV_STEP(QV_I(b, c, d), a, b, c, d, x[12], 6, 0x655b59c3);
    QV_STEP(QV_I(a, b, c), d, a, b, c, x[3], 10, 0x8f0ccc92);
    QV_STEP(QV_I(d, a, b), c, d, a, b, x[10], 15, 0xffeff47d);
    QV_STEP(QV_I(c, d, a), b, c, d, a, x[1], 21, 0x85845dd1);
    QV_STEP(QV_I(b, c, d), a, b, c, d, x[8], 6, 0x6fa87e4f);
    QV_STEP(QV_I(a, b, c), d, a, b, c, x[15], 10, 0xfe2ce6e0);
    QV_STEP(QV_I(d, a, b), c, d, a, b, x[6], 15, 0xa3014314);
    QV_STEP(QV_I(c, d, a), b, c, d, a, x[13], 21, 0x4e0811a1);
    QV_STEP(QV_I(b, c, d), a, b, c, d, x[4], 6, 0xf7537e82);
    QV_STEP(QV_I(a, b, c), d, a, b, c, x[11], 10, 0xbd3af235);
    QV_STEP(QV_I(d, a, b), c, d, a, b, x[2], 15, 0x2ad7d2bb);
    QV_STEP(QV_I(c, d, a), b, c, d, a, x[9], 21, 0xeb86d391);
#undef QV_F
#undef QV_G
#undef QV_H
#undef QV_I
#undef QV_STEP
    h0 += a;
    h1 += b;
    h2 += c;
    h3 += d;
  }
  h_[0] = h0;
  h_[1] = h1;
  h_[2] = h2;
  h_[3] = h3;
}

void Md5::Final(uint8_t out[kSize]) {
  Finish(false);
  for (int i = 0; i < 4; ++i) StoreLE(out + 4 * i, h_[i]);
  Reset();
}

// ---- MD4 (RFC 1320) ----

void Md4::Reset() {
  ResetBuffer();
  h_[0] = 0x67452301;
  h_[1] = 0xEFCDAB89;
  h_[2] = 0x98BADCFE;
  h_[3] = 0x10325476;
}

void Md4::Compress(const uint8_t* p, size_t count) {
  static const int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
  static const int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  static const int kShift1[4] = {3, 7, 11, 19}, kShift2[4] = {3, 5, 9, 13}, kShift3[4] = {3, 9, 11, 15};
  for (; count--; p += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLE(p + 4 * i);
    uint32_t v[4] = {h_[0], h_[1], h_[2], h_[3]};
    // v[(4 - i) & 3] is the word the step updates: a, d, c, b in turn.
    for (int i = 0; i < 16; ++i) {
      uint32_t &a = v[(4 - i) & 3], b = v[(5 - i) & 3], c = v[(6 - i) & 3], d = v[(7 - i) & 3];
      a = Rol(a + ((b & c) | (~b & d)) + x[i], kShift1[i & 3]);
    }
    for (int i = 0; i < 16; ++i) {
      uint32_t &a = v[(4 - i) & 3], b = v[(5 - i) & 3], c = v[(6 - i) & 3], d = v[(7 - i) & 3];
      a = Rol(a + ((b & c) | (b & d) | (c & d)) + x[kOrder2[i]] + 0x5A827999u, kShift2[i & 3]);
    }
    for (int i = 0; i < 16; ++i) {
      uint32_t &a = v[(4 - i) & 3], b = v[(5 - i) & 3], c = v[(6 - i) & 3], d = v[(7 - i) & 3];
      a = Rol(a + (b ^ c ^ d) + x[kOrder3[i]] + 0x6ED9EBA1u, kShift3[i & 3]);
    }
    for (int i = 0; i < 4; ++i) h_[i] += v[i];
  }
}

void Md4::Final(uint8_t out[kSize]) {
  Finish(false);
  for (int i = 0; i < 4; ++i) StoreLE(out + 4 * i, h_[i]);
  Reset();
}

// ---- RIPEMD-160 ----

void Ripemd160::Reset() {
  ResetBuffer();
  h_[0] = 0x67452301;
  h_[1] = 0xEFCDAB89;
  h_[2] = 0x98BADCFE;
  h_[3] = 0x10325476;
  h_[4] = 0xC3D2E1F0;
}

namespace {

// Word order and rotations of the left and right lines, round by round.
constexpr uint8_t kRL[80] = {0,  1, 2,  3, 4,  5,  6, 7,  8, 9,  10, 11, 12, 13, 14, 15, 7,  4,  13, 1,
                             10, 6, 15, 3, 12, 0,  9, 5,  2, 14, 11, 8,  3,  10, 14, 4,  9,  15, 8,  1,
                             2,  7, 0,  6, 13, 11, 5, 12, 1, 9,  11, 10, 0,  8,  12, 4,  13, 3,  7,  15,
                             14, 5, 6,  2, 4,  0,  5, 9,  7, 12, 2,  10, 14, 1,  3,  8,  11, 6,  15, 13};
constexpr uint8_t kRR[80] = {5,  14, 7,  0,  9,  2,  11, 4,  13, 6, 15, 8, 1,  10, 3,  12, 6, 11, 3, 7,
                             0,  13, 5,  10, 14, 15, 8,  12, 4,  9, 1,  2, 15, 5,  1,  3,  7, 14, 6, 9,
                             11, 8,  12, 2,  10, 0,  4,  13, 8,  6, 4,  1, 3,  11, 15, 0,  5, 12, 2, 13,
                             9,  7,  10, 14, 12, 15, 10, 4,  1,  5, 8,  7, 6,  2,  13, 14, 0, 3,  9, 11};
constexpr uint8_t kSL[80] = {11, 14, 15, 12, 5, 8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,  7,  6,  8,  13,
                             11, 9,  7,  15, 7, 12, 15, 9,  11, 7,  13, 12, 11, 13, 6,  7,  14, 9,  13, 15,
                             14, 8,  13, 6,  5, 12, 7,  5,  11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,
                             8,  6,  5,  12, 9, 15, 5,  11, 6,  8,  13, 12, 5,  12, 13, 14, 11, 8,  5,  6};
constexpr uint8_t kSR[80] = {8,  9,  9,  11, 13, 15, 15, 5, 7,  7,  8,  11, 14, 14, 12, 6,  9,  13, 15, 7,
                             12, 8,  9,  11, 7,  7,  12, 7, 6,  15, 13, 11, 9,  7,  15, 11, 8,  6,  6,  14,
                             12, 13, 5,  14, 13, 13, 7,  5, 15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,
                             12, 5,  15, 8,  8,  5,  12, 9, 12, 5,  14, 6,  8,  13, 6,  5,  15, 13, 11, 11};

template <int J>
inline uint32_t RipeF(uint32_t x, uint32_t y, uint32_t z) {
  if constexpr (J == 0)
    return x ^ y ^ z;
  else if constexpr (J == 1)
    return (x & y) | (~x & z);
  else if constexpr (J == 2)
    return (x | ~y) ^ z;
  else if constexpr (J == 3)
    return (x & z) | (y & ~z);
  else
    return x ^ (y | ~z);
}

template <int Round>
inline void RipeRound(const uint32_t* x, uint32_t& al, uint32_t& bl, uint32_t& cl, uint32_t& dl, uint32_t& el,
                      uint32_t& ar, uint32_t& br, uint32_t& cr, uint32_t& dr, uint32_t& er) {
  constexpr uint32_t kKL[5] = {0x00000000u, 0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xA953FD4Eu};
  constexpr uint32_t kKR[5] = {0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0x7A6D76E9u, 0x00000000u};
  for (int i = Round * 16; i < Round * 16 + 16; ++i) {
    uint32_t t = Rol(al + RipeF<Round>(bl, cl, dl) + x[kRL[i]] + kKL[Round], kSL[i]) + el;
    al = el;
    el = dl;
    dl = Rol(cl, 10);
    cl = bl;
    bl = t;
    t = Rol(ar + RipeF<4 - Round>(br, cr, dr) + x[kRR[i]] + kKR[Round], kSR[i]) + er;
    ar = er;
    er = dr;
    dr = Rol(cr, 10);
    cr = br;
    br = t;
  }
}

}  // namespace

void Ripemd160::Compress(const uint8_t* p, size_t count) {
  for (; count--; p += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLE(p + 4 * i);
    uint32_t al = h_[0], bl = h_[1], cl = h_[2], dl = h_[3], el = h_[4];
    uint32_t ar = al, br = bl, cr = cl, dr = dl, er = el;
    RipeRound<0>(x, al, bl, cl, dl, el, ar, br, cr, dr, er);
    RipeRound<1>(x, al, bl, cl, dl, el, ar, br, cr, dr, er);
    RipeRound<2>(x, al, bl, cl, dl, el, ar, br, cr, dr, er);
    RipeRound<3>(x, al, bl, cl, dl, el, ar, br, cr, dr, er);
    RipeRound<4>(x, al, bl, cl, dl, el, ar, br, cr, dr, er);
    uint32_t t = h_[1] + cl + dr;
    h_[1] = h_[2] + dl + er;
    h_[2] = h_[3] + el + ar;
    h_[3] = h_[4] + al + br;
    h_[4] = h_[0] + bl + cr;
    h_[0] = t;
  }
}

void Ripemd160::Final(uint8_t out[kSize]) {
  Finish(false);
  for (int i = 0; i < 5; ++i) StoreLE(out + 4 * i, h_[i]);
  Reset();
}

// ---- MD2 (RFC 1319) ----

namespace {
// The permutation of 0..255 built from the digits of pi.
constexpr uint8_t kPiSubst[256] = {
    41,  46,  67,  201, 162, 216, 124, 1,   61,  54,  84,  161, 236, 240, 6,   19,  98,  167, 5,   243, 192, 199,
    115, 140, 152, 147, 43,  217, 188, 76,  130, 202, 30,  155, 87,  60,  253, 212, 224, 22,  103, 66,  111, 24,
    138, 23,  229, 18,  190, 78,  196, 214, 218, 158, 222, 73,  160, 251, 245, 142, 187, 47,  238, 122, 169, 104,
    121, 145, 21,  178, 7,   63,  148, 194, 16,  137, 11,  34,  95,  33,  128, 127, 93,  154, 90,  144, 50,  39,
    53,  62,  204, 231, 191, 247, 151, 3,   255, 25,  48,  179, 72,  165, 181, 209, 215, 94,  146, 42,  172, 86,
    170, 198, 79,  184, 56,  210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116, 4,   241, 69,  157, 112, 89,
    100, 113, 135, 32,  134, 91,  207, 101, 230, 45,  168, 2,   27,  96,  37,  173, 174, 176, 185, 246, 28,  70,
    97,  105, 52,  64,  126, 15,  85,  71,  163, 35,  221, 81,  175, 58,  195, 92,  249, 206, 186, 197, 234, 38,
    44,  83,  13,  110, 133, 40,  132, 9,   211, 223, 205, 244, 65,  129, 77,  82,  106, 220, 55,  200, 108, 193,
    171, 250, 36,  225, 123, 8,   12,  189, 177, 74,  120, 136, 149, 139, 227, 99,  232, 109, 233, 203, 213, 254,
    59,  0,   29,  57,  242, 239, 183, 14,  102, 88,  208, 228, 166, 119, 114, 248, 235, 117, 75,  10,  49,  68,
    80,  180, 143, 237, 31,  26,  219, 153, 141, 51,  159, 17,  131, 20};
}  // namespace

void Md2::Reset() {
  std::memset(state_, 0, sizeof state_);
  std::memset(checksum_, 0, sizeof checksum_);
  buffered_ = 0;
}

void Md2::Transform(const uint8_t block[16]) {
  uint8_t l = checksum_[15];
  for (int i = 0; i < 16; ++i) {
    state_[16 + i] = block[i];
    state_[32 + i] = static_cast<uint8_t>(block[i] ^ state_[i]);
    l = checksum_[i] ^= kPiSubst[block[i] ^ l];
  }
  uint8_t t = 0;
  for (int round = 0; round < 18; ++round) {
    for (int k = 0; k < 48; ++k) t = state_[k] ^= kPiSubst[t];
    t = static_cast<uint8_t>(t + round);
  }
}

void Md2::Update(const uint8_t* data, size_t len) {
  while (len) {
    size_t take = 16 - buffered_ < len ? 16 - buffered_ : len;
    std::memcpy(buffer_ + buffered_, data, take);
    buffered_ += take;
    data += take;
    len -= take;
    if (buffered_ == 16) {
      Transform(buffer_);
      buffered_ = 0;
    }
  }
}

void Md2::Final(uint8_t out[kSize]) {
  uint8_t pad[16];
  uint8_t n = static_cast<uint8_t>(16 - buffered_);
  std::memset(pad, n, n);
  Update(pad, n);
  uint8_t checksum[16];
  std::memcpy(checksum, checksum_, 16);
  Update(checksum, 16);
  std::memcpy(out, state_, 16);
  Reset();
}

}  // namespace qv::digest
