#include "base/dt_stamp.h"

#include <algorithm>
#include <cctype>

#include "platform/rtl/byte_order.h"
#include "platform/rtl/exception.h"

namespace qv {

namespace {

constexpr int64_t kSecsPerDay = 86400;
constexpr int64_t kLastTotal = int64_t{LastDayNo} * kSecsPerDay + (kSecsPerDay - 1);

bool Complete(const TDtStamp& s) { return s.Date != NoDayNo && s.Time != -1; }

int64_t Total(const TDtStamp& s) { return int64_t{s.Date} * kSecsPerDay + s.Time; }

// The stamp of a second count, held inside the calendar's range.
TDtStamp FromTotal(int64_t total) {
  total = std::clamp<int64_t>(total, 0, kLastTotal);
  return TDtStamp{static_cast<uint16_t>(total / kSecsPerDay), static_cast<int32_t>(total % kSecsPerDay)};
}

int32_t PivotYear(int32_t year) {
  uint16_t y = static_cast<uint16_t>(year);
  if (y < 100) return 1900 + y < YearPivot ? 2000 + y : 1900 + y;
  return y;
}

// The day `day` of a month counted from 1900, letting a day beyond the month's end run into
// the following months; the result may lie outside the calendar (then it saturates later).
int64_t DayOfMonthRunning(int64_t year, int64_t month, int64_t day) {
  TDateTime first;
  if (year < 1 || !TryEncodeDate(static_cast<int>(year), static_cast<int>(month), 1, first))
    return year < 1900 ? -1 : int64_t{LastDayNo} + 1;
  return static_cast<int64_t>(first) - 2 + day - 1;
}

// Total seconds of a stamp moved by whole calendar months (day overflow runs into the next
// month); saturating, unless exact asks for the true count beyond the calendar's end (needed
// where months are counted up to a moment at that end).
int64_t AddMonths(const TDtStamp& s, int32_t months, bool exact = false) {
  uint16_t d, m, y;
  DayNoToDate(s.Date, d, m, y);
  int64_t c = int64_t{m} + months;
  int64_t year = y;
  int64_t month;
  if (c > 0) {
    year += (c - 1) / 12;
    month = (c - 1) % 12 + 1;
  } else {
    year -= (12 - c) / 12;
    month = 12 - (12 - c) % 12;
  }
  if (year < 1900) return -1;
  if (year > 2078 && !exact) return kLastTotal + 1;
  return DayOfMonthRunning(year, month, d) * kSecsPerDay + s.Time;
}

// The first second of the year or month that holds a day, or its last second.
TDtStamp PeriodEdge(uint16_t day_no, bool whole_year, bool last) {
  uint16_t d, m, y;
  DayNoToDate(day_no, d, m, y);
  if (whole_year) m = last ? 12 : 1;
  int32_t day = last ? DaysOfMonth(m, y) : 1;
  return TDtStamp{DateToDayNo(day, m, y), last ? 86399 : 0};
}

// The named window of a level around a stamp (levels 1, 3, 5, 7, 9, 10, 12, 13, 15).
void NamedWindow(const TDtStamp& s, uint8_t level, TDtStamp& start, TDtStamp& stop) {
  if (!Complete(s)) return;
  int64_t day = int64_t{s.Date} * kSecsPerDay;
  int64_t hour = s.Time / 3600 * 3600;
  int64_t minute = s.Time / 60 * 60;
  switch (level) {
    case 1:
      start = PeriodEdge(s.Date, true, false);
      stop = PeriodEdge(s.Date, true, true);
      break;
    case 3:
      start = PeriodEdge(s.Date, false, false);
      stop = PeriodEdge(s.Date, false, true);
      break;
    case 5:
      start = FromTotal(day - 3 * kSecsPerDay);
      stop = FromTotal(day + 4 * kSecsPerDay - 1);
      break;
    case 7:
      start = FromTotal(day);
      stop = FromTotal(day + kSecsPerDay - 1);
      break;
    case 9:
      start = FromTotal(day + hour - 3 * 3600);
      stop = FromTotal(day + hour + 3 * 3600 - 1);
      break;
    case 10:
      start = FromTotal(day + hour);
      stop = FromTotal(day + hour + 3599);
      break;
    case 12:
      start = FromTotal(day + minute - 300);
      stop = FromTotal(day + minute + 299);
      break;
    case 13:
      start = FromTotal(day + minute);
      stop = FromTotal(day + minute + 59);
      break;
    case 15: {
      int64_t ten = day + s.Time / 10 * 10;
      start = FromTotal(ten);
      stop = FromTotal(ten + 9);
      break;
    }
    default: break;
  }
}

struct Step {
  int16_t months, days;
  int32_t secs;
};
// Small and big step of every level.
constexpr Step kSmall[16] = {{1, 0, 0},     {1, 0, 0},    {0, 1, 0},    {0, 1, 0},    {0, 1, 0},   {0, 1, 0},
                             {0, 0, 21600}, {0, 0, 3600}, {0, 0, 3600}, {0, 0, 3600}, {0, 0, 600}, {0, 0, 60},
                             {0, 0, 60},    {0, 0, 10},   {0, 0, 1},    {0, 0, 1}};
constexpr Step kBig[16] = {{12, 0, 0},  {12, 0, 0}, {1, 0, 0},     {1, 0, 0},     {0, 7, 0},    {0, 7, 0},
                           {0, 1, 0},   {0, 1, 0},  {0, 0, 21600}, {0, 0, 21600}, {0, 0, 3600}, {0, 0, 600},
                           {0, 0, 600}, {0, 0, 60}, {0, 0, 10},    {0, 0, 10}};

}  // namespace

void PutDtStamp(uint8_t* p, const TDtStamp& stamp) {
  PutLE16(p, stamp.Date);
  PutLE32(p + 2, static_cast<uint32_t>(stamp.Time));
}

TDtStamp GetDtStamp(const uint8_t* p) { return TDtStamp{GetLE16(p), GetLE32s(p + 2)}; }

bool LeapYear(int32_t year) { return year % 4 == 0 && year % 4000 != 0 && !(year % 100 == 0 && year % 400 != 0); }

int32_t DaysOfMonth(int32_t month, int32_t year) {
  switch (month) {
    case 2: return LeapYear(PivotYear(year)) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11: return 30;
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12: return 31;
    default: return 0;
  }
}

bool ValidDate(int32_t day, int32_t month, int32_t year) {
  int32_t y = PivotYear(year);
  return day >= 1 && y >= 1900 && y <= 2078 && month >= 1 && month <= 12 && day <= DaysOfMonth(month, y);
}

uint16_t DateToDayNo(int32_t day, int32_t month, int32_t year) {
  if (!ValidDate(day, month, year)) return NoDayNo;
  return static_cast<uint16_t>(EncodeDate(PivotYear(year), month, day) - 2);
}

void DayNoToDate(uint16_t day_no, uint16_t& day, uint16_t& month, uint16_t& year) {
  day = month = year = 0;
  if (day_no == NoDayNo) return;
  DecodeDate(day_no + 2.0, year, month, day);
}

uint8_t DayNoOfWeek(uint16_t day_no) { return day_no == NoDayNo ? 7 : static_cast<uint8_t>((day_no + 1) % 7); }

void SecsToTime(int32_t secs, uint8_t& hour, uint8_t& min, uint8_t& sec) {
  hour = min = sec = 0;
  if (secs < 0) return;
  hour = static_cast<uint8_t>(secs / 3600);
  min = static_cast<uint8_t>(secs % 3600 / 60);
  sec = static_cast<uint8_t>(secs % 60);
}

int32_t TimeToSecs(uint8_t hour, uint8_t min, uint8_t sec) { return (hour % 24 * 3600 + min * 60 + sec) % 86400; }

int32_t IncDtStamp(TDtStamp& stamp, int16_t months, int16_t days, int32_t secs) {
  int32_t result = secs >= 0 ? static_cast<int32_t>((int64_t{stamp.Time} + secs) / kSecsPerDay)
                             : static_cast<int32_t>(-(int64_t{secs}) / kSecsPerDay);
  if (!Complete(stamp)) return result;
  int64_t total = months != 0 ? AddMonths(stamp, months) : Total(stamp);
  if (total >= 0 && total <= kLastTotal) total += int64_t{days} * kSecsPerDay + secs;
  stamp = FromTotal(total);
  return result;
}

int32_t IncDtStampSecs(TDtStamp& stamp, int32_t secs) {
  if (!Complete(stamp)) return 0;
  int64_t sum = int64_t{stamp.Time} + secs;
  int32_t carried = static_cast<int32_t>(sum >= 0 ? sum / kSecsPerDay : -((-sum + kSecsPerDay - 1) / kSecsPerDay));
  stamp = FromTotal(Total(stamp) + secs);
  return carried;
}

bool DtStampEqual(const TDtStamp& a, const TDtStamp& b) { return a.Date == b.Date && a.Time == b.Time; }

bool DtStampLater(const TDtStamp& a, const TDtStamp& b) {
  return a.Date > b.Date || (a.Date == b.Date && a.Time > b.Time);
}

bool DtStampLaterOrEqual(const TDtStamp& a, const TDtStamp& b) {
  return a.Date > b.Date || (a.Date == b.Date && a.Time >= b.Time);
}

double DtStampDiffDays(const TDtStamp& a, const TDtStamp& b) {
  return (double(b.Date) - double(a.Date)) + (double(b.Time) - double(a.Time)) / 86400.0;
}

double DtStampDiffSecs(const TDtStamp& a, const TDtStamp& b) {
  return (double(b.Date) - double(a.Date)) * 86400.0 + double(b.Time) - double(a.Time);
}

int32_t IsoWeekStart(uint16_t day_no, TDtStamp& monday) {
  // A day outside the calendar has no week; Monday is left alone.
  if (day_no > LastDayNo) return 0;
  int32_t wd = DayNoOfWeek(day_no);
  int32_t mon = int32_t{day_no} - (wd == 0 ? 6 : wd - 1);
  if (mon < 0) mon = 0;
  monday.Date = static_cast<uint16_t>(mon);
  uint16_t d, m, y;
  DayNoToDate(static_cast<uint16_t>(mon), d, m, y);
  if (m == 12 && d >= 29) return 1;
  uint16_t dd, dm, year;
  DayNoToDate(day_no, dd, dm, year);
  uint16_t jan1 = DateToDayNo(1, 1, year);
  if (jan1 == NoDayNo) return 1;
  static constexpr int32_t kOffset[7] = {1, 0, -1, -2, -3, 3, 2};  // by weekday of 1 January
  int32_t start = int32_t{jan1} + kOffset[DayNoOfWeek(jan1)];
  if (mon < start) {
    uint16_t dec31 = DateToDayNo(31, 12, year - 1);
    if (dec31 == NoDayNo) return 1;
    TDtStamp other{};
    return IsoWeekStart(dec31, other);
  }
  return (mon - start) / 7 + 1;
}

void WeekOfDayNo(uint16_t day_no, uint8_t& week, uint16_t& year) {
  TDtStamp monday{NoDayNo, -1};
  week = static_cast<uint8_t>(IsoWeekStart(day_no, monday));
  uint16_t d, m;
  DayNoToDate(monday.Date, d, m, year);
  if (week == 1 && m == 12) ++year;
}

bool LimitToOneYear(const TDtStamp& start, TDtStamp& stop) {
  if (!Complete(start) || !Complete(stop)) return false;
  uint16_t d, m, y;
  DayNoToDate(start.Date, d, m, y);
  while (d > 1 && !ValidDate(d, m, y + 1)) --d;
  TDtStamp limit{DateToDayNo(d, m, y + 1), start.Time};
  if (limit.Date == NoDayNo || !DtStampLaterOrEqual(stop, limit)) return false;
  stop = FromTotal(Total(limit) - 1);
  return true;
}

bool LimitToOneYearDT(TDateTime& stop, TDateTime start) {
  if (stop <= NoDateTime || start <= NoDateTime) return false;
  uint16_t y, m, d, h, n, s, ms;
  DecodeDate(start, y, m, d);
  DecodeTime(start, h, n, s, ms);
  TDateTime day;
  while (d > 1 && !TryEncodeDate(y + 1, m, d, day)) --d;
  if (!TryEncodeDate(y + 1, m, d, day)) return false;
  TDateTime limit = day + EncodeTime(h, n, s, ms);
  if (stop < limit) return false;
  stop = limit - 1.0 / 86400.0;
  return true;
}

uint8_t ZoomLevelOfSpan(const TDtStamp& start, const TDtStamp& stop) {
  if (DtStampEqual(start, NoDtStamp) || DtStampEqual(stop, NoDtStamp)) return 0;
  struct Threshold {
    Step step;
    uint8_t level;
  };
  static constexpr Threshold kThresholds[] = {
      {{14, 0, 0}, 0},   {{6, 0, 0}, 1},     {{1, 15, 0}, 2},    {{0, 14, 0}, 3},   {{0, 10, 0}, 4},
      {{0, 5, 0}, 5},    {{0, 1, 43200}, 6}, {{0, 0, 28800}, 7}, {{0, 0, 5400}, 8}, {{0, 0, 1800}, 10},
      {{0, 0, 600}, 11}, {{0, 0, 300}, 12},  {{0, 0, 40}, 13},   {{0, 0, 10}, 14}};
  for (const Threshold& t : kThresholds) {
    TDtStamp limit = start;
    IncDtStamp(limit, t.step.months, t.step.days, t.step.secs);
    if (DtStampLater(stop, limit)) return t.level;
  }
  return 15;
}

void LevelInterval(const TDtStamp& stamp, uint8_t& level, TDtStamp& start, TDtStamp& stop) {
  static constexpr uint8_t kNamed[16] = {1, 1, 3, 3, 5, 5, 7, 7, 10, 9, 10, 12, 12, 13, 15, 15};
  if (level > 15) return;
  level = kNamed[level];
  NamedWindow(stamp, level, start, stop);
}

void ZoomInInterval(const TDtStamp& stamp, uint8_t& level, TDtStamp& start, TDtStamp& stop) {
  static constexpr uint8_t kFiner[15] = {1, 3, 3, 5, 5, 7, 7, 9, 10, 10, 12, 12, 13, 15, 15};
  if (level > 14) return;
  level = kFiner[level];
  NamedWindow(stamp, level, start, stop);
}

void ZoomOutInterval(uint8_t& level, TDtStamp& start, TDtStamp& stop) {
  static constexpr uint8_t kCoarser[16] = {0, 1, 1, 1, 3, 3, 5, 5, 7, 7, 9, 10, 10, 12, 13, 13};
  if (level <= 1 || level > 15) return;
  level = kCoarser[level];
  if (!Complete(start)) return;
  // The new Stop follows from the new Start, so the window is exactly one named window.
  int64_t day = int64_t{start.Date} * kSecsPerDay;
  int32_t t = start.Time;
  switch (level) {
    case 1:
      stop = PeriodEdge(start.Date, true, true);
      start = PeriodEdge(start.Date, true, false);
      break;
    case 3:
      stop = PeriodEdge(start.Date, false, true);
      start = PeriodEdge(start.Date, false, false);
      break;
    case 5: {
      int64_t monday = start.Date - (DayNoOfWeek(start.Date) + 6) % 7;
      start = FromTotal(monday * kSecsPerDay);
      stop = FromTotal((monday + 7) * kSecsPerDay - 1);
      break;
    }
    case 7:
      start = FromTotal(day);
      stop = FromTotal(day + kSecsPerDay - 1);
      break;
    case 9:
    case 10:
    case 12:
    case 13: {
      // Aligned blocks of six hours, one hour, ten minutes or one minute.
      const int32_t block = level == 9 ? 21600 : level == 10 ? 3600 : level == 12 ? 600 : 60;
      int64_t s = day + t / block * block;
      start = FromTotal(s);
      stop = FromTotal(s + block - 1);
      break;
    }
    default: break;
  }
}

void StepInterval(uint16_t mode, uint8_t level, TDtStamp& start, TDtStamp& stop) {
  if (mode > 3 || level > 15) return;
  Step step = mode < 2 ? kSmall[level] : kBig[level];
  int sign = (mode % 2 == 0) ? -1 : 1;
  if (step.months == 0) {
    IncDtStamp(start, 0, static_cast<int16_t>(sign * step.days), sign * step.secs);
    IncDtStamp(stop, 0, static_cast<int16_t>(sign * step.days), sign * step.secs);
    return;
  }
  if (!Complete(start) || !Complete(stop)) return;
  // Month steps keep the window's length in whole months (plus any odd seconds), so a month
  // stays a whole month however long its neighbours are.
  int64_t end = Total(stop) + 1;
  int32_t whole = 0;
  while (whole < 2400 && AddMonths(start, whole + 1, true) <= end) ++whole;
  int64_t rest = end - AddMonths(start, whole, true);
  IncDtStamp(start, static_cast<int16_t>(sign * step.months), 0, 0);
  int64_t new_end = AddMonths(start, whole);
  if (new_end >= 0 && new_end <= kLastTotal) new_end += rest;
  stop = FromTotal(new_end - 1);
}

TDateTime DayNoToDateTime(uint16_t day_no) {
  if (day_no == NoDayNo) return NoDateTime;
  uint16_t d, m, y;
  DayNoToDate(day_no, d, m, y);
  if (d == 0 || m == 0 || y == 0) return NoDateTime;
  try {
    return EncodeDate(y, m, d);
  } catch (const EConvertError&) {
    return NoDateTime;
  }
}

TDateTime SecsToDateTime(int32_t secs) {
  if (secs < 0 || secs >= kSecsPerDay) return NoDateTime;
  uint8_t h, m, s;
  SecsToTime(secs, h, m, s);
  try {
    return EncodeTime(h, m, s, 0);
  } catch (const EConvertError&) {
    return NoDateTime;
  }
}

TDateTime DtStampToDateTime(const TDtStamp& stamp) {
  TDateTime d = DayNoToDateTime(stamp.Date);
  TDateTime t = SecsToDateTime(stamp.Time);
  if (d == NoDateTime || t == NoDateTime) return NoDateTime;
  return d + t;
}

uint16_t DateTimeToDayNo(TDateTime dt) {
  if (!(dt > NoDateTime)) return NoDayNo;
  uint16_t y, m, d;
  DecodeDate(dt, y, m, d);
  if (y < 1900) return NoDayNo;
  return DateToDayNo(d, m, y);
}

int32_t DateTimeToSecs(TDateTime dt) {
  if (!(dt > NoDateTime)) return -1;
  uint16_t h, m, s, ms;
  DecodeTime(dt, h, m, s, ms);
  int32_t secs = TimeToSecs(static_cast<uint8_t>(h), static_cast<uint8_t>(m), static_cast<uint8_t>(s));
  if (ms >= 500 && secs < 86399) ++secs;
  return secs;
}

void DateTimeToDtStamp(TDtStamp& stamp, TDateTime dt) {
  stamp = NoDtStamp;
  if (!(dt > NoDateTime)) return;
  uint16_t h, m, s, ms;
  DecodeTime(dt, h, m, s, ms);
  if (ms >= 500) {
    dt += 1.0 / 86400.0;
    DecodeTime(dt, h, m, s, ms);
  }
  uint16_t day = DateTimeToDayNo(dt);
  if (day == NoDayNo) return;
  stamp.Date = day;
  stamp.Time = TimeToSecs(static_cast<uint8_t>(h), static_cast<uint8_t>(m), static_cast<uint8_t>(s));
}

uint16_t TodayDayNo(const TWallClock& clock) { return DateTimeToDayNo(Date(clock)); }

int32_t NowSecs(const TWallClock& clock) { return DateTimeToSecs(Now(clock)); }

uint16_t StrToDayNo(const std::string& text) { return DateTimeToDayNo(StrToDate(text)); }

int32_t StrToSecs(const std::string& text) { return DateTimeToSecs(StrToTime(text)); }

std::string FormatDayNo(const std::string& format, uint16_t day_no) {
  if (day_no == NoDayNo) return "";
  TDateTime dt = DayNoToDateTime(day_no);
  return dt == NoDateTime ? "" : FormatDateTime(format, dt);
}

std::string FormatSecs(const std::string& format, int32_t secs) {
  if (secs == -1) return "";
  TDateTime dt = SecsToDateTime(secs);
  if (dt == NoDateTime) return "";
  // A time format written with "m" for minutes: the first two are taken as minutes.
  std::string f = format;
  int replaced = 0;
  for (char& c : f) {
    if (replaced == 2) break;
    if (c == 'm' || c == 'M') {
      c = 'n';
      ++replaced;
    }
  }
  return FormatDateTime(f, dt);
}

}  // namespace qv
