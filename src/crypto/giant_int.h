#pragma once
// Multi-precision integers of fixed capacity (1,024 32-bit words) for RSA and the prime search.
// A GiantInt is a reference to a record allocated by GiantNew; every operation keeps the word
// count normalised and the words above it zero, and raises EGiantIntError instead of growing a
// result past the record.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/exception.h"

namespace qv {

QV_DECLARE_EXCEPTION(EGiantIntError, EMathError);

constexpr int kGiantWords = 1024;
constexpr int kGiantMaxBytes = kGiantWords * 4;
constexpr int kGiantMaxHexDigits = kGiantMaxBytes * 2;

struct TGiantRec {
  // |sign| words in use, the sign that of the number; 0 is zero.
  int32_t sign = 0;
  uint32_t n[kGiantWords] = {};
};
using GiantInt = TGiantRec*;

GiantInt GiantNew();
void GiantFree(GiantInt x);

// Owning handle for callers that keep a number beyond one scope.
struct GiantDeleter {
  void operator()(GiantInt x) const { GiantFree(x); }
};
using GiantPtr = std::unique_ptr<TGiantRec, GiantDeleter>;
inline GiantPtr MakeGiant() { return GiantPtr(GiantNew()); }

void GiantClear(GiantInt x);
void GiantCopy(GiantInt a, GiantInt x);
void GiantFromInt(int32_t i, GiantInt x);
// x := the number in len bytes, least significant first unless big_endian.
void pbtog(const uint8_t* bytes, int len, GiantInt x, bool big_endian);
// Writes the len lowest bytes of |x| (leading zero bytes kept).
void GiantToBytes(GiantInt x, uint8_t* bytes, int len, bool big_endian);

bool GiantIsZero(GiantInt x);
bool GiantIsOne(GiantInt x);
bool GiantIsOdd(GiantInt x);
int GiantSign(GiantInt x);
void GiantAbs(GiantInt x);
void GiantNegate(GiantInt x);
int GiantByteLength(GiantInt x);
int GiantBitLength(GiantInt x);
bool GiantTestBit(GiantInt x, int bit);

void GiantShiftLeft(int k, GiantInt x);
void GiantShiftRight(int k, GiantInt x);
int GiantCompare(GiantInt a, GiantInt b);

void GiantAdd(GiantInt a, GiantInt x);  // x := x + a
void GiantSub(GiantInt a, GiantInt x);  // x := x - a
void GiantAddInt(int32_t i, GiantInt x);
void GiantMul(GiantInt a, GiantInt x);  // x := a * x
void divg(GiantInt d, GiantInt x);      // x := x div d, truncated toward zero
void modg(GiantInt d, GiantInt x);      // x := x mod d, -(|x| mod d) for a negative x

// x := x^e mod m (e >= 0, m > 0); e = 0 gives 1.
void GiantPowerMod(GiantInt x, GiantInt e, GiantInt m);
// x := the inverse of x modulo m; false with x = gcd(x mod m, m) when there is none.
bool GiantInverseMod(GiantInt m, GiantInt x);

// A random number of len_bits bits from the operating system's generator.
void GiantRandom(GiantInt x, int len_bits, bool top1, bool bottom1);
bool GiantIsProbablePrime(GiantInt x, int rounds);
// True when x has a prime factor below a few thousand other than itself: a quick
// pre-test of the prime search that only ever rejects composites.
bool GiantHasSmallFactor(GiantInt x);

std::string GiantToHex(GiantInt x);
void HexToGiant(const std::string& hex, GiantInt x);

}  // namespace qv
