#include "base/info_data.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "base/app_globals.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

time_t LocalTime(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

TEST(ProgramInfo, TextsAndCopyrightFromProgramFileDate) {
  test::TempDir dir;
  const std::string saved = IniFileName;
  dir.Write("prog", "binary");
  struct timespec times[2] = {{LocalTime(2005, 6, 1), 0}, {LocalTime(2005, 6, 1), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("prog").c_str(), times, 0), 0);

  IniFileName = dir.File("prog.INI");
  {
    TInfoData info("Quarvel V2.0", "1999", dir.File("prog"));
    EXPECT_EQ(info.VersionText(), "Quarvel V2.0");
    EXPECT_EQ(info.OEM1(), "");
    EXPECT_EQ(info.OEM2(), "");
    EXPECT_EQ(info.CopyrightText(), "Copyright \u00A9 1999-2005");
  }
  dir.Write("prog.INI", "[Info]\nOEM1=Distributor\nOEM2 = \"Line two\"\n");
  times[0].tv_sec = times[1].tv_sec = LocalTime(2011, 1, 15);
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("prog").c_str(), times, 0), 0);
  InfoData = new TInfoData("V", "1999", dir.File("prog"));
  EXPECT_EQ(InfoData->OEM1(), "Distributor");
  EXPECT_EQ(InfoData->OEM2(), "Line two");
  EXPECT_EQ(InfoData->CopyrightText(), "Copyright \u00A9 1999-2011");
  delete InfoData;
  EXPECT_EQ(InfoData, nullptr);
  IniFileName = saved;
}

TEST(ProgramInfo, IniFileNameReplacesTheExtension) {
  EXPECT_EQ(ProgramIniFileName("/h/", "/usr/bin/quarvel"), "/h/quarvel.INI");
  EXPECT_EQ(ProgramIniFileName("/h/", "/opt/v1.2/Quarvel2.exe"), "/h/Quarvel2.INI");
  EXPECT_EQ(ProgramIniFileName("/h/", "C:\\Prog\\TV10.EXE"), "/h/TV10.INI");
}

}  // namespace
}  // namespace qv
