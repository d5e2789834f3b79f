#pragma once
// The two recorders of a dispatcher: the trace (every byte read from and queued for the port)
// and the log (a time-stamped list of the dispatcher's actions), both rings that keep the
// newest material, and the text files they are written to.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/byte_ring.h"

namespace qv {

constexpr uint32_t kMaxTraceSize = 4000000;
constexpr uint32_t kMaxLogSize = 16000000;

class TSerTrace {
public:
  explicit TSerTrace(uint32_t size);
  void Add(char kind, uint8_t byte);
  void Clear();
  bool Recording = true;
  bool Empty() const { return entries_.Empty(); }
  // The trace as the file shows it: blocks of received ("Receive: ") and transmitted
  // ("Transmit: ") bytes, oldest first. all_hex writes every byte as [HH]; hex writes the
  // unprintable ones so (else in decimal).
  std::string Text(bool hex, bool all_hex) const;

private:
  TByteRing entries_;  // kind, byte; the newest size entries
};

struct TSerLogEntry {
  uint8_t Type = 0;
  uint8_t SubType = 0;
  uint32_t Time = 0;  // ms since the port was opened
  uint32_t Value = 0;
  std::string Data;
};

class TSerLog {
public:
  explicit TSerLog(uint32_t size);
  // Not recorded when head and data do not fit into the ring; the oldest entries make room.
  void Add(uint8_t type, uint8_t subtype, uint32_t time, uint32_t value, const void* data, uint32_t size);
  void Clear();
  bool Recording = true;
  bool Empty() const { return ring_.Empty(); }
  std::vector<TSerLogEntry> Entries() const;
  // The entry lines of the log file (without its header), each ending in CR LF.
  std::string Lines(bool hex, bool all_hex) const;

private:
  void DropOldest();
  TByteRing ring_;
};

constexpr uint32_t kLogHeadSize = 16;

// The header lines of a log file for the device name, with the time text given.
std::string SerLogHeader(const std::string& device, const std::string& date_time);

// Writes text to name, appending when asked and the file exists. Raises EInOutError naming the
// file and the system's reason; a failed append leaves the file as it was.
void WriteSerialTextFile(const std::string& name, const std::string& text, bool append);

}  // namespace qv
