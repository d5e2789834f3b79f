#include "comm/recorder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "base/ini_file.h"
#include "comm/connection.h"
#include "comm/tv10_dev_hndl.h"
#include "comm_fixture.h"
#include "datastore/dt_data.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/tv10_modul.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/menus.h"
#include "platform/rtl/file_io.h"

namespace qv {
namespace {

using test::LoggerLine;

// Answers "in alarm" while the test says so; counts the samples it was given.
class SwitchedAlarms : public TAlarmChannelsService {
public:
  void Clear() override {}
  bool AddSample(const std::string&, int32_t, int32_t, int32_t, const std::string&, int32_t, double, double,
                 const std::string&, const std::string&, double) override {
    ++samples;
    return alarm;
  }
  void LogAlarms() override {}
  void MailAlarms() override {}
  std::atomic<bool> alarm{false};
  std::atomic<int> samples{0};
};

// A kind-7 logger sampling every second behind a link that stands for its serial device, the
// program's connection, device tree, handler collection and recorder.
class RecorderLine {
public:
  explicit RecorderLine(const std::function<void(sim::SimConfig&)>& setup = nullptr) {
    config_.SetKind(7);
    config_.id = 0x2345;
    config_.sample = 1;
    for (int slot = 1; slot <= 2; ++slot)
      config_.current[slot] = {static_cast<uint16_t>(30000 + slot), static_cast<uint16_t>(31000 + slot),
                               static_cast<uint16_t>(32000 + slot)};
    if (setup) setup(config_);
    logger_ = std::make_unique<sim::PtyLogger>(config_);
    link_ = ExePath + "ttyLogger";
    std::filesystem::create_symlink(logger_->SlavePath(), link_);
    std::ofstream(IniFileName, std::ios::binary) << "[SerialPorts]\r\nCOM9=" << link_ << "\r\n";
    SetMainThread();
    InstallComPortMap();
    logger_->Start();
    AlarmChannels = &alarms;
    DevClassRegistry = &registry_;
    connection_ = std::make_unique<TConnection>();
    Connection = connection_.get();
    connection_->Port()->SetComNumber(LoggerLine::kCom);
    shell_ = std::make_unique<TDbShell>();
    DbShell = shell_.get();
    coll_ = std::make_unique<TTv10DevHndlColl>();
    DevHandlColl = coll_.get();
    recorder = std::make_unique<TRecorder>();
    coll_->BindRecorder(recorder.get());
    // A late answer on a loaded machine is tried again, as a user would.
    handler.Answer = [](const std::string&, TMsgDlgButtons buttons) {
      if (buttons & mbRetry) return static_cast<int>(mrRetry);
      return static_cast<int>((buttons & mbAbort) ? mrAbort : mrOk);
    };
  }
  ~RecorderLine() {
    recorder.reset();
    coll_.reset();
    DevHandlColl = nullptr;
    shell_.reset();
    DbShell = nullptr;
    connection_.reset();
    DevClassRegistry = nullptr;
    if (logger_) logger_->Stop();
  }

  // Kinds 5 and 6 sample at their save interval (a minute at least) and set their clock every
  // 39 of them: the handler's values are kept for the test, then the recording runs the same
  // steps every second and every sync_s seconds.
  void Quicken(uint32_t sync_s) {
    auto start = recorder->OnStart;
    recorder->OnStart = [this, start, sync_s](TRecorder* r) {
      start(r);
      auto prepare = r->RecPrepareTasks;
      r->RecPrepareTasks = [this, r, prepare, sync_s] {
        prepare();
        if (r->TaskCount() != 1) return;
        prepared_interval = r->GetTask(0)->Timer.Interval();
        prepared_sync = r->SyncInt;
        r->GetTask(0)->Timer.SetInterval(1000);
        r->GetTask(0)->Timer.SetAlignment(true, 1, 100);
        r->SyncInt = sync_s;
      };
    };
  }
  uint32_t prepared_interval = 0;
  uint32_t prepared_sync = 0;

  // Pumps the main loop until done answers true; false after seconds.
  bool WaitUntil(const std::function<bool()>& done, int seconds = 20) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      WaitAndProcessMessages(20);
    }
    return true;
  }
  bool WaitForSamples(int n) {
    const int target = recorder->SamplesTaken() + n;
    return WaitUntil([&] { return recorder->SamplesTaken() >= target; });
  }
  // The logger's device goes away, as a pulled USB adapter does.
  void Unplug() {
    std::filesystem::remove(link_);
    logger_->Stop();
    logger_.reset();
  }
  // A logger comes back behind the same link.
  void Plug() {
    logger_ = std::make_unique<sim::PtyLogger>(config_);
    std::filesystem::create_symlink(logger_->SlavePath(), link_);
    logger_->Start();
  }

  TTv10Modul* Module() const { return dynamic_cast<TTv10Modul*>(shell_->Root()->GetChild(0)); }
  TTv10DevHndl* Handler() const { return dynamic_cast<TTv10DevHndl*>(coll_->GetCurHandler()); }
  sim::PtyLogger& Logger() { return *logger_; }
  bool Connected() const { return connection_->InProcess(); }

  // The records of a slot, read back from its weekly files.
  std::vector<TDtRecord> Stored(int slot) {
    auto* data = dynamic_cast<TDtData*>(Module()->GetSubModul(slot)->Data());
    std::vector<TDtRecord> out;
    if (!data) return out;
    TDtStamp from{static_cast<uint16_t>(TodayDayNo() - 1), 0}, to{static_cast<uint16_t>(TodayDayNo() + 1), 86399};
    data->OpenDT(from, to, NoDtStamp, NoDtStamp);
    TDataLock lock(*data);
    data->SelectWindow(1);
    for (bool ok = data->First(); ok && out.size() < 10000; ok = data->Next()) out.push_back(*data->DtRec());
    return out;
  }
  std::vector<TDY_AuditEventKind> AuditKinds() const {
    std::vector<TDY_AuditEventKind> out;
    for (const auto& e : archive.Audit.Events()) out.push_back(e.Kind);
    return out;
  }

  test::Home home;
  test::EnglishTexts texts;
  test::RecordingHandler handler;
  test::FakeWindowFactory windows;
  TArchiveStandIns archive;
  SwitchedAlarms alarms;
  std::unique_ptr<TRecorder> recorder;

private:
  sim::SimConfig config_;
  std::unique_ptr<sim::PtyLogger> logger_;
  std::string link_;
  TTv10DevClassReg registry_;
  std::unique_ptr<TConnection> connection_;
  std::unique_ptr<TDbShell> shell_;
  std::unique_ptr<TTv10DevHndlColl> coll_;
};

// The records that carry a value (the start record is empty).
std::vector<TDtRecord> Samples(const std::vector<TDtRecord>& records) {
  std::vector<TDtRecord> out;
  for (const TDtRecord& r : records)
    if (!r.IsEmpty()) out.push_back(r);
  return out;
}

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
  std::unique_ptr<TPaintBox> box;  // outlive the recorder that shows on them
  std::unique_ptr<TPanel> pane;
  RecorderLine line;
  box = std::make_unique<TPaintBox>(nullptr);
  pane = std::make_unique<TPanel>(nullptr);
  line.recorder->SetStatusBox(box.get());
  line.recorder->SetStatusPane(pane.get());
  line.recorder->Start();
  ASSERT_TRUE(line.WaitForSamples(1));
  line.handler.messages.clear();

  line.Unplug();
  const int failed = line.recorder->SamplesFailed();
  ASSERT_TRUE(line.WaitUntil([&] { return line.recorder->SamplesFailed() >= failed + 3; }));
  EXPECT_TRUE(line.recorder->Running());
  EXPECT_TRUE(line.recorder->LineIsLost());
  const std::string lost = pane->Caption();
  EXPECT_NE(lost.find("lost its line"), std::string::npos) << lost;
  EXPECT_NE(lost.find("hang-up"), std::string::npos) << lost;
  EXPECT_EQ(box->Hint(), lost);
  const auto errors = line.handler.Texts(mkError);
  EXPECT_EQ(errors, std::vector<std::string>{lost});
  const auto diag = line.handler.Texts(mkDiagnoseOnly);
  EXPECT_GE(std::count(diag.begin(), diag.end(), "Reading current values failed."), 3);

  line.Plug();
  ASSERT_TRUE(line.WaitForSamples(2));
  EXPECT_FALSE(line.recorder->LineIsLost());
  EXPECT_EQ(pane->Caption(), "");
  EXPECT_EQ(box->Hint(), "The recorder is running");
  line.recorder->Stop();
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

// The status bar's box shows the running recorder: a yellow dot walking along y 12 and two red
// dots circling; stopped, it draws nothing and has no hint.
TEST(Recorder, TheStatusBoxAnimatesWhileRecording) {
  std::unique_ptr<TPaintBox> box;  // outlives the recorder that paints it
  RecorderLine line;
  box = std::make_unique<TPaintBox>(nullptr);
  box->SetBounds(0, 0, 16, 16);
  line.recorder->SetStatusBox(box.get());
  auto paint = [&] {
    TBitmap bitmap(16, 16);
    bitmap.Canvas().StartRecording();
    box->PaintTo(bitmap.Canvas(), 0, 0);
    std::vector<TCanvasCall> dots;
    for (const TCanvasCall& c : bitmap.Canvas().Calls())
      if (c.Op == "FillRect") dots.push_back(c);
    return dots;
  };
  EXPECT_TRUE(paint().empty());
  line.recorder->Start();
  ASSERT_TRUE(line.recorder->Running());
  EXPECT_EQ(box->Hint(), "The recorder is running");
  const std::vector<TCanvasCall> dots = paint();
  ASSERT_EQ(dots.size(), 3u);
  EXPECT_EQ(dots[0].Brush.Color, clYellow);
  EXPECT_EQ(dots[0].Rect.Top, 12);
  EXPECT_EQ(dots[0].Rect.Right - dots[0].Rect.Left, 2);
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(dots[i].Brush.Color, clRed);
    const int cx = i == 1 ? 3 : 11;
    EXPECT_LE(std::abs(dots[i].Rect.Left - cx), 4);
    EXPECT_LE(std::abs(dots[i].Rect.Top - 5), 4);
  }
  line.recorder->Stop();
  EXPECT_TRUE(paint().empty());
  EXPECT_EQ(box->Hint(), "");
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

// What a desktop session that ends does to the program: SIGTERM during a recording. It returns
// the number of failed checks, so that the child's exit code tells them.
int RecordUntilTerminated() {
  int failures = 0;
  auto check = [&](bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "failed: %s\n", what);
    ++failures;
  };
  {
    RecorderLine line;
    line.recorder->Start();
    TTv10Modul* m = line.Module();
    if (!line.recorder->Running() || !m) return 100;
    // Slot 1's data set is busy: its samples wait in the buffer file.
    TData* data = m->GetSubModul(1)->Data();
    data->Lock();
    check(line.WaitForSamples(2), "samples taken");
    SetTerminationSignalHandler([](int) {
      StopRecording();
      Application->Terminate();
    });
    ::kill(::getpid(), SIGTERM);
    Application->Run();
    Application->ClearTerminated();
    SetTerminationSignalHandler(nullptr);
    check(!line.recorder->Running(), "recording stopped");
    check(line.handler.dialogs.size() == 1, "nothing asked besides the battery warning");
    data->Unlock();
    const std::string file = m->Dir() + kRecBufFile;
    const std::string buffered = std::filesystem::exists(file) ? ReadFileBytes(file) : std::string();
    check(buffered.size() >= 2 * 34u && buffered.size() % 34 == 0, "RecBuf.bin holds whole samples");
    check(Samples(line.Stored(2)).size() >= 2, "weekly files hold the samples");
    const auto kinds = line.AuditKinds();
    check(!kinds.empty() && kinds.back() == TDY_AuditEventKind::DeviceRecorderStopped, "stop audited");
  }
  return failures;
}

TEST(RecorderSignal, SigtermEndsTheRecordingInOrderAndTheProcessExitsNormally) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(RecordUntilTerminated()), ::testing::ExitedWithCode(0), "");
}

TEST(Recorder, SettingsAndRefusalsWhileRunning) {
  std::vector<std::unique_ptr<TMenuItem>> items;  // outlive the collection that binds them
  RecorderLine line;
  for (int i = 0; i < 4; ++i) items.push_back(std::make_unique<TMenuItem>(nullptr));
  DevHandlColl->SetReadCfgMenu(items[0].get());
  DevHandlColl->SetReadMemMenu(items[1].get());
  DevHandlColl->SetClearMemMenu(items[2].get());
  DevHandlColl->SetSyncClockMenu(items[3].get());
  auto enabled = [&] {
    int n = 0;
    for (const auto& item : items) n += item->Enabled() ? 1 : 0;
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
  EXPECT_TRUE(items[0]->Enabled());
  EXPECT_TRUE(items[3]->Enabled());
}

}  // namespace
}  // namespace qv
