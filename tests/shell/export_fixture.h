#pragma once
// Weekly data sets of test devices for the export tests: channels and records stored in a folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/kw_data.h"
#include "platform/rtl/date_time.h"

namespace qv::test {

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline TDtStamp At(int hh, int mm, int ss = 0) { return TDtStamp{DateToDayNo(2, 3, 2009), hh * 3600 + mm * 60 + ss}; }
inline TDateTime AtDt(int hh, int mm, int ss = 0) { return DtStampToDateTime(At(hh, mm, ss)); }

// A device's weekly data set with its channels, stored in a folder of its own.
struct TDeviceData {
  TDeviceData(const std::string& dir, int values) : channels(TChannels::CreateDefault()), rec(values) {
    std::filesystem::create_directories(dir);
    for (int i = 0; i < values; ++i) channels->Add(std::make_unique<TChannel>(static_cast<uint8_t>(2 + i)));
    data = std::make_unique<TKwData>(dir, channels.get(), &rec);
  }
  void Store(const std::vector<std::pair<TDtStamp, std::vector<double>>>& records) {
    data->OpenDT(At(0, 0), At(23, 59, 59), NoDtStamp, NoDtStamp);
    TDataLock lock(*data);
    for (const auto& [stamp, values] : records) {
      TDtRecord r(rec.ValueCount());
      r.Date = stamp.Date;
      r.Time = stamp.Time;
      for (size_t i = 0; i < values.size(); ++i) r.SetValues(static_cast<int32_t>(i), values[i]);
      data->InsertRecord(r);
    }
    ASSERT_EQ(data->Flush(), drDone);
    data->FreeBuffer();
  }
  TChannel* Chan(int i) { return channels->GetValueChannel(i); }

  std::unique_ptr<TChannels> channels;
  TDtRecord rec;
  std::unique_ptr<TKwData> data;
};

}  // namespace qv::test
