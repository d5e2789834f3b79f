#pragma once
// The runtime's floating date-time: days since 30 December 1899, the time of day as the
// fraction. Encoding, decoding, formatting and parsing with the runtime's own rules, and the
// wall clock that "now" and "today" come from.
#include <cstdint>
#include <string>

#include "platform/rtl/format_settings.h"

namespace qv {

using TDateTime = double;

constexpr int64_t MSecsPerDay = 86400000;

// Raise EConvertError for an impossible date (years 1 to 9999) or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
// Both first round the value to whole milliseconds, carrying into the date. A value on or
// before 30 December 1899 - 1 day decodes to the date 0, 0, 0.
void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day);
void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec);
bool IsLeapYear(int year);
// 1 Sunday ... 7 Saturday.
int DayOfWeek(TDateTime dt);

// The runtime's specifiers: c d dd ddd dddd ddddd dddddd m mm mmm mmmm yy yyyy h hh n nn s ss
// z zzz t tt am/pm a/p ampm / : and quoted literals; "m" right after an "h" means minutes.
std::string FormatDateTime(const std::string& format, TDateTime dt,
                           const TFormatSettings& settings = CurrentFormatSettings());
// Parse with the settings' short date format order and separators; raise EConvertError.
TDateTime StrToDate(const std::string& text, const TFormatSettings& settings = CurrentFormatSettings());
TDateTime StrToTime(const std::string& text, const TFormatSettings& settings = CurrentFormatSettings());

// The local wall clock. Code that needs "now" takes a clock; tests pass a fixed one.
class TWallClock {
public:
  virtual ~TWallClock() = default;
  virtual TDateTime Now() const = 0;
};

// The system's local time.
class TSystemClock : public TWallClock {
public:
  TDateTime Now() const override;
};

// A clock that stays where it is set.
class TFixedClock : public TWallClock {
public:
  explicit TFixedClock(TDateTime now = 0) : now_(now) {}
  TDateTime Now() const override { return now_; }
  void Set(TDateTime now) { now_ = now; }

private:
  TDateTime now_;
};

// The clock used where no clock is passed: the system clock unless one was installed
// (null installs the system clock again). Installed once at start-up or by a test.
const TWallClock& DefaultWallClock();
void SetDefaultWallClock(const TWallClock* clock);

TDateTime Now(const TWallClock& clock = DefaultWallClock());
// Today at 00:00.
TDateTime Date(const TWallClock& clock = DefaultWallClock());

}  // namespace qv
