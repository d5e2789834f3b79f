#pragma once
// The locales the program knows, identified by the platform's locale numbers (LCIDs), with
// their names, codes and formats. The table replaces the operating system's locale database:
// its order (ascending LCID) is the order in which locales are enumerated.
#include <array>
#include <cstdint>
#include <span>

namespace qv {

// Month and day names and the like, shared by all locales of one language.
struct TLanguageNames {
  std::array<const char*, 12> LongMonths;
  std::array<const char*, 12> ShortMonths;
  std::array<const char*, 7> LongDays;  // Sunday first
  std::array<const char*, 7> ShortDays;
};

// One specific locale. Texts are UTF-8; date formats are in the runtime's specifier syntax.
struct TLocaleInfo {
  uint32_t Lcid;
  const char* Abbreviation;  // the three-letter language abbreviation, "DEU"
  const char* Iso639;        // "de"
  const char* Iso3166;       // "DE"
  const char* EnglishLanguage;
  const char* EnglishCountry;
  const char* NativeLanguage;
  const char* NativeCountry;
  uint16_t AnsiCodePage;
  char ThousandSeparator;
  char DecimalSeparator;
  char DateSeparator;
  const char* ShortDate;
  const char* LongDate;
  char TimeSeparator;
  bool TimeLeadingZero;
  bool Clock12;     // a 12-hour clock with AM and PM
  bool AmPmBefore;  // AM/PM stands before the time
  const char* Am;
  const char* Pm;
  char ListSeparator;
  const char* Currency;
  uint8_t CurrencyFormat;
  uint8_t NegCurrFormat;
  uint8_t CurrencyDecimals;
  const TLanguageNames* Names;
};

constexpr uint32_t PrimaryLangId(uint32_t lcid) { return lcid & 0x3FF; }
constexpr uint32_t SubLangId(uint32_t lcid) { return (lcid >> 10) & 0x3F; }

// Every known locale, ascending by LCID.
std::span<const TLocaleInfo> LocaleTable();
// The entry of a specific locale; for a neutral locale (sub-language 0) the first entry of its
// language, which is its default locale. Null when unknown.
const TLocaleInfo* FindLocaleInfo(uint32_t lcid);

}  // namespace qv
