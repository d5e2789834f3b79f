#include "platform/rtl/text_encoding.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(TextEncoding, Windows1252RoundTripsAndUnmappableBecomesQuestionMark) {
  struct Case {
    std::string utf8;
    std::string cp1252;
  };
  for (const Case& c : {Case{"abc", "abc"},
                        Case{"°C",
                             "\xB0"
                             "C"},
                        Case{"€", "\x80"}, Case{"µg/m³", "\xB5g/m\xB3"}, Case{"Ω", "?"}, Case{"日本", "??"}}) {
    EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
    if (c.cp1252.find('?') == std::string::npos) {
      EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
    }
  }
  for (int b = 0; b < 256; ++b) {  // every byte survives the trip through UTF-8
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << b;
  }
}

TEST(TextEncoding, ValidatesUtf8) {
  EXPECT_TRUE(IsValidUtf8("Grüße"));
  EXPECT_FALSE(IsValidUtf8("Gr\xFC"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_EQ(TextLineToUtf8("\xB0"), "°");
}

}  // namespace
}  // namespace qv
