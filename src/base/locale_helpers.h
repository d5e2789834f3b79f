#pragma once
// Locale helpers of the translation runtime: language names, codes and command-line parameters
// turned into locale numbers (LCIDs), display names of locales, and the runtime's date, time
// and number formats loaded from any locale, so that they follow the chosen language.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/locale_table.h"
#include "platform/rtl/format_settings.h"

namespace qv {

constexpr uint32_t LANG_ENGLISH = 9;

// Splits one text at a separator character. Positions count from 1, as the runtime's strings.
class TIvAnsiParser {
public:
  TIvAnsiParser(std::string text, char separator);
  // The characters from the current position up to the next separator (or the end); moves past
  // the separator. Empty at the end.
  std::string NextToken();
  int Position() const { return position_; }
  int EndPosition() const { return end_position_; }

private:
  std::string text_;
  char separator_;
  int position_ = 1;
  int end_position_;
};

// The first three tokens of S.
std::array<std::string, 3> SplitText(const std::string& s, char separator);

// The first locale whose abbreviation equals Abbr (ignoring case); a locale whose abbreviation
// without its last letter equals Abbr gives its primary language. 0 when none matches.
uint32_t LocaleByAbbreviation(const std::string& abbr);
// The first locale with the ISO 639 language Lang and, when Country is given, the ISO 3166
// country Country (both ignoring case): that locale when Country is given, else its primary
// language. 0 when none matches.
uint32_t LocaleByIso(const std::string& lang, const std::string& country);

// The program's command-line parameters, set once by main(). The home-folder option "--home"
// and its value are left out, so a folder named like a language never selects one.
void SetCmdLineParams(const std::vector<std::string>& args);
const std::vector<std::string>& CmdLineParams();

// Scans the parameters for a locale (see the .cpp for the rules). Mode 1: a decimal LCID;
// 2: an abbreviation; else "ll" or "ll_CC". True with Locale set when a value names a locale.
bool GetCmdLineLocale(uint32_t& locale, int mode, const std::string& option, const std::string& separator,
                      const std::vector<std::string>& params = CmdLineParams());

// The code page of stored text.
uint16_t GetACP();
// L's default ANSI code page; 0 for an unknown locale.
uint16_t LocaleCodePage(uint32_t lcid);
bool IsSystemCodePageLocale(uint32_t lcid);

// "Deutsch (Österreich)" with Native, "German (Austria)" without; a neutral locale has no
// country part. Empty for an unknown locale.
std::string LocaleDisplayName(uint32_t lcid, bool native);

// English (United States) and neutral English.
bool IsUsEnglishLocale(uint32_t lcid);

// The runtime's settings for a locale; an unknown locale gives the runtime's defaults.
TFormatSettings LocaleFormatSettings(uint32_t lcid);
// Loads the program's format settings from the locale (ReplaceFormatSettings). Main thread.
void SetLocaleFormatSettings(uint32_t lcid);

// The user's locale from LC_ALL, LC_MESSAGES or LANG ("de_AT.UTF-8"); English (United States)
// when none names a known locale.
uint32_t GetUserDefaultLCID();
// The locale the program runs in; initially the user's. Main thread.
uint32_t GetThreadLocale();
void SetThreadLocale(uint32_t lcid);

}  // namespace qv
