#include "comm/tv10_meas_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/crc8408.h"

namespace qv {
namespace {

using Bytes = std::vector<uint8_t>;

struct Fields {
  uint16_t marker = 0xFFFF;
  uint8_t e2 = 20, year = 30, month = 3, day = 1, hour = 6, minute = 10, second = 0;
  uint16_t interval = 10;
  uint8_t mode = 7, count = 6, pcb = 0, type = 1;
};

// A header of the layout of an EE version (the E2-version byte from 18 on), with its CRC.
Bytes Header(const Fields& f, uint8_t ee) {
  Bytes h(kTv10HeaderSize, 0);
  h[0] = static_cast<uint8_t>(f.marker & 0xFF);
  h[1] = static_cast<uint8_t>(f.marker >> 8);
  const size_t o = ee >= 18 ? 3 : 2;
  if (ee >= 18) h[2] = f.e2;
  const uint8_t dt[] = {f.year, f.month, f.day, f.hour, f.minute, f.second};
  for (size_t i = 0; i < 6; ++i) h[o + i] = dt[i];
  h[o + 6] = static_cast<uint8_t>(f.interval & 0xFF);
  h[o + 7] = static_cast<uint8_t>(f.interval >> 8);
  h[o + 8] = f.mode;
  h[o + 9] = f.count;
  h[o + 12] = f.pcb;
  h[o + 13] = f.type;
  AddCrc8408(h.data(), static_cast<int32_t>(h.size()));
  return h;
}

TTv10HeaderScan Scan(const Bytes& b, size_t& pos, uint8_t kind, uint8_t ee, TTv10MeasHeader& h) {
  uint16_t last = 0;
  return Tv10NextHeader(b.data(), b.size(), pos, kind, ee, h, last);
}

TEST(Tv10MeasHeader, BothLayoutsDecodeTheSameFields) {
  Fields f;
  f.marker = 0xFFFE;
  f.interval = 1440;
  f.mode = 6;
  f.count = 40;
  for (uint8_t ee : {17, 18}) {
    Bytes b = Header(f, ee);
    b.resize(b.size() + 80, 0x11);
    size_t pos = 0;
    TTv10MeasHeader h;
    ASSERT_EQ(Scan(b, pos, 5, ee, h), TTv10HeaderScan::Found) << int(ee);
    EXPECT_EQ(h.Error, "") << int(ee);
    EXPECT_EQ(h.Channel, 2);
    EXPECT_EQ(pos, kTv10HeaderSize);
    EXPECT_EQ(h.E2Version, ee == 17 ? 17 : 20);  // the old layout looks sensors up by the logger's version
    EXPECT_EQ(h.Start, EncodeDate(2030, 3, 1) + (6 * 60 + 10) / 1440.0);
    EXPECT_EQ(h.SaveInt, 1440);
    EXPECT_EQ(h.SaveMode, 6);
    EXPECT_EQ(h.ValueCount, 40);
    EXPECT_EQ(h.SensorPcb, 0);
    EXPECT_EQ(h.SensorType, 1);
  }
}

struct BadHeader {
  const char* name;
  std::function<void(Fields&)> set;
  const char* error;
};
// The case's name stands for it in the test's name, not its bytes.
void PrintTo(const BadHeader& c, std::ostream* os) { *os << c.name; }

class Tv10BadHeader : public ::testing::TestWithParam<BadHeader> {};

TEST_P(Tv10BadHeader, IsReportedAndTheSearchGoesOnRightBehindItsMarker) {
  Fields f;
  GetParam().set(f);
  Bytes b = Header(f, 20);
  if (std::string(GetParam().name) == "Crc") b[22] ^= 1;
  size_t pos = 0;
  TTv10MeasHeader h;
  ASSERT_EQ(Scan(b, pos, 5, 20, h), TTv10HeaderScan::Found);
  EXPECT_EQ(h.Channel, 0);
  EXPECT_EQ(h.Error, GetParam().error);
  EXPECT_EQ(pos, 2u);
}

const BadHeader kBadHeaders[] = {
    {"Crc", [](Fields&) {}, "invalid HeaderCRC"},
    {"IntervalZero", [](Fields& f) { f.interval = 0; }, "invalid SaveInt"},
    {"Interval1441", [](Fields& f) { f.interval = 1441; }, "invalid SaveInt"},
    {"IntervalTopBit", [](Fields& f) { f.interval = 0x8001; }, "invalid SaveInt"},
    {"Board15", [](Fields& f) { f.pcb = 15; }, "invalid SensorPcb"},
    {"UnknownType", [](Fields& f) { f.type = 200; }, "invalid SensorType"},
    {"Month13", [](Fields& f) { f.month = 13; }, "invalid date or time"},
    {"February30",
     [](Fields& f) {
       f.month = 2;
       f.day = 30;
     },
     "invalid date or time"},
    {"Hour24", [](Fields& f) { f.hour = 24; }, "invalid date or time"},
    {"AfterTheLastDayTheDataFilesHold", [](Fields& f) { f.year = 79; }, "invalid date or time"},
};

INSTANTIATE_TEST_SUITE_P(Fields, Tv10BadHeader, ::testing::ValuesIn(kBadHeaders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Tv10MeasHeader, ARealHeaderInsideAFalseOneIsStillFound) {
  // 0xFF filler ends one channel's data; the next channel's header starts 6 bytes later.
  Bytes b(6, 0xFF);
  Fields f;
  f.marker = 0xFFFE;
  const Bytes real = Header(f, 20);
  b.insert(b.end(), real.begin(), real.end());
  b.resize(b.size() + 12, 0x10);
  size_t pos = 0;
  TTv10MeasHeader h;
  int invalid = 0;
  while (Scan(b, pos, 5, 20, h) == TTv10HeaderScan::Found && h.Channel == 0) ++invalid;
  EXPECT_EQ(invalid, 3);  // one per filler word
  EXPECT_EQ(h.Channel, 2);
  EXPECT_EQ(pos, 6 + kTv10HeaderSize);
}

TEST(Tv10MeasHeader, MarkersDependOnTheKindAndAShortOrMarkerlessRestIsTheEnd) {
  EXPECT_EQ(Tv10MarkerChannel(0xFFFD, 5), 0);
  EXPECT_EQ(Tv10MarkerChannel(0xFFFD, 6), 3);
  EXPECT_EQ(Tv10MarkerChannel(0xFFFC, 6), 4);
  EXPECT_EQ(Tv10MarkerChannel(0xFFFB, 6), 0);
  TTv10MeasHeader h;
  size_t pos = 0;
  EXPECT_EQ(Scan(Bytes(23, 0xFF), pos, 5, 20, h), TTv10HeaderScan::Exhausted);
  pos = 0;
  EXPECT_EQ(Scan(Bytes(100, 0), pos, 5, 20, h), TTv10HeaderScan::Exhausted);
  // A marker too close to the end starts no header.
  Bytes tail(40, 0);
  tail[30] = tail[31] = 0xFF;
  pos = 0;
  EXPECT_EQ(Scan(tail, pos, 5, 20, h), TTv10HeaderScan::Exhausted);
  EXPECT_EQ(pos, tail.size());
  pos = 50;  // a position past the end reads nothing
  EXPECT_EQ(Scan(tail, pos, 5, 20, h), TTv10HeaderScan::Exhausted);
  int32_t kinds[3];
  EXPECT_EQ(Tv10SaveModeKinds(0, kinds), 1);
  EXPECT_EQ(kinds[0], 2);
  EXPECT_EQ(Tv10SaveModeKinds(5, kinds), 2);
  EXPECT_EQ(kinds[0], 0);
  EXPECT_EQ(kinds[1], 2);
}

}  // namespace
}  // namespace qv
