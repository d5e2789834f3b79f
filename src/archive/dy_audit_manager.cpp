#include "archive/dy_audit_manager.h"

#include <algorithm>
#include <array>
#include <sys/stat.h>

#include "archive/archive_globals.h"
#include "archive/dy_crypt.h"
#include "base/res_string.h"
#include "base/utils.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_encoding.h"

namespace qv {

std::function<std::string(int32_t user_id)> AuditUserNameOfId;

namespace {

constexpr std::array<const char*, AuditKindCount> EventNames{
    "DossalyStart",
    "DossalyEnd",
    "DossalyException",
    "UserLogon",
    "UserLogonFailure",
    "UserLogonCancel",
    "UserLogoff",
    "UserAdded",
    "UserDeleted",
    "UserChanged",
    "GroupChanged",
    "DeviceData",
    "DeviceRecorderStart",
    "DeviceRecorderStopped",
    "DeviceMemCleared",
    "DeviceClockSync",
    "DeviceConfigChanged",
    "DeviceConfigChangedExtern",
    "DeviceCreated",
    "DeviceDeleted",
    "DeviceAlarm",
    "DeviceAlarmEmail",
    "DeviceAlarmEmailError",
    "DocumentCreated",
    "DocumentChanged",
    "DocumentSaved",
    "DocumentSavedAs",
    "DocumentDeleted",
    "DocumentSigned",
    "DocumentSignedReview",
    "DocumentSignedApproval",
    "DocumentSignedResponsibility",
    "DocumentSignedAuthorship",
    "DocumentSignatureRemoved",
    "DocumentSignatureInvalid",
    "DocumentInvalid",
    "DocTypeCreated",
    "DocTypeChanged",
    "DocTypeSaved",
    "DocTypeDeleted",
    "Comment",
    "CommentChanged",
    "CommentDeleted",
    "LogonPwdOff",
    "LogonPwdOn",
    "SignPwdOff",
    "SignPwdOn",
    "AuditError",
    "UnKnown",
    "DeviceAlarmAtStart",
    "DeviceAlarmStart",
    "DeviceAlarmEnd",
    "DeviceAlarmAtEnd",
    "ArchiveAuditTrail",
};

constexpr std::array<const char*, 4> EventTypeTexts{"AET_System", "AET_Device", "AET_Document", "AET_DocType"};

void InfoBox(const std::string& key) { ArchiveInfoBox(LoadResString(key)); }

// How far back the clock may go (a change from summer time, a corrected clock) without the time
// search missing lines recorded before the step.
constexpr TDateTime ClockBackWindow = 2.0 / 24.0;

// Hex digits deciphered to find a line's time: four whole blocks hold any time text and its "|".
constexpr size_t TimeProbeHexDigits = 64;

bool LeadingTime(const std::string& plain, TDateTime& time) {
  const size_t bar = plain.find('|');
  if (bar == std::string::npos) return false;
  try {
    time = StrToFloat2(plain.substr(0, bar));
  } catch (const EConvertError&) {
    return false;
  }
  return true;
}

}  // namespace

std::string Event2EventName(TAuditKind kind) {
  const auto code = static_cast<size_t>(kind);
  if (code < EventNames.size()) return EventNames[code];
  ArchiveErrorBox("Event2EventName : unbekannter Event!");
  return "UnKnown";
}

TAuditKind EventName2Event(const std::string& name) {
  for (size_t i = 0; i < EventNames.size(); ++i)
    if (name == EventNames[i]) return static_cast<TAuditKind>(i);
  ArchiveErrorBox("TDY_AuditManager:EventName2Event : unbekannter Event!");
  return TAuditKind::UnKnown;
}

TDY_AuditEvent::TDY_AuditEvent(TAuditKind kind, TDateTime time, std::string subject, std::string comment,
                               int32_t user_id, std::string user_name)
    : Kind(kind),
      Time(time),
      Subject(std::move(subject)),
      Comment(std::move(comment)),
      UserID(user_id),
      UserName(std::move(user_name)) {}

int TDY_AuditEvent::EventType() const {
  const int code = static_cast<int>(Kind);
  if ((code >= 11 && code <= 21) || (code >= 49 && code <= 52)) return 1;
  if ((code >= 23 && code <= 35) || (code >= 40 && code <= 42)) return 2;
  if (code >= 36 && code <= 39) return 3;
  return 0;
}

std::string TDY_AuditEvent::GetEventTypeText() const {
  return LoadResString(EventTypeTexts[static_cast<size_t>(EventType())]);
}

std::string TDY_AuditEvent::GetEventText() const {
  switch (Kind) {
    case TAuditKind::DossalyStart: return LoadResString("AE_DYStart");
    case TAuditKind::DossalyEnd: return LoadResString("AE_DYEnd");
    case TAuditKind::DossalyException: return LoadResString("AE_DYException");
    case TAuditKind::DeviceRecorderStopped: return LoadResString("AE_DeviceRecorderStop");
    case TAuditKind::DeviceConfigChangedExtern: return LoadResString("AE_DeviceConfigChangeExtern");
    case TAuditKind::UnKnown:
      ArchiveErrorBox("TDY_AuditEvent:GetEventText : unbekannter Event!");
      return LoadResString("AE_Unknown");
    default: return LoadResString("AE_" + Event2EventName(Kind));
  }
}

std::string TDY_AuditEvent::EventUserName() const {
  if (!UserName.empty()) return UserName;
  return AuditUserNameOfId ? AuditUserNameOfId(UserID) : std::string();
}

std::string TDY_AuditEvent::DisplayText() const {
  std::string text = DateTimeText(Time);
  const std::string user = EventUserName();
  if (!user.empty()) text += " <" + user + ">";
  text += " [" + GetEventTypeText() + "]";
  if (!Subject.empty()) text += " (" + Subject + ")";
  text += " " + GetEventText();
  if (!Comment.empty()) text += " - " + Comment;
  return text;
}

void TDY_AuditEventList::SortByTime() {
  std::sort(events_.begin(), events_.end(),
            [](const TDY_AuditEvent& a, const TDY_AuditEvent& b) { return a.Time < b.Time; });
}

void TDY_AuditEventList::AppendCopiesTo(TDY_AuditEventList& dest) const {
  dest.events_.insert(dest.events_.end(), events_.begin(), events_.end());
}

TDateTime TDY_AuditEventList::LatestTime() {
  if (events_.empty()) return 0;
  SortByTime();
  return events_.back().Time;
}

void TDY_AuditEventList::WriteXml(TXmlLines& lines, int level) const {
  lines.push_back(XmlTagOpenClose("AuditLog", true, level));
  for (const TDY_AuditEvent& event : events_) {
    lines.push_back(XmlTagOpenClose("AuditEntry", true, level + 1));
    lines.push_back(XmlTagLine("TimeStamp", DateTimeToXmlText(event.Time), level + 2));
    lines.push_back(XmlTagLine("EventName", event.GetEventName(), level + 2));
    lines.push_back(XmlTagLine("EventText", event.GetEventText(), level + 2));
    lines.push_back(XmlTagLine("UserID", std::to_string(event.UserID), level + 2));
    lines.push_back(XmlTagLine("UserName", event.EventUserName(), level + 2));
    lines.push_back(XmlTagLine("Subject", event.Subject, level + 2));
    lines.push_back(XmlTagLine("Comment", event.Comment, level + 2));
    lines.push_back(XmlTagOpenClose("AuditEntry", false, level + 1));
  }
  lines.push_back(XmlTagOpenClose("AuditLog", false, level));
}

bool TDY_AuditEventList::ReadXml(const TXmlLineViews& lines, int& index) {
  auto line = [&](int i) { return XmlLineAt(lines, i); };
  int probe = index;
  if (!XmlHasTag(line(index), "AuditLog", true, probe)) return false;
  index = probe;
  bool ok = true;
  while (line(index).find("<AuditEntry") != std::string::npos) {
    ++index;
    TDY_AuditEvent event;
    std::string name, text;
    bool chain = XmlReadDateTime(line(index), "TimeStamp", index, event.Time);
    chain = chain && XmlReadString(line(index), "EventName", index, name);
    event.Kind = chain ? EventName2Event(name) : TAuditKind::UnKnown;
    chain = chain && XmlReadString(line(index), "EventText", index, text);
    chain = chain && XmlReadInteger(line(index), "UserID", index, event.UserID);
    chain = chain && XmlReadString(line(index), "UserName", index, event.UserName);
    chain = chain && XmlReadString(line(index), "Subject", index, event.Subject);
    if (chain) XmlReadMultiLineString(lines, "Comment", index, event.Comment);
    int after = index;
    if (chain && XmlHasTag(line(index), "AuditEntry", false, after)) {
      index = after;
      events_.push_back(std::move(event));
    } else {
      ArchiveErrorBox(LoadResString("DY_XMLParseError") + " [AuditLog]");
      ok = false;
      break;
    }
  }
  if (!ok) return false;
  ++index;  // the closing AuditLog line
  SortByTime();
  return true;
}

std::string AuditLineText(const TDY_AuditEvent& event) {
  return FloatToStrF2(TFloatFormat::ffGeneral, 15, 10, event.Time) + "|" + std::to_string(event.UserID) + "|" +
         Event2EventName(event.Kind) + "|" + event.Subject + "|" + event.Comment;
}

bool ParseAuditLine(const std::string& text, TDY_AuditEvent& event) {
  const size_t bar1 = text.find('|');
  if (bar1 == std::string::npos) return false;
  const size_t bar2 = text.find('|', bar1 + 1);
  if (bar2 == std::string::npos) return false;
  const size_t bar3 = text.find('|', bar2 + 1);
  if (bar3 == std::string::npos) return false;
  TDY_AuditEvent parsed;
  parsed.Time = StrToFloat2(text.substr(0, bar1));
  int32_t user = 0;
  parsed.UserID = TryXmlTextToInt(text.substr(bar1 + 1, bar2 - bar1 - 1), user) ? user : 0;
  parsed.Kind = EventName2Event(text.substr(bar2 + 1, bar3 - bar2 - 1));
  const size_t bar4 = text.find('|', bar3 + 1);
  if (bar4 != std::string::npos) {
    parsed.Subject = text.substr(bar3 + 1, bar4 - bar3 - 1);
    parsed.Comment = text.substr(bar4 + 1);
  }
  event = std::move(parsed);
  return true;
}

bool AuditLineTime(const std::string& hex_line, TDateTime& time) {
  try {
    // ECB: whole blocks decipher alike whether the line is taken whole or in part.
    const std::string probe = hex_line.size() > TimeProbeHexDigits ? hex_line.substr(0, TimeProbeHexDigits) : hex_line;
    if (LeadingTime(ArchiveCrypt().Decrypt(probe), time)) return true;
    return probe.size() < hex_line.size() && LeadingTime(ArchiveCrypt().Decrypt(hex_line), time);
  } catch (const Exception&) {
    return false;
  }
}

namespace {

// The search over n lines whose times at(i, t) gives.
template <class TimeAt>
int FindFirstLine(int n, TDateTime time, TimeAt&& at) {
  if (n == 0) return -1;
  int lo = 0, hi = n - 1, step = hi;
  int result = -1;
  for (;;) {
    TDateTime tlo = 0, thi = 0;
    if (!at(lo, tlo) || !at(hi, thi)) return -1;
    if (time <= tlo) {
      result = lo;
      break;
    }
    if (time > thi) {
      if (hi == n - 1) {
        result = n - 1;
        break;
      }
      lo = hi;
      hi = std::min(hi + std::max(step, 1), n - 1);
      continue;
    }
    if (step > 100) {
      step /= 2;
      // Both moves stay inside the file, also when the steps overshoot its end.
      hi = std::min(lo + step, n - 1);
      continue;
    }
    result = hi;
    for (int i = lo; i < hi; ++i) {
      TDateTime t = 0;
      if (!at(i, t) || t >= time) {
        result = i;
        break;
      }
    }
    break;
  }
  // The clock may have gone back (winter time, a corrected clock) by up to ClockBackWindow: the
  // search above assumes ascending times, so the lines of that window before the found one are
  // scanned as well, and the earliest of them at or after T is the first line.
  TDateTime found = 0;
  if (!at(result, found)) return result;
  const TDateTime floor = std::min(time, found) - ClockBackWindow;
  for (int i = result - 1; i >= 0; --i) {
    TDateTime t = 0;
    if (!at(i, t) || t < floor) break;
    if (t >= time) result = i;
  }
  return result;
}

}  // namespace

int FindFirstLineAt(const std::vector<std::string>& hex_lines, TDateTime time) {
  return FindFirstLine(static_cast<int>(hex_lines.size()), time,
                       [&](int i, TDateTime& t) { return AuditLineTime(hex_lines[static_cast<size_t>(i)], t); });
}

int FindFirstLineAt(TAuditLineIndex& index, TDateTime time) {
  return FindFirstLine(index.Count(), time, [&](int i, TDateTime& t) { return AuditLineTime(index.Line(i), t); });
}

std::vector<std::string> ReadAuditFileLines(const std::string& file_name) {
  struct stat st {};
  if (::stat(file_name.c_str(), &st) != 0) return {};
  const std::string bytes = ReadFileBytes(file_name);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

namespace {

// Deciphers and parses one trail line; false when it is no event. Raises on a line that is not
// hexadecimal or whose time is not a number.
bool DecodeLine(const std::string& hex_line, TDY_AuditEvent& event) {
  return ParseAuditLine(Cp1252ToUtf8(ArchiveCrypt().Decrypt(hex_line)), event);
}

std::string EncodeLine(const TDY_AuditEvent& event) {
  return ArchiveCrypt().Encrypt(Utf8ToCp1252(AuditLineText(event)));
}

}  // namespace

TDY_AuditManager::TDY_AuditManager(const TWallClock& clock) : clock_(clock) {}

std::string TDY_AuditManager::FileName() const { return ArchiveDataPath + "AuditLog.dat"; }

void TDY_AuditManager::SetCurrentUser(int32_t user_id, const std::string& user_name) {
  std::lock_guard lock(mutex_);
  user_id_ = user_id;
  user_name_ = user_name;
}

TDY_AuditEventList TDY_AuditManager::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

void TDY_AuditManager::RecordEvent(TAuditKind kind, const std::string& subject, const std::string& comment) {
  std::lock_guard lock(mutex_);
  // Only the file keeps the event: every reader loads what it needs from there, so a long
  // recording with alarms does not grow the program.
  AppendLine(FileName(), TDY_AuditEvent(kind, clock_.Now(), subject, comment, user_id_, user_name_));
}

void TDY_AuditManager::AppendLine(const std::string& file_name, const TDY_AuditEvent& event) {
  // A line cut by a full disk would glue the next event to it; the file keeps whole lines only.
  AppendFileWhole(file_name, EncodeLine(event) + "\r\n");
}

void TDY_AuditManager::ReadPage(const std::string& file_name, int page_size, std::vector<std::string>& lines,
                                int& first, int& last) {
  std::lock_guard lock(index_mutex_);
  index_.Update(file_name);
  const int n = index_.Count();
  if (n == 0) return;
  if (last < 0) {
    first = std::max(0, n - page_size);
    last = n - 1;
  } else {
    last = std::min(last, n - 1);
    first = std::max(0, last - page_size);
  }
  for (const std::string& line : index_.Lines(first, last)) {
    try {
      TDY_AuditEvent event;
      if (DecodeLine(line, event)) lines.push_back(event.DisplayText());
    } catch (const Exception&) {
      InfoBox("AE_AuditError");
      return;
    }
  }
}

void TDY_AuditManager::ReadRange(const std::string& file_name, int& count, std::vector<std::string>& lines, int& first,
                                 int& last, TDateTime to_time, TDateTime from_time) {
  std::lock_guard lock(index_mutex_);
  index_.Update(file_name);
  count = 0;
  first = 0;
  last = 0;
  const int n = index_.Count();
  if (n == 0) return;
  const int k = FindFirstLineAt(index_, from_time);
  if (k < 0) {
    InfoBox("AE_AuditError");
    return;
  }
  first = k;
  // The range is read a block of lines at a time and ends at its first event after ToTime.
  constexpr int Block = 512;
  for (int from = k; from < n; from += Block) {
    const std::vector<std::string> block = index_.Lines(from, from + Block - 1);
    for (size_t j = 0; j < block.size(); ++j) {
      try {
        TDY_AuditEvent event;
        if (!DecodeLine(block[j], event)) continue;
        if (event.Time > to_time) return;
        lines.push_back(event.DisplayText());
        ++count;
        last = from + static_cast<int>(j);
      } catch (const Exception&) {
        InfoBox("AE_AuditError");
        return;
      }
    }
    if (static_cast<int>(block.size()) < Block) return;
  }
}

bool TDY_AuditManager::LoadSinceLocked(TDateTime from_time, TDY_AuditEventList& into) {
  const std::vector<std::string> file_lines = ReadAuditFileLines(FileName());
  if (file_lines.empty()) return true;
  into.Clear();
  const int k = std::max(FindFirstLineAt(file_lines, from_time), 0);
  bool ok = true;
  for (size_t i = static_cast<size_t>(k); i < file_lines.size(); ++i) {
    try {
      TDY_AuditEvent event;
      if (DecodeLine(file_lines[i], event))
        into.Add(std::move(event));
      else
        ok = false;
    } catch (const Exception&) {
      ok = false;
    }
  }
  return ok;
}

void TDY_AuditManager::LoadSince(TDateTime from_time) {
  bool ok = true;
  {
    std::lock_guard lock(mutex_);
    ok = LoadSinceLocked(from_time, events_);
  }
  if (!ok) ArchiveErrorBox(LoadResString("amg_ReadLogError"));
}

void TDY_AuditManager::CollectForSubject(const std::string& subject, TDY_AuditEventList& dest, TDateTime to_time,
                                         TDateTime from_time) {
  // The loaded events are needed only here, so they are not kept beyond the call.
  TDY_AuditEventList loaded;
  bool ok = true;
  {
    std::lock_guard lock(mutex_);
    ok = LoadSinceLocked(from_time, loaded);
  }
  if (!ok) ArchiveErrorBox(LoadResString("amg_ReadLogError"));
  // Subjects are compared as the trail stores them: a character outside Windows-1252 reads
  // back as "?".
  const std::string stored = Cp1252ToUtf8(Utf8ToCp1252(subject));
  for (int i = 0; i < loaded.Count(); ++i) {
    const TDY_AuditEvent& event = loaded.Get(i);
    if (event.Subject != stored || event.Time < from_time || event.Time > to_time) continue;
    if (event.Kind == TAuditKind::DeviceAlarmEmail || event.Kind == TAuditKind::DeviceAlarmEmailError) continue;
    dest.Add(event);
  }
}

bool TDY_AuditManager::ArchiveLog(const std::string& new_file_name, TDateTime from_time) {
  bool read_ok = true;
  {
    // Held from reading the trail to the end of the rewrite, so that no event recorded meanwhile
    // is lost between the old file and the new one.
    std::lock_guard lock(mutex_);
    const std::string file_name = FileName();
    TDY_AuditEventList kept;
    read_ok = LoadSinceLocked(from_time, kept);
    std::string why;
    if (!RenameNoReplace(file_name, new_file_name, why)) {
      if (!read_ok) ArchiveErrorBox(LoadResString("amg_ReadLogError"));
      return false;
    }
    std::string bytes;
    for (int i = 0; i < kept.Count(); ++i) bytes += EncodeLine(kept.Get(i)) + "\r\n";
    WriteFileAtomic(file_name, bytes);
    AppendLine(file_name, TDY_AuditEvent(TAuditKind::ArchiveAuditTrail, clock_.Now(), new_file_name, std::string(),
                                         user_id_, user_name_));
  }
  if (!read_ok) ArchiveErrorBox(LoadResString("amg_ReadLogError"));
  return true;
}

}  // namespace qv
