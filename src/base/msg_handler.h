#pragma once
// The message handler: the one entry through which device, communication, recorder and
// data-store code shows messages to the user and writes the two text logs, the dated protocol
// log and the size-limited diagnose log.
//
// Only the main thread writes the logs and shows dialogs. Another thread's lines travel to the
// main thread as WM_LOGLINE through the handler's message window, in posting order; a dialog
// that another thread asks for is shown by the main thread while the asking thread waits.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/message_queue.h"
#include "platform/rtl/component.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/msg_dlg_types.h"

namespace qv {

enum TMsgKind : uint8_t { mkQuestion, mkWarning, mkError, mkAlert, mkLogOnly, mkDiagnoseOnly };

// The mode flags, in bit order; TMsgHandlMode is a set of them.
enum TMsgHandlModeFlag : uint8_t {
  ProtocolEnabled = 0x01,
  ProtocolShort = 0x02,  // warnings are left out of the protocol
  AutoLogFile = 0x04,    // a full protocol file is retired under its date
  DiagnoseEnabled = 0x08,
  AutoModeEnabled = 0x10,  // no warning or error dialogs; the protocol is written as if enabled
};
using TMsgHandlMode = uint8_t;

// A log line from another thread: WParam bit 0 asks for the protocol, bit 1 for the diagnose
// log; LParam points to the line, which the handler owns.
constexpr uint32_t WM_LOGLINE = WM_USER + 2;

// What HandleMessage does for a kind under a mode set.
struct TMsgDecision {
  bool Dialog = false;
  bool Protocol = false;
  bool Diagnose = false;
};
TMsgDecision DecideMessage(TMsgKind kind, TMsgHandlMode modes);

// "MsgHandlModes": the names of the set modes in bit order, each followed by "-".
std::string MsgHandlModesToText(TMsgHandlMode modes);
// False when anything besides mode names remains (then modes is left as it was).
bool TextToMsgHandlModes(const std::string& text, TMsgHandlMode& modes);

// The text appended to a logged line for a dialog's result.
std::string ModalResultText(uint16_t result);

// The protocol settings as the protocol options dialog edits them.
struct TProtOptions {
  bool AutoModeOnly = false;  // the protocol is written only in automatic mode
  bool Short = false;
  bool AutoLogFile = false;
  int32_t MaxSize = 0;  // bytes
};
// Shows the protocol options dialog filled with options; true when it closed with OK, and then
// options holds the user's choice. Main thread only.
using TProtOptionsDialogProc = std::function<bool(TProtOptions& options)>;

// Shows a message dialog and answers the modal result of the chosen button. Main thread only.
using TMsgDialogProc =
    std::function<int(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t help_ctx)>;
// Shows the exception being handled, as the application's exception display does; called
// inside a catch block, sender is the reporting component. False when there is no display (at
// the very end of the program). Main thread only.
using TExceptionReportProc = std::function<bool(TComponent* sender)>;
// The program installs both at start-up, so that the handler needs no GUI. Without a dialog a
// message takes its default result; without an exception display the error goes to the console.
extern TMsgDialogProc MsgDialogProc;
extern TExceptionReportProc ExceptionReportProc;

class TMsgHandler : public TComponent {
public:
  static constexpr int32_t DefaultMaxSize = 10240;
  // A protocol is retired at this size at the earliest, however small the stored limit is, so a
  // day's 703 retirement names cannot run out in minutes.
  static constexpr int32_t MinRetireSize = 10240;

  // Files live in ExePath; settings in section "MessageHandler" of IniFileName. Main thread only.
  explicit TMsgHandler(TComponent* owner);
  // Files live in folder (with a trailing "/"), settings in ini_file_name. Dates and times come
  // from clock, the system's when null.
  TMsgHandler(TComponent* owner, std::string folder, std::string ini_file_name, const TWallClock* clock = nullptr);
  ~TMsgHandler() override;
  std::string ClassName() const override { return "TMsgHandler"; }

  // The decision of the mode flags; returns the dialog's modal result when one was shown,
  // else default_result. Any thread.
  virtual uint16_t HandleMessage(const std::string& msg, const std::string& source, TMsgDlgType dlg_type,
                                 TMsgDlgButtons buttons, int32_t help_ctx, uint16_t default_result, bool with_time,
                                 TMsgKind kind);
  // HandleMessage through the virtual table, so that a descendant's override applies.
  virtual uint16_t DoMessage(const std::string& msg, const std::string& source, TMsgDlgType dlg_type,
                             TMsgDlgButtons buttons, int32_t help_ctx, uint16_t default_result, bool with_time,
                             TMsgKind kind);

  // Main thread only. An open or create failure passes on; a failed write never leaves part of
  // a line and is reported to the diagnose log.
  virtual void WriteProtocol(const std::string& line);
  // Main thread only; errors pass on.
  void WriteDiagnose(const std::string& line);

  virtual TMsgHandlMode DefaultModes() const { return 0; }
  virtual void SaveSettings();
  virtual void ProtocolStopped();
  virtual void ProtocolStarted();

  // Runs the protocol options dialog and applies it; a second dialog at the same time raises
  // Exception. Without a dialog nothing happens.
  void EditProtOptions();

  TMsgHandlMode Modes() const { return modes_.load(); }
  // With the start and stop lines of the logs that go on or off.
  void SetModes(TMsgHandlMode modes);

  int32_t DiagnMaxSize() const { return diagn_max_size_; }
  void SetDiagnMaxSize(int32_t size) { diagn_max_size_ = size; }
  int32_t ProtMaxSize() const { return prot_max_size_; }
  void SetProtMaxSize(int32_t size) { prot_max_size_ = size; }
  const std::string& DiagnFName() const { return diagn_fname_; }
  // Only a plain file name whose backup name fits the 255-byte name limit is taken; anything
  // else gives "Diagnose".
  void SetDiagnFName(const std::string& name);
  TDateTime LastEntryDate() const { return last_entry_date_; }
  bool WriteDataLog() const { return write_data_log_; }

  std::string ProtocolFileName() const { return folder_ + "Protocol.log"; }
  std::string DiagnoseFileName() const { return folder_ + diagn_fname_ + ".log"; }
  std::string DiagnoseBackupName() const { return folder_ + diagn_fname_ + "2.log"; }

  // Set by the layer that provides the protocol options dialog.
  TProtOptionsDialogProc ProtOptionsDialog;

  // From here on the program is shutting down: no message shows a dialog any more, as its loop
  // would reach objects half freed. What would have shown one is logged instead (questions take
  // their default result) and kept, so that the program can tell the user once at the end.
  void BeginShutdown();
  bool ShuttingDown() const { return shutting_down_.load(); }
  // The texts kept since BeginShutdown, each once, in their order; the list is emptied.
  std::vector<std::string> TakeShutdownMessages();

protected:
  HWND Handle() const { return wnd_; }

private:
  struct PostedLine {
    std::string text;
    uint8_t logs;
  };

  uint16_t ShowDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t help_ctx,
                      uint16_t default_result);
  void PostLine(std::string line, uint8_t logs);
  void WndProc(TMessage& message);
  void WritePostedLine(const PostedLine& line);
  // Inside a catch block: the application's exception display.
  void ReportCurrentException();
  // The first of the 703 dated names that is free, as the protocol's new name; false when none is.
  bool RetireProtocol(std::string& problem);
  void ReportProtocolProblem(const std::string& text);
  TDateTime NowTime() const;
  void StoreLastEntryDate();

  std::string folder_;
  std::string ini_file_name_;
  const TWallClock* clock_;
  std::atomic<TMsgHandlMode> modes_{0};
  int32_t diagn_max_size_ = DefaultMaxSize;
  std::string diagn_fname_ = "Diagnose";
  int32_t prot_max_size_ = DefaultMaxSize;
  TDateTime last_entry_date_;
  TDateTime stored_entry_date_;  // as "LastEntryDate" holds it
  bool write_data_log_ = false;
  bool editing_options_ = false;

  // Protects wnd_ for posting threads and pending_. Taken before the message queue's own lock,
  // never while a log is written or a dialog shown.
  std::mutex post_mutex_;
  HWND wnd_ = nullptr;
  // Lines posted and not yet written, in posting order; each WM_LOGLINE names one of them.
  std::deque<std::unique_ptr<PostedLine>> pending_;

  std::atomic<bool> shutting_down_{false};
  // Protects shutdown_messages_; a leaf lock.
  std::mutex shutdown_mutex_;
  std::vector<std::string> shutdown_messages_;
};

// The program's one handler; null when there is none.
extern TMsgHandler* MsgHandler;

}  // namespace qv
