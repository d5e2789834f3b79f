#pragma once
// The serial port the program talks to its loggers through. It takes its trace and log settings
// from section "Comm" of the program's INI file and writes the trace of every connection to a
// file of its own, rotating over "Trace0.trc", "Trace1.trc", ... in the home folder, so that the
// last few conversations can be looked at after a failure. The connection owns the only one.
#include <cstdint>
#include <string>

#include "serial/ser_custom_com_port.h"

namespace qv {

class TQvComPort : public TSerComPort {
public:
  // Reads the settings once; when AutoTrace is on the closed port is left with tracing stored as
  // on and the first trace file chosen, and with logging stored as on when UseLogging is.
  TQvComPort();

  // Trace every connection.
  bool AutoTrace = true;
  // Number of rotating trace files, 1 to 50.
  int32_t AutoTraceCnt = 10;
  // Trace buffer entries, 1 to 4000000.
  int32_t AutoTraceSize = 10000;
  // Keep the dispatcher's log too.
  bool UseLogging = false;

  // The trace file chosen before the current one.
  const std::string& PreviousTraceFile() const { return previous_trace_file_; }
  // The file name (without folder) the next trace goes to; empty when AutoTrace is off.
  const std::string& CurrentTraceFile() const { return current_trace_file_; }

  // Reads section "Comm" of the program's INI file; values out of range leave the defaults.
  virtual void ReadCommSettings();
  // Chooses the next trace file: the first missing one, else the oldest.
  void SelectTraceFile();

  void DumpTrace(const std::string& name, bool hex) override;
  void AppendTrace(const std::string& name, bool hex) override;

protected:
  void OpenPortDevice() override;
  void ClosePort() override;

private:
  void RearmRecording();

  std::string previous_trace_file_;
  std::string current_trace_file_;
};

// Maps serial port numbers through the "COMn=" keys of section "SerialPorts" of the program's INI
// file (IniFileName, read at each lookup); a number without a key keeps the fixed device rule.
void InstallComPortMap();

}  // namespace qv
