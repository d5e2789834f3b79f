#include "sim_wire.h"

#include <cstdio>

#include "platform/rtl/date_time.h"

namespace qv::sim {

uint16_t ByteSum(std::span<const uint8_t> bytes) {
  uint16_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint16_t>(sum + b);
  return sum;
}

Bytes MakeFrame(std::span<const uint8_t> head) {
  Bytes frame(head.begin(), head.end());
  uint16_t sum = ByteSum(head);
  frame.push_back(static_cast<uint8_t>(sum & 0xFF));
  frame.push_back(static_cast<uint8_t>(sum >> 8));
  return frame;
}

Bytes MakeFrame(const std::string& start, std::span<const uint8_t> payload) {
  Bytes head(start.begin(), start.end());
  head.insert(head.end(), payload.begin(), payload.end());
  return MakeFrame(head);
}

bool FrameSumOk(std::span<const uint8_t> frame) {
  if (frame.size() < 3) return false;
  return ByteSum(frame.first(frame.size() - 2)) == GetWord(frame, frame.size() - 2);
}

namespace {
// Bitwise rather than by table: a second, independent way of computing the same CRC.
uint16_t CrcStep(uint16_t crc, uint8_t byte) {
  crc ^= byte;
  for (int bit = 0; bit < 8; ++bit)
    crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
  return crc;
}
}  // namespace

uint16_t Crc8408(std::span<const uint8_t> bytes) {
  uint16_t crc = 0;
  for (uint8_t b : bytes) crc = CrcStep(crc, b);
  return crc;
}

void SetBlockCrc(std::span<uint8_t> block) {
  if (block.size() < 3) return;
  uint16_t crc = Crc8408(block.first(block.size() - 2));
  block[block.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
  block[block.size() - 1] = static_cast<uint8_t>(crc >> 8);
}

bool BlockCrcOk(std::span<const uint8_t> block) {
  if (block.size() < 3) return false;
  return Crc8408(block.first(block.size() - 2)) == GetWord(block, block.size() - 2);
}

namespace {
// Whole days since 30 December 1899 of 1 January 2000.
const int64_t kEpochDays = static_cast<int64_t>(EncodeDate(2000, 1, 1));
}  // namespace

int64_t FieldsToSeconds(const DateTimeFields& f) {
  int64_t days = static_cast<int64_t>(EncodeDate(f.year, f.month, f.day)) - kEpochDays;
  return days * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
}

DateTimeFields SecondsToFields(int64_t seconds) {
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t rest = seconds - days * 86400;
  uint16_t y = 0, m = 0, d = 0;
  DecodeDate(static_cast<TDateTime>(days + kEpochDays), y, m, d);
  return {y, m, d, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60)};
}

bool FieldsValid(const DateTimeFields& f, int max_second) {
  TDateTime unused = 0;
  return TryEncodeDate(f.year, f.month, f.day, unused) && f.hour >= 0 && f.hour < 24 && f.minute >= 0 &&
         f.minute < 60 && f.second >= 0 && f.second <= max_second;
}

bool ParseDateTime(const std::string& text, DateTimeFields& out) {
  DateTimeFields f;
  char sep = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &f.year, &f.month, &f.day, &sep, &f.hour, &f.minute,
                  &f.second, &used) != 7)
    return false;
  if ((sep != ' ' && sep != 'T') || static_cast<size_t>(used) != text.size() || !FieldsValid(f)) return false;
  out = f;
  return true;
}

std::string FormatDateTime(const DateTimeFields& f) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute, f.second);
  return text;
}

}  // namespace qv::sim
