#include "base/ini_file2.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "platform/rtl/format_settings.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// A file as people write them by hand.
const char kHandWritten[] =
    "\xEF\xBB\xBF; settings\r\n"
    "orphan=before any section\n"
    "[ Main ]\r\n"
    "  Name   =  Logger 1  \r\n"
    "Quoted=\"  padded  \"\n"
    "Single='x'\n"
    "Half=\"open\n"
    "name=second wins never\n"
    "Empty=\n"
    "no equals sign here\n"
    "Hex=$1F\n"
    "Hex2=0x1f\n"
    "Neg=-12\n"
    "Big=2147483648\n"
    "AllBits=$FFFFFFFF\n"
    "Junk=12abc\n"
    "Latin=Gr\xFC\xDF"
    "e\n"
    "\n"
    "[main]\n"
    "Other=in duplicate section\n"
    "[Second]\n"
    "Key=2\n";

TEST(IniFile, ReadsHandWrittenFiles) {
  test::TempDir dir;
  dir.Write("a.ini", kHandWritten);
  TIniFile ini(dir.File("a.ini"));
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"Main", "Name", "Logger 1"},
      {"MAIN", "NAME", "Logger 1"},
      {" main ", " name ", "Logger 1"},
      {"Main", "Quoted", "  padded  "},
      {"Main", "Single", "x"},
      {"Main", "Half", "\"open"},
      {"Main", "Empty", ""},
      {"Main", "Other", "<def>"},
      {"Main", "orphan", "<def>"},
      {"Main", "Latin",
       "Gr\u00FC\u00DF"
       "e"},
      {"Second", "Key", "2"},
      {"Missing", "Key", "<def>"},
      {"Main", "no equals sign here", "<def>"},
  };
  for (const Case& c : cases) EXPECT_EQ(ini.ReadString(c.section, c.key, "<def>"), c.value) << c.key;

  struct IntCase {
    const char* key;
    int32_t value;
  } ints[] = {{"Hex", 31},     {"Hex2", 31}, {"Neg", -12}, {"Big", 7},
              {"AllBits", -1}, {"Junk", 7},  {"Empty", 7}, {"Missing", 7}};
  for (const IntCase& c : ints) EXPECT_EQ(ini.ReadInteger("Main", c.key, 7), c.value) << c.key;
  EXPECT_TRUE(ini.ReadBool("Main", "Neg", false));
  EXPECT_TRUE(ini.ReadBool("Main", "Missing", true));
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Second", "Key", 0), 2.0);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Main", "Name", 1.5), 1.5);

  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"Main", "Second"}));
  ini.ReadSection("main", list);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"Name", "Quoted", "Single", "Half", "Empty", "Hex", "Hex2", "Neg",
                                                      "Big", "AllBits", "Junk", "Latin"}));
  ini.ReadSectionValues("Second", list);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"Key=2"}));
  // The values as ReadString gives them: unquoted, the first of a name, the first section only.
  ini.ReadSectionValues(" main ", list);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"Name=Logger 1", "Quoted=  padded  ", "Single=x", "Half=\"open",
                                                      "Empty=", "Hex=$1F", "Hex2=0x1f", "Neg=-12", "Big=2147483648",
                                                      "AllBits=$FFFFFFFF", "Junk=12abc", "Latin=Gr\u00FC\u00DFe"}));
  ini.ReadSectionValues("Missing", list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(ini.ValueExists("MAIN", "empty"));
  EXPECT_FALSE(ini.ValueExists("Main", "Other"));
  EXPECT_TRUE(ini.SectionExists("second"));
  EXPECT_FALSE(ini.SectionExists("Missing"));
}

TEST(IniFile, WritesKeepEveryOtherLine) {
  test::TempDir dir;
  dir.Write("a.ini", "; head\n[A]\nx = 1 ; not a comment\n\n[B]\ny=2\n");
  TIniFile ini(dir.File("a.ini"));
  ini.WriteString("a", "X", "10");   // replaces in place, stored spelling kept
  ini.WriteString("A", "new", "n");  // appended after the section's last line
  ini.WriteInteger("C", "z", -3);    // new section at the end
  ini.WriteBool("B", "flag", true);
  EXPECT_EQ(dir.Read("a.ini"), "; head\r\n[A]\r\nx=10\r\nnew=n\r\n\r\n[B]\r\ny=2\r\nflag=1\r\n[C]\r\nz=-3\r\n");

  ini.DeleteKey("b", "Y");
  ini.EraseSection("A");
  EXPECT_EQ(dir.Read("a.ini"), "; head\r\n[B]\r\nflag=1\r\n[C]\r\nz=-3\r\n");

  // A line break in a value must not create lines of its own.
  ini.WriteString("C", "text", "one\r\n[Evil]\nk=v");
  EXPECT_EQ(ini.ReadString("C", "text", ""), "one  [Evil] k=v");
  EXPECT_FALSE(ini.SectionExists("Evil"));
}

TEST(IniFile, EraseAndDeleteRemoveDuplicates) {
  test::TempDir dir;
  dir.Write("a.ini", "[S]\nk=1\nK=2\n[T]\nk=3\n[s]\nk=4\n");
  TIniFile ini(dir.File("a.ini"));
  ini.DeleteKey("S", "k");
  EXPECT_FALSE(ini.ValueExists("S", "k"));
  EXPECT_EQ(ini.ReadString("T", "k", ""), "3");
  ini.EraseSection("s");
  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"T"}));
}

TEST(IniFile, ObjectsOnOneFileShareWritesAcrossThreads) {
  test::TempDir dir;
  const std::string name = dir.File("shared.ini");
  TIniFile2 a(name), b(dir.Path() + "./shared.ini");
  a.WriteString("S", "k", "from a");
  EXPECT_EQ(b.ReadString("S", "k", ""), "from a");

  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&name, t] {
      TIniFile2 ini(name);
      for (int i = 0; i < 25; ++i) ini.WriteInteger("T" + std::to_string(t), "k" + std::to_string(i), i);
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 25; ++i) EXPECT_EQ(a.ReadInteger("T" + std::to_string(t), "k" + std::to_string(i), -1), i);

  // A change made on disk by someone else is seen too.
  dir.Write("shared.ini", "[S]\nk=edited\n");
  EXPECT_EQ(b.ReadString("S", "k", ""), "edited");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no leftovers
}

TEST(IniFile, FailedWriteRaisesAndChangesNothing) {
  test::TempDir dir;
  TIniFile ini(dir.File("no/such/folder/a.ini"));
  try {
    ini.WriteString("S", "k", "v");
    FAIL() << "write to a missing folder succeeded";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("no/such/folder/a.ini") + ": No such file or directory");
  }
  EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");
}

// Several keys written together reach the disk together or not at all; the error says why.
TEST(IniFile, SeveralKeysGoInOneRewrite) {
  test::TempDir dir;
  dir.Write("a.ini", "[S]\r\nold=1\r\n");
  TIniFile ini(dir.File("a.ini"));
  const std::vector<std::pair<std::string, std::string>> keys = {
      {"first", std::string(30, 'a')}, {"second", std::string(30, 'b')}, {"third", std::string(30, 'c')}};
  try {
    test::FileSizeLimit limit(60);  // room for the first key, not for all three
    ini.WriteValues("S", keys);
    ADD_FAILURE() << "no error beyond the size limit";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("a.ini") + ": File too large");
  }
  EXPECT_EQ(dir.Read("a.ini"), "[S]\r\nold=1\r\n");
  ini.WriteValues("S", keys);
  TStringList names;
  ini.ReadSection("S", names);
  EXPECT_EQ(names.CommaText(), "old,first,second,third");
}

// Several sections replaced in one rewrite: the new ones where the first erased one stood, the
// others untouched, keys of a kept section set in place.
TEST(IniFile, SectionsAreReplacedInOneRewrite) {
  test::TempDir dir;
  dir.Write("a.ini", "[Head]\r\nN=2\r\n[S0]\r\nP=a\r\n[s1]\r\nP=b\r\n[Other]\r\nk=1\r\n");
  TIniFile ini(dir.File("a.ini"));
  ini.ReplaceSections({"S0", "S1"}, {{"Head", {{"N", "1"}}}, {"S0", {{"P", "c\nd"}}}});
  EXPECT_EQ(dir.Read("a.ini"), "[Head]\r\nN=1\r\n[S0]\r\nP=c d\r\n[Other]\r\nk=1\r\n");
  const auto all = ini.ReadAllSections();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[1].first, "S0");
  EXPECT_EQ(all[1].second, (TIniFile::TKeyValues{{"P", "c d"}}));
  try {
    test::FileSizeLimit limit(20);
    ini.ReplaceSections({"S0"}, {{"S0", {{"P", std::string(40, 'x')}}}});
    ADD_FAILURE() << "no error beyond the size limit";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("a.ini") + ": File too large");
  }
  EXPECT_EQ(dir.Read("a.ini"), "[Head]\r\nN=1\r\n[S0]\r\nP=c d\r\n[Other]\r\nk=1\r\n");
}

// A file that exists but cannot be read is never replaced by one that holds only the new key.
// Runs in a child process without root's rights, which read every file.
TEST(IniFile, UnreadableFileIsNotOverwritten) {
  test::TempDir dir;
  dir.Write("a.ini", "[S]\nkept=1\n");
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir.File("a.ini").c_str(), 0200), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    int code = 2;
    try {
      TIniFile ini(dir.File("a.ini"));
      if (ini.ReadString("S", "kept", "none") != "none") ::_exit(4);
      ini.WriteString("S", "new", "v");
      code = 1;
    } catch (const EIniFileException& e) {
      code = e.Message() == "Unable to write to " + dir.File("a.ini") + ": Cannot open file \"" + dir.File("a.ini") +
                                "\": Permission denied"
                 ? 0
                 : 5;
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ::chmod(dir.File("a.ini").c_str(), 0600);
  EXPECT_EQ(dir.Read("a.ini"), "[S]\nkept=1\n");
}

TEST(IniFile, BareNamesAndCase) {
  test::TempDir dir;
  const std::string saved = ExePath;
  ExePath = dir.Path();
  dir.Write("DEVICE.INI", "[D]\nk=1\n");
  TIniFile bare("Device.ini");
  EXPECT_EQ(bare.FileName(), dir.File("DEVICE.INI"));
  EXPECT_EQ(bare.ReadString("D", "k", ""), "1");
  TIniFile created("new.ini");
  created.WriteString("N", "k", "v");
  EXPECT_EQ(dir.Read("new.ini"), "[N]\r\nk=v\r\n");
  ExePath = saved;
}

TEST(IniFile2, LongValuesAreReadWhole) {
  test::TempDir dir;
  const std::string v5000(5000, 'x'), v50000(50000, 'y');
  {
    TIniFile2 ini(dir.File("a.ini"));
    ini.WriteString("L", "a", v5000);
    ini.WriteString("L", "b", v50000);
    ini.WriteString("L", "u", std::string(3000, 'a') + "\u00E4\u00E4");
    EXPECT_EQ(ini.ReadString("L", "a", ""), v5000);
    EXPECT_EQ(ini.ReadString("L", "b", ""), std::string(40960, 'y'));
  }
  TIniFile plain(dir.File("a.ini"));
  EXPECT_EQ(plain.ReadString("L", "a", ""), std::string(2047, 'x'));
  EXPECT_EQ(plain.ReadInteger("L", "a", 3), 3);
  TIniFile2 ini(dir.File("a.ini"));
  EXPECT_EQ(ini.ReadString("L", "u", "").size(), 3004u);
  // The listing of values cuts them as each class's ReadString does.
  TStringList list;
  ini.ReadSectionValues("L", list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], "a=" + v5000);
  EXPECT_EQ(list[1], "b=" + std::string(40960, 'y'));
  plain.ReadSectionValues("L", list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], "a=" + std::string(2047, 'x'));
  EXPECT_EQ(list[2], "u=" + std::string(2047, 'a'));
}

TEST(IniFile2, FloatsAlwaysWithPoint) {
  struct CommaLocale {
    char saved = FormatSettings.DecimalSeparator;
    CommaLocale() { FormatSettings.DecimalSeparator = ','; }
    ~CommaLocale() { FormatSettings.DecimalSeparator = saved; }
  } comma;
  test::TempDir dir;
  dir.Write("a.ini", "[F]\ncomma=1,5\npoint=1.5\nmixed=1.000,5\nword=abc\n");
  TIniFile2 ini(dir.File("a.ini"));
  ini.WriteFloat2("F", "out", 1.5, 15, 0);
  ini.WriteFloat2("F", "third", 1.0 / 3.0, 4, 0);
  EXPECT_EQ(ini.ReadString("F", "out", ""), "1.5");
  EXPECT_EQ(ini.ReadString("F", "third", ""), "0.3333");
  EXPECT_DOUBLE_EQ(ini.ReadFloat2("F", "comma", 0), 1.5);
  EXPECT_DOUBLE_EQ(ini.ReadFloat2("F", "point", 0), 1.5);
  EXPECT_DOUBLE_EQ(ini.ReadFloat2("F", "missing", 0.1 + 0.2), 0.1 + 0.2);
  EXPECT_THROW(ini.ReadFloat2("F", "mixed", 0), EConvertError);
  EXPECT_THROW(ini.ReadFloat2("F", "word", 0), EConvertError);
  // The plain class's floats follow the locale.
  ini.WriteFloat("F", "plain", 2.5);
  EXPECT_EQ(ini.ReadString("F", "plain", ""), "2,5");
  EXPECT_DOUBLE_EQ(ini.ReadFloat("F", "plain", 0), 2.5);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("F", "point", 7), 7);
}

TEST(IniFile2, EraseSectionsByCaseSensitivePrefix) {
  test::TempDir dir;
  dir.Write("a.ini", "[DL001]\na=1\n[dl002]\nb=2\n[DLX]\nc=3\n[D]\nd=4\n");
  TIniFile2 ini(dir.File("a.ini"));
  ini.EraseSections("DL");
  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"dl002", "D"}));
  ini.EraseSections("");
  ini.ReadSections(list);
  EXPECT_EQ(list.Count(), 0);
}

TEST(TagText, WritesAndParses) {
  const TDateTime dt = EncodeDate(2004, 2, 29) + EncodeTime(7, 5, 9, 0);
  EXPECT_EQ(DateToTagStr(dt), "y2004m02d29e");
  EXPECT_EQ(TimeToTagStr(dt), "h07n05s09e");
  EXPECT_EQ(DateTimeToTagStr(dt), "y2004m02d29e-h07n05s09e");
  EXPECT_EQ(DateTimeToTagStr(NoDateTime), "");
  EXPECT_EQ(DateToTagStr(NoDateTime - 5), "");

  const TDateTime date = EncodeDate(2004, 2, 29), time = EncodeTime(7, 5, 9, 0);
  struct Case {
    const char* text;
    TDateTime date, time;
  } cases[] = {
      {"y2004m02d29e-h07n05s09e", date, time},
      {"y2004m2d29e", date, NoDateTime},
      {"xx y0002004m02d29e trailing", date, NoDateTime},
      {"h07n05s09e", NoDateTime, time},
      {"y2004m02d30e", NoDateTime, NoDateTime},  // 30 February
      {"h24n00s00e", NoDateTime, NoDateTime},    // no such hour
      {"y2004m02d29", NoDateTime, NoDateTime},   // day not ended
      {"y-2004m02d29e", NoDateTime, NoDateTime},
      {"y20040m02d29e", NoDateTime, NoDateTime},  // above 9999
      {"y2004m0x2d29e", NoDateTime, NoDateTime},
      {"ym02d29e", NoDateTime, NoDateTime},
      {"20040229", NoDateTime, NoDateTime},
      {"", NoDateTime, NoDateTime},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TagStrToDate(c.text), c.date) << c.text;
    EXPECT_EQ(TagStrToTime(c.text), c.time) << c.text;
    const TDateTime both = c.date > NoDateTime && c.time > NoDateTime ? c.date + c.time : NoDateTime;
    EXPECT_EQ(TagStrToDateTime(c.text), both) << c.text;
  }
}

TEST(IniFile2, DatesAndTimesInTagText) {
  test::TempDir dir;
  dir.Write("a.ini", "[D]\nbad=y2004m02d30e\nnumber=38000\nempty=\n");
  TIniFile2 ini(dir.File("a.ini"));
  const TDateTime dt = EncodeDate(2004, 2, 29) + EncodeTime(7, 5, 9, 0);
  ini.WriteDateTime("D", "stamp", dt);
  ini.WriteDate("D", "day", dt);
  ini.WriteTime("D", "clock", dt);
  ini.WriteDateTime("D", "none", NoDateTime);
  EXPECT_EQ(ini.ReadString("D", "stamp", ""), "y2004m02d29e-h07n05s09e");
  EXPECT_EQ(ini.ReadString("D", "none", "?"), "");
  EXPECT_EQ(ini.ReadDate("D", "stamp", 1), EncodeDate(2004, 2, 29));
  EXPECT_EQ(ini.ReadTime("D", "stamp", 1), EncodeTime(7, 5, 9, 0));
  EXPECT_EQ(ini.ReadDateTime("D", "stamp", 1), dt);
  EXPECT_EQ(ini.ReadDate("D", "day", 1), EncodeDate(2004, 2, 29));
  EXPECT_EQ(ini.ReadTime("D", "clock", 1), EncodeTime(7, 5, 9, 0));
  for (const char* key : {"bad", "number", "empty", "none", "missing"}) {
    EXPECT_EQ(ini.ReadDate("D", key, 42.5), 42.5) << key;
    EXPECT_EQ(ini.ReadDateTime("D", key, 42.5), 42.5) << key;
  }
}

}  // namespace
}  // namespace qv
