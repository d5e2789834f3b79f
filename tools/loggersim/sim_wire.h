#pragma once
// Byte-level helpers of the logger's side of the line: frame sums, the block CRC, little-endian
// fields and the logger's calendar. Written on their own so that the simulator checks the
// program's telegram code instead of sharing it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv::sim {

using Bytes = std::vector<uint8_t>;

// Sum of all bytes modulo 65536.
uint16_t ByteSum(std::span<const uint8_t> bytes);
// A frame: the start string and payload, then their sum, low byte first.
Bytes MakeFrame(std::span<const uint8_t> head);
Bytes MakeFrame(const std::string& start, std::span<const uint8_t> payload);
// True when the last two bytes hold the sum of the ones before.
bool FrameSumOk(std::span<const uint8_t> frame);

// CRC-16 with the reflected polynomial 0x8408, initial value 0, no final XOR.
uint16_t Crc8408(std::span<const uint8_t> bytes);
// Writes the CRC of all but the last two bytes into the last two, low byte first.
void SetBlockCrc(std::span<uint8_t> block);
bool BlockCrcOk(std::span<const uint8_t> block);

inline void PutWord(Bytes& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v & 0xFF);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
inline uint16_t GetWord(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// The logger's calendar: seconds since 2000-01-01 00:00:00, which is all its clock covers.
struct DateTimeFields {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
int64_t FieldsToSeconds(const DateTimeFields& f);
DateTimeFields SecondsToFields(int64_t seconds);
// Accepts "YYYY-MM-DD HH:MM:SS" or with "T" between date and time; false on anything else.
bool ParseDateTime(const std::string& text, DateTimeFields& out);
bool FieldsValid(const DateTimeFields& f, int max_second = 59);
std::string FormatDateTime(const DateTimeFields& f);

}  // namespace qv::sim
