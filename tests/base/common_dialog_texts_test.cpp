#include "base/common_dialog_texts.h"

#include "base/res_string.h"
#include "platform/rtl/format_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace qv {
namespace {

TEST(CommonDialogTextsTest, KeysByDialogAndControl) {
  struct Case {
    TCommonDialogKind kind;
    int id;
    const char* key;  // nullptr: the dialog has no such control
  } cases[] = {
      {TCommonDialogKind::cdOpen, 1, "&Open"},
      {TCommonDialogKind::cdSave, 1, "&Save"},
      {TCommonDialogKind::cdSave, 1091, "Save &in:"},
      {TCommonDialogKind::cdOpen, 1091, "Look &in:"},
      {TCommonDialogKind::cdColor, 724, "&Ziv:"},
      {TCommonDialogKind::cdColor, 731, "|S&olid"},
      {TCommonDialogKind::cdColor, UnnamedLabel2, "&Custom colors:"},
      {TCommonDialogKind::cdOpenOldStyle, UnnamedLabel1, "&Folders:"},
      {TCommonDialogKind::cdReplace, UnnamedLabel2, "Re&place with:"},
      {TCommonDialogKind::cdPrinterSetup, 0, "Print Setup"},
      {TCommonDialogKind::cdPageSetup, 1105, "&Bottom:"},
      {TCommonDialogKind::cdPageSetup, PageSetupMarginsId, nullptr},
      {TCommonDialogKind::cdFind, 1024, nullptr},
      {TCommonDialogKind::cdFont, 1094, "Sc&ript:"},
  };
  for (const Case& c : cases) {
    const char* key = CommonDialogTextKey(c.kind, c.id);
    if (!c.key) {
      EXPECT_EQ(key, nullptr) << c.id;
    } else {
      ASSERT_NE(key, nullptr) << c.id;
      EXPECT_STREQ(key, c.key);
    }
  }
  // Titles and the page setup's fixed group frames keep their size.
  for (const TDialogText& t : CommonDialogTexts(TCommonDialogKind::cdPageSetup))
    EXPECT_EQ(t.Widen, t.Id >= 1056 && t.Id != 1072 && t.Id != 1073) << t.Id;
  for (int k = 0; k <= static_cast<int>(TCommonDialogKind::cdReplace); ++k) {
    std::set<int> ids;
    for (const TDialogText& t : CommonDialogTexts(static_cast<TCommonDialogKind>(k))) {
      EXPECT_TRUE(ids.insert(t.Id).second) << k << ": id " << t.Id << " twice";
      if (t.Id == 0) {
        EXPECT_FALSE(t.Widen);
      }
    }
  }
}

TEST(CommonDialogTextsTest, MarginsUnitTooltipsAndColumns) {
  EXPECT_STREQ(PageSetupMarginsKey(TMarginUnit::muDefault, true), "Margins (inches)");
  EXPECT_STREQ(PageSetupMarginsKey(TMarginUnit::muDefault, false), "Margins (millimeters)");
  EXPECT_STREQ(PageSetupMarginsKey(TMarginUnit::muMillimeters, true), "Margins (millimeters)");
  EXPECT_STREQ(PageSetupMarginsKey(TMarginUnit::muInches, false), "Margins (inches)");
  EXPECT_STREQ(FileDialogTooltipKey(40961), "Up One Level");
  EXPECT_STREQ(FileDialogTooltipKey(40971), "Go To Last Folder Visited");
  EXPECT_EQ(FileDialogTooltipKey(40965), nullptr);
  ASSERT_EQ(FileListColumnKeys().size(), 5u);
  EXPECT_STREQ(FileListColumnKeys()[3], "Modified");
}

std::string Bracketed(const std::string& key) { return "[" + key + "]"; }

TEST(CommonDialogTextsTest, AppliedInTheLanguageInUse) {
  SetResStringLookup(&Bracketed);
  const TFormatSettings saved = FormatSettings;
  std::map<int, std::pair<std::string, bool>> shown;
  auto set = [&](int id, const std::string& text, bool widen) { shown[id] = {text, widen}; };

  TFormatSettings us = saved;
  us.UsEnglish = true;
  ReplaceFormatSettings(us);
  ApplyCommonDialogTexts(TCommonDialogKind::cdPageSetup, TMarginUnit::muDefault, set);
  EXPECT_EQ(shown.size(), CommonDialogTexts(TCommonDialogKind::cdPageSetup).size() + 1);
  EXPECT_EQ(shown[PageSetupMarginsId], std::make_pair(std::string("[Margins (inches)]"), false));
  EXPECT_EQ(shown[1102], std::make_pair(std::string("[&Left:]"), true));
  us.UsEnglish = false;
  ReplaceFormatSettings(us);
  ApplyCommonDialogTexts(TCommonDialogKind::cdPageSetup, TMarginUnit::muDefault, set);
  EXPECT_EQ(shown[PageSetupMarginsId].first, "[Margins (millimeters)]");

  shown.clear();
  ApplyCommonDialogTexts(TCommonDialogKind::cdFind, TMarginUnit::muDefault, set);
  EXPECT_EQ(shown[0], std::make_pair(std::string("[Find]"), false));
  EXPECT_EQ(shown.count(PageSetupMarginsId), 0u);
  EXPECT_EQ(DefaultFileDialogTitle(true), "[Save As]");
  EXPECT_EQ(DefaultFileDialogTitle(false), "[Open]");

  ReplaceFormatSettings(saved);
  SetResStringLookup(nullptr);
}

}  // namespace
}  // namespace qv
