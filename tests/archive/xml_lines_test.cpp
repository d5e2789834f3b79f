#include "archive/xml_lines.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/utils.h"
#include "platform/rtl/exception.h"

namespace qv {
namespace {

TDateTime Stamp(int y, int mo, int d, int h, int mi, int s, int ms) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

TEST(XmlLines, WritersGiveTheLineFormsExactly) {
  EXPECT_EQ(XmlTagLine("Title", "K\xC3\xBChlraum", 2), "    <Title>K\xC3\xBChlraum</Title>");
  EXPECT_EQ(XmlTagOpenClose("DocContent Id=\"DocContent\"", true, 1), "  <DocContent Id=\"DocContent\">");
  EXPECT_EQ(XmlTagOpenClose("DocContent", false, 1), "  </DocContent>");
  EXPECT_EQ(XmlTagOpenClose("DigestMethod Algorithm=\"A\" /", true, 0), "<DigestMethod Algorithm=\"A\" />");
  EXPECT_EQ(XmlDataRowLine(7, 2, 3, -1.501e38, Stamp(2004, 3, 17, 14, 5, 9, 250)),
            "      <DataRow Time=\"2004-03-17T14:05:09.250Z\" Logger=\"7\" Channel=\"2\" Value=\"-1.501E+038\" />");
}

TEST(XmlLines, ValueTextForms) {
  struct Case {
    double value;
    int precision;
    const char* text;
  } cases[] = {{23.5, 15, "23.5"},
               {-40, 15, "-40"},
               {0.1, 15, "0.1"},
               {123456.7, 6, "123457"},
               {1234567, 6, "1.23457E+006"},
               {0.000001, 6, "1E-006"},
               {-1.501e38, 6, "-1.501E+038"}};
  for (const Case& c : cases) EXPECT_EQ(FloatToXmlText(c.value, c.precision), c.text) << c.value;

  EXPECT_EQ(BoolToXmlText(true), "True");
  EXPECT_EQ(BoolToXmlText(false), "False");
  for (const char* yes : {"True", "TRUE", "true", "tRuE"}) EXPECT_TRUE(XmlTextToBool(yes)) << yes;
  for (const char* no : {"False", "1", "", " True"}) EXPECT_FALSE(XmlTextToBool(no)) << no;
}

TEST(XmlLines, NumberTextsAgreeWithTheRuntimeGeneralFormat) {
  // The quick path for values that need no rounding against the runtime's full conversion, over
  // magnitudes from both sides of every switch between fixed and exponent form.
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 134775813u + 1u; };
  for (int i = 0; i < 20000; ++i) {
    const int exponent = static_cast<int>(next() % 50) - 25;
    const int digits = static_cast<int>(next() % 9) + 1;
    double mantissa = static_cast<double>(next() % 1000000000u);
    for (int d = 9; d > digits; --d) mantissa = std::floor(mantissa / 10);
    const double value = (next() & 1 ? -1 : 1) * mantissa * std::pow(10.0, exponent);
    for (int precision : {6, 15}) {
      std::string expected = FloatToStrF2(TFloatFormat::ffGeneral, precision, 3, value);
      const size_t e = expected.find('E');
      if (e != std::string::npos && expected[e + 1] != '-') expected.insert(e + 1, "+");
      ASSERT_EQ(FloatToXmlText(value, precision), expected) << value << " " << precision;
    }
  }
}

TEST(XmlLines, DateTimesReadBackAsTheClockTimeWritten) {
  const TDateTime t = Stamp(2004, 3, 17, 14, 5, 9, 250);
  EXPECT_EQ(DateTimeToXmlText(t), "2004-03-17T14:05:09.250Z");
  EXPECT_NEAR(XmlTextToDateTime("2004-03-17T14:05:09.250Z"), t, 1e-9);
  // An explicit offset is converted to the UTC reading.
  EXPECT_NEAR(XmlTextToDateTime("2004-03-17T16:05:09.250+02:00"), t, 1e-9);
  // Any time of the base day reads as 0.
  EXPECT_EQ(XmlTextToDateTime("1899-12-30T12:00:00.000Z"), 0);
  for (const char* bad : {"", "2004-03-17", "2004-13-01T00:00:00Z", "2004-03-17T14:05:09.250Zx", "17.03.2004 14:05",
                          "2004-03-17T25:00:00Z", "2004-03-17T14:05:09.Z"})
    EXPECT_THROW(XmlTextToDateTime(bad), EConvertError) << bad;
}

TEST(XmlLines, TagTestsAreCaseSensitiveSubstringSearches) {
  int counter = 5;
  EXPECT_TRUE(XmlHasTag("      <ChannelItem>", "Channel", true, counter));
  EXPECT_EQ(counter, 6);
  EXPECT_FALSE(XmlHasTag("    </Data>", "Data", true, counter));
  EXPECT_FALSE(XmlHasTag("    <data>", "Data", true, counter));
  EXPECT_TRUE(XmlHasTag("    </Data>", "Data", false, counter));
  EXPECT_EQ(counter, 7);

  std::string text;
  EXPECT_TRUE(XmlGetTagText("<a><b>x</b><b>y</b></a>", "b", text));
  EXPECT_EQ(text, "x");
  EXPECT_FALSE(XmlGetTagText("<b>open only", "b", text));
  EXPECT_TRUE(XmlGetAttribute("<DataRow Value=\"1\" Time=\"t\" />", "Time", text));
  EXPECT_EQ(text, "t");
  EXPECT_FALSE(XmlGetAttribute("<DataRow Time=\"cut", "Time", text));
}

TEST(XmlLines, ReadersAdvanceOnlyOnSuccessAndRaiseOnlyForFloatsAndTimes) {
  int counter = 0;
  int32_t i = 0;
  EXPECT_FALSE(XmlReadInteger("<TypeID>3a</TypeID>", "TypeID", counter, i));
  EXPECT_FALSE(XmlReadInteger("<TypeID>99999999999</TypeID>", "TypeID", counter, i));
  EXPECT_FALSE(XmlReadInteger("<TypeID></TypeID>", "TypeID", counter, i));
  EXPECT_EQ(counter, 0);
  EXPECT_TRUE(XmlReadInteger("<TypeID>-12</TypeID>", "TypeID", counter, i));
  EXPECT_EQ(i, -12);
  EXPECT_EQ(counter, 1);

  double f = 0;
  EXPECT_TRUE(XmlReadFloat("<ChannelMin>23,5</ChannelMin>", "ChannelMin", counter, f));
  EXPECT_EQ(f, 23.5);
  EXPECT_TRUE(XmlReadFloat("<ChannelMin>23.5</ChannelMin>", "ChannelMin", counter, f));
  EXPECT_EQ(f, 23.5);
  EXPECT_THROW(XmlReadFloat("<ChannelMin>1.234,5</ChannelMin>", "ChannelMin", counter, f), EConvertError);
  EXPECT_THROW(XmlReadFloat("<ChannelMin>abc</ChannelMin>", "ChannelMin", counter, f), EConvertError);
  EXPECT_FALSE(XmlReadFloat("<ChannelMax>1</ChannelMax>", "ChannelMin", counter, f));
  EXPECT_EQ(counter, 3);

  std::string s;
  EXPECT_TRUE(
      XmlReadString("<Unit>\xB0"
                    "C</Unit>",
                    "Unit", counter, s));  // an older file's Windows-1252
  EXPECT_EQ(s,
            "\xC2\xB0"
            "C");
}

TEST(XmlLines, DataRowsNeedEveryAttributeInAnyOrder) {
  int counter = 0;
  TDateTime time = 0;
  int32_t logger = 0, channel = 0;
  double value = 0;
  EXPECT_TRUE(XmlReadDataRow("<DataRow Value=\"4,25\" Channel=\"2\" Logger=\"7\" Time=\"2004-03-16T00:00:00.000Z\" />",
                             counter, time, logger, channel, value));
  EXPECT_EQ(counter, 1);
  EXPECT_EQ(logger, 7);
  EXPECT_EQ(channel, 2);
  EXPECT_EQ(value, 4.25);
  EXPECT_EQ(time, EncodeDate(2004, 3, 16));
  for (const char* bad : {"<DataRow Time=\"2004-03-16T00:00:00Z\" Logger=\"7\" Channel=\"2\" />",
                          "<DataRow Time=\"2004-03-16T00:00:00Z\" Logger=\"x\" Channel=\"2\" Value=\"1\" />",
                          "<DataRow Time=\"2004-03-16T00:00:00Z\" Logger=\"7\" Channel=\"2\" Value=\"1e\" />",
                          "<Row Time=\"2004-03-16T00:00:00Z\" Logger=\"7\" Channel=\"2\" Value=\"1\" />", "</Data>"})
    EXPECT_FALSE(XmlReadDataRow(bad, counter, time, logger, channel, value)) << bad;
  EXPECT_EQ(counter, 1);
  EXPECT_THROW(XmlReadDataRow("<DataRow Time=\"yesterday\" Logger=\"7\" Channel=\"2\" Value=\"1\" />", counter, time,
                              logger, channel, value),
               EConvertError);
}

TEST(XmlLines, MultiLineValuesReadBackWithTheirLineBreaks) {
  const TXmlLineViews lines = {"<Other/>", "  <Text>first", "", "middle", "last </Text>", "<Page>1</Page>"};
  int counter = 1;
  std::string text;
  ASSERT_TRUE(XmlReadMultiLineString(lines, "Text", counter, text));
  EXPECT_EQ(text, "first\r\n\r\nmiddle\r\nlast ");
  EXPECT_EQ(counter, 5);

  counter = 1;
  const TXmlLineViews unclosed = {"x", "<Text>first", "second"};
  EXPECT_FALSE(XmlGetMultiLineText(unclosed, "Text", counter, text));
  EXPECT_EQ(counter, 1);
  counter = 7;
  EXPECT_FALSE(XmlGetMultiLineText(lines, "Text", counter, text));  // past the end
  EXPECT_EQ(FindLineContaining(lines, "Page", 0), 5);
  EXPECT_EQ(FindLineContaining(lines, "Page", 6), -1);
}

}  // namespace
}  // namespace qv
