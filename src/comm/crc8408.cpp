#include "comm/crc8408.h"

#include "platform/rtl/exception.h"

namespace qv {

namespace {

constexpr int32_t kMaxBlockSize = 0x7FFF;

constexpr std::array<uint16_t, 256> BuildTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t v = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit)
      v = (v & 1) ? static_cast<uint16_t>((v >> 1) ^ 0x8408) : static_cast<uint16_t>(v >> 1);
    table[i] = v;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = BuildTable();

}  // namespace

const std::array<uint16_t, 256>& Crc8408Table() { return kTable; }

uint16_t Crc8408(const uint8_t* data, int32_t size, uint16_t crc) {
  for (int32_t i = 0; i < size; ++i) crc = static_cast<uint16_t>(kTable[(data[i] ^ crc) & 0xFF] ^ (crc >> 8));
  return crc;
}

bool CheckCrc8408(const uint8_t* block, int32_t size) {
  if (size < 0 || size > kMaxBlockSize) throw Exception("CheckCrc8408: invalid size");
  if (size <= 2) return false;
  const uint16_t stored = static_cast<uint16_t>(block[size - 2] | (block[size - 1] << 8));
  return Crc8408(block, size - 2) == stored;
}

void AddCrc8408(uint8_t* block, int32_t size) {
  if (size < 0 || size > kMaxBlockSize) throw Exception("AddCrc8408: invalid size");
  if (size < 3) return;
  const uint16_t crc = Crc8408(block, size - 2);
  block[size - 2] = static_cast<uint8_t>(crc & 0xFF);
  block[size - 1] = static_cast<uint8_t>(crc >> 8);
}

}  // namespace qv
