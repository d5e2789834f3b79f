#pragma once
// The alarm list: per logger channel the alarm limits and the samples at which the channel
// entered or left its alarm band, fed value by value by memory read-outs and the recorder. After
// a read-out its transitions go into the audit trail and into one alarm mail.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/archive_hooks.h"
#include "platform/rtl/date_time.h"

namespace qv {

struct TDY_AlarmData {
  double Value = 0;
  std::string DateText;
  std::string TimeText;
  bool InAlarm = false;
};

struct TDY_AlarmChannel {
  std::string DeviceName;
  int32_t LoggerNo = 0;
  int32_t ChanNo = 0;
  int32_t StoreMode = 0;  // 0 minimum, 1 maximum, 2 average
  double AlarmMin = 0;
  double AlarmMax = 0;
  int32_t Decimals = 0;
  std::string Unit;
  bool AlarmAtStart = false;
  bool InAlarm = false;
  // Of each run of equal states the first and the latest sample.
  std::vector<TDY_AlarmData> Samples;
};

// One reported transition: audit event 49 to 52 and the sample's alarm line.
struct TDY_AlarmReport {
  TDY_AuditEventKind Kind;
  int32_t LoggerNo;
  std::string Text;
};

class TDY_AlarmChannelList : public TAlarmChannelsService {
public:
  explicit TDY_AlarmChannelList(const TWallClock& clock = DefaultWallClock());

  void Clear() override;
  // Channels are keyed by logger number, channel number and store mode; name, limits and
  // decimals are those of the channel's first sample.
  bool AddSample(const std::string& device_name, int32_t logger_no, int32_t chan_no, int32_t store_mode,
                 const std::string& unit, int32_t decimals, double alarm_min, double alarm_max,
                 const std::string& date_text, const std::string& time_text, double value) override;
  // Audit events 49 to 52 for every channel with more than one sample.
  void LogAlarms() override;
  // With SendEmailOnAlarmOffline: the transitions as one alarm mail, handed to the sender's
  // queue, and LastAlarmMailTime := now.
  void MailAlarms() override;

  static std::string AlarmText(const TDY_AlarmChannel& channel, const TDY_AlarmData& sample);

  // Copies, for the viewer and tests.
  std::vector<TDY_AlarmChannel> Channels() const;
  std::vector<TDY_AlarmReport> Reports() const;

private:
  const TWallClock& clock_;
  // Guards channels_: the recorder's worker adds samples while the main thread may clear the
  // list. A leaf lock; events and mails are recorded after it is released.
  mutable std::mutex mutex_;
  std::vector<TDY_AlarmChannel> channels_;
};

}  // namespace qv
