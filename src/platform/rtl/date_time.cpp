#include "platform/rtl/date_time.h"

#include <sys/time.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <ctime>

#include "platform/rtl/exception.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

constexpr int64_t kDateDelta = 693594;  // days from 1 January 0001 to 30 December 1899
constexpr int64_t kUnixDelta = 25569;   // floating date-time of 1 January 1970

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// Milliseconds as the runtime splits them: whole days since 1 January 0001 (1 = that day)
// and the milliseconds of the day. False for values far outside the calendar.
bool ToTimeStamp(TDateTime dt, int64_t& date, int64_t& time) {
  if (!(std::fabs(dt) < 1.0e7)) return false;
  int64_t ms = static_cast<int64_t>(std::nearbyint(dt * static_cast<double>(MSecsPerDay)));
  date = ms / MSecsPerDay + kDateDelta;
  time = (ms < 0 ? -ms : ms) % MSecsPerDay;
  return true;
}

std::atomic<const TWallClock*> g_default_clock{nullptr};

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  result =
      static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kUnixDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime r;
  if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
  return r;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000) return false;
  result = static_cast<double>(hour * 3600000 + min * 60000 + sec * 1000 + msec) / static_cast<double>(MSecsPerDay);
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime r;
  if (!TryEncodeTime(hour, min, sec, msec, r)) throw EConvertError("Invalid argument to time encode");
  return r;
}

void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day) {
  int64_t date, time;
  year = month = day = 0;
  if (!ToTimeStamp(dt, date, time) || date <= 0) return;
  int64_t y;
  unsigned m, d;
  CivilFromDays(date - kDateDelta - kUnixDelta, y, m, d);
  year = static_cast<uint16_t>(y);
  month = static_cast<uint16_t>(m);
  day = static_cast<uint16_t>(d);
}

void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec) {
  int64_t date, time;
  hour = min = sec = msec = 0;
  if (!ToTimeStamp(dt, date, time)) return;
  hour = static_cast<uint16_t>(time / 3600000);
  min = static_cast<uint16_t>(time / 60000 % 60);
  sec = static_cast<uint16_t>(time / 1000 % 60);
  msec = static_cast<uint16_t>(time % 1000);
}

int DayOfWeek(TDateTime dt) {
  int64_t date, time;
  if (!ToTimeStamp(dt, date, time)) return 0;
  return static_cast<int>(((date % 7) + 7) % 7) + 1;
}

namespace {

bool StartsWithNoCase(const std::string& s, size_t pos, std::string_view what) {
  return pos <= s.size() && SameText(std::string_view(s).substr(pos, what.size()), what);
}

std::string Number(unsigned v, int digits) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) >= digits) return s;
  return std::string(static_cast<size_t>(digits) - s.size(), '0') + s;
}

void AppendFormat(std::string& out, const std::string& f, TDateTime dt, const TFormatSettings& fs, int depth) {
  if (depth > 2) return;
  uint16_t year, month, day, hour, min, sec, msec;
  DecodeDate(dt, year, month, day);
  DecodeTime(dt, hour, min, sec, msec);
  bool use_12_hour = false;
  char last_token = ' ';
  size_t i = 0;
  while (i < f.size()) {
    char starter = f[i++];
    char token = static_cast<char>(std::toupper(static_cast<unsigned char>(starter)));
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && last_token == 'H') token = 'N';
      last_token = token;
    }
    auto count = [&]() {
      int c = 1;
      while (i < f.size() && f[i] == starter) {
        ++i;
        ++c;
      }
      return c;
    };
    switch (token) {
      case 'Y': {
        int c = count();
        out += c <= 2 ? Number(year % 100u, 2) : Number(year, 4);
        break;
      }
      case 'M': {
        int c = count();
        if (c <= 2)
          out += Number(month, c);
        else if (month >= 1)
          out += c == 3 ? fs.ShortMonthNames[month - 1u] : fs.LongMonthNames[month - 1u];
        break;
      }
      case 'D': {
        int c = count();
        int dow = DayOfWeek(dt);
        if (c <= 2)
          out += Number(day, c);
        else if (c == 3)
          out += dow ? fs.ShortDayNames[static_cast<size_t>(dow - 1)] : "";
        else if (c == 4)
          out += dow ? fs.LongDayNames[static_cast<size_t>(dow - 1)] : "";
        else if (c == 5)
          AppendFormat(out, fs.ShortDateFormat, dt, fs, depth + 1);
        else
          AppendFormat(out, fs.LongDateFormat, dt, fs, depth + 1);
        break;
      }
      case 'H': {
        int c = count();
        // The 12-hour clock applies when an am/pm marker follows before the next hour.
        bool quoted = false;
        for (size_t k = i; k < f.size(); ++k) {
          char ch = f[k];
          if ((ch == 'A' || ch == 'a') && !quoted) {
            if (StartsWithNoCase(f, k, "AM/PM") || StartsWithNoCase(f, k, "A/P") || StartsWithNoCase(f, k, "AMPM"))
              use_12_hour = true;
            break;
          }
          if ((ch == 'H' || ch == 'h') && !quoted) break;
          if (ch == '\'' || ch == '"') quoted = !quoted;
        }
        unsigned h = hour;
        if (use_12_hour) h = h == 0 ? 12 : (h > 12 ? h - 12 : h);
        out += Number(h, c > 2 ? 2 : c);
        break;
      }
      case 'N': {
        int c = count();
        out += Number(min, c > 2 ? 2 : c);
        break;
      }
      case 'S': {
        int c = count();
        out += Number(sec, c > 2 ? 2 : c);
        break;
      }
      case 'T': {
        int c = count();
        AppendFormat(out, c == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, fs, depth + 1);
        break;
      }
      case 'Z': {
        int c = count();
        out += Number(msec, c > 3 ? 3 : c);
        break;
      }
      case 'A': {
        size_t p = i - 1;
        if (StartsWithNoCase(f, p, "AM/PM")) {
          out += f.substr(hour >= 12 ? p + 3 : p, 2);
          i = p + 5;
          use_12_hour = true;
        } else if (StartsWithNoCase(f, p, "A/P")) {
          out += f.substr(hour >= 12 ? p + 2 : p, 1);
          i = p + 3;
          use_12_hour = true;
        } else if (StartsWithNoCase(f, p, "AMPM")) {
          out += hour < 12 ? fs.TimeAMString : fs.TimePMString;
          i = p + 4;
          use_12_hour = true;
        } else if (StartsWithNoCase(f, p, "AAAA")) {
          int dow = DayOfWeek(dt);
          out += dow ? fs.LongDayNames[static_cast<size_t>(dow - 1)] : "";
          i = p + 4;
        } else if (StartsWithNoCase(f, p, "AAA")) {
          int dow = DayOfWeek(dt);
          out += dow ? fs.ShortDayNames[static_cast<size_t>(dow - 1)] : "";
          i = p + 3;
        } else {
          out += starter;
        }
        break;
      }
      case 'C': {
        count();
        AppendFormat(out, fs.ShortDateFormat, dt, fs, depth + 1);
        if (hour != 0 || min != 0 || sec != 0) {
          out += ' ';
          AppendFormat(out, fs.LongTimeFormat, dt, fs, depth + 1);
        }
        break;
      }
      case '/':
        if (fs.DateSeparator) out += fs.DateSeparator;
        break;
      case ':':
        if (fs.TimeSeparator) out += fs.TimeSeparator;
        break;
      case '\'':
      case '"': {
        size_t end = f.find(starter, i);
        if (end == std::string::npos) end = f.size();
        out += f.substr(i, end - i);
        i = end < f.size() ? end + 1 : end;
        break;
      }
      default: out += starter;
    }
  }
}

struct Scanner {
  const std::string& s;
  size_t pos = 0;
  void Blanks() {
    while (pos < s.size() && s[pos] == ' ') ++pos;
  }
  // Up to four digits; the number of digits read in `digits`.
  bool Number(int& value, int& digits) {
    Blanks();
    value = 0;
    digits = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && value < 1000) {
      value = value * 10 + (s[pos] - '0');
      ++pos;
      ++digits;
    }
    return digits > 0;
  }
  bool Char(char c) {
    Blanks();
    if (pos < s.size() && s[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // -1 none, 0 AM, 12 PM.
  int AmPm(const TFormatSettings& fs) {
    Blanks();
    auto match = [&](const std::string& w) {
      if (w.empty() || !StartsWithNoCase(s, pos, w)) return false;
      pos += w.size();
      return true;
    };
    if (match(fs.TimeAMString) || match("AM")) return 0;
    if (match(fs.TimePMString) || match("PM")) return 12;
    return -1;
  }
  bool AtEnd() {
    Blanks();
    return pos >= s.size();
  }
};

}  // namespace

std::string FormatDateTime(const std::string& format, TDateTime dt, const TFormatSettings& settings) {
  std::string out;
  AppendFormat(out, format.empty() ? std::string("C") : format, dt, settings, 0);
  return out;
}

TDateTime StrToDate(const std::string& text, const TFormatSettings& fs) {
  auto fail = [&]() { return EConvertError("'" + text + "' is not a valid date"); };
  char order = 'D';
  for (char c : fs.ShortDateFormat) {
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (u == 'D' || u == 'M' || u == 'Y') {
      order = u;
      break;
    }
  }
  Scanner sc{text};
  int n1, n2, n3 = 0, d1, d2, d3 = 0;
  if (!sc.Number(n1, d1) || !sc.Char(fs.DateSeparator) || !sc.Number(n2, d2)) throw fail();
  int y, m, d, year_digits;
  if (sc.Char(fs.DateSeparator)) {
    if (!sc.Number(n3, d3)) throw fail();
    switch (order) {
      case 'M':
        m = n1;
        d = n2;
        y = n3;
        year_digits = d3;
        break;
      case 'Y':
        y = n1;
        m = n2;
        d = n3;
        year_digits = d1;
        break;
      default:
        d = n1;
        m = n2;
        y = n3;
        year_digits = d3;
        break;
    }
  } else {
    uint16_t cy, cm, cd;
    DecodeDate(Now(), cy, cm, cd);
    y = cy;
    year_digits = 4;
    if (order == 'D') {
      d = n1;
      m = n2;
    } else {
      m = n1;
      d = n2;
    }
  }
  if (y <= 99 && year_digits <= 2) {
    uint16_t cy, cm, cd;
    DecodeDate(Now(), cy, cm, cd);
    int pivot = cy - fs.TwoDigitYearCenturyWindow;
    y += pivot / 100 * 100;
    if (fs.TwoDigitYearCenturyWindow > 0 && y < pivot) y += 100;
  }
  TDateTime r;
  if (!sc.AtEnd() || !TryEncodeDate(y, m, d, r)) throw fail();
  return r;
}

TDateTime StrToTime(const std::string& text, const TFormatSettings& fs) {
  auto fail = [&]() { return EConvertError("'" + text + "' is not a valid time"); };
  Scanner sc{text};
  int base = sc.AmPm(fs);
  int hour, min = 0, sec = 0, msec = 0, digits;
  if (!sc.Number(hour, digits)) throw fail();
  if (sc.Char(fs.TimeSeparator)) {
    if (!sc.Number(min, digits)) throw fail();
    if (sc.Char(fs.TimeSeparator)) {
      if (!sc.Number(sec, digits)) throw fail();
      if (sc.Char(fs.DecimalSeparator) && !sc.Number(msec, digits)) throw fail();
    }
  }
  if (base < 0) base = sc.AmPm(fs);
  if (base >= 0) {
    if (hour == 0 || hour > 12) throw fail();
    if (hour == 12) hour = 0;
    hour += base;
  }
  TDateTime r;
  if (!sc.AtEnd() || !TryEncodeTime(hour, min, sec, msec, r)) throw fail();
  return r;
}

TDateTime TSystemClock::Now() const {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  tm local{};
  localtime_r(&secs, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                    static_cast<int>(tv.tv_usec / 1000));
}

const TWallClock& DefaultWallClock() {
  static const TSystemClock system_clock;
  const TWallClock* c = g_default_clock.load();
  return c ? *c : system_clock;
}

void SetDefaultWallClock(const TWallClock* clock) { g_default_clock.store(clock); }

TDateTime Now(const TWallClock& clock) { return clock.Now(); }

TDateTime Date(const TWallClock& clock) {
  uint16_t y, m, d;
  DecodeDate(clock.Now(), y, m, d);
  TDateTime r;
  return TryEncodeDate(y, m, d, r) ? r : 0;
}

}  // namespace qv
