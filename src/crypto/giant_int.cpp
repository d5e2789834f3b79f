#include "crypto/giant_int.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/os/os_random.h"

namespace qv {

namespace {

using u64 = uint64_t;
using u128 = unsigned __int128;

int Len(GiantInt x) { return x->sign < 0 ? -x->sign : x->sign; }

// Sets the count from len words (dropping leading zeros) with the given sign.
void Normalize(GiantInt x, int len, bool negative) {
  while (len > 0 && x->n[len - 1] == 0) --len;
  x->sign = negative ? -len : len;
}

void ZeroAbove(GiantInt x, int from, int to) {
  if (to > from) std::memset(x->n + from, 0, sizeof(uint32_t) * static_cast<size_t>(to - from));
}

int WordsBitLength(const uint32_t* w, int len) {
  while (len > 0 && w[len - 1] == 0) --len;
  if (len == 0) return 0;
  return (len - 1) * 32 + (32 - __builtin_clz(w[len - 1]));
}

// -1, 0, 1 comparing normalised magnitudes.
int CompareWords(const uint32_t* a, int la, const uint32_t* b, int lb) {
  if (la != lb) return la < lb ? -1 : 1;
  for (int i = la - 1; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

int CompareMagnitude(GiantInt a, GiantInt b) { return CompareWords(a->n, Len(a), b->n, Len(b)); }

// Scratch numbers, taken and given back in stack order so that no operation allocates once the
// pool has grown. Per thread, so that arithmetic on two threads cannot share a record.
class ScratchPool {
public:
  ~ScratchPool() {
    for (GiantInt g : pool_) delete g;
  }
  GiantInt Take() {
    if (used_ == pool_.size())
      for (int i = 0; i < 16; ++i) pool_.push_back(new TGiantRec);
    GiantInt g = pool_[used_++];
    GiantClear(g);
    return g;
  }
  void Give() { --used_; }

private:
  std::vector<GiantInt> pool_;
  size_t used_ = 0;
};

thread_local ScratchPool g_scratch;

class Scratch {
public:
  Scratch() : g_(g_scratch.Take()) {}
  ~Scratch() { g_scratch.Give(); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  GiantInt get() const { return g_; }
  GiantInt operator->() const { return g_; }
  operator GiantInt() const { return g_; }

private:
  GiantInt g_;
};

// x := |x| + |a| as magnitude; the sign is set by the caller.
void AddMagnitude(GiantInt a, GiantInt x, bool negative) {
  int la = Len(a), lx = Len(x);
  int len = std::max(la, lx);
  u64 carry = 0;
  if (len == kGiantWords) {  // find a carry out before anything is written
    for (int i = 0; i < len; ++i)
      carry = (static_cast<u64>(i < lx ? x->n[i] : 0) + (i < la ? a->n[i] : 0) + carry) >> 32;
    if (carry) throw EGiantIntError("Addition overflow in GiantAdd");
  }
  for (int i = 0; i < len; ++i) {
    u64 s = static_cast<u64>(i < lx ? x->n[i] : 0) + (i < la ? a->n[i] : 0) + carry;
    x->n[i] = static_cast<uint32_t>(s);
    carry = s >> 32;
  }
  if (carry) x->n[len++] = static_cast<uint32_t>(carry);
  Normalize(x, len, negative);
}

// r := big - small over words (big >= small), r may be either input.
void SubWords(const uint32_t* big, int lb, const uint32_t* small, int ls, uint32_t* r) {
  int64_t borrow = 0;
  for (int i = 0; i < lb; ++i) {
    int64_t d = static_cast<int64_t>(big[i]) - (i < ls ? small[i] : 0) - borrow;
    borrow = d < 0 ? 1 : 0;
    r[i] = static_cast<uint32_t>(d);
  }
}

// x := |x| - |a|, |x| >= |a|.
void normal_subg(GiantInt a, GiantInt x, bool negative) {
  if (CompareMagnitude(x, a) < 0) throw EGiantIntError("Overflow in normal_subg");
  int lx = Len(x);
  SubWords(x->n, lx, a->n, Len(a), x->n);
  Normalize(x, lx, negative);
}

// x := |a| - |x|, |a| >= |x|.
void reverse_subg(GiantInt a, GiantInt x, bool negative) {
  if (CompareMagnitude(a, x) < 0) throw EGiantIntError("Overflow in reverse_subg");
  int la = Len(a), lx = Len(x);
  SubWords(a->n, la, x->n, lx, x->n);
  Normalize(x, la, negative);
}

// x := x + s * |a| where s is +1 or -1, a != x.
void AddSigned(GiantInt a, bool a_negative, GiantInt x) {
  if (Len(a) == 0) return;
  bool x_negative = x->sign < 0;
  if (Len(x) == 0 || x_negative == a_negative) {
    AddMagnitude(a, x, a_negative);
    return;
  }
  if (CompareMagnitude(x, a) >= 0)
    normal_subg(a, x, x_negative);
  else
    reverse_subg(a, x, a_negative);
}

// Magnitude division: q (optional) := |x| div |d|, r := |x| mod |d|, by shift and subtract.
void DivideMagnitude(GiantInt x, GiantInt d, GiantInt q, GiantInt r) {
  GiantCopy(x, r);
  GiantAbs(r);
  if (q) GiantClear(q);
  if (CompareMagnitude(r, d) < 0) return;
  int shift = GiantBitLength(r) - GiantBitLength(d);
  Scratch s;
  GiantCopy(d, s);
  GiantAbs(s);
  GiantShiftLeft(shift, s);
  for (int i = shift; i >= 0; --i) {
    if (CompareMagnitude(r, s) >= 0) {
      int lr = Len(r);
      SubWords(r->n, lr, s->n, Len(s), r->n);
      Normalize(r, lr, false);
      if (q) {
        q->n[i / 32] |= 1u << (i % 32);
        if (Len(q) <= i / 32) q->sign = i / 32 + 1;
      }
    }
    GiantShiftRight(1, s);
  }
}

// Montgomery arithmetic on 64-bit limbs for odd moduli: the exponentiations of RSA and of the
// prime test spend their time here. Products and reductions are written once as templates;
// the common limb counts get their own instances (N > 0) so the compiler unrolls them, and
// N = 0 serves any other size.

// t[0..2n) := a * b
template <int N>
inline void ProductT(u64* t, const u64* a, const u64* b, int n_dyn) {
  const int n = N ? N : n_dyn;
  for (int i = 0; i < 2 * n; ++i) t[i] = 0;
  for (int i = 0; i < n; ++i) {
    u64 carry = 0;
    const u64 ai = a[i];
    for (int j = 0; j < n; ++j) {
      u128 s = static_cast<u128>(ai) * b[j] + t[i + j] + carry;
      t[i + j] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    t[i + n] = carry;
  }
}

// t[0..2n) := a * a, the cross products once and doubled.
template <int N>
inline void SquareT(u64* t, const u64* a, int n_dyn) {
  const int n = N ? N : n_dyn;
  for (int i = 0; i < 2 * n; ++i) t[i] = 0;
  for (int i = 0; i < n; ++i) {
    u64 carry = 0;
    const u64 ai = a[i];
    for (int j = i + 1; j < n; ++j) {
      u128 s = static_cast<u128>(ai) * a[j] + t[i + j] + carry;
      t[i + j] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    t[i + n] = carry;
  }
  u64 top = 0;
  for (int i = 0; i < 2 * n; ++i) {
    u64 v = t[i];
    t[i] = (v << 1) | top;
    top = v >> 63;
  }
  u64 carry = 0;
  for (int i = 0; i < n; ++i) {
    u128 s = static_cast<u128>(a[i]) * a[i] + t[2 * i] + carry;
    t[2 * i] = static_cast<u64>(s);
    s = static_cast<u128>(t[2 * i + 1]) + static_cast<u64>(s >> 64);
    t[2 * i + 1] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
}

// out := t / R mod m for t < m * R (t has 2n limbs and is destroyed).
template <int N>
inline void RedcT(u64* out, u64* t, const u64* m, u64 minv, int n_dyn) {
  const int n = N ? N : n_dyn;
  u64 high = 0;
  for (int i = 0; i < n; ++i) {
    const u64 q = t[i] * minv;
    u64 carry = 0;
    for (int j = 0; j < n; ++j) {
      u128 s = static_cast<u128>(q) * m[j] + t[i + j] + carry;
      t[i + j] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    u128 s = static_cast<u128>(t[i + n]) + carry + high;
    t[i + n] = static_cast<u64>(s);
    high = static_cast<u64>(s >> 64);
  }
  const u64* r = t + n;
  bool subtract = high != 0;
  if (!subtract) {
    subtract = true;  // r >= m
    for (int i = n - 1; i >= 0; --i)
      if (r[i] != m[i]) {
        subtract = r[i] > m[i];
        break;
      }
  }
  if (subtract) {
    u64 borrow = 0;
    for (int i = 0; i < n; ++i) {
      u128 d = static_cast<u128>(r[i]) - m[i] - borrow;
      out[i] = static_cast<u64>(d);
      borrow = static_cast<u64>(d >> 64) & 1;
    }
  } else {
    for (int i = 0; i < n; ++i) out[i] = r[i];
  }
}

template <int N>
void MontMulT(u64* out, const u64* a, const u64* b, const u64* m, u64 minv, u64* t, int n) {
  if (a == b)
    SquareT<N>(t, a, n);
  else
    ProductT<N>(t, a, b, n);
  RedcT<N>(out, t, m, minv, n);
}

using MontMulFn = void (*)(u64*, const u64*, const u64*, const u64*, u64, u64*, int);

MontMulFn MontMulFor(int limbs) {
  switch (limbs) {
    case 1: return &MontMulT<1>;
    case 2: return &MontMulT<2>;
    case 4: return &MontMulT<4>;
    case 8: return &MontMulT<8>;
    case 12: return &MontMulT<12>;

    default: return &MontMulT<0>;
  }
}

class Montgomery {
public:
  bool SameModulus(GiantInt m) const {
    return words_ == Len(m) && std::equal(m->n, m->n + words_, modulus_words_.begin());
  }

  void Setup(GiantInt m) {
    words_ = Len(m);
    modulus_words_.assign(m->n, m->n + words_);
    limbs_ = (words_ + 1) / 2;
    mul_ = MontMulFor(limbs_);
    m_.assign(limbs_, 0);
    ToLimbs(m, m_.data());
    // -m^-1 mod 2^64 by Newton iteration.
    u64 inv = 1;
    for (int i = 0; i < 7; ++i) inv *= 2 - m_[0] * inv;
    minv_ = ~inv + 1;
    // R^2 mod m by doubling 1 modulo m, 2 * 64 * limbs times.
    r2_.assign(limbs_, 0);
    r2_[0] = 1;
    for (int i = 0; i < 128 * limbs_; ++i) DoubleMod(r2_.data());
    t_.assign(2 * static_cast<size_t>(limbs_) + 2, 0);
    one_.assign(limbs_, 0);
    one_[0] = 1;
  }

  int limbs() const { return limbs_; }

  void ToLimbs(GiantInt x, u64* out) const {
    int lx = Len(x);
    for (int i = 0; i < limbs_; ++i) {
      u64 lo = 2 * i < lx ? x->n[2 * i] : 0;
      u64 hi = 2 * i + 1 < lx ? x->n[2 * i + 1] : 0;
      out[i] = lo | (hi << 32);
    }
  }

  void FromLimbs(const u64* in, GiantInt x) const {
    GiantClear(x);
    for (int i = 0; i < limbs_; ++i) {
      x->n[2 * i] = static_cast<uint32_t>(in[i]);
      if (2 * i + 1 < kGiantWords) x->n[2 * i + 1] = static_cast<uint32_t>(in[i] >> 32);
    }
    Normalize(x, std::min(2 * limbs_, kGiantWords), false);
  }

  // out := a * b / R mod m; out may alias a or b; a == b squares.
  void Mul(u64* out, const u64* a, const u64* b) { mul_(out, a, b, m_.data(), minv_, t_.data(), limbs_); }

  void ToMont(u64* x) { Mul(x, x, r2_.data()); }
  void FromMont(u64* x) { Mul(x, x, one_.data()); }

private:
  bool Less(const u64* a, const u64* b) const {
    for (int i = limbs_ - 1; i >= 0; --i)
      if (a[i] != b[i]) return a[i] < b[i];
    return false;
  }
  void Sub(u64* a, const u64* b) const {
    u64 borrow = 0;
    for (int i = 0; i < limbs_; ++i) {
      u128 d = static_cast<u128>(a[i]) - b[i] - borrow;
      a[i] = static_cast<u64>(d);
      borrow = static_cast<u64>(d >> 64) & 1;
    }
  }
  void DoubleMod(u64* a) const {
    u64 top = a[limbs_ - 1] >> 63;
    for (int i = limbs_ - 1; i > 0; --i) a[i] = (a[i] << 1) | (a[i - 1] >> 63);
    a[0] <<= 1;
    if (top || !Less(a, m_.data())) Sub(a, m_.data());
  }

  int words_ = 0;
  int limbs_ = 0;
  MontMulFn mul_ = nullptr;
  std::vector<uint32_t> modulus_words_;
  std::vector<u64> m_, r2_, t_, one_;
  u64 minv_ = 0;
};

// The moduli of the latest exponentiations with their prepared constants, reused while the
// same moduli come again (every signature of one key, both primes of a key, every round of one
// prime test).
struct PowerModState {
  static constexpr int kSlots = 4;
  Montgomery mont[kSlots];
  int next = 0;
  std::vector<u64> base, acc, table;

  Montgomery& For(GiantInt m) {
    for (Montgomery& c : mont)
      if (c.SameModulus(m)) return c;
    Montgomery& c = mont[next];
    next = (next + 1) % kSlots;
    c.Setup(m);
    return c;
  }
};
thread_local PowerModState g_power;

void PowerModOdd(GiantInt x, GiantInt e, GiantInt m) {
  PowerModState& st = g_power;
  Montgomery& mont = st.For(m);
  const int n = mont.limbs();
  const int ebits = GiantBitLength(e);
  const int w = ebits > 256 ? 5 : ebits > 64 ? 4 : ebits > 24 ? 3 : 1;
  st.base.assign(n, 0);
  mont.ToLimbs(x, st.base.data());
  mont.ToMont(st.base.data());
  // table[i] = base^i in Montgomery form.
  st.table.assign(static_cast<size_t>(n) << w, 0);
  u64* tab = st.table.data();
  std::copy(st.base.begin(), st.base.end(), tab + n);
  std::vector<u64>& one = st.acc;
  one.assign(n, 0);
  one[0] = 1;
  mont.ToMont(one.data());
  std::copy(one.begin(), one.end(), tab);
  for (int i = 2; i < (1 << w); ++i) mont.Mul(tab + i * n, tab + (i - 1) * n, st.base.data());
  u64* acc = st.acc.data();  // starts at 1 (Montgomery form)
  int top = ((ebits + w - 1) / w) * w;
  bool started = false;
  for (int pos = top - w; pos >= 0; pos -= w) {
    int digit = 0;
    for (int k = w - 1; k >= 0; --k) digit = (digit << 1) | (GiantTestBit(e, pos + k) ? 1 : 0);
    if (started)
      for (int k = 0; k < w; ++k) mont.Mul(acc, acc, acc);
    if (digit) {
      if (started) {
        mont.Mul(acc, acc, tab + digit * n);
      } else {
        std::copy(tab + digit * n, tab + (digit + 1) * n, acc);
        started = true;
      }
    }
  }
  mont.FromMont(acc);
  mont.FromLimbs(acc, x);
}

// Right-to-left binary method with full division, for the rare even modulus.
void PowerModPlain(GiantInt x, GiantInt e, GiantInt m) {
  Scratch result, power;
  GiantFromInt(1, result);
  GiantCopy(x, power);
  int ebits = GiantBitLength(e);
  for (int i = 0; i < ebits; ++i) {
    if (GiantTestBit(e, i)) {
      GiantMul(power, result);
      modg(m, result);
    }
    if (i + 1 < ebits) {
      GiantMul(power, power);
      modg(m, power);
    }
  }
  GiantCopy(result, x);
}

// Remainder of |x| by a small divisor.
uint32_t ModSmall(GiantInt x, uint32_t d) {
  u64 r = 0;
  for (int i = Len(x) - 1; i >= 0; --i) r = ((r << 32) | x->n[i]) % d;
  return static_cast<uint32_t>(r);
}

constexpr uint32_t kSmallPrimeLimit = 4000;

constexpr bool IsSmallPrime(uint32_t c) {
  for (uint32_t d = 2; d * d <= c; ++d)
    if (c % d == 0) return false;
  return c >= 2;
}

constexpr int CountOddPrimesBelow(uint32_t limit) {
  int count = 0;
  for (uint32_t c = 3; c < limit; c += 2) count += IsSmallPrime(c) ? 1 : 0;
  return count;
}

// The odd primes below the limit, for the quick factor test of prime candidates.
constexpr auto kSmallPrimes = [] {
  std::array<uint32_t, CountOddPrimesBelow(kSmallPrimeLimit)> primes{};
  size_t i = 0;
  for (uint32_t c = 3; c < kSmallPrimeLimit; c += 2)
    if (IsSmallPrime(c)) primes[i++] = c;
  return primes;
}();

}  // namespace

GiantInt GiantNew() { return new TGiantRec; }

void GiantFree(GiantInt x) { delete x; }

void GiantClear(GiantInt x) {
  ZeroAbove(x, 0, Len(x));
  x->sign = 0;
}

void GiantCopy(GiantInt a, GiantInt x) {
  if (a == x) return;
  int la = Len(a), lx = Len(x);
  std::memcpy(x->n, a->n, sizeof(uint32_t) * static_cast<size_t>(la));
  ZeroAbove(x, la, lx);
  x->sign = a->sign;
}

void GiantFromInt(int32_t i, GiantInt x) {
  GiantClear(x);
  if (i == 0) return;
  x->n[0] = i < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(i)) : static_cast<uint32_t>(i);
  x->sign = i < 0 ? -1 : 1;
}

void pbtog(const uint8_t* bytes, int len, GiantInt x, bool big_endian) {
  if (len > kGiantMaxBytes) throw EGiantIntError("Assignment overflow in pbtog");
  GiantClear(x);
  if (!bytes || len <= 0) return;
  for (int i = 0; i < len; ++i) {
    uint8_t b = big_endian ? bytes[len - 1 - i] : bytes[i];
    x->n[i / 4] |= static_cast<uint32_t>(b) << (8 * (i % 4));
  }
  Normalize(x, (len + 3) / 4, false);
}

void GiantToBytes(GiantInt x, uint8_t* bytes, int len, bool big_endian) {
  if (!bytes) return;
  for (int i = 0; i < len; ++i) {
    uint8_t b = i / 4 < Len(x) ? static_cast<uint8_t>(x->n[i / 4] >> (8 * (i % 4))) : 0;
    if (big_endian)
      bytes[len - 1 - i] = b;
    else
      bytes[i] = b;
  }
}

bool GiantIsZero(GiantInt x) { return x->sign == 0; }
bool GiantIsOne(GiantInt x) { return x->sign == 1 && x->n[0] == 1; }
bool GiantIsOdd(GiantInt x) { return x->sign != 0 && (x->n[0] & 1u); }
int GiantSign(GiantInt x) { return x->sign > 0 ? 1 : x->sign < 0 ? -1 : 0; }
void GiantAbs(GiantInt x) { x->sign = Len(x); }
void GiantNegate(GiantInt x) { x->sign = -x->sign; }

int GiantByteLength(GiantInt x) { return (GiantBitLength(x) + 7) / 8; }
int GiantBitLength(GiantInt x) { return WordsBitLength(x->n, Len(x)); }

bool GiantTestBit(GiantInt x, int bit) {
  if (bit < 0 || bit / 32 >= Len(x)) return false;
  return (x->n[bit / 32] >> (bit % 32)) & 1u;
}

void GiantShiftLeft(int k, GiantInt x) {
  if (k < 0) {
    GiantShiftRight(-k, x);
    return;
  }
  if (k == 0 || x->sign == 0) return;
  if (GiantBitLength(x) + static_cast<int64_t>(k) > kGiantWords * 32) throw EGiantIntError("Left shift overflow");
  bool negative = x->sign < 0;
  int lx = Len(x);
  int words = k / 32, bits = k % 32;
  int new_len = std::min(kGiantWords, lx + words + 1);
  for (int i = new_len - 1; i >= 0; --i) {
    int src = i - words;
    uint32_t hi = src >= 0 && src < lx ? x->n[src] : 0;
    uint32_t lo = src - 1 >= 0 && src - 1 < lx ? x->n[src - 1] : 0;
    x->n[i] = bits ? (hi << bits) | (lo >> (32 - bits)) : hi;
  }
  Normalize(x, new_len, negative);
}

void GiantShiftRight(int k, GiantInt x) {
  if (k < 0) {
    GiantShiftLeft(-k, x);
    return;
  }
  if (k == 0 || x->sign == 0) return;
  bool negative = x->sign < 0;
  int lx = Len(x);
  if (k >= GiantBitLength(x)) {
    GiantClear(x);
    return;
  }
  int words = k / 32, bits = k % 32;
  for (int i = 0; i < lx; ++i) {
    int src = i + words;
    uint32_t lo = src < lx ? x->n[src] : 0;
    uint32_t hi = src + 1 < lx ? x->n[src + 1] : 0;
    x->n[i] = bits ? (lo >> bits) | (hi << (32 - bits)) : lo;
  }
  Normalize(x, lx, negative);
}

int GiantCompare(GiantInt a, GiantInt b) {
  int sa = GiantSign(a), sb = GiantSign(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  int c = CompareMagnitude(a, b);
  return sa < 0 ? -c : c;
}

void GiantAdd(GiantInt a, GiantInt x) {
  if (a == x) {
    Scratch copy;
    GiantCopy(a, copy);
    AddSigned(copy, copy->sign < 0, x);
    return;
  }
  AddSigned(a, a->sign < 0, x);
}

void GiantSub(GiantInt a, GiantInt x) {
  if (a == x) {
    GiantClear(x);
    return;
  }
  AddSigned(a, a->sign > 0, x);
}

void GiantAddInt(int32_t i, GiantInt x) {
  Scratch a;
  GiantFromInt(i, a);
  GiantAdd(a, x);
}

void GiantMul(GiantInt a, GiantInt x) {
  int la = Len(a), lx = Len(x);
  if (la == 0 || lx == 0) {
    GiantClear(x);
    return;
  }
  bool negative = (a->sign < 0) != (x->sign < 0);
  std::array<uint32_t, 2 * kGiantWords> product{};
  for (int i = 0; i < la; ++i) {
    u64 carry = 0;
    const u64 ai = a->n[i];
    for (int j = 0; j < lx; ++j) {
      u64 t = ai * x->n[j] + product[i + j] + carry;
      product[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    product[i + lx] = static_cast<uint32_t>(carry);
  }
  int len = WordsBitLength(product.data(), la + lx);
  len = (len + 31) / 32;
  if (len > kGiantWords) throw EGiantIntError("Multiplication overflow in GiantMul");
  std::memcpy(x->n, product.data(), sizeof(uint32_t) * static_cast<size_t>(len));
  ZeroAbove(x, len, lx);
  Normalize(x, len, negative);
}

void divg(GiantInt d, GiantInt x) {
  if (d->sign == 0) throw EGiantIntError("Zero division in divg");
  if (d->sign < 0) throw EGiantIntError("Negative divisor is not enabled in divg");
  bool negative = x->sign < 0;
  Scratch q, r;
  DivideMagnitude(x, d, q, r);
  GiantCopy(q, x);
  if (negative) GiantNegate(x);
}

void modg(GiantInt d, GiantInt x) {
  if (d->sign == 0) throw EGiantIntError("Zero division in modg");
  if (d->sign < 0) throw EGiantIntError("Negative divisor is not enabled in modg");
  bool negative = x->sign < 0;
  if (!negative && CompareMagnitude(x, d) < 0) return;
  Scratch r;
  DivideMagnitude(x, d, nullptr, r);
  GiantCopy(r, x);
  if (negative) GiantNegate(x);
}

void GiantPowerMod(GiantInt x, GiantInt e, GiantInt m) {
  if (m->sign <= 0) {
    modg(m, x);  // raises the division error for the modulus
    return;
  }
  if (e->sign < 0) throw EGiantIntError("Negative exponent in GiantPowerMod");
  Scratch exponent;
  GiantCopy(e, exponent);
  if (exponent->sign == 0) {
    GiantFromInt(1, x);
    return;
  }
  if (GiantIsOne(m)) {
    GiantClear(x);
    return;
  }
  // Reducing first keeps every intermediate product inside the record.
  modg(m, x);
  if (x->sign < 0) GiantAdd(m, x);
  if (GiantIsOdd(m))
    PowerModOdd(x, exponent, m);
  else
    PowerModPlain(x, exponent, m);
}

bool GiantInverseMod(GiantInt m, GiantInt x) {
  modg(m, x);
  if (x->sign < 0) GiantAdd(m, x);
  if (GiantIsOne(x)) return true;
  Scratch a, b, t0, t1, q, tmp;
  GiantCopy(m, a);
  GiantCopy(x, b);
  GiantClear(t0);
  GiantFromInt(1, t1);
  while (!GiantIsZero(b)) {
    DivideMagnitude(a, b, q, tmp);  // q = a div b, tmp = a mod b (both non-negative)
    GiantCopy(b, a);
    GiantCopy(tmp, b);
    // (t0, t1) := (t1, t0 - q * t1)
    GiantCopy(t1, tmp);
    GiantMul(q, tmp);
    GiantSub(tmp, t0);
    GiantCopy(t0, tmp);
    GiantCopy(t1, t0);
    GiantCopy(tmp, t1);
  }
  if (!GiantIsOne(a)) {
    GiantCopy(a, x);
    return false;
  }
  if (t0->sign < 0) GiantAdd(m, t0);
  GiantCopy(t0, x);
  return true;
}

void GiantRandom(GiantInt x, int len_bits, bool top1, bool bottom1) {
  if (len_bits > kGiantWords * 32) throw EGiantIntError("Assignment overflow in GiantRandom");
  GiantClear(x);
  if (len_bits <= 0) return;
  int words = (len_bits + 31) / 32;
  FillOsRandom(x->n, sizeof(uint32_t) * static_cast<size_t>(words));
  int top_bit = (len_bits - 1) % 32;
  uint32_t mask = top_bit == 31 ? 0xFFFFFFFFu : ((1u << (top_bit + 1)) - 1);
  x->n[words - 1] &= mask;
  if (top1) x->n[words - 1] |= 1u << top_bit;
  if (bottom1) x->n[0] |= 1u;
  Normalize(x, words, false);
}

bool GiantHasSmallFactor(GiantInt x) {
  for (uint32_t p : kSmallPrimes) {
    if (ModSmall(x, p) == 0) return !(Len(x) == 1 && x->n[0] == p);
  }
  return (Len(x) > 1 || x->n[0] > 2) && !GiantIsOdd(x);
}

bool GiantIsProbablePrime(GiantInt x, int rounds) {
  GiantAbs(x);
  if (Len(x) <= 1) {
    uint32_t v = x->n[0];
    if (v == 2) return true;
    if (v < 2 || v % 2 == 0) return false;
    for (uint32_t d = 3;; d += 2) {
      if (v / d < d) return true;
      if (v % d == 0) return false;
    }
  }
  if (!GiantIsOdd(x)) return false;
  Scratch n1, y, e;
  GiantCopy(x, n1);
  GiantAddInt(-1, n1);
  // Fermat test with base 210.
  GiantFromInt(210, y);
  GiantPowerMod(y, n1, x);
  if (!GiantIsOne(y)) return false;
  // x - 1 = 2^s * t
  int s = 0;
  while (!GiantTestBit(n1, s)) ++s;
  Scratch t, two, b;
  GiantCopy(n1, t);
  GiantShiftRight(s, t);
  GiantFromInt(2, two);
  int bits = GiantBitLength(x);
  for (int round = 0; round < rounds; ++round) {
    GiantRandom(b, bits, false, false);
    while (GiantCompare(b, x) >= 0) GiantSub(x, b);
    GiantAddInt(1, b);
    // A base equal to x is no witness (its powers are 0); take x - 1, which always passes.
    if (GiantCompare(b, x) == 0) GiantCopy(n1, b);
    GiantCopy(b, y);
    GiantPowerMod(y, t, x);
    if (GiantIsOne(y) || GiantCompare(y, n1) == 0) continue;
    bool passed = false;
    for (int i = 1; i < s; ++i) {
      GiantPowerMod(y, two, x);
      if (GiantCompare(y, n1) == 0) {
        passed = true;
        break;
      }
      if (GiantIsOne(y)) break;
    }
    if (!passed) return false;
  }
  return true;
}

std::string GiantToHex(GiantInt x) {
  if (!x || x->sign < 0) return "";
  if (x->sign == 0) return "00";
  static const char digits[] = "0123456789ABCDEF";
  int bytes = GiantByteLength(x);
  std::string out;
  out.reserve(static_cast<size_t>(bytes) * 2);
  for (int i = bytes - 1; i >= 0; --i) {
    uint8_t b = static_cast<uint8_t>(x->n[i / 4] >> (8 * (i % 4)));
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

void HexToGiant(const std::string& hex, GiantInt x) {
  if (hex.size() > static_cast<size_t>(kGiantMaxHexDigits)) throw EGiantIntError("Assignment overflow in HexToGiant");
  GiantClear(x);
  int digits = static_cast<int>(hex.size());
  for (int i = 0; i < digits; ++i) {
    char c = hex[static_cast<size_t>(digits - 1 - i)];
    uint32_t v;
    if (c >= '0' && c <= '9')
      v = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      v = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
      v = static_cast<uint32_t>(c - 'a' + 10);
    else {
      GiantClear(x);
      throw EConvertError("'" + hex + "' is not a valid hexadecimal number");
    }
    x->n[i / 8] |= v << (4 * (i % 8));
  }
  Normalize(x, (digits + 7) / 8, false);
}

}  // namespace qv
