#include "base/locale_helpers.h"

#include <cstdlib>

#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

// The parameters as main() set them; read on the main thread during start-up.
std::vector<std::string> g_cmd_line_params;
// The program's locale; 0 until first asked for, then the user's.
uint32_t g_thread_locale = 0;

// A decimal LCID; 0 for anything else (the scan then goes on).
uint32_t DecimalLocale(const std::string& s) {
  if (s.empty() || s.size() > 9) return 0;
  uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  return v;
}

uint32_t IsoCodeLocale(const std::string& s) {
  std::array<std::string, 3> parts = SplitText(s, '_');
  if (parts[0].size() != 2 || (!parts[1].empty() && parts[1].size() != 2) || !parts[2].empty()) return 0;
  return LocaleByIso(parts[0], parts[1]);
}

uint32_t ConvertLocaleValue(const std::string& value, int mode) {
  switch (mode) {
    case 1: return DecimalLocale(value);
    case 2: return LocaleByAbbreviation(value);
    default: return IsoCodeLocale(value);
  }
}

}  // namespace

TIvAnsiParser::TIvAnsiParser(std::string text, char separator)
    : text_(std::move(text)), separator_(separator), end_position_(static_cast<int>(text_.size()) + 1) {}

std::string TIvAnsiParser::NextToken() {
  if (position_ >= end_position_) return {};
  const size_t start = static_cast<size_t>(position_ - 1);
  size_t stop = text_.find(separator_, start);
  if (stop == std::string::npos) stop = text_.size();
  position_ = static_cast<int>(stop) + 2;  // past the separator
  return text_.substr(start, stop - start);
}

std::array<std::string, 3> SplitText(const std::string& s, char separator) {
  TIvAnsiParser parser(s, separator);
  std::array<std::string, 3> result;
  for (std::string& part : result) part = parser.NextToken();
  return result;
}

uint32_t LocaleByAbbreviation(const std::string& abbr) {
  if (abbr.empty()) return 0;
  for (const TLocaleInfo& info : LocaleTable()) {
    const std::string a = info.Abbreviation;
    if (SameText(abbr, a.c_str())) return info.Lcid;
    if (SameText(abbr, a.substr(0, a.size() - 1).c_str())) return PrimaryLangId(info.Lcid);
  }
  return 0;
}

uint32_t LocaleByIso(const std::string& lang, const std::string& country) {
  if (lang.empty()) return 0;
  for (const TLocaleInfo& info : LocaleTable()) {
    if (!SameText(lang, info.Iso639)) continue;
    if (country.empty()) return PrimaryLangId(info.Lcid);
    // The country is compared ignoring case too: parameters arrive lower-cased.
    if (SameText(country, info.Iso3166)) return info.Lcid;
  }
  return 0;
}

void SetCmdLineParams(const std::vector<std::string>& args) {
  g_cmd_line_params.clear();
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--home") {
      ++i;
      continue;
    }
    g_cmd_line_params.push_back(args[i]);
  }
}

const std::vector<std::string>& CmdLineParams() { return g_cmd_line_params; }

// Parameters are compared lower-cased. One beginning with "/" or "-" is an option: skipped when
// Option is empty, else it must read Option after that character, followed by the value: the
// next parameter when Separator is a single blank, else the rest after Separator. Any other
// parameter is a value only when Option is empty. The first value that names a locale wins.
bool GetCmdLineLocale(uint32_t& locale, int mode, const std::string& option, const std::string& separator,
                      const std::vector<std::string>& params) {
  const std::string opt = LowerCase(option);
  for (size_t i = 0; i < params.size(); ++i) {
    std::string p = LowerCase(params[i]);
    std::string value;
    if (!p.empty() && (p[0] == '/' || p[0] == '-')) {
      if (opt.empty()) continue;
      p.erase(0, 1);
      if (p.compare(0, opt.size(), opt) != 0) continue;
      p.erase(0, opt.size());
      if (separator == " " && i + 1 < params.size()) {
        value = LowerCase(params[++i]);
      } else {
        if (p.compare(0, separator.size(), separator) != 0) continue;
        value = p.substr(separator.size());
      }
    } else {
      if (!opt.empty()) continue;
      value = p;
    }
    if (uint32_t l = ConvertLocaleValue(value, mode); l != 0) {
      locale = l;
      return true;
    }
  }
  return false;
}

uint16_t GetACP() { return 1252; }

uint16_t LocaleCodePage(uint32_t lcid) {
  const TLocaleInfo* info = FindLocaleInfo(lcid);
  return info ? info->AnsiCodePage : 0;
}

bool IsSystemCodePageLocale(uint32_t lcid) { return LocaleCodePage(lcid) == GetACP(); }

std::string LocaleDisplayName(uint32_t lcid, bool native) {
  const TLocaleInfo* info = FindLocaleInfo(lcid);
  if (!info) return {};
  std::string name = native ? info->NativeLanguage : info->EnglishLanguage;
  const std::string country = native ? info->NativeCountry : info->EnglishCountry;
  if (SubLangId(lcid) != 0 && !country.empty()) name += " (" + country + ")";
  return name;
}

bool IsUsEnglishLocale(uint32_t lcid) { return PrimaryLangId(lcid) == LANG_ENGLISH && SubLangId(lcid) <= 1; }

TFormatSettings LocaleFormatSettings(uint32_t lcid) {
  TFormatSettings fs;
  const TLocaleInfo* info = FindLocaleInfo(lcid);
  // The runtime's own defaults stand for anything the locale does not give.
  fs.ThousandSeparator = ',';
  fs.DecimalSeparator = '.';
  fs.DateSeparator = '/';
  fs.ShortDateFormat = "m/d/yy";
  fs.LongDateFormat = "mmmm d, yyyy";
  fs.TimeSeparator = ':';
  fs.TimeAMString = "am";
  fs.TimePMString = "pm";
  fs.ListSeparator = ",";
  bool leading_zero = false, clock12 = false, ampm_before = false;
  if (info) {
    for (size_t i = 0; i < 12; ++i) {
      fs.LongMonthNames[i] = info->Names->LongMonths[i];
      fs.ShortMonthNames[i] = info->Names->ShortMonths[i];
    }
    for (size_t i = 0; i < 7; ++i) {
      fs.LongDayNames[i] = info->Names->LongDays[i];
      fs.ShortDayNames[i] = info->Names->ShortDays[i];
    }
    fs.CurrencyString = info->Currency;
    fs.CurrencyFormat = info->CurrencyFormat;
    fs.NegCurrFormat = info->NegCurrFormat;
    fs.CurrencyDecimals = info->CurrencyDecimals;
    fs.ThousandSeparator = info->ThousandSeparator;
    fs.DecimalSeparator = info->DecimalSeparator;
    fs.DateSeparator = info->DateSeparator;
    fs.ShortDateFormat = info->ShortDate;
    fs.LocaleName = info->Iso639;
    if (*info->Iso3166) fs.LocaleName += std::string("_") + info->Iso3166;
    fs.LongDateFormat = info->LongDate;
    fs.TimeSeparator = info->TimeSeparator;
    fs.TimeAMString = info->Am;
    fs.TimePMString = info->Pm;
    fs.ListSeparator = std::string(1, info->ListSeparator);
    leading_zero = info->TimeLeadingZero;
    clock12 = info->Clock12;
    ampm_before = info->AmPmBefore;
  }
  const std::string hour = leading_zero ? "hh" : "h";
  fs.ShortTimeFormat = hour + ":mm";
  fs.LongTimeFormat = hour + ":mm:ss";
  if (clock12) {
    if (ampm_before) {
      fs.ShortTimeFormat = "AMPM " + fs.ShortTimeFormat;
      fs.LongTimeFormat = "AMPM " + fs.LongTimeFormat;
    } else {
      fs.ShortTimeFormat += " AMPM";
      fs.LongTimeFormat += " AMPM";
    }
  }
  fs.UsEnglish = IsUsEnglishLocale(lcid);
  return fs;
}

void SetLocaleFormatSettings(uint32_t lcid) { ReplaceFormatSettings(LocaleFormatSettings(lcid)); }

uint32_t GetUserDefaultLCID() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (!v || !*v) continue;
    std::string s = v;
    s = s.substr(0, s.find_first_of(".@"));  // "de_AT.UTF-8@euro"
    std::array<std::string, 3> parts = SplitText(s, '_');
    if (uint32_t l = LocaleByIso(parts[0], parts[1]); l != 0 && parts[0].size() == 2) return l;
    break;  // the first variable that is set decides, as the C library's own look-up
  }
  return 0x0409;
}

uint32_t GetThreadLocale() {
  if (g_thread_locale == 0) g_thread_locale = GetUserDefaultLCID();
  return g_thread_locale;
}

void SetThreadLocale(uint32_t lcid) { g_thread_locale = lcid; }

}  // namespace qv
