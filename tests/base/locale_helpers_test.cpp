#include "base/locale_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>

#include "platform/rtl/date_time.h"

namespace qv {
namespace {

TEST(LocaleTableTest, EntriesAreOrderedAndWellFormed) {
  uint32_t previous = 0;
  std::set<std::string> abbreviations;
  for (const TLocaleInfo& info : LocaleTable()) {
    SCOPED_TRACE(info.Abbreviation);
    EXPECT_GT(info.Lcid, previous);  // the enumeration order
    EXPECT_NE(SubLangId(info.Lcid), 0u);
    previous = info.Lcid;
    EXPECT_EQ(std::string(info.Abbreviation).size(), 3u);
    EXPECT_TRUE(abbreviations.insert(info.Abbreviation).second);
    EXPECT_EQ(std::string(info.Iso639).size(), 2u);
    EXPECT_EQ(std::string(info.Iso3166).size(), 2u);
    EXPECT_NE(info.Names, nullptr);
    EXPECT_NE(info.DecimalSeparator, info.ThousandSeparator);
  }
}

TEST(LocaleTableTest, LookUpByAbbreviationAndIsoCode) {
  struct Case {
    std::string abbr;
    uint32_t locale;
  } by_abbr[] = {{"DEU", 0x0407}, {"deu", 0x0407}, {"DE", 0x07}, {"DEA", 0x0C07}, {"ENU", 0x0409}, {"EN", 0x09},
                 {"fr", 0x0C},    {"XYZ", 0},      {"D", 0},     {"", 0},         {"DEUT", 0}};
  for (const Case& c : by_abbr) EXPECT_EQ(LocaleByAbbreviation(c.abbr), c.locale) << c.abbr;

  struct IsoCase {
    std::string lang, country;
    uint32_t locale;
  } by_iso[] = {{"de", "AT", 0x0C07}, {"de", "at", 0x0C07}, {"DE", "DE", 0x0407},
                {"de", "", 0x07},     {"en", "GB", 0x0809}, {"en", "", 0x09},
                {"de", "ZZ", 0},      {"xx", "", 0},        {"", "DE", 0}};
  for (const IsoCase& c : by_iso) EXPECT_EQ(LocaleByIso(c.lang, c.country), c.locale) << c.lang << "_" << c.country;

  ASSERT_NE(FindLocaleInfo(0x07), nullptr);
  EXPECT_EQ(FindLocaleInfo(0x07)->Lcid, 0x0407u);  // a neutral locale stands for its default
  EXPECT_EQ(FindLocaleInfo(0x0C09)->Lcid, 0x0C09u);
  EXPECT_EQ(FindLocaleInfo(0x7777), nullptr);
  EXPECT_EQ(FindLocaleInfo(0x0007 | (9 << 10)), nullptr);
}

TEST(LocaleTableTest, DisplayNamesAndCodePages) {
  EXPECT_EQ(LocaleDisplayName(0x0C07, true), "Deutsch (Österreich)");
  EXPECT_EQ(LocaleDisplayName(0x0C07, false), "German (Austria)");
  EXPECT_EQ(LocaleDisplayName(0x07, true), "Deutsch");  // neutral: no country
  EXPECT_EQ(LocaleDisplayName(0x0C, false), "French");
  EXPECT_EQ(LocaleDisplayName(0x7777, false), "");
  EXPECT_EQ(GetACP(), 1252);
  EXPECT_EQ(LocaleCodePage(0x0411), 932);
  EXPECT_FALSE(IsSystemCodePageLocale(0x0411));
  EXPECT_FALSE(IsSystemCodePageLocale(0x0415));
  EXPECT_TRUE(IsSystemCodePageLocale(0x0407));
  EXPECT_FALSE(IsSystemCodePageLocale(0x7777));
}

TEST(AnsiParserTest, TokensAndPositions) {
  TIvAnsiParser p("de_AT", '_');
  EXPECT_EQ(p.EndPosition(), 6);
  EXPECT_EQ(p.NextToken(), "de");
  EXPECT_EQ(p.Position(), 4);
  EXPECT_EQ(p.NextToken(), "AT");
  EXPECT_EQ(p.NextToken(), "");
  EXPECT_EQ(SplitText("a__b_c", '_'), (std::array<std::string, 3>{"a", "", "b"}));
  EXPECT_EQ(SplitText("", '_'), (std::array<std::string, 3>{"", "", ""}));
  EXPECT_EQ(SplitText("abc_", '_'), (std::array<std::string, 3>{"abc", "", ""}));
}

TEST(CmdLineLocaleTest, ScansParametersByMode) {
  struct Case {
    std::vector<std::string> params;
    int mode;
    std::string option, separator;
    uint32_t locale;  // 0: no locale found
  } cases[] = {
      {{"-x", "de_AT"}, 0, "", "", 0x0C07},  // the option is skipped, its value is a value
      {{"de"}, 0, "", "", 0x07},
      {{"DE_at"}, 0, "", "", 0x0C07},
      {{"deu"}, 0, "", "", 0},  // three letters are no language code
      {{"de_at_x"}, 0, "", "", 0},
      {{"de_aut"}, 0, "", "", 0},
      {{"zz", "fr_CA"}, 0, "", "", 0x0C0C},  // the first value that names a locale wins
      {{"/x", "-y"}, 0, "", "", 0},
      {{"/lang=de_CH"}, 0, "lang", "=", 0x0807},
      {{"-LANG", "fr"}, 0, "lang", " ", 0x0C},
      {{"-lang"}, 0, "lang", " ", 0},                      // no value follows
      {{"-x", "de"}, 0, "lang", " ", 0},                   // with an option name plain values do not count
      {{"-l", "abc", "-l", "1031"}, 1, "l", " ", 0x0407},  // a value that is no number goes on
      {{"0", "3079"}, 1, "", "", 0x0C07},
      {{"xyz", "enu"}, 2, "", "", 0x0409},
      {{}, 0, "", "", 0},
  };
  for (const Case& c : cases) {
    uint32_t locale = 0xFFFF;
    const bool found = GetCmdLineLocale(locale, c.mode, c.option, c.separator, c.params);
    SCOPED_TRACE(c.params.empty() ? std::string("(none)") : c.params.back());
    EXPECT_EQ(found, c.locale != 0);
    EXPECT_EQ(locale, c.locale != 0 ? c.locale : 0xFFFFu);
  }
}

TEST(CmdLineLocaleTest, HomeFolderOptionIsNoLanguage) {
  SetCmdLineParams({"--home", "de", "fr_FR"});
  EXPECT_EQ(CmdLineParams(), (std::vector<std::string>{"fr_FR"}));
  uint32_t locale = 0;
  EXPECT_TRUE(GetCmdLineLocale(locale, 0, "", ""));
  EXPECT_EQ(locale, 0x040Cu);
  SetCmdLineParams({});
}

TEST(LocaleFormatTest, SettingsFollowTheLocale) {
  const TFormatSettings de = LocaleFormatSettings(0x0407);
  EXPECT_EQ(de.DecimalSeparator, ',');
  EXPECT_EQ(de.ThousandSeparator, '.');
  EXPECT_EQ(de.ShortDateFormat, "dd.mm.yyyy");
  EXPECT_EQ(de.LongTimeFormat, "hh:mm:ss");
  EXPECT_EQ(de.ShortTimeFormat, "hh:mm");
  EXPECT_EQ(de.LongMonthNames[2], "März");
  EXPECT_EQ(de.ShortDayNames[0], "So");
  EXPECT_EQ(de.ListSeparator, ";");
  EXPECT_FALSE(de.UsEnglish);
  const TDateTime dt = EncodeDate(2026, 3, 5) + EncodeTime(14, 7, 9, 0);
  EXPECT_EQ(FormatDateTime("dddddd", dt, de), "Donnerstag, 5. März 2026");
  EXPECT_EQ(FormatDateTime("ddddd tt", dt, de), "05.03.2026 14:07:09");

  const TFormatSettings us = LocaleFormatSettings(0x0409);
  EXPECT_EQ(us.LongTimeFormat, "h:mm:ss AMPM");
  EXPECT_EQ(us.ShortTimeFormat, "h:mm AMPM");
  EXPECT_TRUE(us.UsEnglish);
  EXPECT_EQ(FormatDateTime("ddddd tt", dt, us), "3/5/2026 2:07:09 PM");
  EXPECT_TRUE(LocaleFormatSettings(0x09).UsEnglish);
  EXPECT_FALSE(LocaleFormatSettings(0x0809).UsEnglish);

  const TFormatSettings unknown = LocaleFormatSettings(0x7777);  // the runtime's defaults
  EXPECT_EQ(unknown.ShortDateFormat, "m/d/yy");
  EXPECT_EQ(unknown.LongDateFormat, "mmmm d, yyyy");
  EXPECT_EQ(unknown.TimeAMString, "am");
  EXPECT_EQ(unknown.TimePMString, "pm");
  EXPECT_EQ(unknown.LongTimeFormat, "h:mm:ss");
  EXPECT_EQ(unknown.ListSeparator, ",");
}

TEST(LocaleFormatTest, OtherThreadsSeeOnlyPublishedSettings) {
  const TFormatSettings saved = FormatSettings;
  SetLocaleFormatSettings(0x0407);
  EXPECT_EQ(FormatSettings.ShortDateFormat, "dd.mm.yyyy");
  FormatSettings.ShortDateFormat = "yyyy";  // the main thread's own record, not yet published
  std::string seen;
  std::thread([&] { seen = FormatDateTime("ddddd", EncodeDate(2026, 12, 24)); }).join();
  EXPECT_EQ(seen, "24.12.2026");
  EXPECT_EQ(FormatDateTime("ddddd", EncodeDate(2026, 12, 24)), "2026");
  ReplaceFormatSettings(saved);
}

class UserLocaleTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* n : kNames) {
      const char* v = std::getenv(n);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
      unsetenv(n);
    }
  }
  void TearDown() override {
    for (size_t i = 0; i < 3; ++i) {
      if (saved_[i])
        setenv(kNames[i], saved_[i]->c_str(), 1);
      else
        unsetenv(kNames[i]);
    }
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::optional<std::string>> saved_;
};

TEST_F(UserLocaleTest, TakenFromTheEnvironment) {
  EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(GetUserDefaultLCID(), 0x040Cu);
  setenv("LC_MESSAGES", "de_AT.UTF-8@euro", 1);
  EXPECT_EQ(GetUserDefaultLCID(), 0x0C07u);
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
  setenv("LC_ALL", "nl", 1);
  EXPECT_EQ(GetUserDefaultLCID(), 0x13u);
}

}  // namespace
}  // namespace qv
