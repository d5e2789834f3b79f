#include "datastore/kw_week.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/dt_stamp.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(KwWeek, FileNamesAndKeys) {
  struct Case {
    const char* name;
    int32_t key;
  } cases[] = {
      {"KW0712.QVR", 200712},
      {"kw0712.qvr", 200712},
      {"KW9952.QVR", 199952},
      {"KW200712.QVR", 200712},
      {"KW999953.QVR", 999953},
      {"KW199001.QVR", 199001},
      {"KW0001.QVR", 200001},
      {"KW0754.QVR", 0},  // no week 54
      {"KW12345.QVR", 0},
      {"KW198953.QVR", 0},
      {"KW0700.QVR", 0},
      {"KW0000.QVR", 0},
      {"KW.QVR", 0},
      {"KWab12.QVR", 0},
      {"KW-712.QVR", 0},
      {"KW0712.QVRX", 0},
      {"XW0712.QVR", 0},
      {"readme.txt", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(KwKeyOfFileName(c.name), c.key) << c.name;
  EXPECT_EQ(KwFileNameOfKey(200712), "KW0712.QVR");
  EXPECT_EQ(KwFileNameOfKey(199952), "KW9952.QVR");
  EXPECT_EQ(KwFileNameOfKey(201001), "KW1001.QVR");
}

TEST(KwWeek, WeeksOfDaysAcrossYearEnds) {
  auto day = [](int d, int m, int y) { return DateToDayNo(d, m, y); };
  struct Case {
    uint16_t first, last;
    std::vector<int32_t> keys;
  } cases[] = {
      // Monday 29 December 2008 starts week 1 of 2009.
      {day(30, 12, 2008), day(2, 1, 2009), {200901}},
      // 2004 has 53 weeks, 2008 only 52: no week 53 is asked for there.
      {day(20, 12, 2004), day(4, 1, 2005), {200452, 200453, 200501}},
      {day(22, 12, 2008), day(5, 1, 2009), {200852, 200901, 200902}},
      // 1 January 2010 is a Friday of week 53 of 2009.
      {day(1, 1, 2010), day(4, 1, 2010), {200953, 201001}},
      {day(7, 1, 2009), day(7, 1, 2009), {200902}},
      {day(8, 1, 2009), day(7, 1, 2009), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(KwKeysOfDays(c.first, c.last), c.keys) << c.first << ".." << c.last;
  EXPECT_EQ(KwKeyOfDayNo(day(3, 1, 2010)), 200953);
  EXPECT_EQ(KwKeyOfDayNo(day(31, 12, 2007)), 200801);
}

TEST(KwWeek, ScanSkipsForeignEntries) {
  test::TempDir dir;
  for (const char* name : {"KW0712.QVR", "kw9952.qvr", "KW200712.QVR", "readme.txt", "KW0754.QVR", "KW12345.QVR"})
    dir.Write(name, "x");
  std::filesystem::create_directory(dir.File("KW0801.QVR"));  // a folder is no week file
  EXPECT_EQ(ScanKwFolder(dir.Path()), (std::vector<int32_t>{199952, 200712}));
  EXPECT_TRUE(HasKwFile(dir.Path()));

  test::TempDir other;
  other.Write("KW200712.QVR", "x");  // six digits match the scan, not the four-digit mask
  EXPECT_FALSE(HasKwFile(other.Path()));
  EXPECT_TRUE(ScanKwFolder(other.Path() + "missing/").empty());
}

}  // namespace
}  // namespace qv
