#pragma once
// Random big numbers and the probable-prime search as kit components. The archive's user
// manager owns one TAS_PrimeGenerator and hands it to its RSA component.
#include <functional>

#include "crypto/as_component.h"
#include "crypto/giant_int.h"

namespace qv {

using TGenRandomEvent = std::function<void(TComponent* sender, GiantInt rnd, int len_bits, bool top1, bool bottom1)>;

class TAS_CustomRandomGenerator : public TAS_Component {
public:
  explicit TAS_CustomRandomGenerator(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_CustomRandomGenerator"; }

  // Stored for the caller; the generation calls take the bit length as an argument.
  int LengthBits() const { return length_bits_; }
  virtual void SetLengthBits(int value) { length_bits_ = value; }
  bool Top1() const { return top1_; }
  void SetTop1(bool value) { top1_ = value; }
  bool Bottom1() const { return bottom1_; }
  void SetBottom1(bool value) { bottom1_ = value; }
  GiantInt WorkNumber() const { return work_.get(); }

  // GenerateRandom with the component's own top1/bottom1 flags.
  void Generate(GiantInt rnd, int len_bits);
  // Clears rnd and fills it through OnCustomGenRandom when set, else through FillRandom.
  virtual void GenerateRandom(GiantInt rnd, int len_bits, bool top1, bool bottom1);
  virtual void FillRandom(GiantInt rnd, int len_bits, bool top1, bool bottom1);

  TGenRandomEvent OnBeforeGenRandom, OnCustomGenRandom, OnAfterGenRandom;

protected:
  int length_bits_ = 1024;
  bool top1_ = true;
  bool bottom1_ = true;
  GiantPtr work_;
};

class TAS_CustomPrimeGenerator : public TAS_CustomRandomGenerator {
public:
  using TAS_CustomRandomGenerator::TAS_CustomRandomGenerator;
  std::string ClassName() const override { return "TAS_CustomPrimeGenerator"; }

  // The prime search: an odd start of exactly len_bits bits, then steps of 2 until a candidate
  // passes the probable-prime test; top1 and bottom1 are always set. A stopped search leaves 0.
  void FillRandom(GiantInt rnd, int len_bits, bool top1, bool bottom1) override;
  // Miller-Rabin rounds for a number of len_bits bits.
  virtual int PrimeTestRounds(int len_bits) const;

  bool StopSearch() const { return stop_search_; }
  void SetStopSearch(bool value) { stop_search_ = value; }

  TGenRandomEvent OnTryRandomPrime;
  // Called once per candidate so a GUI caller can keep its window alive (and set StopSearch).
  std::function<void()> ProcessMessages;

private:
  bool stop_search_ = false;
};

class TAS_PrimeGenerator : public TAS_CustomPrimeGenerator {
public:
  using TAS_CustomPrimeGenerator::TAS_CustomPrimeGenerator;
  std::string ClassName() const override { return "TAS_PrimeGenerator"; }
  // Clamped to 16 to 4096 bits.
  void SetLengthBits(int value) override;
};

}  // namespace qv
