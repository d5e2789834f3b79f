#pragma once
// What the logger side uses of the archive: the audit trail, the alarm list, the alarm mail,
// the alarm-mail options, the collected change details of a device configuration and the
// user-activity hook. The archive implements the services and installs them at start-up; until
// it does (and in tests) the recording stand-ins below take the calls.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qv {

// Audit event codes; the archive stores them by these names.
enum class TDY_AuditEventKind : uint8_t {
  DossalyStart,
  DossalyEnd,
  DossalyException,
  UserLogon,
  UserLogonFailure,
  UserLogonCancel,
  UserLogoff,
  UserAdded,
  UserDeleted,
  UserChanged,
  GroupChanged,
  DeviceData,
  DeviceRecorderStart,
  DeviceRecorderStopped,
  DeviceMemCleared,
  DeviceClockSync,
  DeviceConfigChanged,
  DeviceConfigChangedExtern,
  DeviceCreated,
  DeviceDeleted,
  DeviceAlarm,
  DeviceAlarmEmail,
  DeviceAlarmEmailError,
  DocumentCreated,
  DocumentChanged,
  DocumentSaved,
  DocumentSavedAs,
  DocumentDeleted,
  DocumentSigned,
  DocumentSignedReview,
  DocumentSignedApproval,
  DocumentSignedResponsibility,
  DocumentSignedAuthorship,
  DocumentSignatureRemoved,
  DocumentSignatureInvalid,
  DocumentInvalid,
  DocTypeCreated,
  DocTypeChanged,
  DocTypeSaved,
  DocTypeDeleted,
  Comment,
  CommentChanged,
  CommentDeleted,
  LogonPwdOff,
  LogonPwdOn,
  SignPwdOff,
  SignPwdOn,
  AuditError,
  UnKnown,
  DeviceAlarmAtStart,
  DeviceAlarmStart,
  DeviceAlarmEnd,
  DeviceAlarmAtEnd,
  ArchiveAuditTrail
};

// The audit trail as the logger side records into it. May be called from the recorder's worker
// thread; the implementation serializes its appends.
class TAuditService {
public:
  virtual ~TAuditService() = default;
  void AddEvent(TDY_AuditEventKind kind) { RecordEvent(kind, std::string(), std::string()); }
  void AddEvent(TDY_AuditEventKind kind, const std::string& subject) { RecordEvent(kind, subject, std::string()); }
  void AddEvent(TDY_AuditEventKind kind, const std::string& subject, const std::string& comment) {
    RecordEvent(kind, subject, comment);
  }

protected:
  virtual void RecordEvent(TDY_AuditEventKind kind, const std::string& subject, const std::string& comment) = 0;
};

// The alarm list fed by memory read-outs and the recorder.
class TAlarmChannelsService {
public:
  virtual ~TAlarmChannelsService() = default;
  virtual void Clear() = 0;
  // Records one value; answers whether it is in alarm.
  virtual bool AddSample(const std::string& device_name, int32_t logger_no, int32_t chan_no, int32_t store_mode,
                         const std::string& unit, int32_t decimals, double alarm_min, double alarm_max,
                         const std::string& date_text, const std::string& time_text, double value) = 0;
  virtual void LogAlarms() = 0;
  virtual void MailAlarms() = 0;
};

// The alarm e-mail sender.
class TAlarmMailService {
public:
  virtual ~TAlarmMailService() = default;
  // Answers success; the sender records success and failure in the audit trail unless quiet.
  virtual bool SendAlarmMail(const std::string& text, int32_t logger_no, bool quiet) = 0;
  // Queues the mail and returns at once: a server that hangs holds up neither the recording nor
  // the window. The sender records success and failure in the audit trail.
  virtual void PostAlarmMail(const std::string& text, int32_t logger_no) = 0;
};

// Installed by the archive; null until then.
extern TAuditService* AuditManager;
extern TAlarmChannelsService* AlarmChannels;
extern TAlarmMailService* SendMail;

inline constexpr size_t MaxPendingAuditEvents = 1000;
// Records through AuditManager; before one exists the events are kept, in order, until the
// archive takes them with TakePendingAuditEvents. Any thread. At most MaxPendingAuditEvents are
// kept; the rest are counted, and the events handed over end with an AuditError event that says
// how many were not kept.
void AddAuditEvent(TDY_AuditEventKind kind, const std::string& subject = std::string(),
                   const std::string& comment = std::string());
struct TPendingAuditEvent {
  TDY_AuditEventKind Kind;
  std::string Subject;
  std::string Comment;
};
std::vector<TPendingAuditEvent> TakePendingAuditEvents();
// Installs the archive's audit trail (null removes it): under the lock that AddAuditEvent takes,
// the events kept so far are handed to it in order, then it becomes AuditManager. When handing an
// event over fails, that event and the rest stay kept, nothing is installed and the error passes.
void InstallAuditService(TAuditService* service);

// A value outside [alarm_min, alarm_max] that is not the missing-value marker.
bool IsAlarmValue(double value, double alarm_min, double alarm_max);

// Archive options that the recorder's worker reads while the options dialog may change them.
extern std::atomic<bool> SendEmailOnAlarmRecorder;
extern std::atomic<bool> AlwaysSendAlarmEmail;
extern std::atomic<double> SendAlarmEmailInterval;  // date-time span, 15 minutes by default
extern std::atomic<double> LastAlarmMailTime;       // date-time of the last alarm mail, 0 for none
// While true, a change of the selected device closes an idle connection; the device handler
// holds it off while it selects the logger it has just read.
extern std::atomic<bool> DisconnectOnDevChange;

// Details of a device-configuration change, collected by the editors and recorded by the
// explorer dialog as one audit event. Main thread only.
extern std::string ChangeSubject;
extern std::string ChangeDetails;
// Appends a blank (when details exist), then CR LF and Item (when given), then, when Old is not
// empty, " " + "audit_From" + ": " + Old + " " + "audit_To" + ": " + New (keys translated).
void AddChangeDetail(const std::string& item, const std::string& old_value, const std::string& new_value);

// Called first by every user event of the logger side's dialogs and editors; the archive's
// window installs the hook that restarts its inactivity timer. Main thread only.
void NoteUserActivity();
// Answers the hook it replaces.
std::function<void()> SetUserActivityHook(std::function<void()> hook);

// --- Stand-ins that record the calls, for tests and for running without the archive. ---

struct TRecordedAuditEvent {
  TDY_AuditEventKind Kind;
  std::string Subject;
  std::string Comment;
};

class TRecordingAuditService : public TAuditService {
public:
  std::vector<TRecordedAuditEvent> Events() const;
  void ClearEvents();

protected:
  void RecordEvent(TDY_AuditEventKind kind, const std::string& subject, const std::string& comment) override;

private:
  mutable std::mutex mutex_;  // guards events_; the recorder's worker records too
  std::vector<TRecordedAuditEvent> events_;
};

struct TRecordedAlarmSample {
  std::string DeviceName;
  int32_t LoggerNo;
  int32_t ChanNo;
  int32_t StoreMode;
  std::string Unit;
  int32_t Decimals;
  double AlarmMin;
  double AlarmMax;
  std::string DateText;
  std::string TimeText;
  double Value;
};

// Keeps every sample and counts the list operations; AddSample answers IsAlarmValue.
class TRecordingAlarmChannels : public TAlarmChannelsService {
public:
  void Clear() override;
  bool AddSample(const std::string& device_name, int32_t logger_no, int32_t chan_no, int32_t store_mode,
                 const std::string& unit, int32_t decimals, double alarm_min, double alarm_max,
                 const std::string& date_text, const std::string& time_text, double value) override;
  void LogAlarms() override;
  void MailAlarms() override;

  std::vector<TRecordedAlarmSample> Samples() const;
  int ClearCount() const;
  int LogCount() const;
  int MailCount() const;

private:
  mutable std::mutex mutex_;  // guards everything below; samples come from the worker too
  std::vector<TRecordedAlarmSample> samples_;
  int clear_count_ = 0;
  int log_count_ = 0;
  int mail_count_ = 0;
};

struct TRecordedMail {
  std::string Text;
  int32_t LoggerNo;
  bool Quiet;
};

class TRecordingAlarmMail : public TAlarmMailService {
public:
  bool SendAlarmMail(const std::string& text, int32_t logger_no, bool quiet) override;
  // Recorded as a mail that is not quiet.
  void PostAlarmMail(const std::string& text, int32_t logger_no) override;
  std::vector<TRecordedMail> Mails() const;
  std::atomic<bool> Result{true};  // what SendAlarmMail answers

private:
  mutable std::mutex mutex_;  // guards mails_
  std::vector<TRecordedMail> mails_;
};

// Installs the three recording stand-ins and a counting activity hook for its lifetime, clears
// the change details, and puts back what was installed before.
class TArchiveStandIns {
public:
  TArchiveStandIns();
  ~TArchiveStandIns();
  TArchiveStandIns(const TArchiveStandIns&) = delete;
  TArchiveStandIns& operator=(const TArchiveStandIns&) = delete;

  TRecordingAuditService Audit;
  TRecordingAlarmChannels Alarms;
  TRecordingAlarmMail Mail;
  int UserActivity = 0;

private:
  TAuditService* old_audit_;
  TAlarmChannelsService* old_alarms_;
  TAlarmMailService* old_mail_;
  std::function<void()> old_activity_;
};

}  // namespace qv
