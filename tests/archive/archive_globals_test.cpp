#include "archive/archive_globals.h"

#include <gtest/gtest.h>

#include <fstream>

#include "archive/dy_crypt.h"
#include "archive/used_colors.h"
#include "archive_test_support.h"
#include "platform/rtl/exception.h"

namespace qv {
namespace {

TEST(ArchiveGlobals, SettingsStartWithTheirDefaults) {
  ResetArchiveGlobals();
  EXPECT_TRUE(PwdOnStartup);
  EXPECT_TRUE(PwdOnSign);
  EXPECT_TRUE(DisconnectOnDevChange);
  EXPECT_FALSE(UseWinLogon || SendEmailOnAlarmOffline || SendEmailOnAlarmRecorder || AlwaysSendAlarmEmail ||
               UseInactTimer || RelogonPending || RelogonActive);
  EXPECT_DOUBLE_EQ(SendAlarmEmailInterval.load(), 15.0 / 1440.0);
  EXPECT_EQ(InactInterval, 5);
  EXPECT_EQ(LastAlarmMailTime.load(), 0);
  EXPECT_TRUE(ArchiveDataPath.empty() && ArchiveIniFile.empty() && UsersFile.empty());
}

TEST(ArchiveGlobals, PasswordRule) {
  struct Case {
    const char* user;
    const char* password;
    bool valid;
  } cases[] = {
      {"anna", "abcde", false},
      {"anna1x", "anna1x", false},
      {"anna", "abc def", false},
      {"anna", "abbbbc", false},
      {"anna", "xaaaa", false},
      {"anna", "abbbcd", true},
      {"anna", "Anna12", true},
      {"Anna12", "anna12", true},
      {"anna",
       "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"
       "12",
       true},
      {"anna",
       "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
       "12",
       false},  // counted in characters, not bytes
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidPassword(c.user, c.password), c.valid) << c.password;
}

TEST(ArchiveGlobals, StyleNamesMatchExactly) {
  EXPECT_EQ(PenStyleToName(3), "dashdot");
  EXPECT_EQ(PenStyleToName(7), "unknown");
  EXPECT_EQ(PenStyleToName(-1), "unknown");
  EXPECT_EQ(NameToPenStyle("insideframe"), 6);
  EXPECT_EQ(NameToPenStyle("Dash"), 0);
  EXPECT_EQ(PointerStyleToName(7), "Diamond");
  EXPECT_EQ(PointerStyleToName(42), "SmallDot");
  EXPECT_EQ(NameToPointerStyle("Circle"), 1);
  EXPECT_EQ(NameToPointerStyle("circle"), 8);
  for (int style = 0; style <= 6; ++style) EXPECT_EQ(NameToPenStyle(PenStyleToName(style)), style);
  for (int style = 0; style <= 8; ++style) EXPECT_EQ(NameToPointerStyle(PointerStyleToName(style)), style);
  EXPECT_EQ(PenStyleCaption(1), "ps_Dash");  // no language loaded: the key itself
}

TEST(ArchiveGlobals, FileNamesAndStamps) {
  EXPECT_EQ(StripFileExt("C:\\data.old\\report"), "C:\\data");
  EXPECT_EQ(StripFileExt("Cold/report.xml"), "Cold/report");
  EXPECT_EQ(StripFileExt("report"), "report");
  EXPECT_EQ(DateStamp(EncodeDate(2004, 3, 7) + 0.75), "20040307");

  TArchiveTestFolder folder;
  EXPECT_TRUE(IsCreatableFileName(ArchiveDataPath, "report"));
  EXPECT_FALSE(std::filesystem::exists(folder.File("report.tmp")));
  for (const char* bad : {"", ".", "..", "../report", "a/b", "a\\b"})
    EXPECT_FALSE(IsCreatableFileName(ArchiveDataPath, bad)) << bad;
  EXPECT_FALSE(IsCreatableFileName(folder.File("missing"), "report"));
  // A file that happens to carry the trial name is not ours to delete.
  std::ofstream(folder.File("kept.tmp")) << "x";
  EXPECT_FALSE(IsCreatableFileName(ArchiveDataPath, "kept"));
  EXPECT_TRUE(std::filesystem::exists(folder.File("kept.tmp")));
}

TEST(UsedColors, HandsOutDistinctPaletteColours) {
  TUsedColors colors;
  EXPECT_EQ(colors.UseColor(0), 0x800080u);
  EXPECT_EQ(colors.UseColor(0), 0x008000u);
  EXPECT_EQ(colors.UseColor(0x123456), 0x123456u);  // outside the palette, but free
  EXPECT_EQ(colors.UseColor(0x123456), 0x0000FFu);
  for (int i = 0; i < 40; ++i) colors.UseColor(0x010000u + static_cast<TColor>(i));  // grows past 15
  while (colors.UsedCount() < 15 + 41) colors.UseColor(0);
  const int used = colors.UsedCount();
  EXPECT_EQ(colors.UseColor(0), 0x800080u);
  EXPECT_EQ(colors.UsedCount(), used);  // all palette colours taken: nothing recorded
  colors.Reset();
  EXPECT_TRUE(colors.IsFree(0x800080));

  TUsedPointers pointers;
  EXPECT_EQ(pointers.UsePointer(0), 0);
  EXPECT_EQ(pointers.UsePointer(0), 1);
  EXPECT_EQ(pointers.UsePointer(5), 5);
  for (int i = 0; i < 6; ++i) pointers.UsePointer(0);
  EXPECT_FALSE(pointers.IsFree(8));
  EXPECT_EQ(pointers.UsePointer(3), 0);
}

TEST(DYCrypt, WholeBlocksAreEncipheredAndTheTailPassesThrough) {
  TDY_Crypt& crypt = ArchiveCrypt();
  EXPECT_EQ(crypt.Encrypt("password12"), "9C83ADBAE1833E873132");
  EXPECT_EQ(crypt.Encrypt(""), "");
  EXPECT_EQ(crypt.Decrypt(""), "");
  EXPECT_EQ(crypt.Encrypt("abcde"), "6162636465");  // no whole block
  const std::string eight = crypt.Encrypt("password");
  EXPECT_EQ(eight, "9C83ADBAE1833E87");
  EXPECT_EQ(crypt.Encrypt("passwordpassword"), eight + eight);  // ECB: equal blocks, equal cipher
  for (const std::string& text : {std::string("a"), std::string("password12"), std::string(17, 'x'),
                                  std::string("1|2|\xE4\xF6\xFC|\r\n"), std::string(300, '\0')}) {
    const std::string hex = crypt.Encrypt(text);
    EXPECT_EQ(hex.size(), text.size() * 2);
    EXPECT_EQ(crypt.Decrypt(hex), text);
  }
  EXPECT_EQ(crypt.Decrypt("9c83adbae1833e873132"), "password12");
  EXPECT_THROW(crypt.Decrypt("9C83ADBAE1833E8G3132"), EConvertError);
}

}  // namespace
}  // namespace qv
