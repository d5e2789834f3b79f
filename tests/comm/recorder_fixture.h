#pragma once
// A kind-7 logger on a simulated line with the program's connection, device tree, handler
// collection and recorder, for the recorder's tests.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "comm/connection.h"
#include "comm/recorder.h"
#include "comm/tv10_dev_hndl.h"
#include "comm_fixture.h"
#include "datastore/dt_data.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/tv10_modul.h"

namespace qv {

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
inline std::vector<TDtRecord> Samples(const std::vector<TDtRecord>& records) {
  std::vector<TDtRecord> out;
  for (const TDtRecord& r : records)
    if (!r.IsEmpty()) out.push_back(r);
  return out;
}

}  // namespace qv
