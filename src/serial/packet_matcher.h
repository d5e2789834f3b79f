#pragma once
// The data-packet matcher: received bytes in, packets out. No I/O and no timers; the packet
// manager feeds it, delivers what it finds and tells it about enables and time-outs.
//
// Each packet waits for a start condition (a start string, or any data), then collects until an
// end condition (a size, or an end string). When several waiting packets could start, the one
// whose start string begins earliest in the data wins (list order breaks ties), so a start byte
// inside another packet's data never cuts that packet short. A packet whose start may still be
// completing by bytes yet to come holds back later matches.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

enum TPacketStartCond : uint8_t { scString, scAnyData };
enum TPacketEndCond : uint8_t { ecString = 1, ecPacketSize = 2 };
using TPacketEndSet = uint8_t;  // set of TPacketEndCond

// The longest packet a matcher collects; longer ones are refused (size) or dropped (end string).
constexpr size_t kMaxPacketLength = size_t{1} << 24;

struct TPacketSettings {
  TPacketStartCond StartCond = scString;
  TPacketEndSet EndCond = 0;
  std::string StartString;  // "?" matches any byte, "\" makes the next character literal
  std::string EndString;
  bool IgnoreCase = true;
  int32_t PacketSize = 0;
  bool IncludeStrings = true;
};

// Checks a packet's settings before it is enabled: 0 or the code of what is wrong
// (-5501 to -5506).
int ValidatePacketSettings(const TPacketSettings& settings);

struct TPacketFound {
  int Packet = -1;
  size_t Start = 0;      // where the packet begins in the buffer
  size_t End = 0;        // one past its last byte
  size_t DataStart = 0;  // the delivered data (without the strings when they are excluded)
  size_t DataSize = 0;
  bool ByString = false;  // ended by its end string
};

class TPacketMatcher {
public:
  // Packets are numbered in the order they were added; a removed number stays unused.
  int Add(const TPacketSettings& settings);
  void Remove(int packet);
  void SetSettings(int packet, const TPacketSettings& settings);
  const TPacketSettings& Settings(int packet) const { return packets_[packet].settings; }

  // Enabling starts a waiting packet, or a collecting one for any data (when another packet is
  // collecting, it collects after that one). Disabling stops it.
  void Enable(int packet);
  void Disable(int packet);
  bool Enabled(int packet) const { return packets_[packet].enabled; }
  // The packet collecting now, -1 when none.
  int Collecting() const { return collecting_; }

  void Append(const uint8_t* data, size_t size);
  const std::string& Buffer() const { return buffer_; }

  // Looks for the next complete packet. Found: the packet is disabled, its bytes stay in the
  // buffer until Release, and nothing else matches meanwhile. Not found: bytes that can begin
  // no packet are dropped.
  bool Next(TPacketFound& found);
  // Drops the buffer through the end of a packet Next found.
  void Release(const TPacketFound& found);
  // The collecting packet timed out: it is disabled and every buffered byte dropped; answers
  // the packet (-1 when none collected).
  int TimeOut();
  // Every packet idle (the port closed): collecting stops, the buffer empties; enabled packets
  // stay enabled and start again with Restart.
  void Idle();
  void Restart();

private:
  struct Pattern {
    std::string bytes;
    std::vector<bool> any;
  };
  struct Packet {
    TPacketSettings settings;
    Pattern start, end;
    bool used = false;
    bool enabled = false;
    bool collect_pending = false;  // any-data packet waiting for another to finish
  };
  static Pattern Prepare(const std::string& text, bool ignore_case);
  static bool MatchAt(const std::string& buffer, size_t pos, const Pattern& p, bool ignore_case, bool* partial);
  void StartCollecting(int packet, size_t start);
  void StopCollecting();
  bool CheckCollecting(TPacketFound& found);

  std::vector<Packet> packets_;
  std::string buffer_;
  int collecting_ = -1;
  size_t collect_start_ = 0;  // where the collecting packet began
  size_t collect_data_ = 0;   // where its data after the start string begin
  size_t search_from_ = 0;    // where the search for its end string goes on
  bool holding_ = false;      // a found packet awaits Release
};

}  // namespace qv
