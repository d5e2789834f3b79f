#include "comm/recorder.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "base/ini_file.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/comm_gui_hooks.h"
#include "comm/connection.h"
#include "comm/dev_handl_coll.h"
#include "datastore/dt_navigator.h"
#include "devices/db_shell.h"
#include "devices/tavra2g_device.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/format.h"

namespace qv {

TRecorder* Recorder = nullptr;

namespace {

constexpr char kSection[] = "Recorder";
// Seconds above this would overflow the milliseconds of a timer.
constexpr uint32_t kMaxSeconds = 4294967;
constexpr uint32_t kMinSaveMs = 60000;
constexpr uint32_t kMaxSaveMs = 86400000;
constexpr uint32_t kMaxSyncMs = 1728000000;
constexpr uint32_t kDisplayMs = 500;

uint32_t SecondsToMs(uint32_t seconds) { return std::min(seconds, kMaxSeconds) * 1000u; }

bool IsKind7(const TDevice* device) {
  auto* module = dynamic_cast<const TTavra2GModul*>(device);
  return module && module->TavraTyp() == 7;
}

std::string RecBufName(const TDevice* device) { return device->Dir() + kRecBufFile; }

}  // namespace

void RunOnMainThread(const std::function<void()>& fn) {
  std::exception_ptr error;
  Synchronize([&] {
    try {
      fn();
    } catch (...) {
      error = std::current_exception();
    }
  });
  if (error) std::rethrow_exception(error);
}

void ReportRecorderError(const std::string& text, TMsgKind kind) {
  RunOnMainThread([&] {
    if (MsgHandler)
      MsgHandler->HandleMessage(text, LoadResString("rcd_Recorder"), TMsgDlgType::mtError, mbOK, 0, 0, true, kind);
  });
}

// ---------------------------------------------------------------------------------------------
// The worker thread. It talks to the main thread only by posted messages and by RunOnMainThread
// (connection, protocols); the main thread talks to it by the stop and wake signals.

class TRecorder::TRecorderThread {
public:
  TRecorderThread(TRecorder& recorder, HWND wnd, uint32_t save_ms, uint32_t sync_ms)
      : rec_(recorder), wnd_(wnd), save_(std::clamp(save_ms, kMinSaveMs, kMaxSaveMs)), display_(kDisplayMs) {
    if (sync_ms > 0) sync_ = std::make_unique<TTimer2>(std::min(sync_ms, kMaxSyncMs));
  }
  ~TRecorderThread() { Join(); }

  void Resume() {
    thread_ = std::thread([this] { Execute(); });
  }
  void Terminate() {
    terminated_ = true;
    Signal(stop_);
  }
  void Wake() { Signal(wake_); }
  bool Done() const { return done_; }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  bool HasSyncTimer() const { return sync_ != nullptr; }
  uint32_t SaveInterval() const { return save_.Interval(); }

  // 0 idle, 1 waiting, 2 sample running, 3 synchronisation running.
  std::atomic<uint8_t> ThreadState{0};
  // 0 none, 1 success, 2 failure of the running child protocol.
  std::atomic<uint8_t> ChildResult{0};

private:
  enum class TWait { Stop, Wake, TimeOut };

  void Signal(bool& flag) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      flag = true;
    }
    signalled_.notify_all();
  }
  // Both signals reset themselves when a wait takes them. ms < 0 waits without time-out.
  TWait WaitFor(int64_t ms, bool wake_too) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [&] { return stop_ || (wake_too && wake_); };
    if (ms < 0)
      signalled_.wait(lock, ready);
    else
      signalled_.wait_for(lock, std::chrono::milliseconds(ms), ready);
    if (stop_) {
      stop_ = false;
      return TWait::Stop;
    }
    if (wake_too && wake_) {
      wake_ = false;
      return TWait::Wake;
    }
    return TWait::TimeOut;
  }

  void Post(uint32_t msg, uintptr_t wparam = 0) { PostMessage(wnd_, msg, wparam, 0); }

  void Execute();
  void Loop();
  void CloseConnection();
  // The timers in their order of preference: save, tasks, synchronisation, display.
  int TimerCount() const { return rec_.TaskCount() + 3; }
  TTimer2* Timer(int index);
  void HandleExpired(int shortest);
  void StartChild(uint8_t state, int task);

  TRecorder& rec_;
  HWND wnd_;
  std::thread thread_;
  std::mutex mutex_;  // guards stop_ and wake_; a leaf lock
  std::condition_variable signalled_;
  bool stop_ = false;
  bool wake_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> done_{false};
  // The worker's own from here on.
  TTimer2 save_;
  std::unique_ptr<TTimer2> sync_;
  TTimer2 display_;
  bool first_sample_ = true;
  bool stop_seen_ = false;
  int child_task_ = 0;
};

void TRecorder::TRecorderThread::Execute() {
  std::string error;
  bool connected = false;
  try {
    ThreadState = 0;
    first_sample_ = true;
    if (WaitFor(500, false) == TWait::TimeOut && !terminated_) {
      // The port is opened and closed on the main thread, which owns its menu item and cursor.
      RunOnMainThread([&] {
        if (!Connection || !Connection->Port()) return;
        connected = Connection->InProcess() || Connection->Connect();
      });
    }
    if (connected) {
      save_.Restart();
      if (sync_) sync_->Restart();
      display_.Restart();
      for (auto& task : rec_.tasks_) task->Timer.Restart();
      if (rec_.RecInitProtocols) RunOnMainThread(rec_.RecInitProtocols);
      ThreadState = 1;
      Loop();
      CloseConnection();
      if (rec_.RecDone) RunOnMainThread(rec_.RecDone);
    }
  } catch (const std::exception& e) {
    error = e.what();
    try {
      if (connected) CloseConnection();
    } catch (const std::exception&) {
      // The error that ended the recording is the one to report.
    }
  }
  auto* text = error.empty() ? nullptr : new std::string(error);
  if (!PostMessage(wnd_, WM_RECORDER_FINISHED, 0, reinterpret_cast<intptr_t>(text))) delete text;
  done_ = true;
}

void TRecorder::TRecorderThread::CloseConnection() {
  RunOnMainThread([] {
    if (Connection) Connection->DisConnect();
  });
}

TTimer2* TRecorder::TRecorderThread::Timer(int index) {
  if (index == 0) return &save_;
  if (index <= rec_.TaskCount()) return &rec_.tasks_[static_cast<size_t>(index - 1)]->Timer;
  if (index == rec_.TaskCount() + 1) return sync_.get();
  return &display_;
}

void TRecorder::TRecorderThread::Loop() {
  for (;;) {
    const uint8_t state = ThreadState;
    if (state == 1) {
      if (terminated_ || stop_seen_) return;
      int shortest = -1;
      uint32_t remaining = 0;
      for (int i = 0; i < TimerCount(); ++i) {
        TTimer2* t = Timer(i);
        if (!t) continue;
        const uint32_t r = t->Remaining();
        if (shortest < 0 || r < remaining) shortest = i, remaining = r;
      }
      if (remaining > 0) {
        const TWait w = WaitFor(remaining, false);
        if (w == TWait::Stop) {
          stop_seen_ = true;
          continue;
        }
        if (w != TWait::TimeOut) throw Exception("TRecorderThread.Execute: invalid WaitResult");
      }
      HandleExpired(shortest);
    } else if (state == 2 || state == 3) {
      if (terminated_) stop_seen_ = true;
      const uint8_t result = ChildResult;
      if (result == 1) {
        if (state == 2) {
          first_sample_ = false;
          if (rec_.RecInsertSample) rec_.RecInsertSample(child_task_);
          Post(WM_RECORDER_SAMPLE, static_cast<uintptr_t>(child_task_));
        }
        ThreadState = 1;
      } else if (result == 2) {
        Post(state == 3      ? WM_RECORDER_SYNC_FAILED
             : first_sample_ ? WM_RECORDER_FIRST_FAILED
                             : WM_RECORDER_SAMPLE_FAILED,
             IsKind7(rec_.RecDevice) ? 1 : 0);
        ThreadState = 1;
      } else {
        // A child protocol ends through its own time-outs, on the main thread.
        if (WaitFor(-1, true) == TWait::Stop) stop_seen_ = true;
      }
    } else {
      throw Exception("TRecorderThread.Execute: invalid ThreadState");
    }
  }
}

void TRecorder::TRecorderThread::StartChild(uint8_t state, int task) {
  ChildResult = 0;
  child_task_ = task;
  ThreadState = state;
  try {
    if (state == 2 && rec_.RecProcessSample) rec_.RecProcessSample(task);
    if (state == 3 && rec_.RecSyncClock) rec_.RecSyncClock();
  } catch (const std::exception& e) {
    // A protocol that cannot start (the port went away) is a failed sample; the next timer tries
    // again.
    ReportRecorderError(e.what(), mkDiagnoseOnly);
    ChildResult = 2;
  }
}

void TRecorder::TRecorderThread::HandleExpired(int shortest) {
  int index = shortest;
  if (index < 0 || !Timer(index) || !Timer(index)->Expired()) {
    index = -1;
    for (int i = 0; i < TimerCount() && index < 0; ++i)
      if (Timer(i) && Timer(i)->Expired()) index = i;
    if (index < 0) return;
  }
  Timer(index)->CatchUp();
  if (index == 0) return Post(WM_RECORDER_SAVE);
  if (index <= rec_.TaskCount()) return StartChild(2, index - 1);
  if (index == rec_.TaskCount() + 1) return StartChild(3, 0);
  // Display: samples kept because a data set was busy are tried again.
  for (int i = 0; i < rec_.TaskCount(); ++i) {
    if (rec_.tasks_[static_cast<size_t>(i)]->Buffer.Size() == 0) continue;
    if (rec_.RecInsertSample) rec_.RecInsertSample(i);
    PostMessage(wnd_, WM_RECORDER_SAMPLE, static_cast<uintptr_t>(i), 1);
    break;
  }
  Post(WM_RECORDER_DISPLAY);
}

// ---------------------------------------------------------------------------------------------

TRecorder::TRecorder() {
  wnd_ = AllocateHWnd([this](TMessage& m) { HandleMessage(m); });
  if (!IniFileName.empty()) {
    TIniFile ini(IniFileName);
    const int32_t save = ini.ReadInteger(kSection, "MinSaveInt", 0);
    if (save > 0) MinSaveInt = static_cast<uint32_t>(save);
    SyncInt = static_cast<uint32_t>(std::max<int32_t>(0, ini.ReadInteger(kSection, "SyncInt", 0)));
    auto_scroll_ = ini.ReadBool(kSection, "AutoScroll", false);
  }
  Recorder = this;
}

TRecorder::~TRecorder() {
  try {
    if (!IniFileName.empty()) {
      TIniFile ini(IniFileName);
      ini.WriteInteger(kSection, "MinSaveInt", static_cast<int32_t>(std::min<uint32_t>(MinSaveInt, INT32_MAX)));
      ini.WriteInteger(kSection, "SyncInt", static_cast<int32_t>(std::min<uint32_t>(SyncInt, INT32_MAX)));
      ini.WriteBool(kSection, "AutoScroll", auto_scroll_);
    }
  } catch (const std::exception& e) {
    if (MsgHandler)
      MsgHandler->HandleMessage(e.what(), "TRecorder.Destroy", TMsgDlgType::mtError, mbOK, 0, 0, true, mkError);
  }
  try {
    Stop();
  } catch (const std::exception&) {
    // The program is ending; the stop's own messages have been reported.
  }
  ProcessPostedMessages();
  if (Connection) Connection->OnLineLost = nullptr;
  DeallocateHWnd(wnd_);
  ClearTasks();
  if (DevHandlColl && DevHandlColl->BoundRecorder() == this) DevHandlColl->BindRecorder(nullptr);
  if (Recorder == this) Recorder = nullptr;
}

void TRecorder::UnbindHooks() {
  RecPrepareTasks = RecInitProtocols = RecInsertStartRec = RecOnSaveData = RecReserved = RecSyncClock = RecDone =
      RecDetachData = nullptr;
  RecProcessSample = RecInsertSample = nullptr;
  RecGetLastTime = nullptr;
}

// ---- tasks ----

void TRecorder::AddTask(TDevice* device, uint32_t interval_ms) {
  if (running_) throw Exception("TRecorder.AddTask: not permitted while running");
  if (!device || interval_ms == 0) return;
  auto task = std::make_unique<TRecTask>(device, interval_ms);
  const std::string file = RecBufName(device);
  if (std::filesystem::exists(file)) {
    // A file that cannot be read is reported; it does not keep the recording from starting.
    // The file stays until its samples are stored or mirrored again: a crash before the first
    // sample must not lose them.
    try {
      const std::string bytes = ReadFileBytes(file);
      task->Buffer.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      task->BufferFileWritten = true;
    } catch (const std::exception& e) {
      ReportRecorderError(e.what());
    }
  }
  tasks_.push_back(std::move(task));
}

void TRecorder::DeleteTask(int index) {
  if (running_) throw Exception("TRecorder.DeleteTask: not permitted while running");
  if (index < 0 || index >= TaskCount()) return;
  std::unique_ptr<TRecTask> task = std::move(tasks_[static_cast<size_t>(index)]);
  tasks_.erase(tasks_.begin() + index);
  const std::string file = RecBufName(task->Device);
  try {
    if (task->Buffer.Size() > 0)
      WriteFileAtomic(file, task->Buffer.Bytes());
    else if (task->BufferFileWritten)
      std::filesystem::remove(file);
  } catch (const std::exception& e) {
    if (MsgHandler)
      MsgHandler->HandleMessage(e.what(), LoadResString("rcd_Recorder"), TMsgDlgType::mtError, mbOK, 0, 0, true,
                                mkError);
  }
}

void TRecorder::ClearTasks() {
  while (TaskCount() > 0) DeleteTask(TaskCount() - 1);
  RecDevice = nullptr;
}

TRecTask* TRecorder::GetTask(int index) const {
  return index >= 0 && index < TaskCount() ? tasks_[static_cast<size_t>(index)].get() : nullptr;
}

// ---- state and controls ----

void TRecorder::SetEnabled(bool enabled) {
  if (running_) throw Exception("TRecorder.SetEnabled: no en/disable while running");
  enabled_ = enabled;
  UpdateControls();
}

void TRecorder::SetAutoScroll(bool on) {
  if (on) {
    auto_scroll_ = true;
    StartAutoScroll(false);
  } else {
    StopAutoScroll(false);
  }
  UpdateControls();
}

void TRecorder::SetView(std::unique_ptr<TRecorderView> view) {
  view_ = std::move(view);
  UpdateControls();
}

void TRecorder::UpdateControls() {
  if (view_) view_->UpdateControls();
}

void TRecorder::UpdateLanguage() {
  UpdateControls();
  if (running_ && view_ && !line_lost_) view_->UpdateRunningHint();
}

void TRecorder::SetRunning(bool running) {
  running_ = running;
  UpdateControls();
  if (OnChange) OnChange(this);
  if (view_) view_->ShowRunning(running);
}

void TRecorder::Log(const std::string& key, uint8_t kind) const {
  if (MsgHandler)
    MsgHandler->HandleMessage(LoadResString(key), LoadResString("rcd_Recorder"), TMsgDlgType::mtInformation, mbOK, 0, 0,
                              true, static_cast<TMsgKind>(kind));
}

std::string TRecorder::RecDeviceKennung() const { return RecDevice ? std::to_string(RecDevice->Kennung()) : ""; }

// ---- start and stop ----

void TRecorder::Start() {
  if (running_ || !enabled_ || !OnStart) return;
  if (MsgHandler)
    MsgHandler->HandleMessage(LoadResString("rcd_BatteryWarning"), LoadResString("rcd_Recorder"),
                              TMsgDlgType::mtInformation, mbOK, 0, mrOk, false, mkQuestion);
  ClearTasks();
  Log("deh_StartRecorder", mkLogOnly);
  bool auto_mode = false;
  try {
    OnStart(this);
    if (RecPrepareTasks) RecPrepareTasks();
    if (tasks_.empty()) {
      UpdateControls();
      return;
    }
    if (RecInsertStartRec) RecInsertStartRec();
    if (MsgHandler) {
      MsgHandler->SetModes(MsgHandler->Modes() | AutoModeEnabled);
      auto_mode = true;
    }
    if (auto_scroll_) StartAutoScroll(false);
    ProcessPostedMessages();
    // Reset before the worker runs: the alarm list and the mail time are then the worker's.
    LastAlarmMailTime = 0;
    LastAlarmState = false;
    if (AlarmChannels) AlarmChannels->Clear();
    sample_done_ = save_due_ = false;
    const bool sync = SyncInt > 0 && !IsKind7(tasks_.front()->Device);
    thread_ = std::make_unique<TRecorderThread>(*this, wnd_, SecondsToMs(MinSaveInt), sync ? SecondsToMs(SyncInt) : 0);
    line_lost_ = false;
    if (Connection) Connection->OnLineLost = [this](const std::string& text) { return LineLost(text); };
    thread_->Resume();
    SetRunning(true);
  } catch (...) {
    if (Connection) Connection->OnLineLost = nullptr;
    if (thread_) {
      thread_->Terminate();
      while (!thread_->Done()) WaitAndProcessMessages(10);
      thread_.reset();
    }
    if (auto_mode && MsgHandler) MsgHandler->SetModes(MsgHandler->Modes() & ~AutoModeEnabled);
    ClearTasks();
    UpdateControls();
    StopAutoScroll(true);
    throw;
  }
  AddAuditEvent(TDY_AuditEventKind::DeviceRecorderStart, RecDeviceKennung());
}

void TRecorder::Stop() {
  if (!running_ || !thread_) return;
  stopping_ = true;
  thread_->Terminate();
  // A running child protocol needs the main thread's events to end.
  while (!thread_->Done()) WaitAndProcessMessages(10);
  thread_->Join();
  AddAuditEvent(TDY_AuditEventKind::DeviceRecorderStopped, RecDeviceKennung());
  if (AlarmChannels) AlarmChannels->Clear();
  ProcessPostedMessages();
  stopping_ = false;
  finish_pending_ = false;
  Finished();
}

void StopRecording() {
  if (Recorder && Recorder->Running()) Recorder->Stop();
}

bool TRecorder::ConfirmStop() {
  if (!running_) return true;
  uint16_t answer = mrNo;
  if (MsgHandler)
    answer = MsgHandler->HandleMessage(LoadResString("rcd_ConfStop"), LoadResString("rcd_Recorder"),
                                       TMsgDlgType::mtConfirmation, mbYes | mbNo, 0, mrNo, false, mkQuestion);
  if (answer == mrYes) Stop();
  return !running_;
}

void TRecorder::Finished() {
  if (!running_) return;
  if (thread_) thread_->Join();
  // A failed save is reported; the recording still ends and the buffers are kept.
  try {
    SaveData();
  } catch (const std::exception& e) {
    ReportRecorderError(e.what());
  }
  Log("deh_StopRecorder", mkLogOnly);
  if (MsgHandler) MsgHandler->SetModes(MsgHandler->Modes() & ~AutoModeEnabled);
  if (Connection) Connection->OnLineLost = nullptr;
  if (line_lost_) {
    line_lost_ = false;
    if (view_) view_->ShowLineLost("");
  }
  SetRunning(false);
  ClearTasks();
  StopAutoScroll(true);
  thread_.reset();
}

bool TRecorder::LineLost(const std::string& text) {
  if (!running_) return false;
  if (line_lost_) return true;
  line_lost_ = true;
  const std::string shown = Format(LoadResString("rcd_LineLostF"), text);
  if (view_) view_->ShowLineLost(shown);
  // Logged only while recording (automatic mode); the status bar keeps it in view.
  if (MsgHandler)
    MsgHandler->HandleMessage(shown, LoadResString("rcd_Recorder"), TMsgDlgType::mtError, mbOK, 0, 0, true, mkError);
  return true;
}

void TRecorder::LineBack() {
  if (!line_lost_) return;
  line_lost_ = false;
  if (view_) view_->ShowLineBack();
  Log("rcd_LineBack", mkLogOnly);
}

void TRecorder::ChildSucceeded(TComProtocol*) {
  if (!running_ || !thread_) return;
  thread_->ChildResult = 1;
  thread_->Wake();
}

void TRecorder::ChildFailed(TComProtocol*) {
  if (!running_ || !thread_) return;
  thread_->ChildResult = 2;
  thread_->Wake();
}

// ---- messages of the worker ----

void TRecorder::SaveData() {
  sample_done_ = save_due_ = false;
  if (RecOnSaveData) RecOnSaveData();
}

void TRecorder::HandleMessage(TMessage& m) {
  // An error here must not leave the main loop: it is reported and the recording goes on.
  try {
    Dispatch(m);
  } catch (const std::exception& e) {
    ReportRecorderError(e.what());
  }
}

void TRecorder::Dispatch(TMessage& m) {
  const std::string source = LoadResString("rcd_Recorder");
  switch (m.Msg) {
    case WM_RECORDER_FINISHED: {
      std::unique_ptr<std::string> error(reinterpret_cast<std::string*>(m.LParam));
      if (stopping_) {
        finish_pending_ = true;
      } else {
        Finished();
      }
      if (error && MsgHandler)
        MsgHandler->HandleMessage(*error, source, TMsgDlgType::mtError, mbOK, 0, mrOk, true, mkError);
      return;
    }
    case WM_RECORDER_SAMPLE:
      if (m.LParam == 0) {
        ++samples_taken_;
        LineBack();
      }
      if (save_due_)
        SaveData();
      else
        sample_done_ = true;
      FollowNewest(static_cast<int32_t>(m.WParam));
      return;
    case WM_RECORDER_SAVE:
      if (sample_done_)
        SaveData();
      else
        save_due_ = true;
      return;
    case WM_RECORDER_SYNC_FAILED:
    case WM_RECORDER_SAMPLE_FAILED:
    case WM_RECORDER_FIRST_FAILED: {
      // A kind-7 logger has no display of its own: the failure is heard.
      if (m.WParam) WarningBeep();
      if (m.Msg == WM_RECORDER_SYNC_FAILED) {
        if (MsgHandler)
          MsgHandler->HandleMessage(LoadResString("rcd_SyncAborted"), source, TMsgDlgType::mtWarning, mbOK, 0, mrOk,
                                    true, mkWarning);
        return;
      }
      ++samples_failed_;
      const bool first = m.Msg == WM_RECORDER_FIRST_FAILED;
      if (MsgHandler)
        MsgHandler->HandleMessage(LoadResString("rcd_SampleAborted"), source, TMsgDlgType::mtError, mbOK, 0, mrOk,
                                  first, first ? mkAlert : mkDiagnoseOnly);
      return;
    }
    case WM_RECORDER_DISPLAY:
      if (view_ && running_) view_->Animate();
      return;
    default: return;
  }
}

void TRecorder::FollowNewest(int32_t task) {
  if (!RecGetLastTime) return;
  TDtStamp stamp = NoDtStamp;
  RecGetLastTime(task, stamp);
  auto* nav = dynamic_cast<TDtNavigator*>(DtNavigator);
  if (!auto_scroll_ || stamp.Date == NoDayNo || stamp.Time < 0 || !nav) return;
  if (nav->Dt1Start.Date != NoDayNo && nav->Dt1Stop.Date != NoDayNo && nav->Dt1Start.Time >= 0 &&
      nav->Dt1Stop.Time >= 0) {
    TDtStamp start = nav->Dt1Start, stop = nav->Dt1Stop;
    bool moved = false;
    // Bounded: a stamp far ahead moves the window by at most a few thousand small steps.
    for (int guard = 0; guard < 100000 && DtStampLater(stamp, stop); ++guard) {
      StepInterval(1, nav->ZoomLevel, start, stop);
      moved = true;
    }
    if (moved) {
      LimitToOneYear(start, stop);
      nav->SetDt1(start, stop);
    }
  }
  if (nav->Dt2Start.Date != NoDayNo && nav->Dt2Start.Date < stamp.Date) nav->SetDay(stamp.Date);
}

void TRecorder::StartAutoScroll(bool forced) {
  if (!forced && !running_) return;
  try {
    auto_scroll_on_ = true;
    AutoScrollActive = true;
    if (DtNavigator) DtNavigator->UpdateControls();
    if (DbShell) {
      DbShell->SetEnabled(false);
      if (RecDevice) DbShell->SelectDevice(RecDevice);
    }
    if (DtNavigator) DtNavigator->GotoNewest();
  } catch (...) {
    StopAutoScroll(true);
  }
}

void TRecorder::StopAutoScroll(bool forced) {
  if (!forced) auto_scroll_ = false;
  if (!auto_scroll_on_) return;
  auto_scroll_on_ = false;
  AutoScrollActive = false;
  if (DtNavigator) DtNavigator->UpdateControls();
  if (DbShell) DbShell->SetEnabled(true);
}

}  // namespace qv
