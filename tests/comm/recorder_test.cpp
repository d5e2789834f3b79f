#include "comm/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/ini_file.h"
#include "fake_menu_items.h"
#include "platform/rtl/file_io.h"
#include "recorder_fixture.h"

namespace qv {
namespace {

// The recorder's controls as the recorder drives them.
class SeenView : public TRecorderView {
public:
  void UpdateControls() override {}
  void ShowRunning(bool on) override { running = on; }
  void UpdateRunningHint() override {}
  void ShowLineLost(const std::string& text) override { lost = text; }
  void ShowLineBack() override {
    lost.clear();
    ++backs;
  }
  void Animate() override {}

  bool running = false;
  std::string lost;
  int backs = 0;
};

int64_t Seconds(const TDtRecord& r) { return int64_t{r.Date} * 86400 + r.Time; }

TEST(Recorder, SamplesArriveOnTheGridAndLandInTheWeeklyFiles) {
  RecorderLine line;
  ASSERT_TRUE(line.recorder->Enabled());
  line.recorder->Start();
  ASSERT_TRUE(line.recorder->Running());
  // While recording no warning or error opens a dialog.
  EXPECT_TRUE(line.handler.Modes() & AutoModeEnabled);
  ASSERT_TRUE(line.WaitForSamples(3));
  line.recorder->Stop();
  EXPECT_FALSE(line.recorder->Running());
  EXPECT_FALSE(line.handler.Modes() & AutoModeEnabled);
  EXPECT_FALSE(line.Connected());
  EXPECT_EQ(line.recorder->TaskCount(), 0);

  TTv10Modul* m = line.Module();
  ASSERT_NE(m, nullptr);
  for (int slot = 1; slot <= 2; ++slot) {
    SCOPED_TRACE(slot);
    const std::vector<TDtRecord> stored = line.Stored(slot);
    ASSERT_FALSE(stored.empty());
    EXPECT_TRUE(stored.front().IsEmpty());  // the start of the recording
    const std::vector<TDtRecord> samples = Samples(stored);
    ASSERT_GE(samples.size(), 3u);
    // One record per second of the grid, none twice.
    for (size_t i = 1; i < samples.size(); ++i) EXPECT_GT(Seconds(samples[i]), Seconds(samples[i - 1]));
    EXPECT_GE(Seconds(samples.front()), Seconds(stored.front()));
    TTavra2GSubMod* sub = m->GetSubModul(slot);
    EXPECT_EQ(samples.back().GetValues(2), Value6ToDouble(DoubleToValue6(sub->RawToValue(32000 + slot))));
    EXPECT_GT(m->GetLastUpdate(slot), 0);
  }
  // Start and stop are in the audit trail with the logger's Kennung.
  auto events = line.archive.Audit.Events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2].Kind, TDY_AuditEventKind::DeviceRecorderStart);
  EXPECT_EQ(events.back().Kind, TDY_AuditEventKind::DeviceRecorderStopped);
  EXPECT_EQ(events.back().Subject, std::to_string(0x2345));
  EXPECT_EQ(line.handler.dialogs.size(), 1u);  // the battery warning only
  EXPECT_TRUE(line.Logger().Violations().empty());
}

TEST(Recorder, SamplesOfABusyDataSetWaitInTheBufferFileAndSurviveARestart) {
  RecorderLine line;
  line.recorder->Start();
  ASSERT_TRUE(line.recorder->Running());
  TTv10Modul* m = line.Module();
  TData* data = m->GetSubModul(1)->Data();
  const std::string file = m->Dir() + kRecBufFile;
  // The main thread holds slot 1's data set: its samples stay in the buffer, mirrored on disk.
  data->Lock();
  ASSERT_TRUE(line.WaitForSamples(2));
  EXPECT_TRUE(std::filesystem::exists(file));
  data->Unlock();
  ASSERT_TRUE(line.WaitUntil([&] { return !std::filesystem::exists(file); }));
  const size_t stored = Samples(line.Stored(1)).size();
  EXPECT_GE(stored, 2u);

  // Held again through the stop: the buffer goes to "RecBuf.bin" and the next start stores it.
  data->Lock();
  ASSERT_TRUE(line.WaitForSamples(2));
  line.recorder->Stop();
  data->Unlock();
  ASSERT_TRUE(std::filesystem::exists(file));
  const std::string buffered = ReadFileBytes(file);
  EXPECT_EQ(buffered.size() % 34, 0u);
  EXPECT_GE(buffered.size(), 2 * 34u);
  const size_t before = Samples(line.Stored(1)).size();
  line.recorder->Start();
  // Until the first sample stores them, the kept samples are still on disk: a crash now loses none.
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(ReadFileBytes(file), buffered);
  ASSERT_TRUE(line.WaitForSamples(1));
  line.recorder->Stop();
  EXPECT_GE(Samples(line.Stored(1)).size(), before + buffered.size() / 34 / 1);
  EXPECT_FALSE(std::filesystem::exists(file));
}

// An entry that cannot be read is reported; what comes before it is stored and recording goes on.
TEST(Recorder, ADamagedBufferEntryIsReportedAndRecordingGoesOn) {
  RecorderLine line;
  line.recorder->Start();
  ASSERT_TRUE(line.WaitForSamples(1));
  line.recorder->Stop();
  TTv10Modul* m = line.Module();
  // One good entry an hour ago, then a slot number no logger has.
  TMemoryStream2 entry;
  const uint8_t slot1[4] = {1, 0, 0, 0};
  entry.WriteBuffer(slot1, 4);
  TDtRecord rec(3);
  rec.Clear();
  TDateTime hour_ago = Now() - 1.0 / 24;
  TDtStamp stamp = NoDtStamp;
  DateTimeToDtStamp(stamp, hour_ago);
  rec.Date = stamp.Date;
  rec.Time = stamp.Time;
  rec.SetValues(2, 12.5);
  rec.SWrite(entry);
  const uint8_t slot5[4] = {5, 0, 0, 0};
  entry.WriteBuffer(slot5, 4);
  rec.SWrite(entry);
  WriteFileAtomic(m->Dir() + kRecBufFile, entry.Bytes());

  line.handler.messages.clear();
  line.recorder->Start();
  ASSERT_TRUE(line.WaitForSamples(2));
  EXPECT_TRUE(line.recorder->Running());
  line.recorder->Stop();
  const auto errors = line.handler.Texts(mkError);
  EXPECT_NE(std::find(errors.begin(), errors.end(), "TTv10DevHndl.RecInsertSample: Buffer corrupt"), errors.end());
  bool found = false;
  for (const TDtRecord& r : line.Stored(1)) found |= r.Date == stamp.Date && r.Time == stamp.Time;
  EXPECT_TRUE(found);
  EXPECT_FALSE(std::filesystem::exists(m->Dir() + kRecBufFile));
}

TEST(Recorder, AlarmBeginAndEndAreRecordedOnce) {
  RecorderLine line;
  line.recorder->Start();
  ASSERT_TRUE(line.WaitForSamples(1));
  line.alarms.alarm = true;
  ASSERT_TRUE(line.WaitForSamples(2));
  line.alarms.alarm = false;
  ASSERT_TRUE(line.WaitForSamples(2));
  line.recorder->Stop();
  const auto kinds = line.AuditKinds();
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), TDY_AuditEventKind::DeviceAlarmStart), 1);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), TDY_AuditEventKind::DeviceAlarmEnd), 1);
  for (const auto& e : line.archive.Audit.Events())
    if (e.Kind == TDY_AuditEventKind::DeviceAlarmStart) {
      EXPECT_EQ(e.Subject, std::to_string(0x2345));
      EXPECT_EQ(e.Comment.substr(0, 6), "Time: ");
    }
}

// A logger that stops answering, and a device that goes away, cost samples that are reported;
// the recording goes on and takes samples again once the logger is back.
TEST(Recorder, ALostLoggerIsReportedAndRecordingResumes) {
  RecorderLine line;
  line.recorder->Start();
  ASSERT_TRUE(line.WaitForSamples(1));

  line.Logger().SetFaults([](sim::Faults& f) { f.silent = true; });
  const int failed = line.recorder->SamplesFailed();
  ASSERT_TRUE(line.WaitUntil([&] { return line.recorder->SamplesFailed() > failed; }));
  line.Logger().SetFaults([](sim::Faults& f) { f.silent = false; });
  ASSERT_TRUE(line.WaitForSamples(2));

  line.Unplug();
  const int failed2 = line.recorder->SamplesFailed();
  ASSERT_TRUE(line.WaitUntil([&] { return line.recorder->SamplesFailed() > failed2 + 1; }));
  EXPECT_TRUE(line.recorder->Running());
  line.Plug();
  ASSERT_TRUE(line.WaitForSamples(2));
  line.recorder->Stop();
  // Later failures go to the diagnose log only: no dialog besides the battery warning.
  EXPECT_EQ(line.handler.dialogs.size(), 1u);
  const auto diag = line.handler.Texts(mkDiagnoseOnly);
  EXPECT_NE(std::find(diag.begin(), diag.end(), "Reading current values failed."), diag.end());
}

// An unplugged logger is shown once, in the status bar and by the message handler (logged, as
// recording runs in automatic mode), never by a dialog; each failed sample goes to the diagnose
// log; when the logger is back the recording takes samples again by itself.
TEST(Recorder, AnUnpluggedLoggerIsShownOnceAndRecordingResumesWhenItIsBack) {
  RecorderLine line;
  auto* view = new SeenView;
  line.recorder->SetView(std::unique_ptr<TRecorderView>(view));
  line.recorder->Start();
  EXPECT_TRUE(view->running);
  ASSERT_TRUE(line.WaitForSamples(1));
  line.handler.messages.clear();

  line.Unplug();
  const int failed = line.recorder->SamplesFailed();
  ASSERT_TRUE(line.WaitUntil([&] { return line.recorder->SamplesFailed() >= failed + 3; }));
  EXPECT_TRUE(line.recorder->Running());
  EXPECT_TRUE(line.recorder->LineIsLost());
  const std::string lost = view->lost;
  EXPECT_NE(lost.find("lost its line"), std::string::npos) << lost;
  EXPECT_NE(lost.find("hang-up"), std::string::npos) << lost;
  const auto errors = line.handler.Texts(mkError);
  EXPECT_EQ(errors, std::vector<std::string>{lost});
  const auto diag = line.handler.Texts(mkDiagnoseOnly);
  EXPECT_GE(std::count(diag.begin(), diag.end(), "Reading current values failed."), 3);

  line.Plug();
  ASSERT_TRUE(line.WaitForSamples(2));
  EXPECT_FALSE(line.recorder->LineIsLost());
  EXPECT_EQ(view->lost, "");
  EXPECT_EQ(view->backs, 1);
  line.recorder->Stop();
  EXPECT_FALSE(view->running);
  EXPECT_EQ(line.handler.dialogs.size(), 1u);  // the battery warning
  EXPECT_EQ(line.handler.Texts(mkError), std::vector<std::string>{lost});
  // The log line ends with the text: no button of a dialog nobody saw is glued to it.
  std::istringstream log(ReadFileBytes(line.handler.ProtocolFileName()));
  int lines = 0;
  for (std::string l; std::getline(log, l);)
    if (l.find("hang-up") != std::string::npos) {
      ++lines;
      if (!l.empty() && l.back() == '\r') l.pop_back();
      EXPECT_EQ(l.substr(l.size() - lost.size()), lost);
    }
  EXPECT_EQ(lines, 1);
}

TEST(Recorder, WithoutALoggerNothingStarts) {
  RecorderLine line([](sim::SimConfig& c) { c.faults.silent = true; });
  line.recorder->Start();
  EXPECT_FALSE(line.recorder->Running());
  EXPECT_EQ(line.recorder->TaskCount(), 0);
  EXPECT_FALSE(line.Connected());
  const auto kinds = line.AuditKinds();
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), TDY_AuditEventKind::DeviceRecorderStart), 0);
}

// Kinds 5 and 6 against a logger that answers at once: samples of every slot land in the data
// sets, the clock is set by the synchronisation child, and a busy data set keeps its samples in
// "RecBuf.bin" until it is free.
class RecorderKind : public ::testing::TestWithParam<int> {};

TEST_P(RecorderKind, SamplesSynchronisationAndABusyDataSet) {
  const int kind = GetParam();
  RecorderLine line([kind](sim::SimConfig& c) {
    c.SetKind(kind);
    c.burst = true;
    c.interval = 1;  // minutes
    for (int slot = 1; slot <= c.ChannelCount(); ++slot)
      c.current[slot] = {static_cast<uint16_t>(30000 + slot), static_cast<uint16_t>(31000 + slot),
                         static_cast<uint16_t>(32000 + slot)};
  });
  line.Quicken(2);
  line.recorder->Start();
  ASSERT_TRUE(line.recorder->Running());
  // A sample every save interval; the clock set every 39 of them (three value kinds stored).
  EXPECT_EQ(line.prepared_interval, 60000u);
  EXPECT_EQ(line.prepared_sync, 60u * 39u);
  TTv10Modul* m = line.Module();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->TavraTyp(), kind);
  TData* data = m->GetSubModul(1)->Data();
  const std::string file = m->Dir() + kRecBufFile;
  data->Lock();
  ASSERT_TRUE(line.WaitForSamples(2));
  EXPECT_TRUE(std::filesystem::exists(file));
  data->Unlock();
  ASSERT_TRUE(line.WaitUntil([&] { return !std::filesystem::exists(file); }));
  auto clock_sets = [&] {
    const auto requests = line.Logger().Requests();
    return std::count(requests.begin(), requests.end(), std::string("&T"));
  };
  ASSERT_TRUE(line.WaitUntil([&] { return clock_sets() >= 1; }));
  ASSERT_TRUE(line.WaitForSamples(1));
  line.recorder->Stop();
  EXPECT_FALSE(line.Connected());
  EXPECT_EQ(line.recorder->SamplesFailed(), 0);
  EXPECT_FALSE(std::filesystem::exists(file));
  for (int slot = 1; slot <= m->GetSlotCount(); ++slot) {
    SCOPED_TRACE(slot);
    const std::vector<TDtRecord> samples = Samples(line.Stored(slot));
    ASSERT_FALSE(samples.empty());
    TTavra2GSubMod* sub = m->GetSubModul(slot);
    EXPECT_EQ(samples.back().GetValues(2), Value6ToDouble(DoubleToValue6(sub->RawToValue(32000 + slot))));
  }
  EXPECT_TRUE(line.handler.Texts(mkWarning).empty());
  EXPECT_TRUE(line.Logger().Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, RecorderKind, ::testing::Values(5, 6),
                         [](const ::testing::TestParamInfo<int>& info) { return "Kind" + std::to_string(info.param); });

TEST(Recorder, SettingsAndRefusalsWhileRunning) {
  test::FakeMenuItemHook hook;
  test::FakeMenuItem items[4];  // outlive the collection that binds them
  RecorderLine line;
  DevHandlColl->SetReadCfgMenu(items[0].Handle());
  DevHandlColl->SetReadMemMenu(items[1].Handle());
  DevHandlColl->SetClearMemMenu(items[2].Handle());
  DevHandlColl->SetSyncClockMenu(items[3].Handle());
  auto enabled = [&] {
    int n = 0;
    for (const auto& item : items) n += item.enabled ? 1 : 0;
    return n;
  };
  line.recorder.reset();  // it writes its settings
  {
    TIniFile ini(IniFileName);
    ini.WriteInteger("Recorder", "MinSaveInt", 30);
  }
  line.recorder = std::make_unique<TRecorder>();
  DevHandlColl->BindRecorder(line.recorder.get());
  EXPECT_EQ(line.recorder->MinSaveInt, 30u);
  line.recorder->Start();
  ASSERT_TRUE(line.recorder->Running());
  // All three kinds stored every ten minutes: synchronised every 600 * 39 seconds (a kind-7
  // logger gets no synchronisation timer all the same).
  EXPECT_EQ(line.recorder->SyncInt, 600u * 39u);
  // The device commands wait for the end of the recording.
  EXPECT_EQ(enabled(), 0);
  EXPECT_THROW(line.recorder->AddTask(line.Module(), 1000), Exception);
  EXPECT_THROW(line.recorder->DeleteTask(0), Exception);
  EXPECT_THROW(line.recorder->SetEnabled(false), Exception);
  EXPECT_FALSE(line.recorder->ConfirmStop());  // the dialog's default answer is no Yes
  EXPECT_TRUE(line.recorder->Running());
  line.handler.Answer = [](const std::string&, TMsgDlgButtons) { return static_cast<int>(mrYes); };
  EXPECT_TRUE(line.recorder->ConfirmStop());
  EXPECT_FALSE(line.recorder->Running());
  EXPECT_TRUE(items[0].enabled);
  EXPECT_TRUE(items[3].enabled);
}

}  // namespace
}  // namespace qv
