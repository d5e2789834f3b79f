#include "serial/packet_matcher.h"

#include <algorithm>
#include <cctype>

#include "serial/serial_exception.h"

namespace qv {

namespace {
uint8_t Upper(uint8_t b) { return static_cast<uint8_t>(std::toupper(b)); }

// The bytes a start or end string matches: a lone "\" at its end escapes nothing and counts
// for nothing, so "\" alone is as empty as "".
size_t MatchedLength(const std::string& text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i, ++n)
    if (text[i] == '\\' && ++i == text.size()) break;
  return n;
}
}  // namespace

int ValidatePacketSettings(const TPacketSettings& settings) {
  size_t start_length = settings.StartString.size();
  if (settings.StartCond == scString && MatchedLength(settings.StartString) == 0) return ecStartStringEmpty;
  if (settings.StartCond == scAnyData && settings.EndCond == 0) return ecNoEndCharCount;
  // An empty end string would end a packet at once, over and over.
  if ((settings.EndCond & ecString) && MatchedLength(settings.EndString) == 0) return ecEmptyEndString;
  if (settings.EndCond & ecPacketSize) {
    if (settings.PacketSize == 0) return ecZeroSizePacket;
    if (settings.PacketSize < 0 || static_cast<size_t>(settings.PacketSize) > kMaxPacketLength) return ecPacketTooLong;
    if (settings.StartCond == scString && start_length > static_cast<size_t>(settings.PacketSize))
      return ecPacketTooSmall;
  }
  return 0;
}

TPacketMatcher::Pattern TPacketMatcher::Prepare(const std::string& text, bool ignore_case) {
  Pattern p;
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    bool any = false;
    if (c == '\\') {
      if (++i == text.size()) break;
      c = static_cast<uint8_t>(text[i]);
    } else if (c == '?') {
      any = true;
    }
    p.bytes += static_cast<char>(ignore_case ? Upper(c) : c);
    p.any.push_back(any);
  }
  return p;
}

bool TPacketMatcher::MatchAt(const std::string& buffer, size_t pos, const Pattern& p, bool ignore_case, bool* partial) {
  for (size_t i = 0; i < p.bytes.size(); ++i) {
    if (pos + i >= buffer.size()) {
      if (partial) *partial = true;
      return false;
    }
    if (p.any[i]) continue;
    uint8_t b = static_cast<uint8_t>(buffer[pos + i]);
    if (ignore_case) b = Upper(b);
    if (b != static_cast<uint8_t>(p.bytes[i])) return false;
  }
  return true;
}

int TPacketMatcher::Add(const TPacketSettings& settings) {
  Packet p;
  p.used = true;
  packets_.push_back(p);
  SetSettings(static_cast<int>(packets_.size()) - 1, settings);
  return static_cast<int>(packets_.size()) - 1;
}

void TPacketMatcher::Remove(int packet) {
  Disable(packet);
  packets_[packet].used = false;
}

void TPacketMatcher::SetSettings(int packet, const TPacketSettings& settings) {
  Packet& p = packets_[packet];
  p.settings = settings;
  p.start = Prepare(settings.StartString, settings.IgnoreCase);
  p.end = Prepare(settings.EndString, settings.IgnoreCase);
}

void TPacketMatcher::Enable(int packet) {
  Packet& p = packets_[packet];
  p.enabled = true;
  p.collect_pending = false;
  if (p.settings.StartCond != scAnyData || collecting_ == packet) return;
  if (collecting_ >= 0 || holding_)
    p.collect_pending = true;  // after the packet collecting now, or the one being delivered
  else
    StartCollecting(packet, buffer_.size());  // only bytes still to come
}

void TPacketMatcher::Disable(int packet) {
  Packet& p = packets_[packet];
  p.enabled = false;
  p.collect_pending = false;
  if (collecting_ == packet) StopCollecting();
}

void TPacketMatcher::StartCollecting(int packet, size_t start) {
  // Bytes before the start belong to no packet any more.
  buffer_.erase(0, start);
  collecting_ = packet;
  collect_start_ = 0;
  const Packet& p = packets_[packet];
  collect_data_ = p.settings.StartCond == scString ? p.start.bytes.size() : 0;
  search_from_ = collect_data_;
}

void TPacketMatcher::StopCollecting() {
  collecting_ = -1;
  if (holding_) return;
  for (size_t i = 0; i < packets_.size(); ++i) {
    if (packets_[i].used && packets_[i].enabled && packets_[i].collect_pending) {
      packets_[i].collect_pending = false;
      StartCollecting(static_cast<int>(i), 0);
      return;
    }
  }
}

void TPacketMatcher::Append(const uint8_t* data, size_t size) {
  // With nothing enabled, bytes are not kept.
  bool any = collecting_ >= 0 || holding_;
  for (const auto& p : packets_) any = any || (p.used && p.enabled);
  if (any) buffer_.append(reinterpret_cast<const char*>(data), size);
}

bool TPacketMatcher::CheckCollecting(TPacketFound& found) {
  const Packet& p = packets_[collecting_];
  const TPacketSettings& settings = p.settings;
  size_t end = std::string::npos;
  bool by_string = false;
  if (settings.EndCond & ecPacketSize) {
    size_t size = static_cast<size_t>(settings.PacketSize);
    if (buffer_.size() - collect_start_ >= size) end = collect_start_ + size;
  }
  if (settings.EndCond & ecString) {
    size_t limit = end == std::string::npos ? buffer_.size() : end;
    size_t length = p.end.bytes.size();
    for (size_t q = std::max(collect_data_, search_from_); q + length <= limit; ++q) {
      if (MatchAt(buffer_, q, p.end, settings.IgnoreCase, nullptr)) {
        end = q + length;
        by_string = true;
        break;
      }
    }
    // Every position whose end string would lie wholly within the bytes so far has been
    // looked at: the next search goes on from the first one that may still complete, so
    // that a long packet is not searched again from its start for every new piece.
    if (!by_string && limit >= length) search_from_ = std::max(search_from_, limit - length + 1);
  }
  if (settings.EndCond == 0 && settings.StartCond == scString) end = collect_data_;  // the start string alone
  if (end == std::string::npos) {
    if (buffer_.size() - collect_start_ > kMaxPacketLength) {
      // An end string that never comes: the packet is given up rather than kept growing.
      Disable(collecting_);
      buffer_.clear();
    }
    return false;
  }
  found.Packet = collecting_;
  found.Start = collect_start_;
  found.End = end;
  found.ByString = by_string;
  found.DataStart = collect_start_;
  found.DataSize = end - collect_start_;
  if (!settings.IncludeStrings) {
    size_t skip = settings.StartCond == scString ? p.start.bytes.size() : 0;
    size_t tail = by_string ? p.end.bytes.size() : 0;
    found.DataStart += skip;
    found.DataSize = found.DataSize >= skip + tail ? found.DataSize - skip - tail : 0;
  }
  return true;
}

bool TPacketMatcher::Next(TPacketFound& found) {
  if (holding_) return false;
  if (collecting_ < 0) StopCollecting();  // starts an any-data packet that waited
  for (;;) {
    if (collecting_ >= 0) {
      if (!CheckCollecting(found)) return false;
      holding_ = true;
      packets_[found.Packet].enabled = false;
      StopCollecting();
      return true;
    }
    // The earliest complete start wins; a start that may still complete at an earlier
    // position (or at the same one, for a packet earlier in the list) holds the decision back.
    size_t hold_from = std::string::npos;
    int winner = -1;
    size_t winner_pos = 0;
    for (size_t pos = 0; pos < buffer_.size() && winner < 0; ++pos) {
      for (size_t i = 0; i < packets_.size(); ++i) {
        const Packet& p = packets_[i];
        if (!p.used || !p.enabled || p.settings.StartCond != scString || p.start.bytes.empty()) continue;
        bool partial = false;
        if (MatchAt(buffer_, pos, p.start, p.settings.IgnoreCase, &partial)) {
          if (hold_from == std::string::npos) {
            winner = static_cast<int>(i);
            winner_pos = pos;
          }
          break;
        }
        if (partial && hold_from == std::string::npos) hold_from = pos;
      }
      if (hold_from != std::string::npos && winner < 0) {
        // Keep everything from the pending start; a later complete start must wait for it.
        buffer_.erase(0, hold_from);
        return false;
      }
    }
    if (winner < 0) {
      buffer_.clear();  // no byte here begins a packet
      return false;
    }
    StartCollecting(winner, winner_pos);
  }
}

void TPacketMatcher::Release(const TPacketFound& found) {
  buffer_.erase(0, std::min(found.End, buffer_.size()));
  holding_ = false;
  if (collecting_ < 0) StopCollecting();
}

int TPacketMatcher::TimeOut() {
  int packet = collecting_;
  if (packet < 0) return -1;
  buffer_.clear();
  Disable(packet);
  return packet;
}

void TPacketMatcher::Idle() {
  collecting_ = -1;
  holding_ = false;
  buffer_.clear();
  for (auto& p : packets_) p.collect_pending = false;
}

void TPacketMatcher::Restart() {
  for (size_t i = 0; i < packets_.size(); ++i)
    if (packets_[i].used && packets_[i].enabled && packets_[i].settings.StartCond == scAnyData) {
      if (collecting_ < 0)
        StartCollecting(static_cast<int>(i), buffer_.size());
      else if (collecting_ != static_cast<int>(i))
        packets_[i].collect_pending = true;
    }
}

}  // namespace qv
