#include "platform/rtl/float_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/rtl/exception.h"

namespace qv {
namespace {

TEST(FloatText, FloatToStrFFormats) {
  struct Case {
    double value;
    TFloatFormat format;
    int precision, digits;
    char sep;
    const char* text;
  } cases[] = {
      {1.5, TFloatFormat::ffGeneral, 15, 0, '.', "1.5"},
      {1.5, TFloatFormat::ffGeneral, 15, 0, ',', "1,5"},
      {-0.25, TFloatFormat::ffGeneral, 15, 0, '.', "-0.25"},
      {100, TFloatFormat::ffGeneral, 15, 0, '.', "100"},
      {0, TFloatFormat::ffGeneral, 15, 0, '.', "0"},
      {-0.0, TFloatFormat::ffGeneral, 15, 0, '.', "0"},
      {0.1 + 0.2, TFloatFormat::ffGeneral, 15, 0, '.', "0.3"},
      {2.0 / 3.0, TFloatFormat::ffGeneral, 4, 0, '.', "0.6667"},
      {0.0001, TFloatFormat::ffGeneral, 15, 0, '.', "0.0001"},
      {0.00001, TFloatFormat::ffGeneral, 15, 0, '.', "1E-5"},
      {1e15, TFloatFormat::ffGeneral, 15, 0, '.', "1E15"},
      {123456, TFloatFormat::ffGeneral, 15, 0, '.', "123456"},
      {123456, TFloatFormat::ffGeneral, 3, 0, '.', "1.23E5"},
      {123456, TFloatFormat::ffGeneral, 3, 2, '.', "1.23E05"},
      {99999.5, TFloatFormat::ffGeneral, 5, 0, '.', "1E5"},
      {1234.5, TFloatFormat::ffExponent, 4, 2, '.', "1.235E+03"},
      {-0.00125, TFloatFormat::ffExponent, 3, 0, ',', "-1,25E-3"},
      {1.005, TFloatFormat::ffFixed, 15, 2, '.', "1.00"},  // 1.005 is just below in binary
      {123.456, TFloatFormat::ffFixed, 4, 2, '.', "123.50"},
      {-0.001, TFloatFormat::ffFixed, 15, 2, '.', "0.00"},
      {2.5, TFloatFormat::ffFixed, 15, 0, '.', "3"},  // halves away from zero
      {0.125, TFloatFormat::ffFixed, 15, 2, '.', "0.13"},
      {-0.125, TFloatFormat::ffGeneral, 2, 0, '.', "-0.13"},
      {0.006, TFloatFormat::ffFixed, 15, 2, '.', "0.01"},
      {9.9999, TFloatFormat::ffFixed, 15, 2, '.', "10.00"},
      {12345, TFloatFormat::ffFixed, 3, 2, '.', "1.23E+4"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits, c.sep), c.text) << c.text;
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(FloatText, DefaultScientificAndFixedWidth) {
  EXPECT_EQ(FloatToStrScientific(123456.0), " 1.23456000000000E+0005");
  EXPECT_EQ(FloatToStrScientific(-0.05), "-5.00000000000000E-0002");
  EXPECT_EQ(FloatToStrScientific(0), " 0.00000000000000E+0000");
  EXPECT_EQ(FloatToStrFixed(1.5, 5, 2), " 1.50");
  EXPECT_EQ(FloatToStrFixed(-1.5, 3, 1), "-1.5");
  EXPECT_EQ(FloatToStrFixed(123456.0, 5, 2), "123456.00");
  EXPECT_EQ(FloatToStrFixed(0.125, 0, 2), "0.13");
  EXPECT_EQ(FloatToStrFixed(-0.001, 5, 2), " 0.00");
  EXPECT_EQ(FloatToStrScientific(9.999999999999999), " 1.00000000000000E+0001");
}

TEST(FloatText, StrToFloatTakesOnlyItsSeparator) {
  struct Case {
    const char* text;
    char sep;
    bool ok;
    double value;
  } cases[] = {
      {"3.25", '.', true, 3.25}, {"3,25", ',', true, 3.25}, {" -1.5E3 ", '.', true, -1500}, {"+7", '.', true, 7},
      {".5", '.', true, 0.5},    {"5.", '.', true, 5},      {"3,25", '.', false, 0},        {"3.25", ',', false, 0},
      {"", '.', false, 0},       {".", '.', false, 0},      {"1e", '.', false, 0},          {"1.2.3", '.', false, 0},
      {"0x10", '.', false, 0},   {"1e999", '.', false, 0},  {"12abc", '.', false, 0},
  };
  for (const Case& c : cases) {
    double v = -99;
    EXPECT_EQ(TryStrToFloat(c.text, v, c.sep), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_THROW(StrToFloat("abc"), EConvertError);
}

}  // namespace
}  // namespace qv
