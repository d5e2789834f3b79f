#include "base/archive_hooks.h"

#include <utility>

#include "base/res_string.h"

namespace qv {

TAuditService* AuditManager = nullptr;
TAlarmChannelsService* AlarmChannels = nullptr;
TAlarmMailService* SendMail = nullptr;

std::atomic<bool> SendEmailOnAlarmRecorder{false};
std::atomic<bool> AlwaysSendAlarmEmail{false};
std::atomic<double> SendAlarmEmailInterval{15.0 / 1440.0};
std::atomic<double> LastAlarmMailTime{0.0};
std::atomic<bool> DisconnectOnDevChange{true};

std::string ChangeSubject;
std::string ChangeDetails;

namespace {

// The data store's missing-value marker; values are clamped to it, so anything at or below it
// is missing.
constexpr double MissingValue = -1.501e38;

// Guards pending_events and the installing of AuditManager; taken before the audit trail's own
// lock (the kept events are handed over under it).
std::mutex pending_mutex;
std::vector<TPendingAuditEvent> pending_events;
size_t pending_dropped = 0;  // events beyond MaxPendingAuditEvents, not kept

// Puts the note of the events not kept behind the kept ones, so that the trail says so.
void NoteDroppedEvents() {
  if (pending_dropped == 0) return;
  pending_events.push_back({TDY_AuditEventKind::AuditError, std::string(),
                            std::to_string(pending_dropped) + " events before the audit trail started were not kept"});
  pending_dropped = 0;
}

std::function<void()> activity_hook;  // set by the archive window; main thread only

}  // namespace

void AddAuditEvent(TDY_AuditEventKind kind, const std::string& subject, const std::string& comment) {
  // The lock is held through the append: the trail cannot be uninstalled and freed while an
  // event from another thread is being written to it.
  std::lock_guard lock(pending_mutex);
  if (!AuditManager) {
    // The archive may never start (it failed to): the kept events stay bounded.
    if (pending_events.size() < MaxPendingAuditEvents)
      pending_events.push_back({kind, subject, comment});
    else
      ++pending_dropped;
    return;
  }
  AuditManager->AddEvent(kind, subject, comment);
}

void InstallAuditService(TAuditService* service) {
  std::lock_guard lock(pending_mutex);
  if (service) {
    NoteDroppedEvents();
    size_t handed = 0;
    try {
      for (; handed < pending_events.size(); ++handed) {
        const TPendingAuditEvent& event = pending_events[handed];
        service->AddEvent(event.Kind, event.Subject, event.Comment);
      }
    } catch (...) {
      pending_events.erase(pending_events.begin(), pending_events.begin() + static_cast<std::ptrdiff_t>(handed));
      throw;
    }
    pending_events.clear();
  }
  AuditManager = service;
}

std::vector<TPendingAuditEvent> TakePendingAuditEvents() {
  std::lock_guard lock(pending_mutex);
  NoteDroppedEvents();
  return std::exchange(pending_events, {});
}

bool IsAlarmValue(double value, double alarm_min, double alarm_max) {
  if (value <= MissingValue) return false;
  return value < alarm_min || value > alarm_max;
}

void AddChangeDetail(const std::string& item, const std::string& old_value, const std::string& new_value) {
  if (!ChangeDetails.empty()) ChangeDetails += " ";
  if (!item.empty()) ChangeDetails += "\r\n" + item;
  if (!old_value.empty())
    ChangeDetails +=
        " " + LoadResString("audit_From") + ": " + old_value + " " + LoadResString("audit_To") + ": " + new_value;
}

void NoteUserActivity() {
  if (activity_hook) activity_hook();
}

std::function<void()> SetUserActivityHook(std::function<void()> hook) {
  std::swap(activity_hook, hook);
  return hook;
}

// --- stand-ins ---

void TRecordingAuditService::RecordEvent(TDY_AuditEventKind kind, const std::string& subject,
                                         const std::string& comment) {
  std::lock_guard lock(mutex_);
  events_.push_back({kind, subject, comment});
}

std::vector<TRecordedAuditEvent> TRecordingAuditService::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

void TRecordingAuditService::ClearEvents() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

void TRecordingAlarmChannels::Clear() {
  std::lock_guard lock(mutex_);
  ++clear_count_;
}

bool TRecordingAlarmChannels::AddSample(const std::string& device_name, int32_t logger_no, int32_t chan_no,
                                        int32_t store_mode, const std::string& unit, int32_t decimals, double alarm_min,
                                        double alarm_max, const std::string& date_text, const std::string& time_text,
                                        double value) {
  std::lock_guard lock(mutex_);
  samples_.push_back(
      {device_name, logger_no, chan_no, store_mode, unit, decimals, alarm_min, alarm_max, date_text, time_text, value});
  return IsAlarmValue(value, alarm_min, alarm_max);
}

void TRecordingAlarmChannels::LogAlarms() {
  std::lock_guard lock(mutex_);
  ++log_count_;
}

void TRecordingAlarmChannels::MailAlarms() {
  std::lock_guard lock(mutex_);
  ++mail_count_;
}

std::vector<TRecordedAlarmSample> TRecordingAlarmChannels::Samples() const {
  std::lock_guard lock(mutex_);
  return samples_;
}

int TRecordingAlarmChannels::ClearCount() const {
  std::lock_guard lock(mutex_);
  return clear_count_;
}

int TRecordingAlarmChannels::LogCount() const {
  std::lock_guard lock(mutex_);
  return log_count_;
}

int TRecordingAlarmChannels::MailCount() const {
  std::lock_guard lock(mutex_);
  return mail_count_;
}

bool TRecordingAlarmMail::SendAlarmMail(const std::string& text, int32_t logger_no, bool quiet) {
  std::lock_guard lock(mutex_);
  mails_.push_back({text, logger_no, quiet});
  return Result.load();
}

void TRecordingAlarmMail::PostAlarmMail(const std::string& text, int32_t logger_no) {
  std::lock_guard lock(mutex_);
  mails_.push_back({text, logger_no, false});
}

std::vector<TRecordedMail> TRecordingAlarmMail::Mails() const {
  std::lock_guard lock(mutex_);
  return mails_;
}

TArchiveStandIns::TArchiveStandIns() : old_audit_(AuditManager), old_alarms_(AlarmChannels), old_mail_(SendMail) {
  AuditManager = &Audit;
  AlarmChannels = &Alarms;
  SendMail = &Mail;
  old_activity_ = SetUserActivityHook([this] { ++UserActivity; });
  ChangeSubject.clear();
  ChangeDetails.clear();
}

TArchiveStandIns::~TArchiveStandIns() {
  AuditManager = old_audit_;
  AlarmChannels = old_alarms_;
  SendMail = old_mail_;
  SetUserActivityHook(std::move(old_activity_));
  ChangeSubject.clear();
  ChangeDetails.clear();
}

}  // namespace qv
