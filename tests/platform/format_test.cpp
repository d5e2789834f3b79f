#include "platform/rtl/format.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/rtl/exception.h"

namespace qv {
namespace {

TEST(FormatTest, Specifiers) {
  EXPECT_EQ(Format("%d|%5d|%-5d|%.3d", 42, 42, 42, 7), "42|   42|42   |007");
  EXPECT_EQ(Format("%d", -12), "-12");
  EXPECT_EQ(Format("%u %x %.4x", 4000000000u, 255, 10), "4000000000 FF 000A");
  EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
  EXPECT_EQ(Format("%s|%6s|%-6s|%.2s", "abc", "abc", "abc", "abc"), "abc|   abc|abc   |ab");
  EXPECT_EQ(Format("%f|%.1f|%.0f|%.2f", 1.005, 2.25, 2.5, 9.999), "1.00|2.3|3|10.00");
  EXPECT_EQ(Format("%e", 1234.5), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", -0.000123), "-1.23E-004");
  EXPECT_EQ(Format("%g|%g|%g|%g", 1.5, 100.0, 1e20, 0.00001), "1.5|100|1E20|1E-5");
  EXPECT_EQ(Format("%n", 1234567.891), "1,234,567.89");
  EXPECT_EQ(Format("%m", -3.5), "-$3.50");
  EXPECT_EQ(Format("%p", static_cast<const void*>(nullptr)), std::string(2 * sizeof(void*), '0'));
  EXPECT_EQ(Format("100%% %s", "sure"), "100% sure");
}

TEST(FormatTest, IndexAndStar) {
  EXPECT_EQ(Format("%1:s %0:s %s", "a", "b"), "b a b");
  EXPECT_EQ(Format("%*d|%.*f", 4, 7, 2, 3.14159), "   7|3.14");
}

TEST(FormatTest, SettingsSeparator) {
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  EXPECT_EQ(FormatV("%.2f %n", {1.5, 1234.5}, fs), "1,50 1.234,50");
}

TEST(FormatTest, BadFormatsRaiseConvertError) {
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s", 3), EConvertError);
  EXPECT_THROW(Format("%f", 3), EConvertError);
  EXPECT_THROW(Format("%d %d", 3), EConvertError);
  EXPECT_THROW(Format("%q", 3), EConvertError);
  EXPECT_THROW(Format("abc %", 3), EConvertError);
  EXPECT_THROW(Format("%*d", 1000000000, 1), EConvertError);  // no giant padding from an argument
}

TEST(FormatTest, NonFiniteValuesAreNamedNotShownAsNumbers) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const char* spec : {"%f", "%e", "%g", "%n", "%m", "%.3f"}) {
    EXPECT_EQ(Format(spec, inf), "INF") << spec;
    EXPECT_EQ(Format(spec, -inf), "-INF") << spec;
    EXPECT_EQ(Format(spec, nan), "NAN") << spec;
  }
}

}  // namespace
}  // namespace qv
