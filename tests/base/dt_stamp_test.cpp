#include "base/dt_stamp.h"

#include <gtest/gtest.h>

#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"

namespace qv {
namespace {

TDtStamp At(int d, int m, int y, int32_t secs) { return TDtStamp{DateToDayNo(d, m, y), secs}; }

::testing::AssertionResult SameStamp(const TDtStamp& a, const TDtStamp& b) {
  if (DtStampEqual(a, b)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "{" << a.Date << ", " << a.Time << "} != {" << b.Date << ", " << b.Time
                                       << "}";
}

TEST(DtStampTest, DayNumbersAndCalendar) {
  struct Case {
    int d, m, y;
    uint16_t day_no;
  } cases[] = {{1, 1, 1900, 0},       {28, 2, 1900, 58},    {1, 3, 1900, 59},     {1, 1, 2000, 36524},
               {31, 12, 2078, 65378}, {29, 2, 1900, 65535}, {29, 2, 2000, 36583}, {1, 1, 2079, 65535},
               {0, 1, 2000, 65535},   {1, 13, 2000, 65535}, {1, 1, 59, 58074},    {1, 1, 60, 21914},
               {31, 4, 2001, 65535}};
  for (const Case& c : cases) {
    EXPECT_EQ(DateToDayNo(c.d, c.m, c.y), c.day_no) << c.d << "." << c.m << "." << c.y;
    if (c.day_no == NoDayNo) continue;
    uint16_t d, m, y;
    DayNoToDate(c.day_no, d, m, y);
    EXPECT_EQ(d, c.d);
    EXPECT_EQ(m, c.m);
    EXPECT_EQ(y, c.y < 60 ? 2000 + c.y : (c.y < 100 ? 1900 + c.y : c.y));
  }
  uint16_t d, m, y;
  DayNoToDate(NoDayNo, d, m, y);
  EXPECT_EQ(d + m + y, 0);
  EXPECT_TRUE(LeapYear(2000));
  EXPECT_FALSE(LeapYear(1900));
  EXPECT_FALSE(LeapYear(4000));
  EXPECT_EQ(DaysOfMonth(2, 4), 29);  // 2004 by the pivot
  EXPECT_EQ(DaysOfMonth(13, 2004), 0);
  EXPECT_EQ(DayNoOfWeek(0), 1);
  EXPECT_EQ(DayNoOfWeek(6), 0);
  EXPECT_EQ(DayNoOfWeek(NoDayNo), 7);
  EXPECT_EQ(TimeToSecs(24, 0, 0), 0);
  EXPECT_EQ(TimeToSecs(1, 2, 3), 3723);
  uint8_t h, n, s;
  SecsToTime(86399, h, n, s);
  EXPECT_EQ(std::tuple(h, n, s), std::tuple(23, 59, 59));
  SecsToTime(-1, h, n, s);
  EXPECT_EQ(std::tuple(h, n, s), std::tuple(0, 0, 0));
}

TEST(DtStampTest, StampBytesAndOrder) {
  uint8_t b[6];
  PutDtStamp(b, NoDtStamp);
  for (uint8_t x : b) EXPECT_EQ(x, 0xFF);
  PutDtStamp(b, TDtStamp{0x1234, 3600});
  const uint8_t want[6] = {0x34, 0x12, 0x10, 0x0E, 0, 0};
  EXPECT_EQ(0, memcmp(b, want, 6));
  EXPECT_TRUE(SameStamp(GetDtStamp(b), TDtStamp{0x1234, 3600}));
  EXPECT_TRUE(DtStampLater(TDtStamp{2, 0}, TDtStamp{1, 86399}));
  EXPECT_TRUE(DtStampLater(TDtStamp{1, 0}, TDtStamp{1, -1}));
  EXPECT_FALSE(DtStampLater(TDtStamp{1, 5}, TDtStamp{1, 5}));
  EXPECT_TRUE(DtStampLaterOrEqual(TDtStamp{1, 5}, TDtStamp{1, 5}));
  EXPECT_DOUBLE_EQ(DtStampDiffDays(TDtStamp{10, 43200}, TDtStamp{12, 0}), 1.5);
  EXPECT_DOUBLE_EQ(DtStampDiffSecs(TDtStamp{12, 0}, TDtStamp{10, 43200}), -129600);
}

TEST(DtStampTest, IncDtStamp) {
  struct Case {
    TDtStamp from;
    int16_t months, days;
    int32_t secs;
    TDtStamp to;
  } cases[] = {
      {At(31, 1, 2007, 0), 1, 0, 0, At(3, 3, 2007, 0)},
      {At(31, 1, 2008, 0), 1, 0, 0, At(2, 3, 2008, 0)},
      {At(31, 3, 2007, 0), -1, 0, 0, At(3, 3, 2007, 0)},
      {At(15, 12, 2007, 5), 1, 0, 0, At(15, 1, 2008, 5)},
      {At(15, 1, 2008, 5), -13, 0, 0, At(15, 12, 2006, 5)},
      {At(15, 1, 2008, 5), 24, 0, 0, At(15, 1, 2010, 5)},
      {At(1, 3, 2008, 0), 0, -1, 0, At(29, 2, 2008, 0)},
      {At(1, 3, 2008, 0), 0, 0, -1, At(29, 2, 2008, 86399)},
      {At(1, 3, 2008, 100), 0, 0, -86600, At(28, 2, 2008, 86300)},
      {At(1, 3, 2008, 86000), 0, 0, 1000, At(2, 3, 2008, 600)},
      // The ends of the calendar hold instead of wrapping.
      {TDtStamp{0, 0}, 0, 0, -1, TDtStamp{0, 0}},
      {TDtStamp{3, 0}, 0, -10, 0, TDtStamp{0, 0}},
      {At(15, 12, 2078, 0), 1, 0, 0, TDtStamp{LastDayNo, 86399}},
      {At(15, 1, 1900, 0), -1, 0, 0, TDtStamp{0, 0}},
      {TDtStamp{LastDayNo, 86399}, 0, 0, 1, TDtStamp{LastDayNo, 86399}},
      {NoDtStamp, 1, 1, 1, NoDtStamp},
  };
  for (const Case& c : cases) {
    TDtStamp s = c.from;
    IncDtStamp(s, c.months, c.days, c.secs);
    EXPECT_TRUE(SameStamp(s, c.to)) << c.from.Date << " " << c.from.Time << " +" << c.months << "m " << c.days << "d "
                                    << c.secs << "s";
  }
  TDtStamp s{100, 86000};
  EXPECT_EQ(IncDtStamp(s, 0, 0, 1000), 1);
  EXPECT_EQ(IncDtStamp(s, 0, 0, -200000), 2);
  s = TDtStamp{100, 86000};
  EXPECT_EQ(IncDtStampSecs(s, 172800 + 400), 3);
  EXPECT_TRUE(SameStamp(s, TDtStamp{103, 0}));
}

TEST(DtStampTest, IsoWeeksAndWeeklyFileNames) {
  struct Case {
    int d, m, y;
    int week, week_year;
    const char* file;
  } cases[] = {
      {1, 1, 2010, 53, 2009, "KW0953.QVR"},   {29, 12, 2014, 1, 2015, "KW1501.QVR"},
      {31, 12, 2012, 1, 2013, "KW1301.QVR"},  {20, 3, 2007, 12, 2007, "KW0712.QVR"},
      {1, 1, 1900, 1, 1900, "KW0001.QVR"},    {4, 1, 2010, 1, 2010, "KW1001.QVR"},
      {3, 1, 2010, 53, 2009, "KW0953.QVR"},   {31, 12, 2078, 52, 2078, "KW7852.QVR"},
      {28, 12, 2009, 53, 2009, "KW0953.QVR"}, {1, 1, 2005, 53, 2004, "KW0453.QVR"},
  };
  for (const Case& c : cases) {
    uint16_t day = DateToDayNo(c.d, c.m, c.y);
    uint8_t week;
    uint16_t year;
    WeekOfDayNo(day, week, year);
    EXPECT_EQ(week, c.week) << c.d << "." << c.m << "." << c.y;
    EXPECT_EQ(year, c.week_year) << c.d << "." << c.m << "." << c.y;
    EXPECT_EQ(Format("KW%.2d%.2d.QVR", year % 100, int{week}), c.file);
    TDtStamp monday{0, 12345};
    IsoWeekStart(day, monday);
    EXPECT_EQ(DayNoOfWeek(monday.Date), 1);
    EXPECT_LE(day - monday.Date, 6);
    EXPECT_EQ(monday.Time, 12345);  // only the date is set
  }
  uint8_t week = 9;
  uint16_t year = 9;
  WeekOfDayNo(NoDayNo, week, year);
  EXPECT_EQ(week, 0);
  EXPECT_EQ(year, 0);
}

TEST(DtStampTest, LimitToOneYear) {
  TDtStamp stop = At(1, 3, 2005, 0);
  EXPECT_TRUE(LimitToOneYear(At(29, 2, 2004, 43200), stop));
  EXPECT_TRUE(SameStamp(stop, At(28, 2, 2005, 43199)));
  stop = At(10, 5, 2008, 0);
  EXPECT_TRUE(LimitToOneYear(At(10, 5, 2007, 0), stop));
  EXPECT_TRUE(SameStamp(stop, At(9, 5, 2008, 86399)));
  stop = At(9, 5, 2008, 86399);
  EXPECT_FALSE(LimitToOneYear(At(10, 5, 2007, 0), stop));
  EXPECT_FALSE(LimitToOneYear(NoDtStamp, stop));
  stop = At(31, 12, 2078, 0);
  EXPECT_FALSE(LimitToOneYear(At(1, 1, 2078, 0), stop));

  TDateTime dstop = EncodeDate(2005, 3, 1);
  EXPECT_TRUE(LimitToOneYearDT(dstop, EncodeDate(2004, 2, 29) + 0.5));
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", dstop), "2005-02-28 11:59:59");
  dstop = EncodeDate(2005, 2, 1);
  EXPECT_FALSE(LimitToOneYearDT(dstop, EncodeDate(2004, 2, 29)));
  EXPECT_FALSE(LimitToOneYearDT(dstop, NoDateTime));
}

TEST(DtStampTest, ZoomLevelOfSpan) {
  TDtStamp start = At(10, 1, 2007, 0);
  struct Case {
    int16_t months, days;
    int32_t secs;
    uint8_t level;
  } cases[] = {{0, 0, 10, 15},  {0, 0, 11, 14},   {0, 0, 41, 13},   {0, 0, 301, 12},  {0, 0, 601, 11}, {0, 0, 1801, 10},
               {0, 0, 5460, 8}, {0, 0, 5400, 10}, {0, 0, 28801, 7}, {0, 1, 43201, 6}, {0, 5, 1, 5},    {0, 10, 1, 4},
               {0, 14, 1, 3},   {1, 15, 1, 2},    {6, 0, 1, 1},     {14, 0, 1, 0},    {0, 0, 0, 15}};
  for (const Case& c : cases) {
    TDtStamp stop = start;
    IncDtStamp(stop, c.months, c.days, c.secs);
    EXPECT_EQ(ZoomLevelOfSpan(start, stop), c.level) << c.months << "m " << c.days << "d " << c.secs;
  }
  EXPECT_EQ(ZoomLevelOfSpan(NoDtStamp, start), 0);
}

struct Window {
  uint8_t level;
  TDtStamp start, stop;
};

TEST(DtStampTest, NamedWindowsAroundAStamp) {
  TDtStamp at = At(15, 2, 2008, 13 * 3600 + 47 * 60 + 38);  // a Friday
  struct Case {
    uint8_t level;
    Window want;
  } cases[] = {
      {0, {1, At(1, 1, 2008, 0), At(31, 12, 2008, 86399)}},
      {2, {3, At(1, 2, 2008, 0), At(29, 2, 2008, 86399)}},
      {4, {5, At(12, 2, 2008, 0), At(18, 2, 2008, 86399)}},
      {6, {7, At(15, 2, 2008, 0), At(15, 2, 2008, 86399)}},
      {8, {10, At(15, 2, 2008, 13 * 3600), At(15, 2, 2008, 13 * 3600 + 3599)}},
      {9, {9, At(15, 2, 2008, 10 * 3600), At(15, 2, 2008, 16 * 3600 - 1)}},
      {11, {12, At(15, 2, 2008, 13 * 3600 + 42 * 60), At(15, 2, 2008, 13 * 3600 + 52 * 60 - 1)}},
      {13, {13, At(15, 2, 2008, 13 * 3600 + 47 * 60), At(15, 2, 2008, 13 * 3600 + 47 * 60 + 59)}},
      {14, {15, At(15, 2, 2008, 13 * 3600 + 47 * 60 + 30), At(15, 2, 2008, 13 * 3600 + 47 * 60 + 39)}},
  };
  for (const Case& c : cases) {
    uint8_t level = c.level;
    TDtStamp start{}, stop{};
    LevelInterval(at, level, start, stop);
    EXPECT_EQ(level, c.want.level) << int{c.level};
    EXPECT_TRUE(SameStamp(start, c.want.start)) << int{c.level};
    EXPECT_TRUE(SameStamp(stop, c.want.stop)) << int{c.level};
  }
  // Centred windows cross midnight both ways and hold at the calendar's ends.
  uint8_t level = 9;
  TDtStamp start{}, stop{};
  LevelInterval(At(15, 2, 2008, 3600 + 5), level, start, stop);
  EXPECT_TRUE(SameStamp(start, At(14, 2, 2008, 22 * 3600)));
  EXPECT_TRUE(SameStamp(stop, At(15, 2, 2008, 4 * 3600 - 1)));
  LevelInterval(At(15, 2, 2008, 23 * 3600 + 5), level, start, stop);
  EXPECT_TRUE(SameStamp(stop, At(16, 2, 2008, 2 * 3600 - 1)));
  LevelInterval(TDtStamp{0, 60}, level, start, stop);
  EXPECT_TRUE(SameStamp(start, TDtStamp{0, 0}));
  level = 5;
  LevelInterval(TDtStamp{1, 60}, level, start, stop);
  EXPECT_TRUE(SameStamp(start, TDtStamp{0, 0}));
  LevelInterval(TDtStamp{LastDayNo, 60}, level, start, stop);
  EXPECT_TRUE(SameStamp(stop, TDtStamp{LastDayNo, 86399}));
  level = 16;
  LevelInterval(at, level, start, stop);
  EXPECT_EQ(level, 16);

  struct ZoomIn {
    uint8_t from, to;
  } zoom_in[] = {{0, 1},  {1, 3},  {2, 3},   {3, 5},   {4, 5},   {5, 7},   {6, 7},   {7, 9},
                 {8, 10}, {9, 10}, {10, 12}, {11, 12}, {12, 13}, {13, 15}, {14, 15}, {15, 15}};
  for (const ZoomIn& z : zoom_in) {
    level = z.from;
    ZoomInInterval(at, level, start, stop);
    EXPECT_EQ(level, z.to) << int{z.from};
  }
}

TEST(DtStampTest, ZoomOutWidensToOneWholeWindow) {
  struct Case {
    Window from, want;
  } cases[] = {
      // A centred six-hour window across midnight becomes one day, not two.
      {{9, At(14, 2, 2008, 21 * 3600), At(15, 2, 2008, 3 * 3600 - 1)}, {7, At(14, 2, 2008, 0), At(14, 2, 2008, 86399)}},
      {{12, At(15, 2, 2008, 23 * 3600 + 50 * 60), At(15, 2, 2008, 86399)},
       {10, At(15, 2, 2008, 23 * 3600), At(15, 2, 2008, 86399)}},
      {{13, At(15, 2, 2008, 23 * 3600 + 55 * 60), At(16, 2, 2008, 0)},
       {12, At(15, 2, 2008, 23 * 3600 + 50 * 60), At(15, 2, 2008, 86399)}},
      {{15, At(15, 2, 2008, 23 * 3600 + 59 * 60 + 50), At(16, 2, 2008, 0)},
       {13, At(15, 2, 2008, 23 * 3600 + 59 * 60), At(15, 2, 2008, 86399)}},
      {{10, At(15, 2, 2008, 13 * 3600), At(15, 2, 2008, 14 * 3600 - 1)},
       {9, At(15, 2, 2008, 12 * 3600), At(15, 2, 2008, 18 * 3600 - 1)}},
      {{7, At(15, 2, 2008, 0), At(15, 2, 2008, 86399)}, {5, At(11, 2, 2008, 0), At(17, 2, 2008, 86399)}},
      {{5, At(27, 1, 2008, 0), At(2, 2, 2008, 86399)}, {3, At(1, 1, 2008, 0), At(31, 1, 2008, 86399)}},
      {{3, At(1, 12, 2008, 0), At(31, 12, 2008, 86399)}, {1, At(1, 1, 2008, 0), At(31, 12, 2008, 86399)}},
      {{1, At(1, 1, 2008, 0), At(31, 12, 2008, 86399)}, {1, At(1, 1, 2008, 0), At(31, 12, 2008, 86399)}},
  };
  for (const Case& c : cases) {
    uint8_t level = c.from.level;
    TDtStamp start = c.from.start, stop = c.from.stop;
    ZoomOutInterval(level, start, stop);
    EXPECT_EQ(level, c.want.level) << int{c.from.level};
    EXPECT_TRUE(SameStamp(start, c.want.start)) << int{c.from.level};
    EXPECT_TRUE(SameStamp(stop, c.want.stop)) << int{c.from.level};
  }
}

TEST(DtStampTest, StepInterval) {
  struct Case {
    uint16_t mode;
    Window from;
    TDtStamp start, stop;
  } cases[] = {
      // Month steps keep whole months.
      {3, {3, At(1, 1, 2007, 0), At(31, 1, 2007, 86399)}, At(1, 2, 2007, 0), At(28, 2, 2007, 86399)},
      {3, {3, At(1, 2, 2007, 0), At(28, 2, 2007, 86399)}, At(1, 3, 2007, 0), At(31, 3, 2007, 86399)},
      {3, {1, At(1, 1, 2007, 0), At(31, 12, 2007, 86399)}, At(1, 1, 2008, 0), At(31, 12, 2008, 86399)},
      {0, {1, At(1, 1, 2007, 0), At(31, 12, 2007, 86399)}, At(1, 12, 2006, 0), At(30, 11, 2007, 86399)},
      {2, {2, At(1, 3, 2007, 0), At(15, 4, 2007, 43200)}, At(1, 2, 2007, 0), At(15, 3, 2007, 43200)},
      {0, {3, At(10, 3, 2007, 0), At(20, 3, 2007, 0)}, At(9, 3, 2007, 0), At(19, 3, 2007, 0)},
      {3, {5, At(10, 3, 2007, 0), At(16, 3, 2007, 86399)}, At(17, 3, 2007, 0), At(23, 3, 2007, 86399)},
      {1, {6, At(10, 3, 2007, 0), At(11, 3, 2007, 0)}, At(10, 3, 2007, 21600), At(11, 3, 2007, 21600)},
      {2, {12, At(10, 3, 2007, 300), At(10, 3, 2007, 899)}, At(9, 3, 2007, 86100), At(10, 3, 2007, 299)},
      {0, {15, At(10, 3, 2007, 0), At(10, 3, 2007, 9)}, At(9, 3, 2007, 86399), At(10, 3, 2007, 8)},
      // A window ending at the calendar's last second keeps its length when stepped back.
      {2, {3, At(1, 12, 2078, 0), At(31, 12, 2078, 86399)}, At(1, 11, 2078, 0), At(30, 11, 2078, 86399)},
      {0, {1, At(1, 1, 2078, 0), At(31, 12, 2078, 86399)}, At(1, 12, 2077, 0), At(30, 11, 2078, 86399)},
      {2, {1, At(1, 1, 2078, 0), At(31, 12, 2078, 86399)}, At(1, 1, 2077, 0), At(31, 12, 2077, 86399)},
      {2, {3, At(15, 11, 2078, 0), At(31, 12, 2078, 86399)}, At(15, 10, 2078, 0), At(1, 12, 2078, 86399)},
      // Steps past the calendar's ends hold there.
      {0, {7, TDtStamp{0, 0}, TDtStamp{0, 86399}}, TDtStamp{0, 0}, TDtStamp{0, 82799}},
      {4, {7, At(10, 3, 2007, 0), At(10, 3, 2007, 86399)}, At(10, 3, 2007, 0), At(10, 3, 2007, 86399)},
  };
  for (const Case& c : cases) {
    TDtStamp start = c.from.start, stop = c.from.stop;
    StepInterval(c.mode, c.from.level, start, stop);
    EXPECT_TRUE(SameStamp(start, c.start)) << c.mode << " level " << int{c.from.level};
    EXPECT_TRUE(SameStamp(stop, c.stop)) << c.mode << " level " << int{c.from.level};
  }
}

TEST(DtStampTest, FloatingDateTime) {
  EXPECT_EQ(DayNoToDateTime(0), 2.0);
  EXPECT_EQ(DayNoToDateTime(NoDayNo), NoDateTime);
  EXPECT_DOUBLE_EQ(SecsToDateTime(43200), 0.5);
  EXPECT_EQ(SecsToDateTime(-1), NoDateTime);
  EXPECT_EQ(SecsToDateTime(86400), NoDateTime);
  EXPECT_DOUBLE_EQ(DtStampToDateTime(TDtStamp{36524, 21600}), 36526.25);
  EXPECT_EQ(DtStampToDateTime(TDtStamp{36524, -1}), NoDateTime);
  EXPECT_EQ(DateTimeToDayNo(36526.7), 36524);
  EXPECT_EQ(DateTimeToDayNo(NoDateTime), NoDayNo);
  EXPECT_EQ(DateTimeToDayNo(1.0), NoDayNo);  // 31 December 1899

  TDateTime late = EncodeDate(2007, 3, 4) + EncodeTime(23, 59, 59, 600);
  EXPECT_EQ(DateTimeToSecs(late), 86399);
  TDtStamp s;
  DateTimeToDtStamp(s, late);
  EXPECT_TRUE(SameStamp(s, At(5, 3, 2007, 0)));
  EXPECT_EQ(DateTimeToSecs(EncodeTime(1, 2, 3, 499)), 3723);
  EXPECT_EQ(DateTimeToSecs(EncodeTime(1, 2, 3, 500)), 3724);
  EXPECT_EQ(DateTimeToSecs(-1000.0), -1);
  DateTimeToDtStamp(s, EncodeDate(2079, 1, 1));
  EXPECT_TRUE(SameStamp(s, NoDtStamp));
  DateTimeToDtStamp(s, EncodeDate(2078, 12, 31) + EncodeTime(23, 59, 59, 700));
  EXPECT_TRUE(SameStamp(s, NoDtStamp));

  TFixedClock clock(EncodeDate(2010, 1, 1) + EncodeTime(8, 0, 0, 0));
  EXPECT_EQ(TodayDayNo(clock), DateToDayNo(1, 1, 2010));
  EXPECT_EQ(NowSecs(clock), 8 * 3600);
}

TEST(DtStampTest, Text) {
  EXPECT_EQ(FormatSecs("hh:mm:ss", 3723), "01:02:03");
  EXPECT_EQ(FormatSecs("mm:ss", 3723), "02:03");
  EXPECT_EQ(FormatSecs("hh:mm:ss", -1), "");
  EXPECT_EQ(FormatDayNo("dd.mm.yyyy", 36524), "01.01.2000");
  EXPECT_EQ(FormatDayNo("dd.mm.yyyy", NoDayNo), "");

  TFormatSettings saved = FormatSettings;
  FormatSettings.ShortDateFormat = "dd.mm.yyyy";
  FormatSettings.DateSeparator = '.';
  EXPECT_EQ(StrToDayNo("29.02.2000"), 36583);
  EXPECT_EQ(StrToDayNo("01.01.1899"), NoDayNo);
  EXPECT_EQ(StrToSecs("01:02:03"), 3723);
  EXPECT_THROW(StrToDayNo("30.02.2000"), EConvertError);
  EXPECT_THROW(StrToSecs("xx"), EConvertError);
  FormatSettings = saved;
}

}  // namespace
}  // namespace qv
