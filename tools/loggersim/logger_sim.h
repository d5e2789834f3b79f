#pragma once
// The logger's side of the serial protocol as a pure state machine: received bytes and the
// time they arrived go in, the bytes to send and the earliest time to start sending them come
// out. No I/O and no clock of its own, so tests drive it byte by byte.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim_config.h"
#include "sim_wire.h"

namespace qv::sim {

// One answer on the line: frames, possibly followed by a data block.
struct Reply {
  Bytes bytes;
  int64_t not_before_ms = 0;  // on the caller's monotonic clock
};

// A run of samples under one measurement header.
struct MeasurementSeries {
  int channel = 1;
  int header_index = 0;         // 1-based over all generated series, for header faults
  int64_t start = 0;            // seconds since 2000-01-01
  std::vector<uint16_t> words;  // samples x stored kinds, in the order min, max, avg
};

class LoggerSim {
public:
  // `clock` is the logger's calendar clock at `now_ms`.
  LoggerSim(SimConfig config, DateTimeFields clock, int64_t now_ms);

  std::vector<Reply> Receive(std::span<const uint8_t> bytes, int64_t now_ms);

  // Line time of n bytes at the configured rate, 10 bits a byte, in milliseconds.
  double LineTimeMs(size_t n) const { return static_cast<double>(n) * 10000.0 / LineRate(); }
  int LineRate() const { return config_.baud > 0 ? config_.baud : line_rate_; }
  // The rate the program set on the line, used unless the configuration fixes one.
  void SetLineRate(int baud) { line_rate_ = baud > 0 ? baud : 19200; }

  const SimConfig& Config() const { return config_; }
  // The fault switches, for a test that changes them while the logger runs.
  Faults& MutableFaults() { return config_.faults; }
  const Bytes& Image() const { return image_; }
  DateTimeFields ClockAt(int64_t now_ms) const;
  // Breaches of the protocol by the other side (bad sums, wrong Kennung, wrong order, bad
  // clock fields); empty when the program behaved.
  const std::vector<std::string>& Violations() const { return violations_; }
  // Every request handled, by its command ("&S", "?E", "?1", "$?T" ...; a space is " ").
  const std::vector<std::string>& Requests() const { return requests_; }
  const std::vector<MeasurementSeries>& Memory() const { return memory_; }
  // The stream of measurement blocks a memory read of `channel` from `from` would carry.
  Bytes ChannelStream(int channel, int64_t from) const;

private:
  size_t FrameSize(std::span<const uint8_t> head) const;              // 0: need more; SIZE_MAX: not a frame
  size_t CurrentValueFrameSize(std::span<const uint8_t> head) const;  // "?N" of kind 6
  void HandleFrame(std::span<const uint8_t> frame);
  void HandleSpace();
  bool Refuse(const std::string& cmd);
  bool DateFromFrame(std::span<const uint8_t> frame, const std::string& cmd, DateTimeFields& f);
  // The channel of "?" or "%" + digit once checked, else 0 (and the request refused).
  int ChannelRequest(std::span<const uint8_t> frame, const std::string& cmd, const std::string& what);
  bool CheckKennung(std::span<const uint8_t> frame, size_t at, const std::string& cmd);
  void Violation(const std::string& text);

  void SendFrame(const std::string& start, std::span<const uint8_t> payload);
  void SendAck(const std::string& cmd) { SendFrame("$" + cmd, {}); }
  void SendNack(const std::string& cmd) { SendFrame("#" + cmd, {}); }
  void SendBlock(const Bytes& block, bool config, int serial);
  void SendMemoryBlock();

  Bytes ConfigBlock() const;
  Bytes Header(const MeasurementSeries& s, size_t samples, int64_t start) const;
  void GenerateMemory();

  SimConfig config_;
  Bytes image_;
  std::vector<MeasurementSeries> memory_;
  int64_t clock_seconds_ = 0;
  int64_t clock_ms_ = 0;

  Bytes rx_;
  int64_t rx_start_ms_ = 0;
  int64_t rx_last_ms_ = 0;
  int64_t now_ms_ = 0;
  int spaces_in_row_ = 0;
  int line_rate_ = 19200;

  enum class Transfer { None, Config, Memory } transfer_ = Transfer::None;
  Bytes config_block_;
  std::vector<Bytes> mem_blocks_;
  size_t mem_index_ = 0;
  int mem_channel_ = 0;  // the channel whose blocks are being sent
  std::vector<int> mem_serials_;
  int mem_serial_count_ = 0;
  int copies_ = 0;  // copies of the current block sent so far

  int prep_channel_ = 0;  // channel of an acknowledged "?" + digit, 0 = none
  bool write_open_ = false;
  Bytes write_buf_;
  size_t write_offset_ = 0;
  int final_nacks_left_ = 0;

  int frames_sent_ = 0;
  Reply* out_ = nullptr;  // the reply being assembled
  std::vector<std::string> violations_;
  std::vector<std::string> requests_;
};

}  // namespace qv::sim
