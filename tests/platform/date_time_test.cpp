#include "platform/rtl/date_time.h"

#include <gtest/gtest.h>

#include "platform/rtl/exception.h"

namespace qv {
namespace {

TEST(DateTimeTest, EncodeDecodeRoundTrip) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  uint16_t y, m, d, h, n, s, ms;
  DecodeDate(EncodeDate(2004, 2, 29) + EncodeTime(23, 59, 59, 999), y, m, d);
  EXPECT_EQ(std::tuple(y, m, d), std::tuple(2004, 2, 29));
  // Decoding rounds to whole milliseconds and carries into the date.
  TDateTime almost = EncodeDate(2004, 2, 29) + 0.99999999999;
  DecodeDate(almost, y, m, d);
  DecodeTime(almost, h, n, s, ms);
  EXPECT_EQ(std::tuple(y, m, d, h, n, s, ms), std::tuple(2004, 3, 1, 0, 0, 0, 0));
  DecodeDate(-700000.0, y, m, d);
  EXPECT_EQ(std::tuple(y, m, d), std::tuple(0, 0, 0));
}

TEST(DateTimeTest, ImpossibleValuesRaise) {
  EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(2001, 13, 1), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
}

TEST(DateTimeTest, FormatDateTimeSpecifiers) {
  TDateTime dt = EncodeDate(2007, 3, 4) + EncodeTime(13, 5, 9, 45);
  struct Case {
    const char* format;
    const char* text;
  } cases[] = {
      {"d.m.yy", "4.3.07"},
      {"dd/mm/yyyy", "04/03/2007"},
      {"ddd dddd", "Sun Sunday"},
      {"mmm mmmm", "Mar March"},
      {"hh:mm:ss", "13:05:09"},
      {"h:n:s.z", "13:5:9.45"},
      {"hh:nn:ss.zzz", "13:05:09.045"},
      {"hh:nn am/pm", "01:05 pm"},
      {"h:nn AMPM", "1:05 PM"},
      {"h a/p", "1 p"},
      {"'day' d \"of\" mmmm", "day 4 of March"},
      {"yyyy-mm-dd", "2007-03-04"},
      {"ddddd", "04/03/2007"},
      {"c", "04/03/2007 13:05:09"},
      {"tt", "13:05:09"},
      {"mm", "03"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, dt), c.text) << c.format;
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2007, 3, 4)), "04/03/2007");
  EXPECT_EQ(FormatDateTime("hh am/pm", EncodeTime(0, 30, 0, 0)), "12 am");
}

TEST(DateTimeTest, ParseDatesAndTimes) {
  TFormatSettings fs;
  fs.ShortDateFormat = "dd.mm.yyyy";
  fs.DateSeparator = '.';
  EXPECT_EQ(StrToDate("29.02.2004", fs), EncodeDate(2004, 2, 29));
  EXPECT_EQ(StrToDate(" 1.3.2005 ", fs), EncodeDate(2005, 3, 1));
  fs.ShortDateFormat = "mm/dd/yyyy";
  fs.DateSeparator = '/';
  EXPECT_EQ(StrToDate("12/31/2078", fs), EncodeDate(2078, 12, 31));
  fs.ShortDateFormat = "yyyy-mm-dd";
  fs.DateSeparator = '-';
  EXPECT_EQ(StrToDate("2010-01-01", fs), EncodeDate(2010, 1, 1));
  EXPECT_DOUBLE_EQ(StrToTime("01:02:03", fs), EncodeTime(1, 2, 3, 0));
  EXPECT_DOUBLE_EQ(StrToTime("1:02 PM", fs), EncodeTime(13, 2, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("12:00 AM", fs), 0.0);
  for (const char* bad : {"", "2004-02-30", "2004/02/01", "2004-02-01x", "abc"})
    EXPECT_THROW(StrToDate(bad, fs), EConvertError) << bad;
  for (const char* bad : {"", "25:00", "12:60", "1:2:3x", "13:00 PM"})
    EXPECT_THROW(StrToTime(bad, fs), EConvertError) << bad;
}

TEST(DateTimeTest, ClocksAreInjectable) {
  TFixedClock fixed(EncodeDate(2010, 6, 15) + EncodeTime(8, 30, 0, 0));
  EXPECT_EQ(Date(fixed), EncodeDate(2010, 6, 15));
  SetDefaultWallClock(&fixed);
  EXPECT_EQ(Now(), fixed.Now());
  SetDefaultWallClock(nullptr);
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}

}  // namespace
}  // namespace qv
