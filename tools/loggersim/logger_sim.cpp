#include "logger_sim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qv::sim {

namespace {

std::string Hex(uint8_t b) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", b);
  return text;
}

// Stored value kinds in wire order: 0 min, 1 max, 2 avg; no bit set stores the average only.
std::vector<int> KindList(int bits) {
  std::vector<int> list;
  if (bits & 4) list.push_back(0);
  if (bits & 2) list.push_back(1);
  if (bits & 1) list.push_back(2);
  if (list.empty()) list.push_back(2);
  return list;
}

bool IsDigit(uint8_t c, int hi) { return c >= '1' && c <= '0' + hi; }

// A logger drops a partial frame after this pause between two bytes. The program queues every
// frame whole, so its bytes follow each other within a character time (8 ms at 1200
// baud); 200 ms leaves a busy host ample slack, and is well below the half second between two
// wake-up spaces, so the space after stray bytes is heard.
constexpr int64_t kPartialFrameTimeoutMs = 200;

std::string HexBytes(std::span<const uint8_t> bytes) {
  std::string out;
  char text[4];
  for (uint8_t b : bytes) {
    std::snprintf(text, sizeof text, "%s%02X", out.empty() ? "" : " ", b);
    out += text;
  }
  return out;
}

}  // namespace

LoggerSim::LoggerSim(SimConfig config, DateTimeFields clock, int64_t now_ms)
    : config_(std::move(config)), clock_seconds_(FieldsToSeconds(clock)), clock_ms_(now_ms) {
  image_ = config_.BuildImage();
  final_nacks_left_ = config_.faults.final_nack;
  GenerateMemory();
}

DateTimeFields LoggerSim::ClockAt(int64_t now_ms) const {
  int64_t elapsed = now_ms - clock_ms_;
  return SecondsToFields(clock_seconds_ + (elapsed >= 0 ? elapsed / 1000 : -((-elapsed + 999) / 1000)));
}

void LoggerSim::GenerateMemory() {
  const int channels =
      config_.channels < 0 ? config_.ChannelCount() : std::min(config_.channels, config_.ChannelCount());
  const std::vector<int> kinds = KindList(config_.kinds);
  const size_t per_header = 255 / kinds.size();  // the word count is one byte
  const int64_t step = int64_t{config_.interval} * 60;
  int64_t first = 0;
  if (config_.start) {
    first = FieldsToSeconds(*config_.start);
  } else {
    // Like a logger that has been recording until now: the last sample at the latest
    // interval boundary before its clock.
    first = step > 0 ? clock_seconds_ - clock_seconds_ % step : clock_seconds_;
    int64_t intervals = std::max(config_.samples - 1, 0);
    for (const auto& [after, skip] : config_.gaps)
      if (after < config_.samples) intervals += skip;
    first -= intervals * step;
  }
  int header = 0;
  for (int ch = 1; ch <= channels; ++ch) {
    int64_t t = first;
    bool open = false;
    MeasurementSeries cur;
    for (int i = 0; i < config_.samples; ++i) {
      if (!open || cur.words.size() / kinds.size() >= per_header) {
        if (open) memory_.push_back(cur);
        cur = MeasurementSeries{ch, ++header, t, {}};
        open = true;
      }
      for (int k : kinds) cur.words.push_back(SampleWord(ch, i, k));
      t += step;
      // Gaps after the same sample add up; the series ends there once.
      bool gap = false;
      for (const auto& [after, skip] : config_.gaps) {
        if (after == i + 1) {
          t += skip * step;
          gap = true;
        }
      }
      if (gap) {
        memory_.push_back(cur);
        open = false;
      }
    }
    if (open) memory_.push_back(cur);
  }
}

Bytes LoggerSim::Header(const MeasurementSeries& s, size_t samples, int64_t start) const {
  Bytes h(24, 0);
  PutWord(h, 0, static_cast<uint16_t>(0x10000 - s.channel));  // 0xFFFF channel 1, 0xFFFE channel 2 ...
  const bool new_layout = config_.ee >= 18;
  const size_t o = new_layout ? 3 : 2;
  if (new_layout) h[2] = static_cast<uint8_t>(config_.ee);
  DateTimeFields f = SecondsToFields(start);
  h[o] = static_cast<uint8_t>(f.year - 2000);
  h[o + 1] = static_cast<uint8_t>(f.month);
  h[o + 2] = static_cast<uint8_t>(f.day);
  h[o + 3] = static_cast<uint8_t>(f.hour);
  h[o + 4] = static_cast<uint8_t>(f.minute);
  h[o + 5] = static_cast<uint8_t>(f.second);
  PutWord(h, o + 6, static_cast<uint16_t>(config_.interval));
  h[o + 8] = static_cast<uint8_t>(config_.kinds & 7);
  h[o + 9] = static_cast<uint8_t>(samples * KindList(config_.kinds).size());
  h[o + 12] = static_cast<uint8_t>(config_.board);
  h[o + 13] = static_cast<uint8_t>(config_.slots.at(static_cast<size_t>(s.channel - 1)).type);
  bool bad_crc = false;
  for (const HeaderFault& fault : config_.faults.headers) {
    if (fault.index != 0 && fault.index != s.header_index) continue;
    if (fault.field == "crc") bad_crc = true;
    if (fault.field == "interval") PutWord(h, o + 6, static_cast<uint16_t>(fault.value));
    if (fault.field == "pcb") h[o + 12] = static_cast<uint8_t>(fault.value);
  }
  SetBlockCrc(h);
  if (bad_crc) h[22] ^= 0xFF;
  return h;
}

Bytes LoggerSim::ChannelStream(int channel, int64_t from) const {
  const size_t kinds = KindList(config_.kinds).size();
  const int64_t step = int64_t{config_.interval} * 60;
  Bytes out;
  for (const MeasurementSeries& s : memory_) {
    if (s.channel != channel) continue;
    const size_t n = s.words.size() / kinds;
    size_t first = 0;
    if (s.start < from) {
      // Serve only samples at or after the requested start: cut the series.
      first = step > 0 ? static_cast<size_t>((from - s.start + step - 1) / step) : n;
    }
    if (first >= n) continue;
    Bytes h = Header(s, n - first, s.start + static_cast<int64_t>(first) * step);
    out.insert(out.end(), h.begin(), h.end());
    for (size_t w = first * kinds; w < s.words.size(); ++w) {
      out.push_back(static_cast<uint8_t>(s.words[w] & 0xFF));
      out.push_back(static_cast<uint8_t>(s.words[w] >> 8));
    }
  }
  return out;
}

Bytes LoggerSim::ConfigBlock() const {
  Bytes block(config_.ConfigBlockLength(), 0xFF);
  std::copy(image_.begin(), image_.end(), block.begin());
  SetBlockCrc(block);
  return block;
}

void LoggerSim::Violation(const std::string& text) { violations_.push_back(text); }

size_t LoggerSim::FrameSize(std::span<const uint8_t> head) const {
  const uint8_t c0 = head[0];
  if (c0 == ' ') return 1;
  if (c0 != '&' && c0 != '?' && c0 != '%' && c0 != '$' && c0 != '#') return SIZE_MAX;
  if (head.size() < 2) return 0;
  const uint8_t c1 = head[1];
  switch (c0) {
    case '&': return c1 == 'S' ? 4 : c1 == 'T' ? 10 : SIZE_MAX;
    case '?':
      if (c1 == 'E') return 8;
      if (c1 == 'T') return 10;
      if (c1 == 'N') return config_.kind == 6 ? CurrentValueFrameSize(head) : 8;
      return IsDigit(c1, 9) ? 8 : SIZE_MAX;
    case '%':
      if (c1 == 'E') return 10;
      if (c1 == 'R') return 12;
      return IsDigit(c1, 9) ? 8 : SIZE_MAX;
    default:  // "$" or "#" + the command of a block
      return c1 == '?' ? 5 : SIZE_MAX;
  }
}

size_t LoggerSim::CurrentValueFrameSize(std::span<const uint8_t> head) const {
  // Kind 6 expects "?N" + channel digit (9 bytes). The eight-byte form of the other kinds is
  // known by its sum and Kennung once its eighth byte is in; no nine-byte frame passes both.
  if (head.size() < 8) return 9;
  const std::span<const uint8_t> eight = head.first(8);
  if (FrameSumOk(eight) && (!IsDigit(head[2], 4) || GetWord(eight, 2) == config_.id)) return 8;
  return 9;
}

std::vector<Reply> LoggerSim::Receive(std::span<const uint8_t> bytes, int64_t now_ms) {
  now_ms_ = now_ms;
  std::vector<Reply> replies;
  for (uint8_t b : bytes) {
    if (!rx_.empty() && now_ms - rx_last_ms_ > kPartialFrameTimeoutMs) {
      Violation("partial frame " + HexBytes(rx_) + " dropped");
      rx_.clear();
    }
    if (rx_.empty()) rx_start_ms_ = now_ms;
    rx_last_ms_ = now_ms;
    rx_.push_back(b);
    while (!rx_.empty()) {
      const size_t size = FrameSize(rx_);
      if (size == SIZE_MAX) {
        Violation("unexpected byte " + Hex(rx_[0]));
        rx_.erase(rx_.begin());
        continue;
      }
      if (size == 0 || rx_.size() < size) break;
      Reply reply;
      out_ = &reply;
      int64_t delay = config_.faults.late_ms;
      if (size == 1) {
        HandleSpace();
        delay += config_.faults.late_wake_ms;
      } else {
        HandleFrame(rx_);
      }
      out_ = nullptr;
      if (!reply.bytes.empty() && !config_.faults.silent) {
        // A logger answers only once the request has fully arrived at the line rate.
        int64_t line = config_.burst ? 0 : static_cast<int64_t>(std::ceil(LineTimeMs(size)));
        reply.not_before_ms = std::max(now_ms, rx_start_ms_ + line) + delay;
        replies.push_back(std::move(reply));
      }
      rx_.clear();
    }
  }
  return replies;
}

void LoggerSim::SendFrame(const std::string& start, std::span<const uint8_t> payload) {
  Bytes frame = MakeFrame(start, payload);
  ++frames_sent_;
  const auto& bad = config_.faults.bad_sum_frames;
  if (std::find(bad.begin(), bad.end(), frames_sent_) != bad.end())
    PutWord(frame, frame.size() - 2, static_cast<uint16_t>(GetWord(frame, frame.size() - 2) + 1));
  out_->bytes.insert(out_->bytes.end(), frame.begin(), frame.end());
}

void LoggerSim::SendBlock(const Bytes& block, bool config, int serial) {
  ++copies_;
  Bytes copy = block;
  for (const BlockFault& f : config_.faults.bad_crc)
    if (f.config == config && (config || f.block == serial) && copies_ <= f.copies) copy.back() ^= 0xFF;
  for (const BlockFault& f : config_.faults.truncate)
    if (f.config == config && (config || f.block == serial) && copies_ <= f.copies) copy.resize(copy.size() / 2);
  out_->bytes.insert(out_->bytes.end(), copy.begin(), copy.end());
}

void LoggerSim::SendMemoryBlock() { SendBlock(mem_blocks_[mem_index_], false, mem_serials_[mem_index_]); }

bool LoggerSim::Refuse(const std::string& cmd) {
  auto it = config_.faults.refuse.find(cmd);
  if (it == config_.faults.refuse.end() || it->second <= 0) return false;
  --it->second;
  SendNack(cmd);
  return true;
}

bool LoggerSim::CheckKennung(std::span<const uint8_t> frame, size_t at, const std::string& cmd) {
  const int got = GetWord(frame, at);
  if (got == config_.id) return true;
  Violation(cmd + " with Kennung " + std::to_string(got));
  SendNack(cmd);
  return false;
}

bool LoggerSim::DateFromFrame(std::span<const uint8_t> frame, const std::string& cmd, DateTimeFields& f) {
  // The program rounds the second up without carrying, so second 60 is a valid time.
  f = DateTimeFields{2000 + frame[2], frame[3], frame[4], frame[5], frame[6], frame[7]};
  if (FieldsValid(f, 60)) return true;
  Violation(cmd + " with invalid time " + FormatDateTime(f));
  SendNack(cmd);
  return false;
}

int LoggerSim::ChannelRequest(std::span<const uint8_t> frame, const std::string& cmd, const std::string& what) {
  if (!CheckKennung(frame, 2, cmd) || Refuse(cmd)) return 0;
  const int ch = cmd[1] - '0';
  if (ch <= config_.ChannelCount()) return ch;
  Violation(what + " of channel " + std::to_string(ch));
  SendNack(cmd);
  return 0;
}

void LoggerSim::HandleSpace() {
  requests_.push_back(" ");
  ++spaces_in_row_;
  if (spaces_in_row_ < config_.faults.wake_after) return;
  const uint8_t payload[] = {0x20, 0x20};  // refuses the space: "#", the space, one more byte
  SendFrame("#", payload);
}

void LoggerSim::HandleFrame(std::span<const uint8_t> frame) {
  const std::string cmd(frame.begin(), frame.begin() + 2);
  spaces_in_row_ = 0;
  if (!FrameSumOk(frame)) {
    // The program never sends a bad sum; a logger ignores such a frame.
    Violation("bad sum in " + cmd);
    return;
  }
  if (cmd[0] == '$' || cmd[0] == '#') {
    const std::string full(frame.begin(), frame.begin() + 3);
    requests_.push_back(full);
    const bool ack = cmd[0] == '$';
    if (full == "$?E" || full == "#?E") {
      if (transfer_ != Transfer::Config) return Violation(full + " without a configuration block");
      if (ack) {
        transfer_ = Transfer::None;
      } else {
        SendBlock(config_block_, true, 0);
      }
    } else if (full == "$?T" || full == "#?T") {
      if (transfer_ != Transfer::Memory) return Violation(full + " without a memory block");
      if (ack) {
        if (++mem_index_ >= mem_blocks_.size()) {
          transfer_ = Transfer::None;
          return;
        }
        copies_ = 0;
      }
      SendMemoryBlock();
    } else {
      Violation("unexpected " + full);
    }
    return;
  }
  requests_.push_back(cmd);
  if (cmd == "&S") {
    if (Refuse(cmd)) return;
    SendAck(cmd);
    const uint8_t payload[] = {static_cast<uint8_t>(config_.id & 0xFF), static_cast<uint8_t>(config_.id >> 8),
                               static_cast<uint8_t>(config_.TypeCode())};
    SendFrame("&S", payload);
  } else if (cmd == "&T") {
    DateTimeFields f;
    if (!DateFromFrame(frame, cmd, f) || Refuse(cmd)) return;
    clock_seconds_ = FieldsToSeconds(f);  // second 60 runs on into the next minute
    clock_ms_ = now_ms_;
    SendAck(cmd);
  } else if (cmd == "?E") {
    if (!CheckKennung(frame, 2, cmd) || Refuse(cmd)) return;
    const uint8_t payload[] = {static_cast<uint8_t>(config_.faults.answer_ee.value_or(config_.ee)), 0};
    SendFrame("$?E", payload);
    config_block_ = ConfigBlock();
    transfer_ = Transfer::Config;
    copies_ = 0;
    SendBlock(config_block_, true, 0);
  } else if (cmd == "%E") {
    if (!CheckKennung(frame, 4, cmd) || Refuse(cmd)) return;
    write_open_ = true;
    write_offset_ = 0;
    write_buf_.assign(config_.ConfigBlockLength(), 0);
    SendAck(cmd);
  } else if (cmd == "%R") {
    if (!write_open_) {
      Violation("%R without an acknowledged %E");
      SendNack(cmd);
      return;
    }
    if (Refuse(cmd)) return;
    std::copy(frame.begin() + 2, frame.begin() + 10, write_buf_.begin() + static_cast<long>(write_offset_));
    write_offset_ += 8;
    SendAck(cmd);
    if (write_offset_ < write_buf_.size()) return;
    // Whole block in: a second answer says whether it is taken.
    write_offset_ = 0;
    if (final_nacks_left_ > 0) {
      --final_nacks_left_;
      SendNack(cmd);
    } else if (!BlockCrcOk(write_buf_)) {
      Violation("%R block with a bad CRC");
      SendNack(cmd);
    } else {
      image_.assign(write_buf_.begin(), write_buf_.begin() + static_cast<long>(config_.ImageLength()));
      write_open_ = false;
      SendAck(cmd);
    }
  } else if (cmd[0] == '%') {  // clear one channel
    const int ch = ChannelRequest(frame, cmd, "clear");
    if (ch == 0) return;
    std::erase_if(memory_, [ch](const MeasurementSeries& s) { return s.channel == ch; });
    // A read of that channel has nothing left to send.
    if (transfer_ == Transfer::Memory && mem_channel_ == ch) transfer_ = Transfer::None;
    SendAck(config_.faults.bad_clear_ack ? std::string("%0") : cmd);
  } else if (cmd == "?T") {
    if (prep_channel_ == 0) {
      Violation("?T without an acknowledged ? + channel");
      SendNack(cmd);
      return;
    }
    DateTimeFields f;
    if (!DateFromFrame(frame, cmd, f) || Refuse(cmd)) return;
    Bytes stream = ChannelStream(prep_channel_, FieldsToSeconds(f));
    mem_channel_ = prep_channel_;
    prep_channel_ = 0;
    const size_t payload = config_.MemoryBlockLength() - 2;
    const size_t real = (stream.size() + payload - 1) / payload;
    stream.resize(real * payload, config_.faults.ff_padding ? 0xFF : 0x00);  // tail of the last block
    const size_t count = config_.faults.block_count ? static_cast<size_t>(*config_.faults.block_count) : real;
    stream.resize(count * payload, 0x00);  // announced beyond the data: empty blocks
    mem_blocks_.clear();
    mem_serials_.clear();
    for (size_t i = 0; i < count; ++i) {
      Bytes block(stream.begin() + static_cast<long>(i * payload),
                  stream.begin() + static_cast<long>((i + 1) * payload));
      block.resize(block.size() + 2);
      SetBlockCrc(block);
      mem_blocks_.push_back(std::move(block));
      mem_serials_.push_back(++mem_serial_count_);
    }
    const uint8_t answer[] = {static_cast<uint8_t>(count & 0xFF), static_cast<uint8_t>(count >> 8)};
    SendFrame("$?T", answer);
    mem_index_ = 0;
    copies_ = 0;
    transfer_ = count > 0 ? Transfer::Memory : Transfer::None;
    if (count > 0) SendMemoryBlock();
  } else if (cmd == "?N") {
    const bool four = config_.kind == 6;
    if (four && frame.size() == 8) {
      Violation("?N without a channel");
      SendNack(cmd);
      return;
    }
    if (!CheckKennung(frame, four ? 3 : 2, cmd) || Refuse(cmd)) return;
    const std::vector<int> kinds = KindList(config_.kinds);
    if (four) {
      const int ch = frame[2] - '0';
      if (ch < 1 || ch > 4) {
        Violation("?N for channel " + Hex(frame[2]));
        SendNack(cmd);
        return;
      }
      SendAck(cmd);
      CurrentValue v = config_.CurrentOf(ch);
      const uint16_t all[3] = {v.min, v.max, v.avg};
      Bytes payload{frame[2]};
      for (int k = 0; k < 3; ++k) {
        const bool stored = std::find(kinds.begin(), kinds.end(), k) != kinds.end();
        const uint16_t w = stored ? all[k] : 0xFFFD;
        payload.push_back(static_cast<uint8_t>(w & 0xFF));
        payload.push_back(static_cast<uint8_t>(w >> 8));
      }
      SendFrame("?N", payload);
      return;
    }
    SendAck(cmd);
    Bytes values;
    for (int slot = 1; slot <= 2; ++slot) {
      CurrentValue v = config_.CurrentOf(slot);
      const uint16_t all[3] = {v.min, v.max, v.avg};
      for (int k : kinds) {
        values.push_back(static_cast<uint8_t>(all[k] & 0xFF));
        values.push_back(static_cast<uint8_t>(all[k] >> 8));
      }
    }
    Bytes first(8, 0);
    std::copy_n(values.begin(), std::min<size_t>(8, values.size()), first.begin());
    SendFrame("?N", first);
    if (values.size() > 8) {
      Bytes second(8, 0);
      std::copy(values.begin() + 8, values.end(), second.begin());
      SendFrame("?N", second);
    }
  } else if (cmd[0] == '?') {  // prepare the memory read of one channel
    prep_channel_ = 0;         // a refused request prepares nothing, also after an earlier one
    const int ch = ChannelRequest(frame, cmd, "memory read");
    if (ch == 0) return;
    prep_channel_ = ch;
    SendAck(cmd);
  } else {
    Violation("unknown request " + cmd);
  }
}

}  // namespace qv::sim
