#pragma once
// CRC-16 of the configuration and memory blocks exchanged with a logger: polynomial 0x1021
// processed bit-reversed (0x8408), initial value 0, no final XOR. A protected block carries the
// CRC of all bytes before it in its last two bytes, low byte first.
#include <array>
#include <cstdint>

namespace qv {

// The 256-entry table of the reflected polynomial (entry 1 is 0x1189).
const std::array<uint16_t, 256>& Crc8408Table();
// The CRC of size bytes, continued from crc.
uint16_t Crc8408(const uint8_t* data, int32_t size, uint16_t crc = 0);

// True when the CRC of the first size - 2 bytes equals the little-endian word in the last two.
// False for a size of 2 or less; a size outside 0 to 32767 raises Exception
// "CheckCrc8408: invalid size" before any byte is read.
bool CheckCrc8408(const uint8_t* block, int32_t size);
// Writes the CRC of the first size - 2 bytes into the last two, low byte first; a size below 3
// leaves the block as it is. A size outside 0 to 32767 raises "AddCrc8408: invalid size".
void AddCrc8408(uint8_t* block, int32_t size);

}  // namespace qv
