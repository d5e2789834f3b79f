#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/dt_stamp.h"
#include "base/ini_file2.h"
#include "comm/tv10_mem_prot.h"
#include "datastore/kw_data.h"
#include "devices/visual_hooks.h"
#include "platform/rtl/text_utils.h"
#include "support/fake_db_shell_combo.h"
#include "handler_fixture.h"

namespace qv {
namespace {

using test::HandlerLine;

constexpr int kInterval = 10;  // minutes

// A logger with a generated memory from 1 March 2030 00:00 on.
sim::SimConfig MemLogger(int kind, int samples, const std::function<void(sim::SimConfig&)>& more = nullptr) {
  sim::SimConfig c;
  c.SetKind(kind);
  c.id = 0x2345;
  c.burst = kind == 6;  // the long blocks of kind 6 would take seconds each at 19200 baud
  c.samples = samples;
  c.interval = kInterval;
  c.start = sim::DateTimeFields{2030, 3, 1, 0, 0, 0};
  if (more) more(c);
  return c;
}

TDtStamp StampOf(int64_t sim_seconds) {
  const sim::DateTimeFields f = sim::SecondsToFields(sim_seconds);
  return TDtStamp{DateToDayNo(f.day, f.month, f.year), TimeToSecs(f.hour, f.minute, f.second)};
}

// One record as text: its stamp and its values ("-" for missing), so that a mismatch shows.
std::string RecordText(const TDtRecord& r) {
  uint16_t d, m, y;
  uint8_t hh, mm, ss;
  DayNoToDate(r.Date, d, m, y);
  SecsToTime(r.Time, hh, mm, ss);
  char head[40];
  std::snprintf(head, sizeof head, "%04u-%02u-%02u %02u:%02u:%02u", y, m, d, hh, mm, ss);
  std::string out = head;
  for (int i = 0; i < r.ValueCount(); ++i) {
    const double v = r.GetValues(i);
    out += v <= NoValue ? " -" : " " + std::to_string(v);
  }
  return out;
}

// The records of a sensor's weekly files, read back by a data set of their own.
std::vector<std::string> StoredRecords(TTavra2GSubMod* sub) {
  TDtRecord rec(sub->Channels()->ValueCount());
  TKwData kw(sub->Dir(), sub->Channels(), &rec);
  std::vector<std::string> out;
  if (kw.OpenDT(TDtStamp{DateToDayNo(1, 1, 2030), 0}, TDtStamp{DateToDayNo(31, 12, 2030), 0}, NoDtStamp, NoDtStamp) !=
      drDone)
    return out;
  TDataLock lock(kw);
  kw.SelectWindow(1);
  for (bool ok = kw.First(); ok; ok = kw.Next()) out.push_back(RecordText(*kw.DtRec()));
  return out;
}

// What a channel's weekly files must hold after reading the logger's series of that channel:
// a gap marker (an empty record) where a series does not follow the data before it, then one
// record per sample. Series whose header index is in skipped are left out.
std::vector<std::string> ExpectedRecords(HandlerLine& h, TTavra2GSubMod* sub, int channel,
                                         const std::vector<int>& skipped = {}) {
  std::vector<sim::MeasurementSeries> series;
  int mode = 7;
  h.line.Logger().Inspect([&](const sim::LoggerSim& s) {
    series = s.Memory();
    mode = s.Config().kinds;
  });
  std::vector<int> kinds;
  for (int bit : {4, 2, 1})
    if (mode & bit) kinds.push_back(bit == 4 ? 0 : bit == 2 ? 1 : 2);
  if (kinds.empty()) kinds.push_back(2);
  const int step = kInterval * 60;
  std::vector<std::string> out;
  bool any = false;
  int64_t last = 0;
  for (const auto& s : series) {
    if (s.channel != channel || std::count(skipped.begin(), skipped.end(), s.header_index)) continue;
    TDtRecord rec(sub->Channels()->ValueCount());
    if (!any || s.start - last > step + std::min(step / 2, 600)) {
      const TDtStamp t = StampOf(s.start);
      rec.Date = t.Date;
      rec.Time = t.Time;
      out.push_back(RecordText(rec));
    }
    const size_t samples = s.words.size() / kinds.size();
    for (size_t i = 0; i < samples; ++i) {
      rec.Clear();
      const TDtStamp t = StampOf(s.start + static_cast<int64_t>(i) * step);
      rec.Date = t.Date;
      rec.Time = t.Time;
      for (size_t k = 0; k < kinds.size(); ++k) rec.SetValues(kinds[k], sub->RawToValue(s.words[i * kinds.size() + k]));
      out.push_back(RecordText(rec));
      last = s.start + static_cast<int64_t>(i) * step;
    }
    any = true;
  }
  return out;
}

TDateTime LastSampleTime(HandlerLine& h, int channel) {
  int64_t last = 0;
  int kinds = 1;
  h.line.Logger().Inspect([&](const sim::LoggerSim& s) {
    kinds = std::max<int>(1, __builtin_popcount(static_cast<unsigned>(s.Config().kinds & 7)));
    for (const auto& m : s.Memory())
      if (m.channel == channel)
        last = std::max<int64_t>(last, m.start + static_cast<int64_t>(m.words.size() / kinds - 1) * kInterval * 60);
  });
  return DtStampToDateTime(StampOf(last));
}

void RetryAndRecord(HandlerLine& h, std::vector<std::string>& shown) {
  h.line.Handler().Answer = [&shown](const std::string& msg, TMsgDlgButtons buttons) {
    if (buttons & mbRetry) return static_cast<int>(mrRetry);  // a late answer on a loaded machine
    shown.push_back(msg);
    return static_cast<int>(mrOk);
  };
}

long Count(const std::vector<std::string>& v, const std::string& s) { return std::count(v.begin(), v.end(), s); }

struct StoreCase {
  const char* name;
  int kind;
  int ee;
  int mode;
  std::vector<std::pair<int, int>> gaps;
};
// The case's name stands for it in the test's name, not its bytes.
void PrintTo(const StoreCase& c, std::ostream* os) { *os << c.name; }

class Tv10MemStore : public ::testing::TestWithParam<StoreCase> {};

TEST_P(Tv10MemStore, TheWeeklyFilesHoldExactlyTheLoggersSeries) {
  const StoreCase& c = GetParam();
  HandlerLine h(MemLogger(c.kind, 120, [&](sim::SimConfig& cfg) {
    cfg.ee = c.ee;
    cfg.kinds = c.mode;
    cfg.gaps = c.gaps;
  }));
  std::vector<std::string> shown;
  RetryAndRecord(h, shown);
  TRecordingAlarmChannels alarms;
  AlarmChannels = &alarms;
  ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
  AlarmChannels = nullptr;
  TTv10Modul* m = h.Module(0);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(h.handler->CanReadMemAnonym());
  const int channels = c.kind == 6 ? 4 : 2;
  size_t values = 0;
  for (int ch = 1; ch <= channels; ++ch) {
    TTavra2GSubMod* sub = m->GetSubModul(ch);
    ASSERT_NE(sub, nullptr);
    const auto expected = ExpectedRecords(h, sub, ch);
    EXPECT_EQ(StoredRecords(sub), expected) << "channel " << ch;
    EXPECT_EQ(m->GetLastUpdate(ch), LastSampleTime(h, ch)) << "channel " << ch;
    values += 120 * static_cast<size_t>(std::max(1, __builtin_popcount(static_cast<unsigned>(c.mode))));
  }
  // Every value went to the alarm list, which was cleared before and after the read.
  EXPECT_EQ(alarms.Samples().size(), values);
  EXPECT_EQ(alarms.LogCount(), 1);
  EXPECT_EQ(alarms.MailCount(), 1);
  EXPECT_TRUE(h.line.Logger().Violations().empty());

  // The next read finds nothing after the data read, says so naming where it started (the
  // memory is not empty), and leaves the files as they are.
  TDateTime start = 0;
  for (int ch = 1; ch <= channels; ++ch) start = std::max(start, m->GetLastUpdate(ch) + 1.0 / 86400);
  const auto before = StoredRecords(m->GetSubModul(1));
  h.line.Handler().messages.clear();
  ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
  EXPECT_EQ(h.line.Handler().Texts(mkWarning),
            std::vector<std::string>{"No data newer than " + FormatDateTime("ddddd tt", start) +
                                     " were found in the logger."});
  EXPECT_EQ(StoredRecords(m->GetSubModul(1)), before);
}

const StoreCase kStoreCases[] = {
    {"Kind5AllKinds", 5, 20, 7, {}},
    {"Kind5MinMaxWithGaps", 5, 20, 6, {{10, 3}, {50, 1}}},
    {"Kind5OldHeaderLayout", 5, 17, 7, {{30, 2}}},
    {"Kind5AverageOnly", 5, 18, 1, {}},
    {"Kind6AllKindsWithAGap", 6, 20, 7, {{40, 5}}},
    {"Kind6OldHeaderLayoutMaxAvg", 6, 17, 3, {}},
};

INSTANTIATE_TEST_SUITE_P(Series, Tv10MemStore, ::testing::ValuesIn(kStoreCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The names renamed into place in each watched folder while f runs, with their counts.
std::map<std::string, std::map<std::string, int>> RenamesDuring(const std::vector<std::string>& folders,
                                                                const std::function<void()>& f) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  std::map<int, std::string> watched;
  // The creates keep two renames of one name apart: the queue merges equal events in a row.
  for (const std::string& folder : folders)
    watched[::inotify_add_watch(fd, folder.c_str(), IN_MOVED_TO | IN_CREATE)] = folder;
  f();
  std::map<std::string, std::map<std::string, int>> out;
  alignas(inotify_event) char buf[1 << 16];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
    for (char* p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len) {
      const auto* e = reinterpret_cast<inotify_event*>(p);
      if (e->mask & IN_MOVED_TO) ++out[watched[e->wd]][e->name];
    }
  ::close(fd);
  return out;
}

// Three weeks of two channels: the module's file takes both last updates in one rewrite, and
// each weekly file is written once.
TEST(Tv10MemStoreFiles, TheStoringStepWritesEachFileOnce) {
  const sim::SimConfig config = MemLogger(5, 3 * 7 * 24 * 6);
  HandlerLine h(config);
  sim::LoggerSim logger(config, {2030, 6, 1, 0, 0, 0}, 0);
  const sim::Bytes& image = logger.Image();
  TTv10Modul* m = h.AddModule(5, config.id, std::string(image.begin(), image.end()));
  h.handler->AllocEEBuf(static_cast<uint16_t>(image.size()));
  std::copy(image.begin(), image.end(), h.handler->EEBuf.begin());
  bool changed = false;
  h.handler->EEBufToModul(m, static_cast<uint8_t>(config.ee), changed);
  h.handler->FCurModul = m;
  h.handler->DevKind = 5;
  h.handler->EEVersion = static_cast<uint8_t>(config.ee);
  for (int ch = 1; ch <= 2; ++ch) {
    const sim::Bytes part = logger.ChannelStream(ch, 0);
    h.handler->MemStream.WriteBuffer(part.data(), static_cast<int32_t>(part.size()));
  }
  std::vector<std::string> folders{m->Dir()};
  for (int ch = 1; ch <= 2; ++ch) folders.push_back(m->GetSubModul(ch)->Dir());

  const auto renames = RenamesDuring(folders, [&] { h.handler->ReadMemBlocksFin(); });

  EXPECT_EQ(renames.at(m->Dir()), (std::map<std::string, int>{{"Device.ini", 1}}));
  for (int ch = 1; ch <= 2; ++ch) {
    const auto& files = renames.at(m->GetSubModul(ch)->Dir());
    EXPECT_GE(files.size(), 3u) << "channel " << ch;
    for (const auto& [name, count] : files) EXPECT_EQ(count, 1) << name;
    EXPECT_EQ(m->GetLastUpdate(ch),
              TIniFile2(m->GetIniName()).ReadDateTime("Device", "LastUpdate" + std::to_string(ch), 0));
    EXPECT_GT(m->GetLastUpdate(ch), Tv10MemReadEpoch());
  }
}

// The false headers of a read go to the diagnose log one by one, with their place; the user is
// told once how many there were (in automatic mode it is only logged).
TEST(Tv10MemStoreFaults, BadHeadersAreLoggedEachAndReportedOncePerRead) {
  // Three series per channel: headers 1 to 3 on channel 1, 4 to 6 on channel 2.
  HandlerLine h(MemLogger(5, 40, [](sim::SimConfig& cfg) {
    cfg.gaps = {{10, 2}, {20, 2}};
    cfg.faults.headers = {{2, "interval", 0x8001}, {4, "crc", 0}, {5, "pcb", 15}, {6, "interval", 0}};
  }));
  std::vector<std::string> shown;
  RetryAndRecord(h, shown);
  ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
  const std::string summary = "4 invalid data block headers were skipped.";
  EXPECT_EQ(shown, std::vector<std::string>{summary});
  EXPECT_EQ(h.line.Handler().Texts(mkWarning), std::vector<std::string>{summary});
  std::vector<std::string> logged;
  std::vector<std::string> places;
  for (const std::string& line : h.line.Handler().Texts(mkDiagnoseOnly)) {
    if (line.rfind("Invalid data block header (", 0) != 0) continue;
    logged.push_back(line.substr(0, line.find(')') + 1));
    places.push_back(line.substr(line.find(") at byte ")));
  }
  EXPECT_EQ(logged,
            (std::vector<std::string>{
                "Invalid data block header (invalid SaveInt)", "Invalid data block header (invalid HeaderCRC)",
                "Invalid data block header (invalid SensorPcb)", "Invalid data block header (invalid SaveInt)"}));
  EXPECT_EQ(std::set<std::string>(places.begin(), places.end()).size(), 4u);  // each at its own place
  TTv10Modul* m = h.Module(0);
  EXPECT_EQ(StoredRecords(m->GetSubModul(1)), ExpectedRecords(h, m->GetSubModul(1), 1, {2}));
  EXPECT_TRUE(StoredRecords(m->GetSubModul(2)).empty());

  // Channel 2 is read again from its start; automatic mode shows nothing.
  h.line.Handler().SetModes(h.line.Handler().Modes() | AutoModeEnabled);
  shown.clear();
  ASSERT_TRUE(h.handler->ReadMemAnonym(false, true)) << h.FirstWarning();
  EXPECT_TRUE(shown.empty()) << shown.front();
  EXPECT_EQ(Count(h.line.Handler().Texts(mkWarning), "3 invalid data block headers were skipped."), 1);
}

TEST(Tv10MemStoreFaults, AReadThatFailsStoresNothingAndItsRepeatStoresEverythingOnce) {
  // Channel 1 has two blocks (serials 1 and 2); the first block of channel 2 never passes.
  HandlerLine h(MemLogger(5, 30, [](sim::SimConfig& cfg) { cfg.faults.bad_crc = {{false, 3, 6}}; }));
  std::vector<std::string> shown;
  RetryAndRecord(h, shown);
  EXPECT_FALSE(h.handler->ReadMemAnonym(true, true));
  EXPECT_EQ(h.FirstWarning().substr(0, 14), "Checksum error");
  TTv10Modul* m = h.Module(0);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(StoredRecords(m->GetSubModul(1)).empty());
  EXPECT_EQ(m->GetLastUpdate(1), EncodeDate(2000, 1, 1));

  ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
  for (int ch = 1; ch <= 2; ++ch)
    EXPECT_EQ(StoredRecords(m->GetSubModul(ch)), ExpectedRecords(h, m->GetSubModul(ch), ch)) << "channel " << ch;
}

TEST(Tv10MemStoreFaults, AReadWithoutBlocksSaysWhetherTheMemoryIsEmptyOrHasNothingNewer) {
  const TDateTime june = EncodeDate(2030, 6, 1) + 12.5 / 24;
  const std::string nothing_newer =
      "No data newer than " + FormatDateTime("ddddd tt", june) + " were found in the logger.";
  const std::string empty = "The logger's memory is empty.";
  const struct {
    const char* name;
    int samples;
    bool confirm, all;
    std::string said;
  } cases[] = {
      {"empty memory, no start confirmed", 0, false, false, empty},
      {"empty memory, read all", 0, true, true, empty},
      {"data older than the confirmed start", 40, true, false, nothing_newer},
  };
  for (const auto& c : cases) {
    HandlerLine h(MemLogger(5, c.samples));
    std::vector<std::string> shown;
    RetryAndRecord(h, shown);
    if (c.confirm)
      SelStartDateTimeProc = [&c, june](TDateTime& start, bool& all) {
        start = june;
        all = c.all;
        return true;
      };
    ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << c.name << ": " << h.FirstWarning();
    SelStartDateTimeProc = nullptr;
    EXPECT_EQ(h.line.Handler().Texts(mkWarning), std::vector<std::string>{c.said}) << c.name;
    EXPECT_TRUE(StoredRecords(h.Module(0)->GetSubModul(1)).empty()) << c.name;
  }
}

TEST(Tv10MemStoreKinds, TwoSlotsWithTheSameSensorKeepTheirChannelsApart) {
  HandlerLine h(MemLogger(5, 30, [](sim::SimConfig& c) { c.slots[1] = c.slots[0]; }));
  std::vector<std::string> shown;
  RetryAndRecord(h, shown);
  ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
  TTv10Modul* m = h.Module(0);
  for (int ch = 1; ch <= 2; ++ch)
    EXPECT_EQ(StoredRecords(m->GetSubModul(ch)), ExpectedRecords(h, m->GetSubModul(ch), ch)) << "channel " << ch;
}

TEST(Tv10MemStoreKinds, TheCollectionsCommandReadsTheMemory) {
  HandlerLine h(MemLogger(5, 20));
  std::vector<std::string> shown;
  RetryAndRecord(h, shown);
  TTv10DevHndlColl collection;
  ASSERT_TRUE(collection.ReadMemAnonym(true, true)) << h.FirstWarning();
  TTv10Modul* m = h.Module(0);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(StoredRecords(m->GetSubModul(2)), ExpectedRecords(h, m->GetSubModul(2), 2));
}

TEST(Tv10MemStoreKinds, TheLoggerReadNowDecidesWhetherThereIsAMemory) {
  {
    // A kind-7 logger read before says nothing about the logger on the line now.
    HandlerLine h(MemLogger(5, 20));
    std::vector<std::string> shown;
    RetryAndRecord(h, shown);
    h.handler->DevKind = 7;
    ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
    EXPECT_EQ(StoredRecords(h.Module(0)->GetSubModul(1)), ExpectedRecords(h, h.Module(0)->GetSubModul(1), 1));
  }
  HandlerLine h(MemLogger(7, 20));
  std::vector<std::string> shown;
  RetryAndRecord(h, shown);
  ASSERT_TRUE(h.handler->ReadMemAnonym(true, true)) << h.FirstWarning();
  EXPECT_EQ(Count(h.line.Logger().Requests(), "?1"), 0);
  EXPECT_TRUE(h.line.Handler().Texts(mkWarning).empty());
  EXPECT_TRUE(StoredRecords(h.Module(0)->GetSubModul(1)).empty());
}

// ---- a new logger ----

class EnabledAutoMonitor : public TAutoMonitorService {
public:
  bool Enabled() const override { return true; }
  void DeviceModified(TDevice*) override {}
};

TEST(Tv10NewModule, ErasesItsFoldersStaleMonitorKeyAndIsSelectedWithoutClosingTheLine) {
  test::FakeCombo combo;  // outlives the shell that lists into it
  HandlerLine h(MemLogger(5, 0));
  std::vector<std::string> erased;
  DeleteProgramRegistryKey = [&](const std::string& key) { erased.push_back(key); };
  EnabledAutoMonitor monitor;
  AutoMonitor = &monitor;
  h.shell->SetDeviceCombo(&combo);
  std::vector<bool> flag_at_change;
  h.shell->OnChange = [&](TDbShell*) { flag_at_change.push_back(DisconnectOnDevChange); };
  h.line.Handler().Answer = [](const std::string&, TMsgDlgButtons buttons) {
    if (buttons & mbRetry) return static_cast<int>(mrRetry);  // a late answer on a loaded machine
    return static_cast<int>((buttons & mbYes) ? mrYes : mrOk);
  };
  ASSERT_TRUE(h.handler->ReadCfgAnonym(true, true)) << h.FirstWarning();
  TTv10Modul* m = h.Module(0);
  std::string folder = m->Dir().substr(ExePath.size());
  folder.pop_back();
  std::replace(folder.begin(), folder.end(), '/', '\\');
  EXPECT_EQ(erased, std::vector<std::string>{"\\Profile\\AutoMonitors\\" + UpperCase(folder)});
  EXPECT_EQ(h.shell->GetSelDevice(), m);
  EXPECT_EQ(std::count(flag_at_change.begin(), flag_at_change.end(), false), 1);
  EXPECT_TRUE(DisconnectOnDevChange);
  // A known logger has no stale key to erase.
  ASSERT_TRUE(h.handler->ReadCfgAnonym(true, true)) << h.FirstWarning();
  EXPECT_EQ(erased.size(), 1u);
  DeleteProgramRegistryKey = nullptr;
  AutoMonitor = nullptr;
  h.shell->OnChange = nullptr;
  h.shell->SetDeviceCombo(nullptr);
}

// ---- start dates ----

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return EncodeDate(y, mo, d) + (h * 3600 + mi * 60 + s) / 86400.0;
}

TEST(Tv10MemStartDate, ProposesTheMondayOfTheWeekOrTheEarliestStartAfterDataRead) {
  HandlerLine h(MemLogger(5, 0));
  TTv10Modul* m = h.AddModule(5, 0x2345, "");
  h.handler->FCurModul = m;
  TFixedClock clock;
  h.handler->Clock = &clock;
  const struct {
    TDateTime now, monday;
  } weeks[] = {
      {At(2031, 1, 1, 13, 5), At(2030, 12, 30)},  // a Wednesday in the first days of January
      {At(2030, 3, 3, 23, 59), At(2030, 2, 25)},  // a Sunday
      {At(2030, 3, 4), At(2030, 3, 4)},           // a Monday at midnight
  };
  for (const auto& w : weeks) {
    clock.Set(w.now);
    EXPECT_EQ(h.handler->ProposedStart(), w.monday) << FormatDateTime("yyyy-mm-dd hh:nn", w.now);
  }
  // After data read: the earliest start over the slots that have been read.
  m->SetLastUpdate(2, At(2030, 5, 6, 7, 8, 9));
  EXPECT_EQ(h.handler->ProposedStart(), At(2030, 5, 6, 7, 8, 10));
  m->SetLastUpdate(1, At(2030, 5, 6, 7, 0, 0));
  EXPECT_EQ(h.handler->ProposedStart(), At(2030, 5, 6, 7, 0, 1));
}

TEST(Tv10MemStartDate, TheConfirmedDateStartsEveryChannel) {
  HandlerLine h(MemLogger(5, 0));
  TTv10Modul* m = h.AddModule(5, 0x2345, "");
  h.handler->FCurModul = m;
  m->SetLastUpdate(1, At(2030, 5, 6, 7, 0, 0));
  TDateTime shown = 0;
  struct Answer {
    bool ok, all;
    TDateTime date;
  } answer{};
  SelStartDateTimeProc = [&](TDateTime& start, bool& all) {
    shown = start;
    start = answer.date;
    all = answer.all;
    return answer.ok;
  };
  TTv10ReadMemProt p;
  p.Interactive = 1;
  const struct {
    Answer answer;
    TDateTime ch1, ch2;
  } cases[] = {
      {{true, false, At(2030, 4, 1)}, At(2030, 4, 1), At(2030, 4, 1)},
      {{true, true, At(2030, 4, 1)}, At(2000, 1, 1), At(2000, 1, 1)},
      {{false, false, At(2030, 4, 1)}, At(2030, 5, 6, 7, 0, 1), At(2000, 1, 1, 0, 0, 1)},
  };
  for (const auto& c : cases) {
    answer = c.answer;
    h.handler->ReadMemSetDT(&p);
    EXPECT_EQ(shown, At(2030, 5, 6, 7, 0, 1));
    EXPECT_EQ(p.GetDateTime(1), c.ch1);
    EXPECT_EQ(p.GetDateTime(2), c.ch2);
  }
  SelStartDateTimeProc = nullptr;
  h.handler->FCurModul = nullptr;
  EXPECT_THROW(h.handler->ReadMemSetDT(&p), Exception);
}

}  // namespace
}  // namespace qv
