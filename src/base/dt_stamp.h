#pragma once
// The date library: the six-byte time stamp of records, axes and data files, day numbers
// since 1 January 1900, seconds of day, calendar arithmetic, zoom levels and their time
// windows, and the conversions to the floating date-time and to text. Free functions without
// state, safe from any thread.
#include <cstdint>
#include <string>

#include "platform/rtl/date_time.h"

namespace qv {

// Day number 0 = 1 January 1900 (65535 = no date) and seconds since midnight (-1 = no time).
// Stored as 6 bytes: Date u16 LE, then Time s32 LE.
struct TDtStamp {
  uint16_t Date;
  int32_t Time;
};

constexpr TDtStamp NoDtStamp{65535, -1};
constexpr uint16_t NoDayNo = 65535;
constexpr uint16_t LastDayNo = 65378;  // 31 December 2078
constexpr uint16_t YearPivot = 1960;
constexpr TDateTime NoDateTime = -1000.0;
constexpr int DtStampBytes = 6;

void PutDtStamp(uint8_t* p, const TDtStamp& stamp);
TDtStamp GetDtStamp(const uint8_t* p);

// Calendar.
bool LeapYear(int32_t year);
int32_t DaysOfMonth(int32_t month, int32_t year);
bool ValidDate(int32_t day, int32_t month, int32_t year);
uint16_t DateToDayNo(int32_t day, int32_t month, int32_t year);
void DayNoToDate(uint16_t day_no, uint16_t& day, uint16_t& month, uint16_t& year);
uint8_t DayNoOfWeek(uint16_t day_no);
void SecsToTime(int32_t secs, uint8_t& hour, uint8_t& min, uint8_t& sec);
int32_t TimeToSecs(uint8_t hour, uint8_t min, uint8_t sec);

// Stamp arithmetic. Results saturate at {0, 0} and {LastDayNo, 86399}; a stamp without date
// or time is left unchanged.
int32_t IncDtStamp(TDtStamp& stamp, int16_t months, int16_t days, int32_t secs);
int32_t IncDtStampSecs(TDtStamp& stamp, int32_t secs);
bool DtStampEqual(const TDtStamp& a, const TDtStamp& b);
bool DtStampLater(const TDtStamp& a, const TDtStamp& b);
bool DtStampLaterOrEqual(const TDtStamp& a, const TDtStamp& b);
double DtStampDiffDays(const TDtStamp& a, const TDtStamp& b);
double DtStampDiffSecs(const TDtStamp& a, const TDtStamp& b);
int32_t IsoWeekStart(uint16_t day_no, TDtStamp& monday);
void WeekOfDayNo(uint16_t day_no, uint8_t& week, uint16_t& year);
bool LimitToOneYear(const TDtStamp& start, TDtStamp& stop);
bool LimitToOneYearDT(TDateTime& stop, TDateTime start);

// Zoom levels 0 to 15 and their windows.
uint8_t ZoomLevelOfSpan(const TDtStamp& start, const TDtStamp& stop);
void LevelInterval(const TDtStamp& stamp, uint8_t& level, TDtStamp& start, TDtStamp& stop);
void ZoomInInterval(const TDtStamp& stamp, uint8_t& level, TDtStamp& start, TDtStamp& stop);
void ZoomOutInterval(uint8_t& level, TDtStamp& start, TDtStamp& stop);
void StepInterval(uint16_t mode, uint8_t level, TDtStamp& start, TDtStamp& stop);

// Floating date-time and text.
TDateTime DayNoToDateTime(uint16_t day_no);
TDateTime SecsToDateTime(int32_t secs);
TDateTime DtStampToDateTime(const TDtStamp& stamp);
uint16_t DateTimeToDayNo(TDateTime dt);
int32_t DateTimeToSecs(TDateTime dt);
void DateTimeToDtStamp(TDtStamp& stamp, TDateTime dt);
uint16_t TodayDayNo(const TWallClock& clock = DefaultWallClock());
int32_t NowSecs(const TWallClock& clock = DefaultWallClock());
uint16_t StrToDayNo(const std::string& text);
int32_t StrToSecs(const std::string& text);
std::string FormatDayNo(const std::string& format, uint16_t day_no);
std::string FormatSecs(const std::string& format, int32_t secs);

}  // namespace qv
