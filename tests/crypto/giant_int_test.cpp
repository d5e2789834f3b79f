#include "crypto/giant_int.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "crypto/external_tool.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

GiantPtr G(const std::string& signed_hex) {
  GiantPtr g = MakeGiant();
  bool negative = !signed_hex.empty() && signed_hex[0] == '-';
  HexToGiant(negative ? signed_hex.substr(1) : signed_hex, g.get());
  if (negative) GiantNegate(g.get());
  return g;
}

std::string SignedHex(GiantInt x) {
  if (GiantSign(x) >= 0) return GiantToHex(x);
  GiantPtr a = MakeGiant();
  GiantCopy(x, a.get());
  GiantAbs(a.get());
  return "-" + GiantToHex(a.get());
}

std::string RandomHex(int bits, bool allow_negative) {
  GiantPtr g = MakeGiant();
  GiantRandom(g.get(), bits, false, false);
  std::string h = GiantToHex(g.get());
  uint8_t coin;
  GiantToBytes(g.get(), &coin, 1, false);
  return allow_negative && (coin & 0x80) ? "-" + h : h;
}

template <typename F>
void ExpectThrowsText(F f, const std::string& text) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected " << text;
  } catch (const EGiantIntError& e) {
    EXPECT_EQ(e.Message(), text);
  }
}

TEST(GiantInt, TextAndByteConversions) {
  EXPECT_EQ(GiantToHex(G("0").get()), "00");
  EXPECT_EQ(GiantToHex(G("FF").get()), "FF");
  EXPECT_EQ(GiantToHex(G("100").get()), "0100");
  EXPECT_EQ(GiantToHex(G("000000ab").get()), "AB");
  EXPECT_EQ(GiantToHex(G("-5").get()), "");
  EXPECT_EQ(GiantToHex(nullptr), "");
  GiantPtr abc = G("ABC");
  GiantPtr expect = MakeGiant();
  GiantFromInt(2748, expect.get());
  EXPECT_EQ(GiantCompare(abc.get(), expect.get()), 0);
  EXPECT_THROW(G("12G4"), EConvertError);

  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05};
  GiantPtr x = MakeGiant();
  pbtog(bytes, 5, x.get(), true);
  EXPECT_EQ(GiantToHex(x.get()), "0102030405");
  pbtog(bytes, 5, x.get(), false);
  EXPECT_EQ(GiantToHex(x.get()), "0504030201");
  uint8_t out[7];
  GiantToBytes(x.get(), out, 7, true);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 7), (std::vector<uint8_t>{0, 0, 5, 4, 3, 2, 1}));
  EXPECT_EQ(GiantByteLength(x.get()), 5);
  EXPECT_EQ(GiantBitLength(x.get()), 35);
  EXPECT_TRUE(GiantTestBit(x.get(), 0));
  EXPECT_FALSE(GiantTestBit(x.get(), 1));
  EXPECT_FALSE(GiantTestBit(x.get(), 5000));
}

TEST(GiantInt, SizesBeyondTheRecordRaiseInsteadOfOverrunning) {
  std::vector<uint8_t> big(kGiantMaxBytes + 1, 0xFF);
  GiantPtr x = MakeGiant();
  ExpectThrowsText([&] { pbtog(big.data(), static_cast<int>(big.size()), x.get(), true); },
                   "Assignment overflow in pbtog");
  pbtog(big.data(), kGiantMaxBytes, x.get(), true);  // exactly full is fine
  EXPECT_EQ(GiantByteLength(x.get()), kGiantMaxBytes);
  ExpectThrowsText([&] { GiantShiftLeft(1, x.get()); }, "Left shift overflow");
  ExpectThrowsText([&] { GiantMul(x.get(), x.get()); }, "Multiplication overflow in GiantMul");
  ExpectThrowsText([&] { GiantAdd(x.get(), x.get()); }, "Addition overflow in GiantAdd");
  EXPECT_EQ(GiantByteLength(x.get()), kGiantMaxBytes);  // untouched by the failed operations
  EXPECT_EQ(GiantToHex(x.get()), std::string(kGiantMaxHexDigits, 'F'));
  ExpectThrowsText([&] { HexToGiant(std::string(kGiantMaxHexDigits + 1, '1'), x.get()); },
                   "Assignment overflow in HexToGiant");
  // A full-size modulus and base still exponentiate without leaving the record.
  GiantPtr m = MakeGiant(), e = MakeGiant(), b = MakeGiant();
  GiantCopy(x.get(), m.get());
  GiantFromInt(3, e.get());
  GiantCopy(x.get(), b.get());
  GiantAddInt(-1, b.get());
  GiantPowerMod(b.get(), e.get(), m.get());  // (m-1)^3 = -1 mod m
  GiantAddInt(1, b.get());
  EXPECT_EQ(GiantCompare(b.get(), m.get()), 0);
}

TEST(GiantInt, DivisionAndShiftRules) {
  GiantPtr zero = G("0"), three = G("3"), minus_three = G("-3");
  GiantPtr x = G("-7");
  modg(three.get(), x.get());
  EXPECT_EQ(SignedHex(x.get()), "-01");
  x = G("-7");
  divg(three.get(), x.get());
  EXPECT_EQ(SignedHex(x.get()), "-02");
  ExpectThrowsText([&] { divg(zero.get(), x.get()); }, "Zero division in divg");
  ExpectThrowsText([&] { modg(zero.get(), x.get()); }, "Zero division in modg");
  ExpectThrowsText([&] { divg(minus_three.get(), x.get()); }, "Negative divisor is not enabled in divg");
  ExpectThrowsText([&] { modg(minus_three.get(), x.get()); }, "Negative divisor is not enabled in modg");
  x = G("123456789ABCDEF");
  GiantShiftRight(60, x.get());
  EXPECT_EQ(GiantToHex(x.get()), "00");
  x = G("F0");
  GiantShiftLeft(-4, x.get());
  EXPECT_EQ(GiantToHex(x.get()), "0F");
  GiantShiftRight(-36, x.get());
  EXPECT_EQ(GiantToHex(x.get()), "F000000000");
}

TEST(GiantInt, InverseModulo) {
  GiantPtr m = G("C30");  // 3120
  GiantPtr x = G("11");   // 17
  EXPECT_TRUE(GiantInverseMod(m.get(), x.get()));
  EXPECT_EQ(GiantToHex(x.get()), "0AC1");  // 2753
  x = G("6");
  EXPECT_FALSE(GiantInverseMod(m.get(), x.get()));
  EXPECT_EQ(GiantToHex(x.get()), "06");
  x = G("-11");  // -17 = 3103 mod 3120, inverse 367
  EXPECT_TRUE(GiantInverseMod(m.get(), x.get()));
  EXPECT_EQ(GiantToHex(x.get()), "016F");
}

TEST(GiantInt, RandomNumbersKeepTheirBitRules) {
  GiantPtr x = MakeGiant();
  GiantPtr limit33 = G("200000000");
  for (int i = 0; i < 200; ++i) {
    GiantRandom(x.get(), 33, false, false);
    EXPECT_LT(GiantCompare(x.get(), limit33.get()), 0);
    GiantRandom(x.get(), 32, true, true);
    EXPECT_EQ(GiantBitLength(x.get()), 32);
    EXPECT_TRUE(GiantIsOdd(x.get()));
  }
  // Two 256-bit draws never coincide when the bits come from the system.
  GiantPtr y = MakeGiant();
  GiantRandom(x.get(), 256, true, false);
  GiantRandom(y.get(), 256, true, false);
  EXPECT_NE(GiantCompare(x.get(), y.get()), 0);
}

TEST(GiantInt, ProbablePrimeKnownCases) {
  struct Case {
    const char* hex;
    bool prime;
  } cases[] = {
      {"2", true},
      {"3", true},
      {"10001", true},
      {"1", false},
      {"4", false},
      {"0", false},
      {"FFFF", false},
      {"9", false},
      {"FFFFFFFB", true},                           // largest 32-bit prime
      {"10000000000000001", false},                 // 2^64 + 1
      {"1FFFFFFFFFFFFFFF", true},                   // 2^61 - 1
      {"-1FFFFFFFFFFFFFFF", true},                  // sign is dropped first
      {"1FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", false},  // 2^125-1
      {"7FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", true},   // 2^127 - 1
      {"231", false},                               // 561, a Carmichael number, by trial division
      {"51054959703164F2E1", false},                // a 71-bit Carmichael number: passes base 210, not the rounds
  };
  for (const Case& c : cases) {
    GiantPtr x = G(c.hex);
    EXPECT_EQ(GiantIsProbablePrime(x.get(), 27), c.prime) << c.hex;
  }
}

// Arithmetic on random operands up to the sizes RSA uses, checked against Python's integers.
TEST(GiantInt, RandomisedArithmeticMatchesPython) {
  QV_REQUIRE_TOOL("python3");
  struct Op {
    std::string name;
    std::function<std::string(GiantInt, GiantInt, GiantInt)> run;
  };
  const std::vector<Op> ops = {
      {"add",
       [](GiantInt a, GiantInt b, GiantInt) {
         GiantAdd(b, a);
         return SignedHex(a);
       }},
      {"sub",
       [](GiantInt a, GiantInt b, GiantInt) {
         GiantSub(b, a);
         return SignedHex(a);
       }},
      {"mul",
       [](GiantInt a, GiantInt b, GiantInt) {
         GiantMul(b, a);
         return SignedHex(a);
       }},
      {"div",
       [](GiantInt a, GiantInt, GiantInt m) {
         divg(m, a);
         return SignedHex(a);
       }},
      {"mod",
       [](GiantInt a, GiantInt, GiantInt m) {
         modg(m, a);
         return SignedHex(a);
       }},
      {"shl",
       [](GiantInt a, GiantInt, GiantInt) {
         GiantShiftLeft(77, a);
         return SignedHex(a);
       }},
      {"shr",
       [](GiantInt a, GiantInt, GiantInt) {
         GiantShiftRight(45, a);
         return SignedHex(a);
       }},
      {"pow",
       [](GiantInt a, GiantInt b, GiantInt m) {
         GiantAbs(a);
         GiantAbs(b);
         GiantPowerMod(a, b, m);
         return SignedHex(a);
       }},
      {"inv",
       [](GiantInt a, GiantInt, GiantInt m) {
         bool ok = GiantInverseMod(m, a);
         return (ok ? "T" : "F") + SignedHex(a);
       }},
  };
  const int sizes[] = {1, 31, 64, 65, 200, 300, 512, 1024, 2048};
  std::ostringstream input, expected_ours;
  std::vector<std::string> ours;
  for (const Op& op : ops) {
    for (int abits : sizes) {
      for (int mbits : sizes) {
        std::string a = RandomHex(abits, true), b = RandomHex(mbits, op.name != "pow");
        std::string m = RandomHex(mbits, false);
        if (G(m)->sign == 0) m = "01";
        if (op.name == "pow" && (mbits % 2 == 0)) m = m.substr(0, m.size() - 1) + "1";  // odd
        GiantPtr ga = G(a), gb = G(b), gm = G(m);
        ours.push_back(op.run(ga.get(), gb.get(), gm.get()));
        input << op.name << ' ' << a << ' ' << b << ' ' << m << '\n';
      }
    }
  }
  test::TempDir dir;
  dir.Write("cases.txt", input.str());
  dir.Write("check.py", R"(import sys
def h(s):
    return -int(s[1:], 16) if s.startswith('-') else int(s, 16)
def out(v):
    if v < 0: return '-' + out(-v)
    s = '%X' % v
    return s if len(s) % 2 == 0 else '0' + s
for line in open(sys.argv[1]):
    op, a, b, m = line.split()
    a, b, m = h(a), h(b), h(m)
    sgn = -1 if a < 0 else 1
    if op == 'add': r = out(a + b)
    elif op == 'sub': r = out(a - b)
    elif op == 'mul': r = out(a * b)
    elif op == 'div': r = out(sgn * (abs(a) // m))
    elif op == 'mod': r = out(sgn * (abs(a) % m))
    elif op == 'shl': r = out(sgn * (abs(a) << 77))
    elif op == 'shr': r = out(sgn * (abs(a) >> 45))
    elif op == 'pow': r = out(1 if b == 0 else pow(abs(a), abs(b), m))
    elif op == 'inv':
        import math
        x = a % m
        g = math.gcd(x, m)
        r = ('T' + out(pow(x, -1, m) if m != 1 else 0)) if g == 1 else ('F' + out(g))
    print(r)
)");
  std::string result = test::RunTool(test::Python3() + " " + dir.File("check.py") + " " + dir.File("cases.txt"));
  std::istringstream lines(result);
  std::istringstream cases(input.str());
  std::string expect, case_line;
  for (const std::string& got : ours) {
    ASSERT_TRUE(std::getline(lines, expect));
    std::getline(cases, case_line);
    EXPECT_EQ(got, expect) << case_line;
  }
}

// Probable-prime answers on random odd numbers agree with openssl's.
TEST(GiantInt, ProbablePrimeAgreesWithOpenssl) {
  QV_REQUIRE_TOOL("openssl");
  std::string args;
  std::vector<bool> ours;
  GiantPtr x = MakeGiant();
  for (int bits : {40, 64, 96}) {
    for (int i = 0; i < 40; ++i) {
      GiantRandom(x.get(), bits, true, true);
      ours.push_back(GiantIsProbablePrime(x.get(), 27));
      args += ' ';
      args += GiantToHex(x.get());
    }
  }
  std::istringstream out(test::RunTool("openssl prime -hex " + args));
  std::string line;
  for (bool prime : ours) {
    ASSERT_TRUE(std::getline(out, line));
    EXPECT_EQ(prime, line.find("is not prime") == std::string::npos) << line;
  }
}

}  // namespace
}  // namespace qv
