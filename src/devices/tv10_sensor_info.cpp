#include "devices/tv10_sensor_info.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "base/res_string.h"
#include "devices/device_messages.h"

namespace qv {

namespace {

// Measurement type numbers of the catalogue.
enum : uint8_t {
  mtNeutral = 1,
  mtTempCels = 2,
  mtTempFahr = 3,
  mtRelHumid = 5,
  mtAirPrAbs = 6,
  mtWindSpd = 12,
  mtDewPtC = 16,
  mtDewPtF = 17,
  mtAbsHumGm3 = 18,
  mtCO2ppm = 19,
  mtBMoist = 20,
  mtSpeedFpm = 21,
  mtMixRatioGkg = 22,
  mtRatioGrlb = 23,
};

constexpr TTv10SensorRow EmptyRow = {0, 0, "t10_Empty", "", 0, 100, mtNeutral};

constexpr std::array<std::string_view, Tv10PcbCount> PcbKeys = {
    "t10_Internal",   "t10_Ext1Sens",   "t10_Ext2Sens",   "t10_EmptySens",  "t10_THC_B_Sens",
    "t10_THC_E_Sens", "t10_THC_J_Sens", "t10_THC_K_Sens", "t10_THC_N_Sens", "t10_THC_R_Sens",
    "t10_THC_S_Sens", "t10_THC_T_Sens", "t10_TBaroSens",  "t10_TCO2Sens",   "t10_Z9SDISens"};

// Index ranges [first, last] of the sensor choices.
using Ranges = std::initializer_list<std::pair<int, int>>;

std::bitset<80> MakeSet(Ranges ranges) {
  std::bitset<80> set;
  for (const auto& [first, last] : ranges)
    for (int i = first; i <= last; ++i) set.set(static_cast<size_t>(i));
  return set;
}

// Thermocouple boards 4 to 11 offer the same four entries in every slot: °C and °F of the
// first and the second sensor.
std::bitset<80> Thermocouple(uint8_t pcb) {
  const int first = 24 + 2 * (pcb - 4);
  const int second = 40 + 2 * (pcb - 4);
  return MakeSet({{first, first + 1}, {second, second + 1}});
}

// Slot tables 0 (slot 1), 1 (slot 2) and 2 (slots 3 and 4); one set per board.
const std::array<std::array<std::bitset<80>, Tv10PcbCount>, 3>& SelectionTables() {
  static const auto tables = [] {
    std::array<std::array<std::bitset<80>, Tv10PcbCount>, 3> t{};
    t[0][0] = MakeSet({{0, 2}});
    t[1][0] = MakeSet({{2, 5}, {59, 59}});
    t[2][0] = MakeSet({{0, 5}, {59, 59}, {63, 63}});
    t[0][1] = MakeSet({{6, 8}});
    t[1][1] = MakeSet({{8, 11}});
    t[2][1] = MakeSet({{6, 11}});
    t[0][2] = MakeSet({{12, 14}, {18, 20}});
    t[1][2] = MakeSet({{12, 23}});
    t[2][2] = MakeSet({{12, 23}});
    for (uint8_t pcb = 4; pcb <= 11; ++pcb)
      for (auto& slot : t) slot[pcb] = Thermocouple(pcb);
    t[0][12] = MakeSet({{56, 57}});
    t[1][12] = MakeSet({{58, 58}, {64, 64}});
    t[2][12] = MakeSet({{56, 58}, {64, 64}});
    t[0][13] = MakeSet({{60, 61}});
    t[1][13] = MakeSet({{62, 62}});
    t[2][13] = MakeSet({{60, 62}});
    for (auto& slot : t) slot[14] = MakeSet({{65, 71}});
    return t;
  }();
  return tables;
}

TTv10SensorInfo InfoOf(const TTv10SensorRow& row) {
  TTv10SensorInfo info;
  info.Pcb = row.Pcb;
  info.SensorType = row.SensorType;
  info.MinE2Version = 0;
  info.MaxE2Version = 255;
  info.Name = LoadResString(std::string(row.NameKey));
  info.Unit = row.UnitKey.empty() ? std::string() : LoadResString(std::string(row.UnitKey));
  info.ValMin = row.ValMin;
  info.ValMax = row.ValMax;
  info.MeashType = row.MeashType;
  return info;
}

}  // namespace

const std::array<TTv10SensorRow, Tv10SensorCount> Tv10SensorRows = {{
    {0, 1, "t10_TempC", "°C", -40, 100, mtTempCels},
    {0, 2, "t10_TempF", "°F", -40, 212, mtTempFahr},
    {0, 3, "t10_RHumid", "%", 0, 100, mtRelHumid},
    {0, 4, "t10_AbsHumid", "g/m3", 0, 600, mtAbsHumGm3},
    {0, 5, "t10_DewPtC", "°C", -70, 100, mtDewPtC},
    {0, 6, "t10_DewPtF", "°F", -94, 212, mtDewPtF},
    {1, 1, "t10_TempC", "°C", -40, 100, mtTempCels},
    {1, 2, "t10_TempF", "°F", -40, 212, mtTempFahr},
    {1, 3, "t10_RHumid", "%", 0, 100, mtRelHumid},
    {1, 4, "t10_AbsHumid", "g/m3", 0, 600, mtAbsHumGm3},
    {1, 5, "t10_DewPtC", "°C", -70, 100, mtDewPtC},
    {1, 6, "t10_DewPtF", "°F", -94, 212, mtDewPtF},
    {2, 1, "t10_TempCS1", "°C", -40, 100, mtTempCels},
    {2, 2, "t10_TempFS1", "°F", -40, 212, mtTempFahr},
    {2, 3, "t10_RHumidS1", "%", 0, 100, mtRelHumid},
    {2, 4, "t10_AbsHumS1", "g/m3", 0, 600, mtAbsHumGm3},
    {2, 5, "t10_DewPtCS1", "°C", -70, 100, mtDewPtC},
    {2, 6, "t10_DewPtFS1", "°F", -94, 212, mtDewPtF},
    {2, 129, "t10_TempCS2", "°C", -40, 100, mtTempCels},
    {2, 130, "t10_TempFS2", "°F", -40, 212, mtTempFahr},
    {2, 131, "t10_RHumidS2", "%", 0, 100, mtRelHumid},
    {2, 132, "t10_AbsHumS2", "g/m3", 0, 600, mtAbsHumGm3},
    {2, 133, "t10_DewPtCS2", "°C", -70, 100, mtDewPtC},
    {2, 134, "t10_DewPtFS2", "°F", -94, 212, mtDewPtF},
    {4, 1, "t10_TempCS1", "°C", 50, 1820, mtTempCels},
    {4, 2, "t10_TempFS1", "°F", 122, 3308, mtTempFahr},
    {5, 1, "t10_TempCS1", "°C", -270, 1000, mtTempCels},
    {5, 2, "t10_TempFS1", "°F", -454, 1832, mtTempFahr},
    {6, 1, "t10_TempCS1", "°C", -210, 1200, mtTempCels},
    {6, 2, "t10_TempFS1", "°F", -346, 2192, mtTempFahr},
    {7, 1, "t10_TempCS1", "°C", -270, 1380, mtTempCels},
    {7, 2, "t10_TempFS1", "°F", -454, 2516, mtTempFahr},
    {8, 1, "t10_TempCS1", "°C", -270, 1300, mtTempCels},
    {8, 2, "t10_TempFS1", "°F", -454, 2372, mtTempFahr},
    {9, 1, "t10_TempCS1", "°C", -50, 1770, mtTempCels},
    {9, 2, "t10_TempFS1", "°F", -58, 3218, mtTempFahr},
    {10, 1, "t10_TempCS1", "°C", -50, 1770, mtTempCels},
    {10, 2, "t10_TempFS1", "°F", -58, 3218, mtTempFahr},
    {11, 1, "t10_TempCS1", "°C", -270, 400, mtTempCels},
    {11, 2, "t10_TempFS1", "°F", -454, 752, mtTempFahr},
    {4, 129, "t10_TempCS2", "°C", 50, 1820, mtTempCels},
    {4, 130, "t10_TempFS2", "°F", 122, 3308, mtTempFahr},
    {5, 129, "t10_TempCS2", "°C", -270, 1000, mtTempCels},
    {5, 130, "t10_TempFS2", "°F", -454, 1832, mtTempFahr},
    {6, 129, "t10_TempCS2", "°C", -210, 1200, mtTempCels},
    {6, 130, "t10_TempFS2", "°F", -346, 2192, mtTempFahr},
    {7, 129, "t10_TempCS2", "°C", -270, 1380, mtTempCels},
    {7, 130, "t10_TempFS2", "°F", -454, 2516, mtTempFahr},
    {8, 129, "t10_TempCS2", "°C", -270, 1300, mtTempCels},
    {8, 130, "t10_TempFS2", "°F", -454, 2372, mtTempFahr},
    {9, 129, "t10_TempCS2", "°C", -50, 1770, mtTempCels},
    {9, 130, "t10_TempFS2", "°F", -58, 3218, mtTempFahr},
    {10, 129, "t10_TempCS2", "°C", -50, 1770, mtTempCels},
    {10, 130, "t10_TempFS2", "°F", -58, 3218, mtTempFahr},
    {11, 129, "t10_TempCS2", "°C", -270, 400, mtTempCels},
    {11, 130, "t10_TempFS2", "°F", -454, 752, mtTempFahr},
    {12, 1, "t10_TempC", "°C", -40, 100, mtTempCels},
    {12, 2, "t10_TempF", "°F", -40, 212, mtTempFahr},
    {12, 8, "t10_PreshPa", "hPa", 750, 1100, mtAirPrAbs},
    {0, 0, "t10_Empty", "", 0, 100, mtNeutral},
    {13, 1, "t10_TempC", "°C", -40, 100, mtTempCels},
    {13, 2, "t10_TempF", "°F", -40, 212, mtTempFahr},
    {13, 9, "t10_CO2", "ppm", 0, 10000, mtCO2ppm},
    {0, 137, "t10_BMoist", "", 15, 100, mtBMoist},
    {12, 11, "t10_PreshPa", "hPa", 300, 1100, mtAirPrAbs},
    {14, 7, "t10_FlowSpeed", "m/s", 0, 40, mtWindSpd},
    {14, 1, "t10_TempC", "°C", -40, 180, mtTempCels},
    {14, 2, "t10_TempF", "°F", -40, 356, mtTempFahr},
    {14, 3, "t10_RHumid", "%", 0, 100, mtRelHumid},
    {14, 4, "t10_AbsHumid", "g/m3", 0, 600, mtAbsHumGm3},
    {14, 5, "t10_DewPtC", "°C", -70, 100, mtDewPtC},
    {14, 6, "t10_DewPtF", "°F", -94, 212, mtDewPtF},
    {14, 12, "t10_FlowSpeedFpm", "fpm", 0, 5906, mtSpeedFpm},
    {14, 13, "t10_MixingRatio", "g/kg", 0, 6000, mtMixRatioGkg},
    {14, 14, "t10_MixingRatioGrlb", "gr/lb", 0, 6000, mtRatioGrlb},
}};

TTv10SensorInfo GetSensorInfos(int index) {
  if (index < 0 || index >= Tv10SensorCount) {
    DeviceErrorDialog("GetSensorInfos: invalid index " + std::to_string(index), "GetSensorInfos");
    return InfoOf(EmptyRow);
  }
  return InfoOf(Tv10SensorRows[static_cast<size_t>(index)]);
}

int FindSensorIndex(uint8_t pcb, uint8_t sensor_type, uint8_t /*e2_version*/) {
  // Every entry holds for versions 0 to 255, so the version never excludes one.
  for (int i = 0; i < Tv10SensorCount; ++i) {
    const auto& row = Tv10SensorRows[static_cast<size_t>(i)];
    if (row.Pcb == pcb && row.SensorType == sensor_type) return i;
  }
  return -1;
}

bool FindSensorInfo(uint8_t pcb, uint8_t sensor_type, uint8_t e2_version, TTv10SensorInfo& info) {
  const int index = FindSensorIndex(pcb, sensor_type, e2_version);
  if (index < 0) return false;
  info = InfoOf(Tv10SensorRows[static_cast<size_t>(index)]);
  return true;
}

std::string SensorPcbName(uint8_t code) {
  const uint8_t board = code & 0x7F;
  if (board < Tv10PcbCount) return LoadResString(std::string(PcbKeys[board]));
  return LoadResString("* N/A *");
}

std::bitset<80> Tv10SensorSelection(int slot, uint8_t pcb) {
  if (slot < 1 || slot > 4 || pcb >= Tv10PcbCount) return {};
  return SelectionTables()[static_cast<size_t>(std::min(slot, 3) - 1)][pcb];
}

int GetSubModSlotCount(uint8_t kind) {
  switch (kind) {
    case 5:
    case 7: return 2;
    case 6: return 4;
    default: DeviceErrorDialog(LoadResString("deh_DevNotCompat"), "GetSubModSlotCount"); return 0;
  }
}

std::string Tv10KindName(uint8_t kind) {
  return kind < Tv10KindNames.size() ? std::string(Tv10KindNames[kind]) : std::string();
}

int SampleIntIndex(int64_t seconds) {
  int index = 0;
  for (int i = 0; i < Tv10IntervalCount; ++i)
    if (Tv10SampleIntervals[static_cast<size_t>(i)] <= seconds) index = i;
  return index;
}

int SaveIntIndex(int64_t minutes) {
  int index = Tv10FirstSaveIndex;
  for (int i = Tv10FirstSaveIndex; i < Tv10IntervalCount; ++i)
    if (Tv10SaveIntervals[static_cast<size_t>(i)] <= minutes) index = i;
  return index;
}

int RecIntIndex(std::string_view name) {
  for (int i = 0; i < Tv10IntervalCount; ++i)
    if (Tv10RecIntNames[static_cast<size_t>(i)] == name) return i;
  return -1;
}

}  // namespace qv
