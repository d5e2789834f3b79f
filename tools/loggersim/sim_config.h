#pragma once
// The simulated logger's state as the user sets it: identity, configuration image, clock,
// generated memory, current values, line pacing and the fault switches. Settings are
// "key=value" texts, from a file (one a line, "#" starts a comment) or from the command line
// ("--key value"); both go through ApplySetting.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"
#include "sim_wire.h"

namespace qv::sim {

QV_DECLARE_EXCEPTION(ESimSetting, Exception);

// Which answers or blocks a fault switch aims at.
struct BlockFault {
  bool config = false;  // the configuration block, else memory block `block` (1-based, counted
  int block = 0;        // over every new memory block sent since start; resends do not count)
  int copies = 1;       // how many copies of that block are damaged
};

// A damaged measurement header: index 1-based over all generated measurement blocks (0 = all).
struct HeaderFault {
  int index = 0;
  std::string field;  // "crc", "interval", "pcb"
  int value = 0;
};

struct Faults {
  bool silent = false;
  int wake_after = 1;                 // answer only the n-th space in a row
  int late_ms = 0;                    // every answer this much later
  int late_wake_ms = 0;               // wake-up answers this much later
  std::map<std::string, int> refuse;  // request command (2 characters) -> refusals left
  std::vector<int> bad_sum_frames;    // 1-based numbers of sent frames whose sum is off by one
  std::vector<BlockFault> bad_crc;
  std::vector<BlockFault> truncate;
  std::optional<int> type_code;    // identity answer's type code
  std::optional<int> answer_ee;    // EE version in "$?E" only
  std::optional<int> image_id;     // Kennung written into the image, other than the identity's
  std::optional<int> block_count;  // announced "$?T" count; missing blocks are zero-filled
  int final_nack = 0;              // final answers after "%R" that refuse the block
  bool bad_clear_ack = false;      // clear acknowledged with a wrong command
  std::vector<HeaderFault> headers;
  bool ff_padding = false;  // pad each channel's last block with 0xFF instead of 0x00
};

// One slot of the configuration: its sensor type and range in whole units.
struct SlotSetup {
  int type = 1;
  double min = -40, max = 100;
};

// A current value of one slot, raw words.
struct CurrentValue {
  uint16_t min = 0, max = 0, avg = 0;
};

struct SimConfig {
  int kind = 5;
  int id = 0x1234;
  int ee = 20;
  int baud = 0;  // line rate for pacing; 0: the rate the program set on the line (19200 before)
  bool burst = false;
  std::optional<DateTimeFields> clock;  // unset: the host's local time when the logger starts
  int board = 0;
  std::vector<SlotSetup> slots;  // sized by kind; defaults fit board 0
  std::optional<Bytes> image;    // loaded image; else built from the settings
  // Generated memory: channels 1..channels hold a series each.
  int channels = -1;                    // -1: every channel of the kind
  std::optional<DateTimeFields> start;  // unset: the series ends at the logger's clock
  int interval = 10;                    // save interval, minutes
  int sample = 60;                      // sample interval in the image, seconds
  int kinds = 7;                        // stored value kinds: bit 2 min, bit 1 max, bit 0 avg
  int samples = 0;
  std::vector<std::pair<int, int>> gaps;  // after sample n, skip k intervals
  std::map<int, CurrentValue> current;    // slot -> raw words
  Faults faults;

  SimConfig() { SetKind(5); }
  void SetKind(int k);
  int ChannelCount() const { return kind == 6 ? 4 : 2; }
  int TypeCode() const;
  size_t ImageLength() const { return kind == 6 ? 146 : 94; }
  size_t ConfigBlockLength() const { return kind == 6 ? 200 : 128; }
  size_t MemoryBlockLength() const { return kind == 6 ? 4000 : 128; }

  // Throws ESimSetting naming the key on an unknown key or a bad value.
  void ApplySetting(const std::string& key, const std::string& value);
  void LoadFile(const std::string& file_name);
  // Parses "--key value" pairs and "--flag" switches; "--config FILE" reads a file in place.
  void ParseArgs(const std::vector<std::string>& args);

  // The 94- or 146-byte configuration image this state describes (or the loaded one).
  Bytes BuildImage() const;
  // The current values of a slot (1-based) as set, else a fixed default per slot.
  CurrentValue CurrentOf(int slot) const;
};

// The raw word of one generated sample: channel 1-based, sample index 0-based, kind 0 min,
// 1 max, 2 avg. Tests use it to know what the memory holds.
uint16_t SampleWord(int channel, int sample, int kind);

}  // namespace qv::sim
