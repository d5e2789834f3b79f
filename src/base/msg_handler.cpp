#include "base/msg_handler.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "platform/rtl/file_io.h"

namespace qv {

TMsgHandler* MsgHandler = nullptr;
TMsgDialogProc MsgDialogProc;
TExceptionReportProc ExceptionReportProc;

namespace {

// A dialog asked for by another thread, answered by the main thread through the message window.
constexpr uint32_t WM_MSGDIALOG = WM_USER + 0x101;

// The installed dialog; default_result without one.
uint16_t RunDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t help_ctx,
                   uint16_t default_result) {
  if (!MsgDialogProc) return default_result;
  return static_cast<uint16_t>(MsgDialogProc(msg, type, buttons, help_ctx));
}

struct DialogRequest {
  const std::string* msg;
  TMsgDlgType type;
  TMsgDlgButtons buttons;
  int32_t help_ctx;
  uint16_t result;
};

constexpr const char* kSection = "MessageHandler";

constexpr const char* kModeNames[] = {"ProtocolEnabled", "ProtocolShort", "AutoLogFile", "DiagnoseEnabled",
                                      "AutoModeEnabled"};

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

int64_t FileSizeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

// The local day of the file's last change.
TDateTime FileDay(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return NoDateTime;
  struct tm t;
  time_t secs = st.st_mtime;
  if (!localtime_r(&secs, &t)) return NoDateTime;
  TDateTime day;
  return TryEncodeDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, day) ? day : NoDateTime;
}

// The longest diagnose name whose backup name (name + "2.log") still fits the system's limit
// of 255 bytes for one name.
constexpr size_t kMaxDiagnNameBytes = 255 - 5;

bool PlainFileName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxDiagnNameBytes && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

TMsgDecision DecideMessage(TMsgKind kind, TMsgHandlMode modes) {
  TMsgDecision d;
  const bool auto_mode = modes & AutoModeEnabled;
  switch (kind) {
    case mkQuestion:
    case mkAlert: d.Dialog = true; break;
    case mkWarning:
    case mkError: d.Dialog = !auto_mode; break;
    default: break;
  }
  if (modes & (ProtocolEnabled | AutoModeEnabled)) {
    d.Protocol =
        kind == mkError || kind == mkAlert || kind == mkLogOnly || (kind == mkWarning && !(modes & ProtocolShort));
  }
  d.Diagnose = modes & DiagnoseEnabled;
  return d;
}

std::string MsgHandlModesToText(TMsgHandlMode modes) {
  std::string text;
  for (size_t bit = 0; bit < std::size(kModeNames); ++bit) {
    if (modes & (1u << bit)) text += std::string(kModeNames[bit]) + "-";
  }
  return text;
}

bool TextToMsgHandlModes(const std::string& text, TMsgHandlMode& modes) {
  std::string rest = text;
  TMsgHandlMode found = 0;
  for (size_t bit = 0; bit < std::size(kModeNames); ++bit) {
    std::string name = std::string(kModeNames[bit]) + "-";
    size_t pos = rest.find(name);
    if (pos == std::string::npos) continue;
    rest.erase(pos, name.size());
    found |= static_cast<TMsgHandlMode>(1u << bit);
  }
  if (!rest.empty()) return false;
  modes = found;
  return true;
}

std::string ModalResultText(uint16_t result) {
  static constexpr const char* kTexts[] = {"OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No", "Yes to All"};
  if (result == 0) return "";
  if (result <= std::size(kTexts)) return LoadResString(kTexts[result - 1]);
  return "-> " + std::to_string(result);
}

TMsgHandler::TMsgHandler(TComponent* owner) : TMsgHandler(owner, ExePath, IniFileName) {}

TMsgHandler::TMsgHandler(TComponent* owner, std::string folder, std::string ini_file_name, const TWallClock* clock)
    : TComponent(owner),
      folder_(std::move(folder)),
      ini_file_name_(std::move(ini_file_name)),
      clock_(clock),
      last_entry_date_(NoDateTime),
      stored_entry_date_(NoDateTime) {
  // Virtual calls made here reach this class's own operations, as a descendant is not built yet.
  TIniFile2 ini(ini_file_name_);
  if (FileExists(ProtocolFileName())) {
    last_entry_date_ = stored_entry_date_ = ini.ReadDate(kSection, "LastEntryDate", NoDateTime);
  } else {
    ini.WriteString(kSection, "LastEntryDate", "");
  }
  TMsgHandlMode modes = DefaultModes();
  if (!TextToMsgHandlModes(ini.ReadString(kSection, "MsgHandlModes", "$$Invalid$$"), modes)) modes = DefaultModes();
  modes_ = modes;
  diagn_max_size_ = ini.ReadInteger(kSection, "DiagnMaxSize", DefaultMaxSize);
  SetDiagnFName(ini.ReadString(kSection, "DiagnFName", "Diagnose"));
  write_data_log_ = ini.ReadBool(kSection, "WriteDataLog", false);
  prot_max_size_ = ini.ReadInteger(kSection, "ProtMaxSize", DefaultMaxSize);

  wnd_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
  try {
    HandleMessage("", "\r\n" + std::string(45, '-'), TMsgDlgType::mtInformation, 0, 0, 0, false, mkLogOnly);
    DoMessage(LoadResString("mhd_ProgramStarted"), "", TMsgDlgType::mtInformation, 0, 0, 0, true, mkLogOnly);
  } catch (...) {
    // No destructor runs for a half-built object: the window must not outlive it.
    DeallocateHWnd(wnd_);
    throw;
  }
}

TMsgHandler::~TMsgHandler() {
  BeginDestroy();
  try {
    DoMessage(LoadResString("mhd_ProgramStopped"), "", TMsgDlgType::mtInformation, 0, 0, 0, true, mkLogOnly);
    SaveSettings();
  } catch (...) {
    ReportCurrentException();
  }
  // Close the window first so that nothing more is posted, then write what other threads had
  // posted, in order.
  std::deque<std::unique_ptr<PostedLine>> rest;
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    DeallocateHWnd(wnd_);
    wnd_ = nullptr;
    rest.swap(pending_);
  }
  for (const auto& line : rest) {
    try {
      WritePostedLine(*line);
    } catch (...) {
      ReportCurrentException();
    }
  }
  if (MsgHandler == this) MsgHandler = nullptr;
}

void TMsgHandler::SetDiagnFName(const std::string& name) { diagn_fname_ = PlainFileName(name) ? name : "Diagnose"; }

TDateTime TMsgHandler::NowTime() const { return clock_ ? clock_->Now() : Now(); }

uint16_t TMsgHandler::HandleMessage(const std::string& msg, const std::string& source, TMsgDlgType dlg_type,
                                    TMsgDlgButtons buttons, int32_t help_ctx, uint16_t default_result, bool with_time,
                                    TMsgKind kind) {
  TMsgDecision d = DecideMessage(kind, modes_.load());
  if (d.Dialog && shutting_down_) {
    d.Dialog = false;
    d.Protocol = true;
    std::lock_guard<std::mutex> lock(shutdown_mutex_);
    if (std::find(shutdown_messages_.begin(), shutdown_messages_.end(), msg) == shutdown_messages_.end())
      shutdown_messages_.push_back(msg);
  }
  uint16_t result = default_result;
  if (d.Dialog) result = ShowDialog(msg, dlg_type, buttons, help_ctx, default_result);
  if (!d.Protocol && !d.Diagnose) return result;

  std::string line;
  if (with_time) {
    TDateTime now = NowTime();
    line = FormatDateTime("ddddd", now) + " " + FormatDateTime("hh:nn:ss.zzz", now) + " ";
  }
  line += source + ": " + msg + ModalResultText(result);

  if (IsMainThread()) {
    if (d.Protocol) WriteProtocol(line);
    if (d.Diagnose) WriteDiagnose(line);
  } else {
    PostLine(std::move(line), static_cast<uint8_t>((d.Protocol ? 1 : 0) | (d.Diagnose ? 2 : 0)));
  }
  return result;
}

void TMsgHandler::BeginShutdown() { shutting_down_ = true; }

std::vector<std::string> TMsgHandler::TakeShutdownMessages() {
  std::lock_guard<std::mutex> lock(shutdown_mutex_);
  std::vector<std::string> out;
  out.swap(shutdown_messages_);
  return out;
}

uint16_t TMsgHandler::DoMessage(const std::string& msg, const std::string& source, TMsgDlgType dlg_type,
                                TMsgDlgButtons buttons, int32_t help_ctx, uint16_t default_result, bool with_time,
                                TMsgKind kind) {
  return HandleMessage(msg, source, dlg_type, buttons, help_ctx, default_result, with_time, kind);
}

uint16_t TMsgHandler::ShowDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t help_ctx,
                                 uint16_t default_result) {
  if (IsMainThread()) return RunDialog(msg, type, buttons, help_ctx, default_result);
  // Never a window on this thread: the main thread asks, this thread waits for the answer.
  HWND wnd;
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    wnd = wnd_;
  }
  if (!wnd) return default_result;
  DialogRequest request{&msg, type, buttons, help_ctx, default_result};
  if (SendMessage(wnd, WM_MSGDIALOG, 0, reinterpret_cast<intptr_t>(&request)) == 0) return default_result;
  return request.result;
}

void TMsgHandler::PostLine(std::string line, uint8_t logs) {
  std::lock_guard<std::mutex> lock(post_mutex_);
  if (!wnd_) return;  // no window: the line is dropped
  auto posted = std::make_unique<PostedLine>(PostedLine{std::move(line), logs});
  PostedLine* p = posted.get();
  pending_.push_back(std::move(posted));
  if (!PostMessage(wnd_, WM_LOGLINE, logs, reinterpret_cast<intptr_t>(p))) pending_.pop_back();
}

void TMsgHandler::WndProc(TMessage& message) {
  if (message.Msg == WM_LOGLINE) {
    std::unique_ptr<PostedLine> line;
    {
      std::lock_guard<std::mutex> lock(post_mutex_);
      auto it = std::find_if(pending_.begin(), pending_.end(), [&](const std::unique_ptr<PostedLine>& p) {
        return reinterpret_cast<intptr_t>(p.get()) == message.LParam;
      });
      if (it == pending_.end()) return;
      line = std::move(*it);
      pending_.erase(it);
    }
    try {
      WritePostedLine(*line);
    } catch (...) {
      ReportCurrentException();
    }
  } else if (message.Msg == WM_MSGDIALOG) {
    auto* request = reinterpret_cast<DialogRequest*>(message.LParam);
    try {
      request->result = RunDialog(*request->msg, request->type, request->buttons, request->help_ctx, request->result);
    } catch (...) {
      ReportCurrentException();
    }
    message.Result = 1;
  }
}

void TMsgHandler::WritePostedLine(const PostedLine& line) {
  if (line.logs & 1) WriteProtocol(line.text);
  if (line.logs & 2) WriteDiagnose(line.text);
}

void TMsgHandler::ReportCurrentException() {
  if (ExceptionReportProc && ExceptionReportProc(this)) return;
  // Without an exception display the console is all there is.
  try {
    throw;
  } catch (const std::exception& e) {
    std::cerr << e.what() << std::endl;
  } catch (...) {
    std::cerr << "Unknown exception in TMsgHandler" << std::endl;
  }
}

void TMsgHandler::ReportProtocolProblem(const std::string& text) {
  HandleMessage(text, "", TMsgDlgType::mtError, mbOK, 0, 0, true, mkDiagnoseOnly);
}

bool TMsgHandler::RetireProtocol(std::string& problem) {
  const std::string base = folder_ + "Protocol" + FormatDateTime("yymmdd", last_entry_date_);
  const std::string from = ProtocolFileName();
  std::string last_why;
  for (int i = -27; i < 26 * 26; ++i) {
    // "", then A..Z, then AA..ZZ.
    std::string suffix;
    if (i >= 0) {
      suffix = {static_cast<char>('A' + i / 26), static_cast<char>('A' + i % 26)};
    } else if (i > -27) {
      suffix = {static_cast<char>('A' + i + 26)};
    }
    std::string to = base + suffix + ".log";
    if (FileExists(to)) continue;
    std::string why;
    if (RenameNoReplace(from, to, why)) return true;
    if (FileExists(to)) continue;  // taken meanwhile
    problem = "Error in TMsgHandler.WriteProtocol: cannot rename \"" + from + "\" to \"" + to + "\": " + why;
    return false;
  }
  problem = "Error in TMsgHandler.WriteProtocol: all names \"" + base + "*.log\" are in use";
  return false;
}

void TMsgHandler::WriteProtocol(const std::string& line) {
  const std::string p = ProtocolFileName();
  const bool exists = FileExists(p);
  if (exists && last_entry_date_ == NoDateTime) {
    // The settings lost the date of the last line: the file's own date stands in, and the
    // protocol is continued rather than started afresh.
    last_entry_date_ = FileDay(p);
  }
  if (exists && (modes_.load() & AutoLogFile)) {
    const int64_t limit = std::max(prot_max_size_, MinRetireSize);
    if (static_cast<int64_t>(line.size()) + FileSizeOf(p) + 2 > limit) {
      // On failure the line goes to the full file rather than anything being lost.
      std::string problem;
      if (!RetireProtocol(problem)) ReportProtocolProblem(problem);
    }
  }
  try {
    AppendFileWhole(p, line + "\r\n");
  } catch (const EAppendWriteError& e) {
    ReportProtocolProblem("Error in TMsgHandler.WriteProtocol: " + e.Message());
    return;
  }
  last_entry_date_ = clock_ ? Date(*clock_) : Date();
  StoreLastEntryDate();
}

void TMsgHandler::WriteDiagnose(const std::string& line) {
  const std::string d = DiagnoseFileName();
  std::string problem;
  if (FileExists(d)) {
    const int64_t size = FileSizeOf(d);
    // An empty file has nothing to keep, so an oversize first line leaves the backup alone.
    if (size > 0 && static_cast<int64_t>(line.size()) + size + 2 > diagn_max_size_) {
      // The move replaces the one backup in a single step.
      const std::string backup = DiagnoseBackupName();
      if (::rename(d.c_str(), backup.c_str()) != 0) {
        problem = "Error in TMsgHandler.WriteDiagnose: cannot rename \"" + d + "\" to \"" + backup +
                  "\": " + std::strerror(errno);
      }
    }
  }
  AppendFileWhole(d, line + "\r\n");
  // The line is kept in the full file; the failed move is still an error of its own.
  if (!problem.empty()) throw Exception(problem);
}

void TMsgHandler::SetModes(TMsgHandlMode modes) {
  const TMsgHandlMode old = modes_.load();
  if (modes == old) return;
  const bool no_auto = !(old & AutoModeEnabled) && !(modes & AutoModeEnabled);
  if ((old & DiagnoseEnabled) && !(modes & DiagnoseEnabled)) {
    DoMessage(LoadResString("mhd_DiangoseStopped"), "", TMsgDlgType::mtInformation, 0, 0, 0, true, mkDiagnoseOnly);
  }
  if (no_auto && (old & ProtocolEnabled) && !(modes & ProtocolEnabled)) ProtocolStopped();
  modes_ = modes;
  if (!(old & DiagnoseEnabled) && (modes & DiagnoseEnabled)) {
    DoMessage(LoadResString("mhd_DiangoseStarted"), "", TMsgDlgType::mtInformation, 0, 0, 0, true, mkDiagnoseOnly);
  }
  if (no_auto && !(old & ProtocolEnabled) && (modes & ProtocolEnabled)) ProtocolStarted();
}

void TMsgHandler::EditProtOptions() {
  if (editing_options_) throw Exception("Error in EditProtOptions: only !one! instance permitted");
  if (!ProtOptionsDialog) return;
  editing_options_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{editing_options_};
  const TMsgHandlMode modes = modes_.load();
  TProtOptions options{!(modes & ProtocolEnabled), (modes & ProtocolShort) != 0, (modes & AutoLogFile) != 0,
                       prot_max_size_};
  if (!ProtOptionsDialog(options)) return;
  // Diagnose logging and automatic mode are not the dialog's business and stay as they are.
  TMsgHandlMode next = modes_.load() & static_cast<TMsgHandlMode>(~(ProtocolEnabled | ProtocolShort | AutoLogFile));
  if (!options.AutoModeOnly) next |= ProtocolEnabled;
  if (options.Short) next |= ProtocolShort;
  if (options.AutoLogFile) next |= AutoLogFile;
  prot_max_size_ = options.MaxSize;
  SetModes(next);
  SaveSettings();
}

void TMsgHandler::ProtocolStopped() {
  DoMessage(LoadResString("mhd_ProtocolStopped"), "", TMsgDlgType::mtInformation, 0, 0, 0, true, mkLogOnly);
}

void TMsgHandler::ProtocolStarted() {
  DoMessage(LoadResString("mhd_ProtocolStarted"), "", TMsgDlgType::mtInformation, 0, 0, 0, true, mkLogOnly);
}

void TMsgHandler::SaveSettings() {
  TIniFile2 ini(ini_file_name_);
  ini.WriteString(kSection, "MsgHandlModes", MsgHandlModesToText(modes_.load()));
  ini.WriteInteger(kSection, "DiagnMaxSize", diagn_max_size_);
  ini.WriteString(kSection, "DiagnFName", diagn_fname_);
  ini.WriteInteger(kSection, "ProtMaxSize", prot_max_size_);
}

void TMsgHandler::StoreLastEntryDate() {
  // The program INI file is rewritten as a whole, so only a new day is written.
  if (last_entry_date_ == stored_entry_date_) return;
  TIniFile2(ini_file_name_).WriteDate(kSection, "LastEntryDate", last_entry_date_);
  stored_entry_date_ = last_entry_date_;
}

}  // namespace qv
