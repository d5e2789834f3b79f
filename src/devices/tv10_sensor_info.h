#pragma once
// The logger family's constant tables: the sensor catalogue that turns a slot's board code and
// sensor type into name, unit, range and measurement type; the sensor choices per slot and
// board; slot counts and names of the device kinds; and the sample, save and recorder
// intervals with their index look-ups.
#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

struct TTv10SensorInfo {
  uint8_t Pcb = 0;  // board code
  uint8_t SensorType = 0;
  uint8_t MinE2Version = 0;
  uint8_t MaxE2Version = 255;
  std::string Name;  // translated
  std::string Unit;  // translated; the unit texts translate to themselves
  float ValMin = 0;
  float ValMax = 100;
  uint8_t MeashType = 1;  // measurement type number
};

inline constexpr int Tv10SensorCount = 75;
inline constexpr int Tv10PcbCount = 15;
inline constexpr int Tv10IntervalCount = 13;
inline constexpr int Tv10FirstSaveIndex = 3;

// One catalogue row as stored in the program: keys, not translated texts.
struct TTv10SensorRow {
  uint8_t Pcb;
  uint8_t SensorType;
  std::string_view NameKey;
  std::string_view UnitKey;
  float ValMin;
  float ValMax;
  uint8_t MeashType;
};
extern const std::array<TTv10SensorRow, Tv10SensorCount> Tv10SensorRows;

// Catalogue entry Index (0 to 74). Any other index shows an error dialog and gives the empty
// entry ("t10_Empty", no unit, 0 to 100, mtNeutral).
TTv10SensorInfo GetSensorInfos(int index);
// The first entry in catalogue order with that board and type whose version range holds
// E2Version.
bool FindSensorInfo(uint8_t pcb, uint8_t sensor_type, uint8_t e2_version, TTv10SensorInfo& info);
// Index of that entry, -1 when there is none.
int FindSensorIndex(uint8_t pcb, uint8_t sensor_type, uint8_t e2_version);

// Translated name of a board code (bit 7 ignored); "* N/A *" for an unknown code.
std::string SensorPcbName(uint8_t code);

// Catalogue indices that may be chosen for Slot (1 to 4) on board Pcb (0 to 14); bit i stands
// for index i. Empty outside those ranges.
std::bitset<80> Tv10SensorSelection(int slot, uint8_t pcb);

// Slots of device kinds 5 and 7 (2) and 6 (4); any other kind shows the error dialog
// "deh_DevNotCompat" and answers 0.
int GetSubModSlotCount(uint8_t kind);

// Names of the device kinds 0 to 7; empty for others.
inline constexpr std::array<std::string_view, 8> Tv10KindNames = {"undefined", "Tavra-K1", "Tavra-K1x", "Tavra-K2",
                                                                  "Tavra-K2x", "Logger",   "Logger_4k", "Z9-SDI"};
std::string Tv10KindName(uint8_t kind);

// Group titles of slots 1 to 4.
inline constexpr std::array<std::string_view, 4> Tv10ChanKeys = {"t10_Chan1", "t10_Chan2", "t10_Chan3", "t10_Chan4"};

// Sample intervals in seconds and recorder-interval names by index 0 to 12; save intervals in
// minutes exist from index 3 on (0 below).
inline constexpr std::array<uint32_t, Tv10IntervalCount> Tv10SampleIntervals = {
    1, 10, 30, 60, 600, 720, 900, 1800, 3600, 10800, 21600, 43200, 86400};
inline constexpr std::array<uint16_t, Tv10IntervalCount> Tv10SaveIntervals = {0,  0,  0,   1,   10,  12,  15,
                                                                              30, 60, 180, 360, 720, 1440};
inline constexpr std::array<std::string_view, Tv10IntervalCount> Tv10RecIntNames = {
    "1s", "10s", "30s", "1min", "10min", "12min", "15min", "30min", "1h", "3h", "6h", "12h", "24h"};

// Largest index whose sample interval is not above Seconds; 0 below one second.
int SampleIntIndex(int64_t seconds);
// Largest index from 3 to 12 whose save interval is not above Minutes; 3 below one minute.
int SaveIntIndex(int64_t minutes);
// Index of a recorder-interval name (exact), -1 when unknown.
int RecIntIndex(std::string_view name);

}  // namespace qv
