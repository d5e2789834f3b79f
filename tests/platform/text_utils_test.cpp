
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/rtl/file_io.h"
#include "platform/rtl/text_utils.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(TextUtils, CompareIgnoringAsciiCase) {
  struct Case {
    std::string a, b;
    int order;
  };
  const Case cases[] = {
      {"", "", 0},        {"Device.INI", "device.ini", 0},
      {"abc", "ABD", -1}, {"ab", std::string("AB\0", 3), -1},
      {"b", "A", 1},      {"Zz", "zZ", 0},
      {"a[", "A{", -1},   {"\xE4", "\xC4", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareText(c.a, c.b), c.order) << c.a << " / " << c.b;
    EXPECT_EQ(CompareText(c.b, c.a), -c.order) << c.a << " / " << c.b;
    EXPECT_EQ(SameText(c.a, c.b), c.order == 0) << c.a << " / " << c.b;
  }
  EXPECT_EQ(UpperCase("Mix-3\xE4z"), "MIX-3\xE4Z") << "only ASCII letters change";
  EXPECT_EQ(LowerCase("Mix-3\xC4Z"), "mix-3\xC4z");
}

TEST(TextUtils, TrimControlCharactersOrAGivenSet) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
  EXPECT_EQ(Trim(" \t "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\t a \r", " \t"), "a \r");
  EXPECT_EQ(Trim("   ", " "), "");
  EXPECT_EQ(TrimLeft("  a b  ", " "), "a b  ");
  EXPECT_EQ(TrimRight("  a b  ", " "), "  a b");
  EXPECT_EQ(TrimRight("xx", "x"), "");
}

TEST(FileIo, FindsAFileIgnoringCase) {
  test::TempDir dir;
  dir.Write("kw9952.qvr", "x");
  dir.Write("KW0712.QVR", "x");
  std::filesystem::create_directory(dir.File("KW0801.QVR"));
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "KW9952.QVR"), dir.Path() + "kw9952.qvr");
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "KW0712.QVR"), dir.Path() + "KW0712.QVR");
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "kw0801.qvr"), "") << "a folder is no file";
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "KW0000.QVR"), "");
  EXPECT_EQ(FindFileIgnoringCase(dir.Path() + "missing/", "KW0712.QVR"), "");
}

}  // namespace
}  // namespace qv
