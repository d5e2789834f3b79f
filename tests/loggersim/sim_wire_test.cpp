#include "sim_wire.h"

#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace qv::sim {
namespace {

using test::H;
using test::Hex;

TEST(SimWire, CrcCheckValuesAndBlocks) {
  const std::string digits = "123456789";
  EXPECT_EQ(Crc8408(Bytes(digits.begin(), digits.end())), 0x2189);
  EXPECT_EQ(Crc8408(H("01")), 0x1189);  // table entry 1
  EXPECT_EQ(Crc8408(Bytes(24, 0)), 0);

  Bytes block(digits.begin(), digits.end());
  block.push_back(0x89);
  block.push_back(0x21);
  EXPECT_TRUE(BlockCrcOk(block));
  std::swap(block[9], block[10]);
  EXPECT_FALSE(BlockCrcOk(block));
  SetBlockCrc(block);
  EXPECT_EQ(Hex(Bytes(block.end() - 2, block.end())), "89 21");
  EXPECT_FALSE(BlockCrcOk(H("00 00")));
}

TEST(SimWire, FramesCarryTheirByteSum) {
  struct Case {
    std::string start;
    Bytes payload;
    std::string frame;
  } cases[] = {
      {"&S", {}, "26 53 79 00"},
      {"?E", H("34 12 00 00"), "3F 45 34 12 00 00 CA 00"},
      {"&T", H("18 03 0F 0D 2D 1E"), "26 54 18 03 0F 0D 2D 1E FC 00"},
      {"#", H("20 20"), "23 20 20 63 00"},
      // A sum above 255 carries into the high byte.
      {"?N", H("31 34 12 00 00"), "3F 4E 31 34 12 00 00 04 01"},
  };
  for (const Case& c : cases) {
    Bytes frame = MakeFrame(c.start, c.payload);
    EXPECT_EQ(Hex(frame), c.frame) << c.start;
    EXPECT_TRUE(FrameSumOk(frame));
    frame[frame.size() - 2] ^= 1;
    EXPECT_FALSE(FrameSumOk(frame));
  }
  EXPECT_FALSE(FrameSumOk(H("24 24")));
}

TEST(SimWire, CalendarSecondsRoundTrip) {
  EXPECT_EQ(FieldsToSeconds({2000, 1, 1, 0, 0, 0}), 0);
  EXPECT_EQ(FieldsToSeconds({2000, 3, 1, 0, 0, 0}), 60 * 86400);  // 2000 is a leap year
  for (DateTimeFields f : {DateTimeFields{2024, 2, 29, 23, 59, 59}, DateTimeFields{2255, 12, 31, 0, 0, 1},
                           DateTimeFields{2100, 3, 1, 12, 0, 0}}) {
    DateTimeFields back = SecondsToFields(FieldsToSeconds(f));
    EXPECT_EQ(FormatDateTime(back), FormatDateTime(f));
  }
  // Second 60, which the program may send, runs on into the next minute.
  EXPECT_EQ(FormatDateTime(SecondsToFields(FieldsToSeconds({2024, 12, 31, 23, 59, 60}))), "2025-01-01 00:00:00");

  DateTimeFields f;
  EXPECT_TRUE(ParseDateTime("2024-05-01T10:00:00", f));
  EXPECT_EQ(FormatDateTime(f), "2024-05-01 10:00:00");
  for (const char* bad : {"2023-02-29 00:00:00", "2024-05-01", "2024-05-01 24:00:00", "2024-05-01 10:00:00x"})
    EXPECT_FALSE(ParseDateTime(bad, f)) << bad;
}

}  // namespace
}  // namespace qv::sim
