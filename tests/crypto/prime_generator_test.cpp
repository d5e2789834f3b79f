#include "crypto/prime_generator.h"

#include <gtest/gtest.h>

#include "crypto/external_tool.h"

namespace qv {
namespace {

TEST(PrimeGenerator, RoundTableAndLengthClamp) {
  TAS_PrimeGenerator gen;
  const std::pair<int, int> rows[] = {{4096, 2}, {1300, 2}, {1299, 3}, {850, 3},  {650, 4},
                                      {550, 5},  {450, 6},  {400, 7},  {350, 8},  {300, 9},
                                      {256, 12}, {200, 15}, {150, 18}, {149, 27}, {16, 27}};
  for (auto [bits, rounds] : rows) EXPECT_EQ(gen.PrimeTestRounds(bits), rounds) << bits;
  EXPECT_EQ(gen.LengthBits(), 1024);
  gen.SetLengthBits(8);
  EXPECT_EQ(gen.LengthBits(), 16);
  gen.SetLengthBits(5000);
  EXPECT_EQ(gen.LengthBits(), 4096);
  EXPECT_TRUE(gen.Top1());
  EXPECT_TRUE(gen.Bottom1());
}

// Generated primes of several sizes are confirmed by openssl; the search reports each
// candidate and pumps messages once per candidate.
TEST(PrimeGenerator, SearchFindsPrimesOfExactLength) {
  QV_REQUIRE_TOOL("openssl");
  TAS_PrimeGenerator gen;
  int tries = 0, pumps = 0;
  gen.OnTryRandomPrime = [&](TComponent* sender, GiantInt, int bits, bool top1, bool bottom1) {
    EXPECT_EQ(sender, &gen);
    EXPECT_EQ(bits, 256);
    EXPECT_TRUE(top1 && bottom1);
    ++tries;
  };
  gen.ProcessMessages = [&] { ++pumps; };
  GiantPtr p = MakeGiant();
  gen.Generate(p.get(), 256);
  EXPECT_GE(tries, 1);
  EXPECT_EQ(pumps, tries);
  gen.OnTryRandomPrime = nullptr;
  std::string args = GiantToHex(p.get());
  EXPECT_EQ(GiantBitLength(p.get()), 256);
  for (int bits : {16, 33, 100, 512}) {
    gen.Generate(p.get(), bits);
    EXPECT_EQ(GiantBitLength(p.get()), bits);
    EXPECT_TRUE(GiantIsOdd(p.get()));
    args += ' ';
    args += GiantToHex(p.get());
  }
  std::string out = test::RunTool("openssl prime -hex " + args);
  EXPECT_EQ(out.find("not prime"), std::string::npos) << out;
}

TEST(PrimeGenerator, StopSearchGivesZeroAndResets) {
  TAS_PrimeGenerator gen;
  gen.ProcessMessages = [&] { gen.SetStopSearch(true); };
  GiantPtr p = MakeGiant();
  gen.Generate(p.get(), 512);
  EXPECT_TRUE(GiantIsZero(p.get()));
  EXPECT_FALSE(gen.StopSearch());
}

TEST(PrimeGenerator, EventsAndCustomFill) {
  TAS_CustomRandomGenerator gen;
  std::string order;
  gen.OnBeforeGenRandom = [&](TComponent*, GiantInt, int, bool, bool) { order += "B"; };
  gen.OnAfterGenRandom = [&](TComponent*, GiantInt, int, bool, bool) { order += "A"; };
  GiantPtr x = MakeGiant();
  gen.SetBottom1(false);
  gen.Generate(x.get(), 40);
  EXPECT_EQ(order, "BA");
  EXPECT_EQ(GiantBitLength(x.get()), 40);
  gen.OnCustomGenRandom = [&](TComponent*, GiantInt rnd, int, bool, bool) {
    order += "C";
    GiantFromInt(42, rnd);
  };
  gen.Generate(x.get(), 40);
  EXPECT_EQ(order, "BABCA");
  EXPECT_EQ(GiantToHex(x.get()), "2A");
}

}  // namespace
}  // namespace qv
