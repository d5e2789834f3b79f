#include "sim_wire.h"

#include <array>
#include <cstdio>

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
  for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
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
// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

const int64_t kEpochDays = DaysFromCivil(2000, 1, 1);

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[static_cast<size_t>(m - 1)];
}
}  // namespace

int64_t FieldsToSeconds(const DateTimeFields& f) {
  int64_t days = DaysFromCivil(f.year, static_cast<unsigned>(f.month), static_cast<unsigned>(f.day)) - kEpochDays;
  return days * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
}

DateTimeFields SecondsToFields(int64_t seconds) {
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t rest = seconds - days * 86400;
  DateTimeFields f;
  CivilFromDays(days + kEpochDays, f.year, f.month, f.day);
  f.hour = static_cast<int>(rest / 3600);
  f.minute = static_cast<int>(rest / 60 % 60);
  f.second = static_cast<int>(rest % 60);
  return f;
}

bool FieldsValid(const DateTimeFields& f, int max_second) {
  if (f.month < 1 || f.month > 12 || f.day < 1) return false;
  if (f.day > DaysInMonth(f.year, f.month)) return false;
  return f.hour >= 0 && f.hour < 24 && f.minute >= 0 && f.minute < 60 && f.second >= 0 &&
         f.second <= max_second;
}

bool ParseDateTime(const std::string& text, DateTimeFields& out) {
  DateTimeFields f;
  char sep = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &f.year, &f.month, &f.day, &sep, &f.hour,
                  &f.minute, &f.second, &used) != 7)
    return false;
  if ((sep != ' ' && sep != 'T') || static_cast<size_t>(used) != text.size() || !FieldsValid(f)) return false;
  out = f;
  return true;
}

std::string FormatDateTime(const DateTimeFields& f) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute,
                f.second);
  return text;
}

}  // namespace qv::sim
