#include "base/utils.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace qv {
namespace {

TEST(NumberText, StrToFloat2TakesPointOrComma) {
  EXPECT_DOUBLE_EQ(StrToFloat2("3,25"), 3.25);
  EXPECT_DOUBLE_EQ(StrToFloat2("3.25"), 3.25);
  EXPECT_DOUBLE_EQ(StrToFloat2(" -1,5E2"), -150);
  try {
    StrToFloat2("1.000,5");
    FAIL() << "mixed separators accepted";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "StrToFloat2: 1.000,5ThousandSeparator not permitted");
  }
  EXPECT_THROW(StrToFloat2("1,2,3"), EConvertError);
  EXPECT_THROW(StrToFloat2("abc"), EConvertError);
  EXPECT_THROW(StrToFloat2(""), EConvertError);
}

// Runs a test body under a locale whose decimal separator is ",".
struct CommaLocale : ::testing::Test {
  char saved = FormatSettings.DecimalSeparator;
  CommaLocale() { FormatSettings.DecimalSeparator = ','; }
  ~CommaLocale() override { FormatSettings.DecimalSeparator = saved; }
};

TEST_F(CommaLocale, FileTextKeepsPointScreenTextTakesComma) {
  EXPECT_EQ(FloatToStrF2(TFloatFormat::ffGeneral, 15, 0, 0.5), "0.5");
  EXPECT_EQ(FormatSettings.DecimalSeparator, ',');
  EXPECT_DOUBLE_EQ(StrToFloat2("3.25"), 3.25);
  EXPECT_DOUBLE_EQ(StrToFloat2("3,25"), 3.25);
  EXPECT_EQ(FloatToWidthStr(5, 2, 1.5), " 1,50");
  EXPECT_EQ(FloatToWidthStr(5, 2, 123456.0), "1,2E5");
}

TEST(Exceptions, Exception2) {
  try {
    throw Exception2::CreateFmt("Channel %d of %s", 3, "Logger");
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Channel 3 of Logger");
    EXPECT_EQ(e.ClassName(), "Exception2");
  }
}

TEST(NumberText, FloatToStrF2AlwaysWritesPointFromAnyThread) {
  EXPECT_EQ(FloatToStrF2(TFloatFormat::ffGeneral, 15, 0, 0.5), "0.5");
  EXPECT_EQ(FloatToStrF2(TFloatFormat::ffGeneral, 7, 0, 1.0 / 3.0), "0.3333333");
  std::vector<std::thread> threads;
  std::vector<int> bad(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &bad] {
      for (int i = 0; i < 2000; ++i) {
        const std::string s = t % 2 ? FloatToStrF2(TFloatFormat::ffGeneral, 15, 0, 2.25)
                                    : FloatToStrF(2.25, TFloatFormat::ffGeneral, 15, 0, ',');
        if (s != (t % 2 ? "2.25" : "2,25")) ++bad[static_cast<size_t>(t)];
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(bad, std::vector<int>(4, 0));
}

TEST(NumberText, FloatToWidthStr) {
  struct Case {
    uint8_t width, decimals;
    double value;
    const char* text;
  } cases[] = {
      {5, 2, 1.5, " 1.50"},          {5, 2, -1.5, "-1.50"},      {4, 1, 0.00001234, " 0.0"}, {5, 2, 123456.0, "1.2E5"},
      {8, 2, -123456.0, "-1.235E5"}, {5, 2, -123456.0, " -1E5"}, {6, 2, -12345.0, "-1.2E4"}, {3, 0, 12345.0, "1E4"},
      {2, 0, 12345.0, "E4"},         {4, 0, 1e20, "1E20"},       {3, 1, -1e5, "-E5"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToWidthStr(c.width, c.decimals, c.value), c.text) << c.text;
}

TEST(NumberText, ExponentDecimalsAndTextLength) {
  struct Case {
    double x;
    int exponent, decimals, length;
  } cases[] = {
      {123.45, 2, 4, 7}, {0.05, -2, 2, 2},         {25, 1, 1, 2},   {-2.5, 0, 1, 4}, {0, 0, 0, 2}, {1e-9, -9, 9, 2},
      {0.125, -1, 3, 4}, {1234.5678912, 3, 8, 12}, {-1e6, 6, 0, 8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatExponent(c.x), c.exponent) << c.x;
    EXPECT_EQ(FloatDecimals(c.x), c.decimals) << c.x;
    EXPECT_EQ(FloatTextLength(c.x), c.length) << c.x;
  }
}

TEST(Text, BlanksAndTokens) {
  EXPECT_EQ(TrimLeftBlanks("  a b \t"), "a b \t");
  EXPECT_EQ(TrimRightBlanks("\t a b  "), "\t a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks(" x "), "x");

  std::string s = "Trace-";
  EXPECT_TRUE(AddToken(s, "ProtocolShort-"));
  EXPECT_EQ(s, "Trace-ProtocolShort-");
  EXPECT_FALSE(AddToken(s, "ProtocolShort-"));
  EXPECT_FALSE(AddToken(s, "Short"));  // a plain substring counts
  EXPECT_FALSE(RemoveToken(s, "Absent-"));
  EXPECT_TRUE(RemoveToken(s, "Trace-"));
  EXPECT_EQ(s, "ProtocolShort-");
}

TEST(BitMasks, SetClearAndTest) {
  uint16_t flags = 0x0101;
  SetBits(0x8000, flags);
  EXPECT_EQ(flags, 0x8101);
  ClearBits(0x0100, flags);
  EXPECT_EQ(flags, 0x8001);
  EXPECT_TRUE(AnyBitSet(0x0003, flags));
  EXPECT_FALSE(AllBitsSet(0x0003, flags));
  EXPECT_TRUE(AllBitsSet(0x8001, flags));
  EXPECT_FALSE(AnyBitSet(0x0002, flags));
}

}  // namespace
}  // namespace qv
