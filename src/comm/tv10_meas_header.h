#pragma once
// The measurement blocks inside a logger's memory: a 24-byte header (channel marker, start
// time, save interval, stored value kinds, number of value words, sensor board and type, CRC)
// followed by its value words. Loggers up to EE version 17 have no E2-version byte, so every
// later field sits one byte earlier. Pure: bytes in, headers out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/date_time.h"

namespace qv {

constexpr size_t kTv10HeaderSize = 24;
// Loggers from this EE version on carry the E2 version of their sensor data in the header.
constexpr uint8_t kTv10HeaderE2FromEE = 18;

struct TTv10MeasHeader {
  int32_t Channel = 0;  // 1 to 4; 0 for a header that is not valid
  uint16_t Marker = 0;
  uint8_t E2Version = 0;
  uint8_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  TDateTime Start = 0;
  uint16_t SaveInt = 0;  // minutes
  uint8_t SaveMode = 0;  // bit 2 minimum, bit 1 maximum, bit 0 average
  uint8_t ValueCount = 0;
  uint8_t SensorPcb = 0;
  uint8_t SensorType = 0;
  bool CrcOk = false;
  // Why the header is not valid ("invalid HeaderCRC", "invalid SaveInt", ...); empty when valid.
  std::string Error;
};

// The channel of a marker word for a device kind (0xFFFF channel 1, 0xFFFE channel 2, and for
// kind 6 0xFFFD and 0xFFFC channels 3 and 4); 0 for any other word.
int32_t Tv10MarkerChannel(uint16_t word, uint8_t dev_kind);

// The value kinds a save mode stores, in the order minimum (0), maximum (1), average (2); no
// bit set means average only. Returns the count written to kinds.
int32_t Tv10SaveModeKinds(uint8_t save_mode, int32_t kinds[3]);

// Outcome of looking for the next header from pos.
enum class TTv10HeaderScan {
  Exhausted,  // fewer than a header's bytes left, or no marker up to the end
  Found,      // a header was read (valid or not); pos is behind it
};

// Looks for the next channel marker from pos and reads the header there. A header is not valid
// for a bad CRC, a save interval of 0, above 1440 or with its top bit set, a board above 14, a
// date or time that does not exist, or a board, type and E2 version the sensor catalogue does
// not know. After a valid header pos is behind it; after one that is not valid, 2 bytes behind
// its marker, so that a real header starting inside it is still found. last_word receives the
// last word looked at when no marker was found.
TTv10HeaderScan Tv10NextHeader(const uint8_t* data, size_t size, size_t& pos, uint8_t dev_kind, uint8_t ee_version,
                               TTv10MeasHeader& header, uint16_t& last_word);

}  // namespace qv
