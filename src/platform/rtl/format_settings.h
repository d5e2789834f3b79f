#pragma once
// The runtime's format settings: separators, date and time formats and the names of days and
// months used by Format, FormatDateTime and StrToDate/StrToTime. The global FormatSettings holds
// the program's current settings; the locale helpers fill it from the chosen locale.
#include <array>
#include <functional>
#include <string>

namespace qv {

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd/mm/yyyy";
  std::string LongDateFormat = "dddd, d mmmm yyyy";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::string CurrencyString = "$";
  int CurrencyFormat = 0;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int NegCurrFormat = 1;   // only the form "-$1" and its mirror "-1$" are used here
  int CurrencyDecimals = 2;
  int TwoDigitYearCenturyWindow = 50;
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
  // Sunday first, as the runtime's DayOfWeek counts.
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  std::string ListSeparator = ",";
  // Set for English (United States): the page-setup dialog then measures in inches.
  bool UsEnglish = false;
  // The locale as language and country, "de_DE"; empty when unknown. Native controls that show
  // dates (the calendar's month and day names) speak it.
  std::string LocaleName;
};

// The program's current settings as the main thread sees them. Written only on the main thread
// (at start-up and on a change of language, through ReplaceFormatSettings).
extern TFormatSettings FormatSettings;

// The settings for the calling thread: FormatSettings on the main thread, elsewhere the record
// last published by ReplaceFormatSettings. Other threads format while the user switches the
// language, so they never see a record being changed: a published record is immutable and kept
// until the program ends, so a reference taken from it stays valid.
const TFormatSettings& CurrentFormatSettings();
// Main thread: sets FormatSettings and publishes a copy for the other threads; then calls the
// hook, by which controls that show dates take the new formats.
void ReplaceFormatSettings(const TFormatSettings& settings);
void SetFormatSettingsChangedHook(std::function<void()> hook);

}  // namespace qv
