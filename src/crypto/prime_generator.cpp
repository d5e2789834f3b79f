#include "crypto/prime_generator.h"

#include <algorithm>

namespace qv {

TAS_CustomRandomGenerator::TAS_CustomRandomGenerator(TComponent* owner) : TAS_Component(owner), work_(MakeGiant()) {}

void TAS_CustomRandomGenerator::Generate(GiantInt rnd, int len_bits) { GenerateRandom(rnd, len_bits, top1_, bottom1_); }

void TAS_CustomRandomGenerator::GenerateRandom(GiantInt rnd, int len_bits, bool top1, bool bottom1) {
  if (OnBeforeGenRandom) OnBeforeGenRandom(this, rnd, len_bits, top1, bottom1);
  GiantClear(rnd);
  if (OnCustomGenRandom)
    OnCustomGenRandom(this, rnd, len_bits, top1, bottom1);
  else
    FillRandom(rnd, len_bits, top1, bottom1);
  if (OnAfterGenRandom) OnAfterGenRandom(this, rnd, len_bits, top1, bottom1);
}

void TAS_CustomRandomGenerator::FillRandom(GiantInt rnd, int len_bits, bool top1, bool bottom1) {
  GiantRandom(rnd, len_bits, top1, bottom1);
}

int TAS_CustomPrimeGenerator::PrimeTestRounds(int len_bits) const {
  static const struct {
    int bits, rounds;
  } table[] = {{1300, 2}, {850, 3}, {650, 4},  {550, 5},  {450, 6}, {400, 7},
               {350, 8},  {300, 9}, {250, 12}, {200, 15}, {150, 18}};
  for (const auto& row : table)
    if (len_bits >= row.bits) return row.rounds;
  return 27;
}

void TAS_CustomPrimeGenerator::FillRandom(GiantInt rnd, int len_bits, bool, bool) {
  const int rounds = PrimeTestRounds(len_bits);
  GiantRandom(rnd, len_bits, true, true);
  for (;;) {
    if (OnTryRandomPrime) OnTryRandomPrime(this, rnd, len_bits, true, true);
    if (ProcessMessages) ProcessMessages();
    if (stop_search_) {
      GiantClear(rnd);
      stop_search_ = false;
      return;
    }
    // The small-factor sieve only rejects composites; it spares most exponentiations.
    if (!GiantHasSmallFactor(rnd) && GiantIsProbablePrime(rnd, rounds)) return;
    GiantAddInt(2, rnd);
  }
}

void TAS_PrimeGenerator::SetLengthBits(int value) { length_bits_ = std::clamp(value, 16, 4096); }

}  // namespace qv
