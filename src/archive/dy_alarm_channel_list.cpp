#include "archive/dy_alarm_channel_list.h"

#include <algorithm>

#include "archive/archive_globals.h"
#include "base/res_string.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format_settings.h"

namespace qv {

namespace {

std::string AlarmNumber(double value, int32_t decimals) {
  return FloatToStrF(value, TFloatFormat::ffFixed, 15, std::clamp(decimals, 0, 18),
                     CurrentFormatSettings().DecimalSeparator);
}

const char* StoreModeKey(int32_t mode) {
  switch (mode) {
    case 0: return "audit_StoreModeMin";
    case 1: return "audit_StoreModeMax";
    case 2: return "audit_StoreModeAvg";
    default: return nullptr;
  }
}

// The mail line's caption of an event.
const char* MailKey(TDY_AuditEventKind kind) {
  switch (kind) {
    case TDY_AuditEventKind::DeviceAlarmAtStart: return "AE_DeviceAlarmAtStart";
    case TDY_AuditEventKind::DeviceAlarmStart: return "AE_DeviceAlarmStart";
    case TDY_AuditEventKind::DeviceAlarmEnd: return "AE_DeviceAlarmEnd";
    default: return "AE_DeviceAlarmAtEnd";
  }
}

}  // namespace

TDY_AlarmChannelList::TDY_AlarmChannelList(const TWallClock& clock) : clock_(clock) {}

void TDY_AlarmChannelList::Clear() {
  std::lock_guard lock(mutex_);
  channels_.clear();
}

bool TDY_AlarmChannelList::AddSample(const std::string& device_name, int32_t logger_no, int32_t chan_no,
                                     int32_t store_mode, const std::string& unit, int32_t decimals, double alarm_min,
                                     double alarm_max, const std::string& date_text, const std::string& time_text,
                                     double value) {
  const bool state = IsAlarmValue(value, alarm_min, alarm_max);
  std::lock_guard lock(mutex_);
  auto it = std::find_if(channels_.begin(), channels_.end(), [&](const TDY_AlarmChannel& c) {
    return c.LoggerNo == logger_no && c.ChanNo == chan_no && c.StoreMode == store_mode;
  });
  if (it == channels_.end()) {
    TDY_AlarmChannel channel;
    channel.DeviceName = device_name;
    channel.LoggerNo = logger_no;
    channel.ChanNo = chan_no;
    channel.StoreMode = store_mode;
    channel.AlarmMin = alarm_min;
    channel.AlarmMax = alarm_max;
    channel.Decimals = decimals;
    channel.Unit = unit;
    channel.AlarmAtStart = state;
    channel.InAlarm = state;
    channel.Samples.push_back({value, date_text, time_text, state});
    channels_.push_back(std::move(channel));
    return state;
  }
  std::vector<TDY_AlarmData>& samples = it->Samples;
  // A run of equal states keeps its first sample and its latest: a later sample replaces the
  // latest unless the last kept one is the first of its run.
  const bool last_starts_run = samples.size() == 1 || samples[samples.size() - 2].InAlarm != samples.back().InAlarm;
  if (state != it->InAlarm || last_starts_run) {
    samples.push_back({value, date_text, time_text, state});
  } else {
    samples.back().Value = value;
    samples.back().DateText = date_text;
    samples.back().TimeText = time_text;
  }
  it->InAlarm = state;
  return state;
}

std::string TDY_AlarmChannelList::AlarmText(const TDY_AlarmChannel& channel, const TDY_AlarmData& sample) {
  const char* mode_key = StoreModeKey(channel.StoreMode);
  return LoadResString("AlarmTime") + ": " + sample.DateText + " " + sample.TimeText + " " +
         LoadResString("AlarmDevice") + ": " + channel.DeviceName + " " + LoadResString("chn_Channel") + ": " +
         std::to_string(channel.ChanNo) + " [" + (mode_key ? LoadResString(mode_key) : std::string()) + "] " +
         LoadResString("AlarmValue") + ": " + AlarmNumber(sample.Value, channel.Decimals) + " " + channel.Unit + " " +
         LoadResString("gci_AlarmMin") + ": " + AlarmNumber(channel.AlarmMin, channel.Decimals) + " " +
         LoadResString("gci_AlarmMax") + ":." + AlarmNumber(channel.AlarmMax, channel.Decimals);
}

std::vector<TDY_AlarmChannel> TDY_AlarmChannelList::Channels() const {
  std::lock_guard lock(mutex_);
  return channels_;
}

std::vector<TDY_AlarmReport> TDY_AlarmChannelList::Reports() const {
  std::vector<TDY_AlarmReport> reports;
  std::lock_guard lock(mutex_);
  for (const TDY_AlarmChannel& c : channels_) {
    if (c.Samples.size() < 2) continue;
    if (c.AlarmAtStart)
      reports.push_back({TDY_AuditEventKind::DeviceAlarmAtStart, c.LoggerNo, AlarmText(c, c.Samples.front())});
    bool previous = c.AlarmAtStart;
    for (const TDY_AlarmData& s : c.Samples) {
      if (s.InAlarm != previous)
        reports.push_back({s.InAlarm ? TDY_AuditEventKind::DeviceAlarmStart : TDY_AuditEventKind::DeviceAlarmEnd,
                           c.LoggerNo, AlarmText(c, s)});
      previous = s.InAlarm;
    }
    if (c.InAlarm)
      reports.push_back({TDY_AuditEventKind::DeviceAlarmAtEnd, c.LoggerNo, AlarmText(c, c.Samples.back())});
  }
  return reports;
}

void TDY_AlarmChannelList::LogAlarms() {
  for (const TDY_AlarmReport& r : Reports()) AddAuditEvent(r.Kind, std::to_string(r.LoggerNo), r.Text);
}

void TDY_AlarmChannelList::MailAlarms() {
  if (!SendEmailOnAlarmOffline) return;
  std::string text;
  for (const TDY_AlarmReport& r : Reports()) {
    if (!text.empty()) text += "\r\n";
    text += LoadResString(MailKey(r.Kind)) + " " + r.Text;
  }
  int32_t logger_no = 0;
  {
    std::lock_guard lock(mutex_);
    if (!channels_.empty()) logger_no = channels_.back().LoggerNo;
  }
  if (text.empty() || !SendEmailOnAlarmOffline || !SendMail) return;
  SendMail->PostAlarmMail(text, logger_no);
  LastAlarmMailTime = Now(clock_);
}

}  // namespace qv
