#include "devices/tv10_sensor_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/meas_types.h"
#include "device_messages_log.h"

namespace qv {
namespace {

using MessageLog = test::DeviceMessagesLog;

TEST(SensorCatalogue, LookupsOfTheEdgeCases) {
  struct Case {
    uint8_t pcb, type;
    int index;  // -1: not found
    const char* name;
    const char* unit;
    float min, max;
    const char* meas_type;
  };
  const Case cases[] = {
      {0, 1, 0, "t10_TempC", "°C", -40, 100, "mtTempCels"},
      {12, 8, 58, "t10_PreshPa", "hPa", 750, 1100, "mtAirPrAbs"},
      {12, 11, 64, "t10_PreshPa", "hPa", 300, 1100, "mtAirPrAbs"},
      {0, 0, 59, "t10_Empty", "", 0, 100, "mtNeutral"},
      {0, 137, 63, "t10_BMoist", "", 15, 100, "mtBMoist"},
      {13, 9, 62, "t10_CO2", "ppm", 0, 10000, "mtCO2ppm"},
      {4, 130, 41, "t10_TempFS2", "°F", 122, 3308, "mtTempFahr"},
      {14, 14, 74, "t10_MixingRatioGrlb", "gr/lb", 0, 6000, "mtRatioGrlb"},
      {3, 1, -1, "", "", 0, 0, ""},
      {3, 0, -1, "", "", 0, 0, ""},
      {0, 7, -1, "", "", 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "board " << int(c.pcb) << " type " << int(c.type));
    TTv10SensorInfo info;
    for (uint8_t version : {0, 17, 255}) {
      ASSERT_EQ(FindSensorIndex(c.pcb, c.type, version), c.index);
      ASSERT_EQ(FindSensorInfo(c.pcb, c.type, version, info), c.index >= 0);
    }
    if (c.index < 0) continue;
    EXPECT_EQ(info.Pcb, c.pcb);
    EXPECT_EQ(info.SensorType, c.type);
    EXPECT_EQ(info.Name, c.name);
    EXPECT_EQ(info.Unit, c.unit);
    EXPECT_EQ(info.ValMin, c.min);
    EXPECT_EQ(info.ValMax, c.max);
    EXPECT_EQ(MeasTypeName(info.MeashType), c.meas_type);
    EXPECT_EQ(info.MinE2Version, 0);
    EXPECT_EQ(info.MaxE2Version, 255);
    TTv10SensorInfo by_index = GetSensorInfos(c.index);
    EXPECT_EQ(by_index.Name, info.Name);
    EXPECT_EQ(by_index.ValMax, info.ValMax);
  }
}

// Each row is the first match of its own board and type, so no pair repeats and the order holds.
TEST(SensorCatalogue, EveryRowIsFoundAtItsOwnIndex) {
  for (int i = 0; i < Tv10SensorCount; ++i) {
    const auto& row = Tv10SensorRows[static_cast<size_t>(i)];
    EXPECT_EQ(FindSensorIndex(row.Pcb, row.SensorType, 0), i) << "index " << i;
  }
}

// Every °C sensor has its °F twin (type + 1) on the same board, with the converted range.
TEST(SensorCatalogue, FahrenheitRowsMatchTheirCelsiusTwins) {
  int pairs = 0;
  for (const auto& row : Tv10SensorRows) {
    if (row.UnitKey != "°C") continue;
    SCOPED_TRACE(testing::Message() << "board " << int(row.Pcb) << " type " << int(row.SensorType));
    TTv10SensorInfo twin;
    ASSERT_TRUE(FindSensorInfo(row.Pcb, static_cast<uint8_t>(row.SensorType + 1), 0, twin));
    EXPECT_EQ(twin.Unit, "°F");
    EXPECT_FLOAT_EQ(twin.ValMin, row.ValMin * 9 / 5 + 32);
    EXPECT_FLOAT_EQ(twin.ValMax, row.ValMax * 9 / 5 + 32);
    EXPECT_EQ(twin.MeashType, row.MeashType + 1);
    ++pairs;
  }
  EXPECT_GT(pairs, 0);
}

TEST(SensorCatalogue, IndexOutsideTheCatalogueGivesTheEmptyEntryAndAnError) {
  MessageLog log;
  for (int index : {-1, 75, 1000}) {
    TTv10SensorInfo info = GetSensorInfos(index);
    EXPECT_EQ(info.Name, "t10_Empty");
    EXPECT_EQ(info.Unit, "");
    EXPECT_EQ(info.ValMin, 0);
    EXPECT_EQ(info.ValMax, 100);
    EXPECT_EQ(MeasTypeName(info.MeashType), "mtNeutral");
  }
  ASSERT_EQ(log.messages.size(), 3u);
  EXPECT_EQ(log.messages[1].Msg, "GetSensorInfos: invalid index 75");
  EXPECT_EQ(log.messages[1].Kind, TDevMsgKind::Error);
}

TEST(SensorCatalogue, BoardNames) {
  EXPECT_EQ(SensorPcbName(0), "t10_Internal");
  EXPECT_EQ(SensorPcbName(0x8D), "t10_TCO2Sens");
  EXPECT_EQ(SensorPcbName(14), "t10_Z9SDISens");
  EXPECT_EQ(SensorPcbName(15), "* N/A *");
  EXPECT_EQ(SensorPcbName(0xFF), "* N/A *");
}

std::vector<int> Indices(const std::bitset<80>& set) {
  std::vector<int> out;
  for (int i = 0; i < 80; ++i)
    if (set.test(static_cast<size_t>(i))) out.push_back(i);
  return out;
}

TEST(SensorCatalogue, SelectionPerSlotAndBoard) {
  using V = std::vector<int>;
  EXPECT_EQ(Indices(Tv10SensorSelection(1, 2)), (V{12, 13, 14, 18, 19, 20}));
  EXPECT_EQ(Indices(Tv10SensorSelection(2, 2)), (V{12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));
  EXPECT_EQ(Indices(Tv10SensorSelection(2, 0)), (V{2, 3, 4, 5, 59}));
  EXPECT_EQ(Indices(Tv10SensorSelection(3, 0)), (V{0, 1, 2, 3, 4, 5, 59, 63}));
  EXPECT_EQ(Indices(Tv10SensorSelection(4, 12)), (V{56, 57, 58, 64}));
  EXPECT_EQ(Indices(Tv10SensorSelection(2, 13)), (V{62}));
  EXPECT_EQ(Indices(Tv10SensorSelection(1, 9)), (V{34, 35, 50, 51}));
  for (int slot = 1; slot <= 4; ++slot) {
    EXPECT_TRUE(Tv10SensorSelection(slot, 3).none());
    EXPECT_EQ(Tv10SensorSelection(slot, 14), Tv10SensorSelection(1, 14));
  }
  EXPECT_EQ(Tv10SensorSelection(3, 1), Tv10SensorSelection(4, 1));
  EXPECT_TRUE(Tv10SensorSelection(0, 0).none());
  EXPECT_TRUE(Tv10SensorSelection(5, 0).none());
  EXPECT_TRUE(Tv10SensorSelection(1, 15).none());
}

// A slot never offers a sensor of another board.
TEST(SensorCatalogue, SelectionsOfferOnlyTheBoardsOwnSensors) {
  for (int slot = 1; slot <= 4; ++slot)
    for (uint8_t pcb = 0; pcb < Tv10PcbCount; ++pcb)
      for (int index : Indices(Tv10SensorSelection(slot, pcb))) {
        ASSERT_LT(index, Tv10SensorCount);
        EXPECT_EQ(Tv10SensorRows[static_cast<size_t>(index)].Pcb, pcb) << "slot " << slot << " index " << index;
      }
}

TEST(SensorCatalogue, SlotCountsAndKindNames) {
  MessageLog log;
  EXPECT_EQ(GetSubModSlotCount(5), 2);
  EXPECT_EQ(GetSubModSlotCount(6), 4);
  EXPECT_EQ(GetSubModSlotCount(7), 2);
  EXPECT_TRUE(log.messages.empty());
  EXPECT_EQ(GetSubModSlotCount(4), 0);
  EXPECT_EQ(GetSubModSlotCount(40), 0);
  ASSERT_EQ(log.messages.size(), 2u);
  EXPECT_EQ(log.messages[0].Msg, "deh_DevNotCompat");
  EXPECT_EQ(Tv10KindName(0), "undefined");
  EXPECT_EQ(Tv10KindName(6), "Logger_4k");
  EXPECT_EQ(Tv10KindName(7), "Z9-SDI");
  EXPECT_EQ(Tv10KindName(8), "");
  for (auto name : Tv10KindNames) EXPECT_LE(name.size(), 12u);
}

TEST(IntervalTables, IndexLookups) {
  struct Case {
    int64_t value;
    int sample_index;
    int save_index;
  };
  const Case cases[] = {
      {-5, 0, 3},    {0, 0, 3},     {1, 0, 3},       {9, 0, 3},       {10, 1, 4},       {13, 1, 5},
      {45, 2, 7},    {59, 2, 7},    {60, 3, 8},      {599, 3, 10},    {600, 4, 10},     {720, 5, 11},
      {1440, 6, 12}, {2000, 7, 12}, {86399, 11, 12}, {86400, 12, 12}, {100000, 12, 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SampleIntIndex(c.value), c.sample_index) << c.value << " s";
    EXPECT_EQ(SaveIntIndex(c.value), c.save_index) << c.value << " min";
  }
}

TEST(IntervalTables, SaveIntervalsEqualSampleIntervalsAndNamesFitTheirFields) {
  for (int i = Tv10FirstSaveIndex; i < Tv10IntervalCount; ++i) {
    EXPECT_EQ(Tv10SaveIntervals[static_cast<size_t>(i)] * 60u, Tv10SampleIntervals[static_cast<size_t>(i)]);
    EXPECT_EQ(SaveIntIndex(Tv10SaveIntervals[static_cast<size_t>(i)]), i);
  }
  for (int i = 0; i < Tv10IntervalCount; ++i) {
    EXPECT_EQ(SampleIntIndex(Tv10SampleIntervals[static_cast<size_t>(i)]), i);
    EXPECT_LE(Tv10RecIntNames[static_cast<size_t>(i)].size(), 6u);
    EXPECT_EQ(RecIntIndex(Tv10RecIntNames[static_cast<size_t>(i)]), i);
  }
  EXPECT_EQ(Tv10RecIntNames[1], "10s");
  EXPECT_EQ(Tv10RecIntNames[8], "1h");
  EXPECT_EQ(RecIntIndex("1H"), -1);
  EXPECT_EQ(RecIntIndex(""), -1);
}

}  // namespace
}  // namespace qv
