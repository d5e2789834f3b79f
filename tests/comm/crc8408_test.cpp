#include "comm/crc8408.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/rtl/exception.h"
#include "sim_wire.h"

namespace qv {
namespace {

TEST(Crc8408, CheckValueAndTable) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc8408(reinterpret_cast<const uint8_t*>(digits), 9), 0x2189);
  const auto& table = Crc8408Table();
  struct Entry {
    int index;
    uint16_t value;
  } entries[] = {{0, 0x0000}, {1, 0x1189}, {2, 0x2312}, {15, 0xF8F7}, {0x80, 0x8408}, {0xFF, 0x0F78}};
  for (const auto& e : entries) EXPECT_EQ(table[static_cast<size_t>(e.index)], e.value) << e.index;
  // Zero bytes keep the initial value, so an all-zero block passes.
  std::vector<uint8_t> zeros(24, 0);
  EXPECT_TRUE(CheckCrc8408(zeros.data(), 24));
}

TEST(Crc8408, ChecksAndAppendsTheLastTwoBytesLowFirst) {
  uint8_t block[11] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0x89, 0x21};
  EXPECT_TRUE(CheckCrc8408(block, 11));
  std::swap(block[9], block[10]);
  EXPECT_FALSE(CheckCrc8408(block, 11));
  std::memset(block + 9, 0, 2);
  AddCrc8408(block, 11);
  EXPECT_EQ(block[9], 0x89);
  EXPECT_EQ(block[10], 0x21);

  uint8_t two[2] = {0x12, 0x34};
  AddCrc8408(two, 2);
  EXPECT_EQ(two[0], 0x12);
  EXPECT_EQ(two[1], 0x34);
  for (int32_t size : {0, 1, 2}) EXPECT_FALSE(CheckCrc8408(two, size)) << size;
}

TEST(Crc8408, RefusesSizesOutsideTheRangeBeforeReading) {
  // A null block shows that nothing is read.
  for (int32_t size : {-1, 32768}) {
    try {
      CheckCrc8408(nullptr, size);
      ADD_FAILURE() << size;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "CheckCrc8408: invalid size");
    }
    try {
      AddCrc8408(nullptr, size);
      ADD_FAILURE() << size;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "AddCrc8408: invalid size");
    }
  }
  std::vector<uint8_t> largest(32767, 0xA5);
  AddCrc8408(largest.data(), 32767);
  EXPECT_TRUE(CheckCrc8408(largest.data(), 32767));
}

// The logger simulator computes the CRC on its own; both must agree on blocks of every size
// the loggers use.
TEST(Crc8408, AgreesWithTheSimulatedLogger) {
  std::mt19937 random(21);
  for (int32_t size : {3, 128, 200, 4000}) {
    std::vector<uint8_t> block(static_cast<size_t>(size));
    for (auto& b : block) b = static_cast<uint8_t>(random());
    AddCrc8408(block.data(), size);
    const uint16_t sim = sim::Crc8408(std::span<const uint8_t>(block.data(), block.size() - 2));
    EXPECT_EQ(block[block.size() - 2] | (block.back() << 8), sim) << size;
  }
}

}  // namespace
}  // namespace qv
