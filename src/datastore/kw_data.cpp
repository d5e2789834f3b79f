#include "datastore/kw_data.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/app_globals.h"
#include "base/file_stream2.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "datastore/channels.h"
#include "datastore/data_file.h"
#include "datastore/fdt_data.h"
#include "datastore/kw_week.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/store_changed.h"
#include "platform/rtl/stream.h"

namespace qv {

namespace {

bool Complete(const TDtStamp& s) { return s.Date != NoDayNo && s.Time != -1; }
// The later of two stamps; an unset one counts as earliest.
TDtStamp LaterOf(const TDtStamp& a, const TDtStamp& b) {
  if (!Complete(a)) return b;
  if (!Complete(b)) return a;
  return DtStampLater(b, a) ? b : a;
}

}  // namespace

TKwData::TKwData(std::string dir, TChannels* channels, TDtRecord* rec) : TDtData(std::move(dir), rec) {
  SetChannels(channels);
  ScanFolder();
}

std::string TKwData::DefineIdent() {
  // Relative to the program folder, so that stored references survive a move of the whole
  // installation; a folder elsewhere keeps its full path.
  std::string folder = Path;
  if (!ExePath.empty() && folder.compare(0, ExePath.size(), ExePath) == 0) folder.erase(0, ExePath.size());
  return ClassName() + "@" + folder;
}

bool TKwData::NoData() { return !HasKwFile(Path); }

void TKwData::SetName(const std::string& text) {
  if (!StoreChanged(DispName, text)) return;
  NotifyClients(deNameChanged);
}

void TKwData::SetSName(const std::string& text) {
  if (!StoreChanged(DispSName, text)) return;
  NotifyClients(deNameChanged);
}

void TKwData::ScanFolder() {
  const std::vector<int32_t> keys = ScanKwFolder(Path);
  const int32_t size = Rec()->Size();
  TDtRecord rec(DtRec()->ValueCount());
  // Reads the first or the last record of a week's file; false when it has none or cannot be read.
  auto probe = [&](int32_t key, bool first) {
    std::string name = FindFileIgnoringCase(Path, KwFileNameOfKey(key));
    if (name.empty()) return false;
    try {
      TFileStream2 file(name, fmOpenRead | fmShareDenyNone);
      std::unique_ptr<TChannels> file_channels;
      TDataFileHead head = ReadFileChannels(file, file_channels, Channels(), size);
      if (head.RecordCount == 0) return false;
      file.SetPosition(head.RecordsPos + (first ? 0 : (head.RecordCount - 1) * size));
      rec.SRead(file);
      return true;
    } catch (const Exception& e) {
      ReportDataMessage(name + ": " + e.Message(), mkError);
      return false;
    }
  };
  size_t oldest = keys.size();
  for (size_t i = 0; i < keys.size(); ++i) {
    if (probe(keys[i], true)) {
      NoteOldest(TDtStamp{rec.Date, rec.Time});
      oldest = i;
      break;
    }
  }
  for (size_t i = keys.size(); i-- > oldest;) {
    if (probe(keys[i], false)) {
      NoteNewest(rec);
      break;
    }
  }
}

// One week's part of a read: its file, opened and checked, and what it contributes.
struct TKwData::WeekRead {
  std::string name;
  bool filtered = false;  // the first or last week of the window: only its records inside are kept
  std::unique_ptr<TFileStream2> file;
  TDataFileHead head;
  // What the week can add at most: a filtered week is read whole and cut down in place.
  int64_t Bytes(int32_t size) const { return head.RecordCount * size; }
};

int32_t TKwData::ReadData() {
  TDataLock lock(*this);
  if (!Complete(RangeStart) || !Complete(RangeStop) || DtStampLater(RangeStart, RangeStop)) return drRefused;
  const TDtStamp start = RangeStart;
  const TDtStamp stop = RangeStop;
  RangeStart = RangeStop = NoDtStamp;
  TDtStamp end_excl = stop;
  IncDtStampSecs(end_excl, 1);
  const int32_t size = Rec()->Size();
  const std::vector<int32_t> keys = KwKeysOfDays(start.Date, stop.Date);
  // First every week is opened and measured, so that the buffer is allocated once, at the size
  // of what it can hold.
  std::vector<std::unique_ptr<WeekRead>> weeks;
  int64_t total = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    auto week = std::make_unique<WeekRead>();
    week->filtered = i == 0 || i + 1 == keys.size();
    if (!PrepareWeek(keys[i], *week)) continue;
    total += week->Bytes(size);
    weeks.push_back(std::move(week));
  }
  if (weeks.empty()) return drRefused;
  // More than one week: the buffer is allocated once for all of them and filled in place (growing
  // it week by week would leave it up to twice as large as its records).
  const int64_t base = BufferSize();
  int64_t fill = base;
  if (weeks.size() > 1) {
    GuardMemory("TKwData.ReadData", [&] {
      CheckGrowth(total, "TKwData.ReadData");
      Buffer()->Reserve(base + total);
    });
  }
  for (auto& week : weeks) AppendWeek(*week, start, end_excl, fill);
  if (BufferSize() != fill) Buffer()->SetSize(fill);
  SetPositions(base == 0, static_cast<int32_t>(base));
  return drDone;
}

bool TKwData::PrepareWeek(int32_t key, WeekRead& week) {
  // The file of the exact name is opened straight away (the open tells whether it is there); a
  // name in other case is looked for in the folder only when that fails.
  const std::string file_name = KwFileNameOfKey(key);
  week.name = Path + file_name;
  try {
    try {
      week.file = std::make_unique<TFileStream2>(week.name, fmOpenRead | fmShareDenyNone);
    } catch (const EFOpenError&) {
      week.name = FindFileIgnoringCase(Path, file_name);
      if (week.name.empty()) return false;
      week.file = std::make_unique<TFileStream2>(week.name, fmOpenRead | fmShareDenyNone);
    }
    std::unique_ptr<TChannels> file_channels;
    // One seek measures the file (Size would take three); the head starts from the beginning anyway.
    const int64_t file_size = week.file->Seek(0, TSeekOrigin::soEnd);
    week.head = ReadFileChannels(*week.file, file_channels, Channels(), Rec()->Size(), file_size);
    if (week.head.TrailingBytes > 0) {
      ReportDataMessage(
          week.name + ": " + std::to_string(week.head.TrailingBytes) + " bytes of a cut-off record ignored",
          mkDiagnoseOnly);
    }
    return week.head.RecordCount > 0;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMem("TKwData.ReadData");
  } catch (const Exception& e) {
    // One unreadable week must not hide the others; its file stays as it is.
    ReportDataMessage(week.name + ": " + e.Message(), mkError);
    return false;
  }
}

void TKwData::AppendWeek(WeekRead& week, const TDtStamp& start, const TDtStamp& end_excl, int64_t& fill) {
  const int32_t size = Rec()->Size();
  const int64_t first_pos = fill;
  try {
    CheckGrowth(fill + week.Bytes(size) - BufferSize(), "TKwData.ReadData");
    Buffer()->SetPosition(fill);
    CopyHeadRecords(*week.file, week.head, week.head.RecordCount, size, *Buffer());
  } catch (const EDatOutOfMemError&) {
    throw;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMem("TKwData.ReadData");
  } catch (const Exception& e) {
    // What was copied of this week is overwritten by the next one or cut off at the end.
    ReportDataMessage(week.name + ": " + e.Message(), mkError);
    return;
  }
  week.file.reset();
  week.head.Bytes = {};
  uint8_t* records = Buffer()->Memory() + first_pos;
  int64_t count = week.head.RecordCount;
  TDtStamp last_read = NoDtStamp;
  if (week.filtered) {
    // The week's records inside the window are moved to where the week starts.
    const TRecordRun run = FilterRecords(records, count, size, start, end_excl);
    if (run.LastRead >= 0) last_read = RecordStampOf(records + run.LastRead * size);
    if (run.Count > 0 && run.First > 0) {
      std::memmove(records, records + run.First * size, static_cast<size_t>(run.Count * size));
    }
    count = run.Count;
  }
  fill = first_pos + count * size;
  if (count > 0) {
    if (!Complete(RangeStart)) RangeStart = RecordStampOf(records);
    if (!week.filtered) RangeStop = LaterOf(RangeStop, RecordStampOf(records + (count - 1) * size));
  }
  if (week.filtered && Complete(RangeStart) && Complete(last_read)) RangeStop = LaterOf(RangeStop, last_read);
}

int32_t TKwData::WriteData() {
  TDataLock lock(*this);
  const int32_t size = Rec()->Size();
  const int64_t total = BufferSize();
  if (!HasBuffer() || AppendPos() < 0 || AppendPos() + size > total) return drDone;
  const int64_t saved_pos = StreamPosition();
  int32_t result = drDone;
  bool failed = false;
  // The weeks' folder is flushed once, after all of them are renamed into place.
  TAtomicWriteBatch batch;
  int64_t pos = AppendPos();
  while (pos + size <= total) {
    // A run: the records of one ISO week, Monday to Sunday.
    uint16_t day = RecordStampOf(Buffer()->Memory() + pos).Date;
    TDtStamp monday{day, 0};
    IsoWeekStart(day, monday);
    const int32_t week_end = int32_t{monday.Date} + 7;
    int64_t end = pos + size;
    while (end + size <= total) {
      int32_t d = RecordStampOf(Buffer()->Memory() + end).Date;
      if (d < monday.Date || d >= week_end) break;
      end += size;
    }
    result = WriteWeek(KwKeyOfDayNo(day), pos, end);
    if (result != drDone) failed = true;
    pos = end;
  }
  Buffer()->SetPosition(saved_pos);
  return failed ? drWeekNotWritten : result;
}

int32_t TKwData::WriteWeek(int32_t key, int64_t first, int64_t end) {
  const std::string file_name = KwFileNameOfKey(key);
  const std::string existing = FindFileIgnoringCase(Path, file_name);
  const int32_t size = Rec()->Size();
  try {
    if (existing.empty()) {
      // A new week: the run is sorted and was checked record by record when it was inserted,
      // so it is the file's content as it stands.
      WriteDataFile(
          Path + file_name, [&](TStream& s) { WriteFileChannels(s, Channels()); }, Buffer()->Memory() + first,
          static_cast<size_t>(end - first));
      return drDone;
    }
    // An existing week: merged record by record under this folder's permissions.
    TDtRecord work_rec(DtRec()->ValueCount());
    TDtRecord rec(DtRec()->ValueCount());
    TFdtData work(Path, Channels(), &work_rec, "");
    work.NoIdent = true;
    work.Flags = Flags;
    int32_t result = work.OpenFile(existing);
    if (result != drDone) return result;
    int64_t refused = 0;
    for (int64_t p = first; p < end; p += size) {
      Buffer()->SetPosition(p);
      rec.SRead(*Buffer());
      if (work.InsertRecord(rec) == drNotPermitted) ++refused;
    }
    if (refused > 0) {
      ReportDataMessage(existing + ": " + std::to_string(refused) + " records not stored (not permitted)",
                        mkDiagnoseOnly);
    }
    return work.Close();
  } catch (const EDatOutOfMemError&) {
    throw;
  } catch (const Exception& e) {
    // The week keeps its file; the records stay modified, so the next flush tries again.
    ReportDataMessage(Path + file_name + ": " + e.Message(), mkError);
    return drWeekNotWritten;
  }
}

}  // namespace qv
