#pragma once
// The audit trail: every traceable event is appended at once as one enciphered line to
// "AuditLog.dat" in the archive data folder (the file is not held open between events), read back
// by page and by time range for the viewer, archived into a file of its own, and written into and
// read from the audit-log element of documents.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "archive/audit_line_index.h"
#include "archive/xml_lines.h"
#include "base/archive_hooks.h"
#include "platform/rtl/date_time.h"

namespace qv {

using TAuditKind = TDY_AuditEventKind;
inline constexpr int AuditKindCount = 54;

// The stored name of an event code; "UnKnown" (with an error box) outside the table.
std::string Event2EventName(TAuditKind kind);
// The code of a stored name (exact match); UnKnown (with an error box) for any other name.
TAuditKind EventName2Event(const std::string& name);

class TDY_AuditEvent {
public:
  TDY_AuditEvent() = default;
  TDY_AuditEvent(TAuditKind kind, TDateTime time, std::string subject, std::string comment, int32_t user_id,
                 std::string user_name);

  // 0 system, 1 device, 2 document, 3 document type.
  int EventType() const;
  std::string GetEventTypeText() const;
  std::string GetEventText() const;
  std::string GetEventName() const { return Event2EventName(Kind); }
  std::string EventUserName() const;
  std::string DisplayText() const;

  TAuditKind Kind = TAuditKind::UnKnown;
  TDateTime Time = 0;
  std::string Subject;
  std::string Comment;
  int32_t UserID = -1;
  std::string UserName;
};

// Looks a user's name up by id for events read from the file; the user manager installs it.
extern std::function<std::string(int32_t user_id)> AuditUserNameOfId;

class TDY_AuditEventList {
public:
  void Add(TDY_AuditEvent event) { events_.push_back(std::move(event)); }
  const TDY_AuditEvent& Get(int index) const { return events_.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(events_.size()); }
  void Clear() { events_.clear(); }
  // By Time, ascending; equal times in no defined order.
  void SortByTime();
  void AppendCopiesTo(TDY_AuditEventList& dest) const;
  // The latest Time, 0 when empty (sorts first).
  TDateTime LatestTime();

  // The audit-log element of documents.
  void WriteXml(TXmlLines& lines, int level) const;
  bool ReadXml(const TXmlLineViews& lines, int& index);

private:
  std::vector<TDY_AuditEvent> events_;
};

// One line of the trail, deciphered: false when it is no event.
bool ParseAuditLine(const std::string& text, TDY_AuditEvent& event);
// The plain text of an event's line, before enciphering.
std::string AuditLineText(const TDY_AuditEvent& event);

class TDY_AuditManager : public TAuditService {
public:
  explicit TDY_AuditManager(const TWallClock& clock = DefaultWallClock());

  // ArchiveDataPath + "AuditLog.dat", taken at every use.
  std::string FileName() const;

  // The user logged on now; the user manager keeps it up to date. Any thread.
  void SetCurrentUser(int32_t user_id, const std::string& user_name);

  // Display lines of one page of a trail file; Last < 0 asks for the last page. Only the page's
  // lines are read: where the file's lines lie is learned once and kept up to date.
  void ReadPage(const std::string& file_name, int page_size, std::vector<std::string>& lines, int& first, int& last);
  // Display lines of the events from FromTime to ToTime.
  void ReadRange(const std::string& file_name, int& count, std::vector<std::string>& lines, int& first, int& last,
                 TDateTime to_time, TDateTime from_time);
  // Replaces the event list by the trail's events from the first line at or after FromTime.
  void LoadSince(TDateTime from_time);
  // Adds to dest the events of subject (compared as stored) from FromTime to ToTime, without the
  // alarm-mail events.
  void CollectForSubject(const std::string& subject, TDY_AuditEventList& dest, TDateTime to_time, TDateTime from_time);
  // Moves the trail to NewFileName and starts a new one with the events from FromTime on; false
  // (nothing changed) when the file cannot be moved there, also when NewFileName exists.
  bool ArchiveLog(const std::string& new_file_name, TDateTime from_time);

  // A copy of the events of the last LoadSince. Recorded events are kept in the file only.
  TDY_AuditEventList Events() const;

protected:
  void RecordEvent(TAuditKind kind, const std::string& subject, const std::string& comment) override;

private:
  void AppendLine(const std::string& file_name, const TDY_AuditEvent& event);
  // Replaces into by the trail's events from the first line at or after from_time (into stays
  // as it is without a line); false when a line was no event or failed.
  bool LoadSinceLocked(TDateTime from_time, TDY_AuditEventList& into);

  const TWallClock& clock_;
  // Where the lines of the file last shown lie; the viewer's reads only (main thread).
  std::mutex index_mutex_;
  TAuditLineIndex index_;
  // Guards events_, the current user and every write of the trail file (appends from the main
  // thread and the recorder's worker, and archiving). Taken after the pending-event lock of the
  // base services, before the cipher's.
  mutable std::mutex mutex_;
  TDY_AuditEventList events_;
  int32_t user_id_ = -1;
  std::string user_name_;
};

// Time of an enciphered trail line; false when it has none.
bool AuditLineTime(const std::string& hex_line, TDateTime& time);
// The first line at or after T in lines of ascending times, the last line for a T after it, -1
// when a probed line has no time. Lines out of order within two hours before the found line (the
// clock went back) are searched as well.
int FindFirstLineAt(const std::vector<std::string>& hex_lines, TDateTime time);
int FindFirstLineAt(TAuditLineIndex& index, TDateTime time);
// The lines of a text file, split at CR LF, CR or LF; empty when the file does not exist.
std::vector<std::string> ReadAuditFileLines(const std::string& file_name);

}  // namespace qv
