#pragma once
// The online recorder: samples the current values of one logger at the logger's own interval
// while the program runs, stores them in the sensors' data sets, saves them periodically and
// keeps the logger's clock synchronised. TRecorder lives on the main thread with its view (the
// controls, made on the GUI side) and the hooks that the selected device handler binds (all
// logger specifics live there); its
// worker thread opens the connection, waits for the interval timers on the wall-clock grid and
// starts the handler's sampling and clock protocols. The worker never touches the GUI: it posts
// its results (1027 to 1033) to the recorder's message window and has protocols started and the
// port opened and closed on the main thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/file_stream2.h"
#include "base/msg_handler.h"
#include "base/timer2.h"
#include "platform/os/message_queue.h"

namespace qv {

class TComProtocol;
class TDevice;
class TRecorder;
struct TDtStamp;

// Messages of the worker thread to the recorder's window.
constexpr uint32_t WM_RECORDER_FINISHED = 1027;  // LParam: an error text the recorder owns, or 0
constexpr uint32_t WM_RECORDER_SAMPLE = 1028;    // WParam: the task index; LParam 1: kept samples retried
constexpr uint32_t WM_RECORDER_SAVE = 1029;
constexpr uint32_t WM_RECORDER_SYNC_FAILED = 1030;
constexpr uint32_t WM_RECORDER_SAMPLE_FAILED = 1031;
constexpr uint32_t WM_RECORDER_FIRST_FAILED = 1032;
constexpr uint32_t WM_RECORDER_DISPLAY = 1033;

// The file in a device folder that keeps samples not yet stored.
constexpr const char* kRecBufFile = "RecBuf.bin";

// A recording task: the device, its interval timer and the samples not yet stored.
struct TRecTask {
  TRecTask(TDevice* device, uint32_t interval_ms) : Device(device), Timer(interval_ms) {}
  TDevice* Device;
  TTimer2 Timer;
  TMemoryStream2 Buffer;
  // "RecBuf.bin" mirrors samples kept while recording; set while it may exist.
  bool BufferFileWritten = false;
};

// Runs fn on the main thread and waits for it; an exception of fn is raised again here.
void RunOnMainThread(const std::function<void()>& fn);
// An error of the recording, reported by the message handler on the main thread (from the
// worker too; in automatic mode it is only logged).
void ReportRecorderError(const std::string& text, TMsgKind kind = mkError);

// The recorder's controls on the GUI side (its menu, buttons and the status bar's box and
// pane). The recorder tells them what changed; they read its state and call Start, Stop and
// SetAutoScroll. Main thread only.
class TRecorderView {
public:
  virtual ~TRecorderView() = default;
  // Enabled, running or automatic scrolling changed, or the language.
  virtual void UpdateControls() = 0;
  // The recording started or ended.
  virtual void ShowRunning(bool running) = 0;
  // The running recording's text in the status box, as the language changed.
  virtual void UpdateRunningHint() = 0;
  // The line went away (text: what the user is told); "" when it is back or the recording ended
  // without it.
  virtual void ShowLineLost(const std::string& text) = 0;
  // The line is back while recording.
  virtual void ShowLineBack() = 0;
  // The running recording's next frame.
  virtual void Animate() = 0;
};

class TRecorder {
public:
  // Reads section "Recorder" of the program's INI file.
  TRecorder();
  // Writes the settings, stops a recording and clears the tasks.
  ~TRecorder();
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  // ---- tasks ----
  // Loads "RecBuf.bin" of the device's folder into the new task's buffer; the file stays until
  // the buffer is stored or mirrored again.
  void AddTask(TDevice* device, uint32_t interval_ms);
  // Saves a non-empty buffer as "RecBuf.bin" in the device's folder, else deletes the file it
  // loaded or wrote (a file it could not read is left alone).
  void DeleteTask(int index);
  void ClearTasks();
  int TaskCount() const { return static_cast<int>(tasks_.size()); }
  TRecTask* GetTask(int index) const;

  // ---- state and controls ----
  bool Running() const { return running_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool AutoScroll() const { return auto_scroll_; }
  void SetAutoScroll(bool on);
  // The controls; the recorder owns them.
  void SetView(std::unique_ptr<TRecorderView> view);
  TRecorderView* View() const { return view_.get(); }
  void UpdateControls();
  void UpdateLanguage();

  void Start();
  void Stop();
  // Asks before stopping a running recording; true when the recorder is (now) stopped.
  bool ConfirmStop();

  // The line of the recording has gone away (text: the port's words for it): the user is told
  // once, and every sample tries the line again until one succeeds. False when nothing records.
  bool LineLost(const std::string& text);
  bool LineIsLost() const { return line_lost_; }

  // The end of a child protocol of the recording (OnSuccess and OnFailure).
  void ChildSucceeded(TComProtocol* sender);
  void ChildFailed(TComProtocol* sender);

  // Seconds between saves (at least 60 in effect) and between clock synchronisations (0: none).
  uint32_t MinSaveInt = 120;
  uint32_t SyncInt = 0;
  // The recorded device (the module of the task).
  TDevice* RecDevice = nullptr;
  // One alarm state for the whole recording; the worker's while recording.
  bool LastAlarmState = false;

  std::function<void(TRecorder*)> OnStart;
  std::function<void(TRecorder*)> OnChange;
  // The hooks, bound to the selected device handler when a recording starts.
  std::function<void()> RecPrepareTasks;
  std::function<void()> RecInitProtocols;
  std::function<void()> RecInsertStartRec;
  std::function<void()> RecOnSaveData;
  std::function<void()> RecReserved;
  std::function<void()> RecSyncClock;
  std::function<void(int32_t task)> RecProcessSample;
  std::function<void(int32_t task)> RecInsertSample;
  std::function<void(int32_t task, TDtStamp& stamp)> RecGetLastTime;
  std::function<void()> RecDone;
  std::function<void()> RecDetachData;

  // Clears the eleven hooks (their handler is going).
  void UnbindHooks();

  // Samples read from the logger and failed reads, as the main thread learned of them.
  int SamplesTaken() const { return samples_taken_; }
  int SamplesFailed() const { return samples_failed_; }

private:
  class TRecorderThread;
  friend class TRecorderThread;

  void HandleMessage(TMessage& m);
  void Dispatch(TMessage& m);
  void SetRunning(bool running);
  void Finished();
  void SaveData();
  void FollowNewest(int32_t task);
  void StartAutoScroll(bool forced);
  void StopAutoScroll(bool forced);
  // Back to the running state after a lost line.
  void LineBack();
  std::string RecDeviceKennung() const;
  void Log(const std::string& key, uint8_t kind) const;

  HWND wnd_ = nullptr;
  std::vector<std::unique_ptr<TRecTask>> tasks_;
  std::unique_ptr<TRecorderThread> thread_;
  bool sample_done_ = false;
  bool save_due_ = false;
  std::atomic<bool> running_{false};
  bool enabled_ = false;
  bool auto_scroll_ = false;
  bool auto_scroll_on_ = false;
  // While Stop waits for the worker, its end message waits for Stop.
  bool stopping_ = false;
  bool finish_pending_ = false;
  int samples_taken_ = 0;
  int samples_failed_ = 0;
  std::unique_ptr<TRecorderView> view_;
  // Since the line went away, until a sample succeeds again; main thread.
  bool line_lost_ = false;
};

// The program's recorder; null while there is none.
extern TRecorder* Recorder;

// Ends the program's running recording and saves what it took, through the device tree, the
// handlers and the connection, which must all still exist: the program calls it when its main
// window closes and again first thing at shut-down. Nothing happens when nothing records.
void StopRecording();

}  // namespace qv
