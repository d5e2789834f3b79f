#include "comm/tv10_meas_header.h"

#include "base/dt_stamp.h"
#include "comm/crc8408.h"
#include "devices/tv10_sensor_info.h"

namespace qv {

namespace {

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

int32_t Tv10MarkerChannel(uint16_t word, uint8_t dev_kind) {
  const int32_t channels = dev_kind == 6 ? 4 : 2;
  const int32_t channel = 0x10000 - word;
  return channel >= 1 && channel <= channels ? channel : 0;
}

int32_t Tv10SaveModeKinds(uint8_t save_mode, int32_t kinds[3]) {
  int32_t n = 0;
  if (save_mode & 4) kinds[n++] = 0;
  if (save_mode & 2) kinds[n++] = 1;
  if (save_mode & 1) kinds[n++] = 2;
  if (n == 0) kinds[n++] = 2;
  return n;
}

TTv10HeaderScan Tv10NextHeader(const uint8_t* data, size_t size, size_t& pos, uint8_t dev_kind, uint8_t ee_version,
                               TTv10MeasHeader& h, uint16_t& last_word) {
  h = TTv10MeasHeader{};
  if (pos > size || size - pos < kTv10HeaderSize) return TTv10HeaderScan::Exhausted;
  int32_t channel = 0;
  while (size - pos >= 2) {
    last_word = Word(data + pos);
    pos += 2;
    channel = Tv10MarkerChannel(last_word, dev_kind);
    if (channel != 0) break;
  }
  if (channel == 0) return TTv10HeaderScan::Exhausted;
  pos -= 2;
  // A marker too close to the end starts no header.
  if (size - pos < kTv10HeaderSize) {
    pos = size;
    return TTv10HeaderScan::Exhausted;
  }
  const uint8_t* p = data + pos;
  const size_t marker_pos = pos;
  pos += kTv10HeaderSize;
  const bool with_e2 = ee_version >= kTv10HeaderE2FromEE;
  const size_t o = with_e2 ? 3 : 2;
  h.Marker = Word(p);
  h.E2Version = with_e2 ? p[2] : ee_version;
  h.Year = p[o];
  h.Month = p[o + 1];
  h.Day = p[o + 2];
  h.Hour = p[o + 3];
  h.Minute = p[o + 4];
  h.Second = p[o + 5];
  h.SaveInt = Word(p + o + 6);
  h.SaveMode = p[o + 8];
  h.ValueCount = p[o + 9];
  h.SensorPcb = p[o + 12];
  h.SensorType = p[o + 13];
  h.CrcOk = CheckCrc8408(p, static_cast<int32_t>(kTv10HeaderSize));
  TDateTime date = 0;
  if (!h.CrcOk) {
    h.Error = "invalid HeaderCRC";
  } else if (h.SaveInt == 0 || h.SaveInt > 1440) {
    // The top bit set gives a value above 1440 too. An interval of 0 would stamp every sample
    // of the block with the same time.
    h.Error = "invalid SaveInt";
  } else if (h.SensorPcb > 14) {
    h.Error = "invalid SensorPcb";
  } else if (!TryEncodeDate(2000 + h.Year, h.Month, h.Day, date) || date > DayNoToDateTime(LastDayNo) || h.Hour > 23 ||
             h.Minute > 59 || h.Second > 59) {
    // The data files hold no day after LastDayNo.
    h.Error = "invalid date or time";
  } else if (FindSensorIndex(h.SensorPcb, h.SensorType, h.E2Version) < 0) {
    h.Error = "invalid SensorType";
  }
  if (!h.Error.empty()) {
    // The marker may have been a false one (damage, 0xFF filler): a real header that starts
    // inside these bytes must still be found.
    pos = marker_pos + 2;
    return TTv10HeaderScan::Found;
  }
  h.Start = date + (h.Hour * 3600 + h.Minute * 60 + h.Second) / 86400.0;
  h.Channel = channel;
  return TTv10HeaderScan::Found;
}

}  // namespace qv
