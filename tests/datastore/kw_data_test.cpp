#include "datastore/kw_data.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/app_globals.h"
#include "datastore/channels.h"
#include "datastore/data_file.h"
#include "datastore/fdt_data.h"
#include "datastore/kw_week.h"
#include "data_fixture.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::unique_ptr<TChannels> MakeChannels(int values, const std::string& unit =
                                                        "\xC2\xB0"
                                                        "C") {
  auto list = TChannels::CreateDefault();
  for (int i = 0; i < values; ++i) {
    auto c = std::make_unique<TChannel>(static_cast<uint8_t>(2 + i));
    c->SetUnit(unit);
    list->Add(std::move(c));
  }
  return list;
}

TDtStamp At(int d, int m, int y, int h = 0, int n = 0) { return TDtStamp{DateToDayNo(d, m, y), h * 3600 + n * 60}; }

std::string Text(const TDtStamp& s) {
  if (s.Date == NoDayNo) return "none";
  uint16_t d, m, y;
  DayNoToDate(s.Date, d, m, y);
  char t[40];
  std::snprintf(t, sizeof t, "%02d.%02d.%04d %02d:%02d:%02d", d, m, y, s.Time / 3600, s.Time / 60 % 60, s.Time % 60);
  return t;
}

// Records of `values` values, the first value v, the others v + index; NoValue makes an empty one.
std::string RecordBytes(const std::vector<std::pair<TDtStamp, double>>& list, int values) {
  TMemoryStream m;
  TDtRecord r(values);
  for (const auto& [stamp, v] : list) {
    r.Date = stamp.Date;
    r.Time = stamp.Time;
    for (int i = 0; i < values; ++i) r.SetValues(i, v == NoValue ? NoValue : v + i);
    r.SWrite(m);
  }
  return m.Bytes();
}

// A data file as an older writer left it: the list's block, then the records.
void WriteWeekFile(const std::string& file, TChannels& channels, const std::string& records) {
  TMemoryStream m;
  channels.SaveToStream(m);
  std::ofstream(file, std::ios::binary) << m.Bytes() << records;
}

// The stamps of a window's records, read as every client reads them.
std::vector<std::string> Stamps(TDtData& data, uint8_t window) {
  std::vector<std::string> out;
  TDataLock lock(data);
  data.SelectWindow(window);
  for (bool ok = data.First(); ok; ok = data.Next()) {
    out.push_back(Text(TDtStamp{data.DtRec()->Date, data.DtRec()->Time}));
    if (out.size() > 100000) break;
  }
  return out;
}

int32_t Insert(TDtData& data, const TDtStamp& s, double v) {
  TDtRecord r(data.DtRec()->ValueCount());
  r.Date = s.Date;
  r.Time = s.Time;
  for (int i = 0; i < r.ValueCount(); ++i) r.SetValues(i, v + i);
  TDataLock lock(data);
  return data.InsertRecord(r);
}

class KwDataTest : public ::testing::Test {
protected:
  KwDataTest() : channels_(MakeChannels(2)), rec_(2) {}

  std::string Dir() const { return dir_.Path(); }
  bool Reported(const std::string& part, int kind) const {
    for (const auto& r : reports_.lines)
      if (r.find(part) != std::string::npos && r.find("/" + std::to_string(kind) + "/") != std::string::npos)
        return true;
    return false;
  }

  test::TempDir dir_;
  std::unique_ptr<TChannels> channels_;
  TDtRecord rec_;
  test::TRecordingMsgHandler reports_;
};

TEST_F(KwDataTest, WindowsAcrossNewYearReadOnlyTheirWeeks) {
  // Every twelve hours from Monday 20 December 2004 to Monday 10 January 2005. 2004 has an ISO
  // week 53, which holds New Year.
  std::map<int32_t, std::vector<std::pair<TDtStamp, double>>> weeks;
  int n = 0;
  for (TDtStamp s = At(20, 12, 2004); s.Date <= At(10, 1, 2005).Date; IncDtStampSecs(s, 43200)) {
    weeks[KwKeyOfDayNo(s.Date)].push_back({s, n++});
  }
  ASSERT_EQ(weeks.size(), 4u);
  for (const auto& [key, list] : weeks)
    WriteWeekFile(dir_.File(KwFileNameOfKey(key)), *channels_, RecordBytes(list, 2));
  ASSERT_TRUE(std::filesystem::exists(dir_.File("KW0453.QVR")));

  TKwData kw(Dir(), channels_.get(), &rec_);
  EXPECT_EQ(Text(kw.OldestDt), "20.12.2004 00:00:00");
  EXPECT_EQ(Text(kw.GetNewestDt()), "10.01.2005 12:00:00");
  EXPECT_FALSE(kw.NoData());

  // 30 December to 2 January lies in week 53 of 2004 alone; the edges come with it.
  EXPECT_EQ(kw.OpenDT(At(30, 12, 2004, 6), At(1, 1, 2005, 23, 59), NoDtStamp, NoDtStamp), drDone);
  EXPECT_EQ(Stamps(kw, 1),
            (std::vector<std::string>{"30.12.2004 00:00:00", "30.12.2004 12:00:00", "31.12.2004 00:00:00",
                                      "31.12.2004 12:00:00", "01.01.2005 00:00:00", "01.01.2005 12:00:00",
                                      "02.01.2005 00:00:00"}));
  EXPECT_EQ(Text(kw.RangeStart), "30.12.2004 00:00:00");

  // From week 52 across week 53 (read whole) into week 1 of 2005, each end with its edge record.
  EXPECT_EQ(kw.OpenDT(At(26, 12, 2004, 12), At(3, 1, 2005, 0), NoDtStamp, NoDtStamp), drDone);
  std::vector<std::string> got = Stamps(kw, 1);
  ASSERT_EQ(got.size(), 18u);
  EXPECT_EQ(got.front(), "26.12.2004 00:00:00");
  EXPECT_EQ(got.back(), "03.01.2005 12:00:00");
  EXPECT_EQ(Text(kw.RangeStop), "03.01.2005 12:00:00");

  // A window in a week without a file reads nothing.
  EXPECT_EQ(kw.OpenDT(At(1, 3, 2005), At(2, 3, 2005), NoDtStamp, NoDtStamp), drRefused);
  EXPECT_TRUE(Stamps(kw, 1).empty());
  EXPECT_TRUE(reports_.lines.empty());
}

TEST_F(KwDataTest, UnfitFilesAreReportedAndSkipped) {
  auto other = MakeChannels(3);
  WriteWeekFile(dir_.File("KW0501.QVR"), *channels_, RecordBytes({{At(4, 1, 2005), 1}, {At(5, 1, 2005), 2}}, 2));
  WriteWeekFile(dir_.File("KW0502.QVR"), *other, RecordBytes({{At(11, 1, 2005), 9}}, 3));
  std::string cut = RecordBytes({{At(18, 1, 2005), 3}, {At(19, 1, 2005), 4}}, 2);
  WriteWeekFile(dir_.File("KW0503.QVR"), *channels_, cut.substr(0, cut.size() - 7));
  dir_.Write("KW0504.QVR", "this is no data file");
  dir_.Write("readme.txt", "notes");
  dir_.Write("KW200550.QVR", "a six-digit name whose KW0550.QVR is missing");
  const std::string week2 = dir_.Read("KW0502.QVR");

  TKwData kw(Dir(), channels_.get(), &rec_);
  EXPECT_EQ(Text(kw.OldestDt), "04.01.2005 00:00:00");
  EXPECT_EQ(Text(kw.GetNewestDt()), "18.01.2005 00:00:00");
  EXPECT_TRUE(Reported("KW0504.QVR", 2));

  reports_.lines.clear();
  EXPECT_EQ(kw.OpenDT(At(3, 1, 2005), At(30, 1, 2005), NoDtStamp, NoDtStamp), drDone);
  EXPECT_EQ(Stamps(kw, 1),
            (std::vector<std::string>{"04.01.2005 00:00:00", "05.01.2005 00:00:00", "18.01.2005 00:00:00"}));
  EXPECT_TRUE(Reported("KW0502.QVR: dat_UncompatibleChannels", 2));
  EXPECT_TRUE(Reported("KW0503.QVR", 5));
  EXPECT_TRUE(Reported("KW0504.QVR: dat_UncompatibleFormat", 2));

  // New records for the foreign week stay in memory; the others are merged into their weeks.
  kw.Flags = dfPermitInsert;
  EXPECT_EQ(Insert(kw, At(12, 1, 2005), 7), drDone);
  EXPECT_EQ(Insert(kw, At(19, 1, 2005), 8), drDone);
  EXPECT_EQ(kw.Flush(), drWeekNotWritten);
  EXPECT_TRUE(kw.Modified());
  EXPECT_EQ(dir_.Read("KW0502.QVR"), week2);
  TKwData again(Dir(), channels_.get(), &rec_);
  again.OpenDT(At(17, 1, 2005), At(23, 1, 2005), NoDtStamp, NoDtStamp);
  EXPECT_EQ(Stamps(again, 1), (std::vector<std::string>{"18.01.2005 00:00:00", "19.01.2005 00:00:00"}));
  std::filesystem::remove(dir_.File("KW0504.QVR"));
}

TEST_F(KwDataTest, FlushMergesIntoTheWeeksAndCreatesMissingOnes) {
  WriteWeekFile(dir_.File("kw0901.qvr"), *channels_,
                RecordBytes({{At(29, 12, 2008, 10), 1}, {At(2, 1, 2009, 10), 3}}, 2));
  TKwData kw(Dir(), channels_.get(), &rec_);
  kw.OpenDT(At(29, 12, 2008), At(12, 1, 2009), NoDtStamp, NoDtStamp);
  EXPECT_EQ(Insert(kw, At(31, 12, 2008, 10), 2), drNotPermitted);  // between two stored records
  kw.Flags = dfPermitInsert;
  EXPECT_EQ(Insert(kw, At(31, 12, 2008, 10), 2), drDone);
  EXPECT_EQ(Insert(kw, At(6, 1, 2009, 8), 4), drDone);
  EXPECT_EQ(Insert(kw, At(6, 1, 2009, 9), 5), drDone);
  EXPECT_EQ(kw.Flush(), drDone);
  EXPECT_FALSE(kw.Modified());
  EXPECT_EQ(kw.AppendPos(), -1);

  // The file found in another case is rewritten, not doubled; the new week has its own file.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(Dir())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"KW0902.QVR", "kw0901.qvr"}));

  TKwData again(Dir(), channels_.get(), &rec_);
  EXPECT_EQ(Text(again.GetNewestDt()), "06.01.2009 09:00:00");
  again.OpenDT(At(29, 12, 2008), At(12, 1, 2009), NoDtStamp, NoDtStamp);
  EXPECT_EQ(Stamps(again, 1),
            (std::vector<std::string>{"29.12.2008 10:00:00", "31.12.2008 10:00:00", "02.01.2009 10:00:00",
                                      "06.01.2009 08:00:00", "06.01.2009 09:00:00"}));
  // Reading back gives the values written.
  {
    TDataLock lock(again);
    again.SelectWindow(0);
    ASSERT_TRUE(again.First());
    ASSERT_TRUE(again.Next());
    EXPECT_EQ(again.DtRec()->GetValues(1), 3.0);
  }
}

TEST_F(KwDataTest, AWeekThatCannotBeWrittenIsTriedAgain) {
  TKwData kw(Dir(), channels_.get(), &rec_);
  kw.OpenDT(At(1, 1, 2009), At(12, 1, 2009), NoDtStamp, NoDtStamp);
  Insert(kw, At(2, 1, 2009), 1);
  Insert(kw, At(6, 1, 2009), 2);
  // Something that is no file stands where the second week's file has to go.
  std::filesystem::create_directory(dir_.File("KW0902.QVR"));
  EXPECT_EQ(kw.Flush(), drWeekNotWritten);
  EXPECT_TRUE(kw.Modified());
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.File("KW0901.QVR")));
  EXPECT_TRUE(Reported("KW0902.QVR", 2));
  std::filesystem::remove(dir_.File("KW0902.QVR"));
  EXPECT_EQ(kw.Flush(), drDone);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.File("KW0902.QVR")));
}

TEST_F(KwDataTest, AFullDiscLeavesTheStoredWeekAsItWas) {
  WriteWeekFile(dir_.File("KW0901.QVR"), *channels_, RecordBytes({{At(29, 12, 2008, 10), 1}}, 2));
  const std::string stored = dir_.Read("KW0901.QVR");
  TKwData kw(Dir(), channels_.get(), &rec_);
  kw.OpenDT(At(29, 12, 2008), At(4, 1, 2009), NoDtStamp, NoDtStamp);
  for (int m = 0; m < 600; ++m) Insert(kw, TDtStamp{At(30, 12, 2008).Date, m * 60}, m);
  // The file system takes no file beyond 4 KiB: the rewrite fails half-way.
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  int32_t result = kw.Flush();
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, drWeekNotWritten);
  EXPECT_TRUE(kw.Modified());
  EXPECT_EQ(dir_.Read("KW0901.QVR"), stored);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir()), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(kw.Flush(), drDone);
  TKwData again(Dir(), channels_.get(), &rec_);
  EXPECT_EQ(Text(again.GetNewestDt()), "30.12.2008 09:59:00");
}

TEST_F(KwDataTest, IdentitiesAndNames) {
  std::string saved = ExePath;
  ExePath = Dir();
  std::filesystem::create_directories(dir_.File("DL001/DL003"));
  TKwData kw(Dir() + "DL001/DL003/", channels_.get(), &rec_);
  EXPECT_EQ(kw.GetDataIdent(), "TKwData@DL001/DL003/");
  TKwData outside("/srv/data/DL007/", channels_.get(), &rec_);
  EXPECT_EQ(outside.GetDataIdent(), "TKwData@/srv/data/DL007/");
  ExePath = saved;

  int events = 0;
  kw.AddClient(&events, DataEventBit(deNameChanged), [&](TData*, int32_t) { ++events; });
  kw.SetName("Sensor 1");
  kw.SetName("Sensor 1");
  kw.SetSName("S1");
  EXPECT_EQ(events, 2);
  EXPECT_EQ(kw.GetName(), "Sensor 1");
  kw.DetachClient(&events);

  TFdtData fdt("/", channels_.get(), &rec_, "x");
  struct Case {
    const char* full;
    const char* path;
    const char* name;
    const char* ext;
    const char* sname;
  } cases[] = {
      {"/A/B/x.QVR", "/A/B/", "x", ".QVR", "/../x.QVR"},
      {"/data/Test.QVR.QVR", "/data/", "Test.QVR", ".QVR", "/../Test.QVR.QVR"},
      {"x.dat", "", "x", ".dat", "x.dat"},
      {"rel/y.qvr", "rel/", "y", ".qvr", "rel/y.qvr"},
  };
  for (const auto& c : cases) {
    fdt.SetFileName(c.full);
    EXPECT_EQ(fdt.Path, c.path) << c.full;
    EXPECT_EQ(fdt.FileName, c.name) << c.full;
    EXPECT_EQ(fdt.FileExt, c.ext) << c.full;
    EXPECT_EQ(fdt.GetSName(), c.sname) << c.full;
  }
  fdt.SetFileName("/A/B/x.QVR");
  EXPECT_EQ(fdt.GetDataIdent(), "TFdtData@/A/B/x.QVR");
}

TEST_F(KwDataTest, DataFileRoundTripAndFailures) {
  TFdtData fdt(Dir(), channels_.get(), &rec_, "Test");
  // A missing file.
  EXPECT_THROW(fdt.Open(), EDatOutOfMemError);
  // Writing an empty buffer leaves a stored file alone.
  dir_.Write("Test.QVR", "stored");
  fdt.NewBuffer();
  EXPECT_EQ(fdt.WriteData(), drDone);
  EXPECT_EQ(dir_.Read("Test.QVR"), "stored");

  Insert(fdt, At(1, 2, 2007, 8), 10);
  Insert(fdt, At(1, 2, 2007, 9), 20);
  EXPECT_EQ(fdt.Flush(), drDone);
  // A channel without a unit of its own takes the file's description.
  auto bare = MakeChannels(2, "");
  TDtRecord rec(2);
  TFdtData back(Dir(), bare.get(), &rec, "Test");
  EXPECT_EQ(back.Open(), drDone);
  EXPECT_EQ(Stamps(back, 0), (std::vector<std::string>{"01.02.2007 08:00:00", "01.02.2007 09:00:00"}));
  EXPECT_EQ(bare->GetChannel(3)->Unit(),
            "\xC2\xB0"
            "C");
  EXPECT_EQ(Text(back.GetNewestDt()), "01.02.2007 09:00:00");

  // Another channel count is refused, and so is a damaged block.
  auto three = MakeChannels(3);
  TDtRecord rec3(3);
  TFdtData wrong(Dir(), three.get(), &rec3, "Test");
  try {
    wrong.Open();
    ADD_FAILURE();
  } catch (const EDatFormatError& e) {
    EXPECT_EQ(e.Message(), "dat_UncompatibleChannels");
  }
  dir_.Write("Bad.QVR", std::string("\x67\x00\x00\x00\x02\x00", 6));
  TFdtData bad(Dir(), channels_.get(), &rec_, "Bad");
  try {
    bad.Open();
    ADD_FAILURE();
  } catch (const EDatFormatError& e) {
    EXPECT_EQ(e.Message().rfind("dat_UncompatibleFormat\r\n", 0), 0u) << e.Message();
  }

  // A write that fails keeps the stored file and raises the out-of-disc error.
  const std::string stored = dir_.Read("Test.QVR");
  std::filesystem::create_directory(dir_.File("Dir.QVR"));
  TFdtData blocked(Dir(), channels_.get(), &rec_, "Dir");
  blocked.NewBuffer();
  Insert(blocked, At(1, 2, 2007, 8), 10);
  EXPECT_THROW(blocked.Flush(), EDatOutOfDiscError);
  EXPECT_TRUE(blocked.Modified());
  EXPECT_EQ(dir_.Read("Test.QVR"), stored);
}

// A data file that could not be read is never replaced: records inserted after the failed open
// stay in memory until the file is gone or has been read.
TEST_F(KwDataTest, AFileThatCouldNotBeReadIsNeverOverwritten) {
  const std::string damaged("\x67\x00\x00\x00\x02\x00", 6);
  dir_.Write("Bad.QVR", damaged);
  TFdtData bad(Dir(), channels_.get(), &rec_, "Bad");
  EXPECT_THROW(bad.Open(), EDatFormatError);
  Insert(bad, At(1, 2, 2007, 8), 10);
  EXPECT_EQ(bad.Flush(), drRefused);
  EXPECT_TRUE(bad.Modified());
  EXPECT_EQ(dir_.Read("Bad.QVR"), damaged);
  std::filesystem::rename(dir_.File("Bad.QVR"), dir_.File("Bad.QVR.kept"));
  EXPECT_EQ(bad.Flush(), drDone);
  TFdtData back(Dir(), channels_.get(), &rec_, "Bad");
  EXPECT_EQ(back.Open(), drDone);
  EXPECT_EQ(Stamps(back, 0), (std::vector<std::string>{"01.02.2007 08:00:00"}));
}

}  // namespace
}  // namespace qv
