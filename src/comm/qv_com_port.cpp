#include "comm/qv_com_port.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/utils.h"
#include "platform/serial/com_port_map.h"

namespace qv {

namespace {

constexpr const char* kCommSection = "Comm";
constexpr int32_t kMaxAutoTraceCnt = 50;
constexpr int32_t kMaxAutoTraceSize = 4000000;
constexpr int32_t kMaxLogSize = 16000000;

std::string TraceFileName(int32_t n) { return "Trace" + std::to_string(n) + ".trc"; }

}  // namespace

TQvComPort::TQvComPort() {
  TraceHex = false;
  LogHex = false;
  ReadCommSettings();
  if (AutoTrace) {
    SetTracing(tlOn);
    SetTraceSize(static_cast<uint32_t>(AutoTraceSize));
    SelectTraceFile();
  }
  if (UseLogging) SetLogging(tlOn);
}

void TQvComPort::ReadCommSettings() {
  TIniFile2 ini(IniFileName);
  AutoTrace = ini.ReadBool(kCommSection, "AutoTrace", AutoTrace);
  int32_t n = ini.ReadInteger(kCommSection, "AutoTraceCnt", AutoTraceCnt);
  if (n >= 1 && n <= kMaxAutoTraceCnt) AutoTraceCnt = n;
  n = ini.ReadInteger(kCommSection, "AutoTraceSize", AutoTraceSize);
  if (n >= 1 && n <= kMaxAutoTraceSize) AutoTraceSize = n;
  UseLogging = ini.ReadBool(kCommSection, "UseLogging", UseLogging);
  n = ini.ReadInteger(kCommSection, "LogSize", static_cast<int32_t>(LogSize()));
  if (n >= 1 && n <= kMaxLogSize) SetLogSize(static_cast<uint32_t>(n));
  std::string log_name = LogName;
  RemoveToken(log_name, ExePath);
  std::string value = ini.ReadString(kCommSection, "LogName", log_name);
  // The log is written into the home folder only: a name that leads out of it, names the folder
  // itself or is empty is refused.
  if (value.empty() || value == "." || value.find_first_of("/\\") != std::string::npos ||
      value.find("..") != std::string::npos)
    value = log_name;
  LogName = ExePath + value;
  // The whole name counts, folder included: a name with no dot anywhere gets the extension.
  if (LogName.find('.') == std::string::npos) LogName += ".trc";
}

void TQvComPort::SelectTraceFile() {
  if (!AutoTrace || AutoTraceCnt <= 0) {
    previous_trace_file_.clear();
    current_trace_file_.clear();
    return;
  }
  previous_trace_file_ = current_trace_file_;
  std::optional<int32_t> missing;
  int32_t oldest = 0;
  std::filesystem::file_time_type oldest_time;
  for (int32_t n = 0; n < AutoTraceCnt; ++n) {
    std::error_code ec;
    auto time = std::filesystem::last_write_time(ExePath + TraceFileName(n), ec);
    if (ec) {
      missing = n;
      break;
    }
    // Strictly older only, so that on equal times the lower number wins.
    if (n == 0 || time < oldest_time) {
      oldest = n;
      oldest_time = time;
    }
  }
  current_trace_file_ = TraceFileName(missing.value_or(oldest));
  TraceName = ExePath + current_trace_file_;
}

void TQvComPort::DumpTrace(const std::string& name, bool hex) {
  TSerComPort::DumpTrace(name, hex);
  SelectTraceFile();
}

void TQvComPort::AppendTrace(const std::string& name, bool hex) {
  TSerComPort::AppendTrace(name, hex);
  SelectTraceFile();
}

void TQvComPort::OpenPortDevice() {
  // A close finished later by the port window (asked for inside an event handler) could not
  // re-arm while the port was closing; every connection is recorded all the same.
  RearmRecording();
  TSerComPort::OpenPortDevice();
}

void TQvComPort::ClosePort() {
  // The close completes even when a trace or log file cannot be written; recording is re-armed
  // before that error goes on, so a full disk does not end the tracing of later connections.
  std::exception_ptr error;
  try {
    TSerComPort::ClosePort();
  } catch (...) {
    error = std::current_exception();
  }
  RearmRecording();
  if (error) std::rethrow_exception(error);
}

void TQvComPort::RearmRecording() {
  if (Closing() || Open()) return;
  if (AutoTrace) SetTracing(tlOn);
  if (UseLogging) SetLogging(tlOn);
}

void InstallComPortMap() {
  SetComPortMapHook([](int com_number) -> std::string {
    if (IniFileName.empty()) return "";
    TIniFile2 ini(IniFileName);
    return ini.ReadString("SerialPorts", "COM" + std::to_string(com_number), "");
  });
}

}  // namespace qv
