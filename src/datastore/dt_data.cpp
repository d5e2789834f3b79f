#include "datastore/dt_data.h"

#include <algorithm>
#include <cstring>

#include "base/res_string.h"
#include "datastore/dt_navigator.h"
#include "platform/rtl/byte_order.h"

namespace qv {

namespace {

bool Complete(const TDtStamp& s) { return s.Date != NoDayNo && s.Time != -1; }

int Cmp(const TDtStamp& a, const TDtStamp& b) {
  if (a.Date != b.Date) return a.Date < b.Date ? -1 : 1;
  if (a.Time != b.Time) return a.Time < b.Time ? -1 : 1;
  return 0;
}

TDtStamp StampOf(const TDtRecord& r) { return TDtStamp{r.Date, r.Time}; }

TDtStamp PlusOneSec(TDtStamp s) {
  IncDtStampSecs(s, 1);
  return s;
}

// The stored record keeps its valid values and takes each missing one from rec.
bool MergeInto(TDtRecord& stored, const TDtRecord& rec) {
  bool changed = false;
  for (int32_t i = 0; i < stored.ValueCount(); ++i) {
    if (stored.GetValues(i) > NoValue) continue;
    double v = rec.GetValues(i);
    if (v <= NoValue) continue;
    stored.SetValues(i, v);
    changed = true;
  }
  return changed;
}

}  // namespace

bool TDtData::Win::Set() const { return Complete(start) && Complete(stop); }

bool TDtData::Win::Reaches(const TDtStamp& stamp) const {
  return Set() && Cmp(start, stamp) <= 0 && Cmp(stamp, PlusOneSec(stop)) <= 0;
}

TDtData::TDtData(std::string path, TRecord* rec) : TData(std::move(path), rec) {
  auto* dt = dynamic_cast<TDtRecord*>(rec);
  if (!dt) throw EDataError("Error in TDtData.Create: Rec must be a TDtRecord!");
  newest_rec_ = std::make_unique<TDtRecord>(dt->ValueCount());
  EnsureScratch();
  SyncReadWindow();
}

TDtData::~TDtData() = default;

void TDtData::EnsureScratch() {
  int32_t n = DtRec()->ValueCount();
  if (!before_ || before_->ValueCount() != n) before_ = std::make_unique<TDtRecord>(n);
  if (!after_ || after_->ValueCount() != n) after_ = std::make_unique<TDtRecord>(n);
  if (newest_rec_->ValueCount() != n) newest_rec_->ChangeValCount(n);
}

TDtCursor::TDtCursor(const uint8_t* bytes, int64_t size, int64_t start, int64_t stop, int32_t values)
    : bytes_(bytes),
      size_(bytes ? size : 0),
      start_(start),
      stop_(stop),
      record_size_(12 + 6 * values),
      values_(values) {}

void TDtCursor::BadIndex(int32_t index) {
  throw Exception("TTRecord.GetValues: invalid Index: " + std::to_string(index));
}

TDtCursor TDtData::Records() const {
  if (!HasBuffer()) return TDtCursor{};
  return TDtCursor(Buffer()->Memory(), BufferSize(), WinStart(), WinStop(), DtRec()->ValueCount());
}

TDtStamp TDtData::StampAt(int64_t pos) const {
  const uint8_t* p = Buffer()->Memory() + pos;
  return TDtStamp{GetLE16(p), GetLE32s(p + 6)};
}

void TDtData::ReadAt(int64_t pos, TDtRecord& rec) {
  Buffer()->SetPosition(pos);
  rec.SRead(*Buffer());
}

void TDtData::WriteAt(int64_t pos, TDtRecord& rec) {
  Buffer()->SetPosition(pos);
  rec.SWrite(*Buffer());
}

void TDtData::SyncReadWindow() {
  switch (window_) {
    case 1: SetReadWindow(win_[0].start_pos, win_[0].stop_pos); break;
    case 2: SetReadWindow(win_[1].start_pos, win_[1].stop_pos); break;
    case 3: SetReadWindow(append_pos_, DataPosMax); break;
    default: SetReadWindow(0, DataPosMax); break;
  }
}

void TDtData::SelectWindow(uint8_t window) {
  if (window > 3 || window == window_) return;
  window_ = window;
  SyncReadWindow();
  ClearCurPos();
}

void TDtData::SetAppendPos(int32_t pos) {
  append_pos_ = pos;
  SyncReadWindow();
}

void TDtData::NoteNewest(const TDtRecord& record) {
  TDtStamp t = StampOf(record);
  TDtStamp newest = GetNewestDt();
  int c = Complete(newest) ? Cmp(t, newest) : 1;
  if (c > 0 || (c == 0 && newest_rec_->IsEmpty())) newest_rec_->Assign(record);
}

void TDtData::NoteOldest(const TDtStamp& stamp) {
  if (!Complete(OldestDt) || Cmp(OldestDt, stamp) > 0) OldestDt = stamp;
}

TDtStamp TDtData::GetNewestDt() const {
  TDtStamp s = StampOf(*newest_rec_);
  return Complete(s) ? s : NoDtStamp;
}

bool TDtData::InAnyWindow(const TDtStamp& stamp) const { return win_[0].Reaches(stamp) || win_[1].Reaches(stamp); }

// ---- windows ----

int32_t TDtData::OpenDT(const TDtStamp& start1, const TDtStamp& stop1, const TDtStamp& start2, const TDtStamp& stop2) {
  TDataLock lock(*this);
  if (NewBuffer() != drDone) return drRefused;
  Win w[2];
  const TDtStamp starts[2] = {start1, start2};
  const TDtStamp stops[2] = {stop1, stop2};
  for (int i = 0; i < 2; ++i) {
    if (!Complete(starts[i]) || !Complete(stops[i])) continue;
    if (Cmp(starts[i], stops[i]) > 0) throw EDataError("Error in TDtData.OpenDT: Start after Stop!");
    w[i].start = starts[i];
    w[i].stop = stops[i];
  }
  RangeStart = RangeStop = NoDtStamp;
  for (const Win& x : w) {
    if (!x.Set()) continue;
    if (!Complete(RangeStart) || Cmp(x.start, RangeStart) < 0) RangeStart = x.start;
    if (!Complete(RangeStop) || Cmp(x.stop, RangeStop) > 0) RangeStop = x.stop;
  }
  // At most one year is read at a time.
  TDtStamp limit = RangeStop;
  if (Complete(RangeStart) && LimitToOneYear(RangeStart, limit)) {
    for (Win& x : w)
      if (x.Set() && Cmp(x.stop, limit) > 0) x.stop = limit;
    RangeStop = limit;
    ReportDataMessage(LoadResString("dat_InvalidTimeRange"), mkWarning);
  }
  win_[0] = w[0];
  win_[1] = w[1];
  SyncReadWindow();
  int32_t result = ReadData();
  NotifyClients(deManyChanged);
  return result;
}

void TDtData::ScanRecord(Win& w, bool edges, int64_t pos, const TDtStamp& t, int64_t min_edge) {
  const int64_t size = Rec()->Size();
  if (w.start_pos < 0) {
    if (Cmp(w.start, t) > 0 || Cmp(t, w.stop) > 0) return;
    int64_t first = pos;
    // An empty record starts a recording: the record in front of it belongs to another one.
    if (edges && pos - size >= min_edge) {
      ReadAt(pos, *after_);
      if (!after_->IsEmpty()) first = pos - size;
    }
    w.start_pos = static_cast<int32_t>(first);
    w.stop_pos = DataPosMax;
  } else if (w.stop_pos == DataPosMax && Cmp(t, PlusOneSec(w.stop)) >= 0) {
    w.stop_pos = static_cast<int32_t>(edges ? pos + size : pos);
  }
}

int64_t TDtData::FirstAtOrAfter(const TDtStamp& stamp, int64_t base, int64_t lo, int64_t hi) const {
  const int64_t size = Rec()->Size();
  while (lo < hi) {
    int64_t mid = lo + (hi - lo) / 2;
    if (Cmp(StampAt(base + mid * size), stamp) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

bool TDtData::SetPositions(bool from_start, int32_t start_pos) {
  if (start_pos < 0) throw EDataError("Error in TDtData.SetPositions: StartPos < 0");
  for (Win& w : win_) {
    if (!w.Set()) {
      w.start_pos = w.stop_pos = -1;
    } else if (from_start || w.start_pos < 0) {
      w.start_pos = w.stop_pos = -2;
    } else if (w.stop_pos < 0) {
      w.stop_pos = DataPosMax;
    }
  }
  auto pending = [](const Win& w) { return w.Set() && (w.start_pos == -2 || w.stop_pos == DataPosMax); };
  TMemoryStream* buf = Buffer();
  const int64_t size = Rec()->Size();
  if (buf && (pending(win_[0]) || pending(win_[1])) && start_pos + size <= BufferSize()) {
    int64_t saved = buf->Position();
    // The last record tells whether anything is to be found at all.
    TDtStamp last = StampAt((BufferSize() / size - 1) * size);
    bool resolvable = false;
    for (const Win& w : win_) {
      if (!w.Set()) continue;
      if (w.start_pos == -2 && Cmp(last, w.start) >= 0) resolvable = true;
      if (w.stop_pos == DataPosMax && Cmp(last, PlusOneSec(w.stop)) >= 0) resolvable = true;
    }
    // The records are sorted by time, so each bound is found by bisection: the window starts at
    // the first record at or after its start (when that one is not past its stop) and ends at the
    // first record at or after its stop + 1 s behind that.
    const int64_t count = (BufferSize() - start_pos) / size;
    auto pos_of = [&](int64_t k) { return start_pos + k * size; };
    for (int i = 0; resolvable && i < 2; ++i) {
      Win& w = win_[i];
      if (!pending(w)) continue;
      const bool edges = Edges(i);
      int64_t from = 0;
      if (w.start_pos == -2) {
        const int64_t k = FirstAtOrAfter(w.start, start_pos, 0, count);
        if (k == count || Cmp(StampAt(pos_of(k)), w.stop) > 0) continue;
        int64_t first = pos_of(k);
        // An empty record starts a recording: the record in front of it belongs to another one.
        if (edges && k > 0) {
          ReadAt(first, *after_);
          if (!after_->IsEmpty()) first -= size;
        }
        w.start_pos = static_cast<int32_t>(first);
        w.stop_pos = DataPosMax;
        from = k + 1;
      }
      const int64_t k = FirstAtOrAfter(PlusOneSec(w.stop), start_pos, from, count);
      if (k < count) w.stop_pos = static_cast<int32_t>(edges ? pos_of(k) + size : pos_of(k));
    }
    buf->SetPosition(saved);
  }
  SyncReadWindow();
  return std::all_of(std::begin(win_), std::end(win_), [](const Win& w) { return !w.Set() || w.start_pos >= 0; });
}

bool TDtData::GotoDt(const TDtStamp& stamp, bool from_start) {
  const int64_t size = Rec()->Size();
  bool found;
  int64_t pos = StreamPosition();
  if (!from_start && HasBuffer() && WinStart() >= 0 && pos - size >= WinStart() && pos <= BufferSize()) {
    ReadAt(pos - size, *DtRec());
    found = true;
  } else {
    found = First();
  }
  while (found) {
    if (Cmp(StampOf(*DtRec()), stamp) >= 0) {
      SetCurPos(static_cast<int32_t>(StreamPosition() - size));
      return true;
    }
    found = Next();
  }
  ClearCurPos();
  return false;
}

// ---- buffer ----

void TDtData::FreeBuffer() {
  TDataLock lock(*this);
  TData::FreeBuffer();
  for (Win& w : win_) w = Win{};
  append_pos_ = -1;
  RangeStart = RangeStop = NoDtStamp;
  SyncReadWindow();
}

int32_t TDtData::Flush() {
  int32_t result = TData::Flush();
  if (result == drDone) SetAppendPos(-1);
  return result;
}

int32_t TDtData::CopyData(TData* source) {
  TDataLock lock(*this);
  int32_t result = TData::CopyData(source);
  auto* src = dynamic_cast<TDtData*>(source);
  if (result != drDone || !src || src == this) return result;
  TDataLock source_lock(*src);
  RangeStart = src->RangeStart;
  RangeStop = src->RangeStop;
  win_[0] = src->win_[0];
  win_[1] = src->win_[1];
  WithEdges1 = src->WithEdges1;
  WithEdges2 = src->WithEdges2;
  OldestDt = src->OldestDt;
  newest_rec_->Assign(*src->newest_rec_);
  window_ = src->window_;
  SyncReadWindow();
  ClearCurPos();
  NotifyClients(deManyChanged);
  return result;
}

void TDtData::NavigatorChanged() {
  auto* nav = dynamic_cast<TDtNavigator*>(DtNavigator);
  if (nav && (HasClientFor(deFollowDt1) || HasClientFor(deFollowDt2)))
    OpenDT(nav->Dt1Start, nav->Dt1Stop, nav->Dt2Start, nav->Dt2Stop);
}

void TDtData::AddClient(const void* client, TDataEvents events, TDataNotifyEvent handler) {
  const TDataEvents follow = DataEventBit(deFollowDt1) | DataEventBit(deFollowDt2);
  bool followed = HasClientFor(deFollowDt1) || HasClientFor(deFollowDt2);
  TData::AddClient(client, events, std::move(handler));
  auto* nav = dynamic_cast<TDtNavigator*>(DtNavigator);
  if (!followed && client && (events & follow) && nav) OpenDT(nav->Dt1Start, nav->Dt1Stop, nav->Dt2Start, nav->Dt2Stop);
}

// ---- records ----

bool TDtData::ModifyRecord() {
  int64_t pos = StreamPosition() - Rec()->Size();
  bool result = TData::ModifyRecord();
  if (pos >= 0 && (append_pos_ < 0 || append_pos_ > pos)) SetAppendPos(static_cast<int32_t>(pos));
  return result;
}

int32_t TDtData::AppendRecord(TRecord&) { throw EDataError("Error in TDtData: Operation AppendRecord not permitted!"); }

TInsertDecision TDtData::CheckInsert(const TDtRecord* before, const TDtRecord* after, const TDtRecord& rec,
                                     uint8_t flags, bool& over_before) {
  over_before = false;
  const TDtStamp t = StampOf(rec);
  // Equal stamps where neither record is empty; an empty stored record starts a recording.
  auto tie = [&](bool is_before) {
    over_before = is_before;
    if (flags & dfMerge) return idMerge;
    if (flags & dfPermitOverwrite) return idWriteOver;
    return idRefused;
  };
  auto equal_to_after = [&]() {
    if (rec.IsEqual(*after)) return idIdentical;
    if (after->IsEmpty()) return idStepForward;
    if (rec.IsEmpty()) return idNotNeeded;
    return tie(false);
  };
  if (!after) {
    if (!before) return idWrite;
    int c = Cmp(t, StampOf(*before));
    if (c > 0) return idWrite;
    if (c < 0) return idStepBack;
    if (rec.IsEqual(*before)) return idIdentical;
    if (before->IsEmpty()) return idWrite;
    if (rec.IsEmpty()) return idNotNeeded;
    return tie(true);
  }
  int ca = Cmp(t, StampOf(*after));
  if (ca > 0) return idStepForward;
  if (!before) return ca == 0 ? equal_to_after() : idWrite;
  int cb = Cmp(t, StampOf(*before));
  if (cb < 0) return idStepBack;
  if (ca == 0) return equal_to_after();
  if (cb == 0) {
    if (rec.IsEqual(*before)) return idIdentical;
    if (before->IsEmpty()) {
      if (flags & dfPermitOverwrite) {
        over_before = true;
        return idWriteOver;
      }
      return (flags & dfPermitInsert) || after->IsEmpty() ? idWrite : idRefused;
    }
    if (rec.IsEmpty()) return idNotNeeded;
    return tie(true);
  }
  return (flags & dfPermitInsert) || after->IsEmpty() ? idWrite : idRefused;
}

TInsertPlace FindInsertPlace(const TDtStamp& t, int64_t n, int64_t hint,
                             const std::function<TDtStamp(int64_t index)>& stamp_at,
                             const std::function<TInsertDecision(int64_t index, bool& over_before)>& check) {
  TInsertPlace place;
  int64_t& idx = place.Index;
  idx = std::clamp<int64_t>(hint, 0, n);
  if (n == 0) return place;
  for (;;) {
    // The stamps alone decide the moves and a plain append; whole records are read only at a
    // tie or between two records.
    if (idx == n) {
      int c = Cmp(t, stamp_at(n - 1));
      if (c > 0) {
        place.Decision = idWrite;
        break;
      }
      if (c < 0) {
        --idx;
        continue;
      }
    } else {
      int ca = Cmp(t, stamp_at(idx));
      if (ca > 0) {
        ++idx;
        continue;
      }
      if (idx > 0 && Cmp(t, stamp_at(idx - 1)) < 0) {
        --idx;
        continue;
      }
      if (idx == 0 && ca < 0) {
        place.Decision = idWrite;
        break;
      }
    }
    place.Decision = check(idx, place.OverBefore);
    if (place.Decision == idStepBack)
      --idx;
    else if (place.Decision == idStepForward)
      ++idx;
    else
      break;
  }
  return place;
}

int32_t TDtData::InsertIntoEmpty(TDtRecord& rec) {
  const TDtStamp t = StampOf(rec);
  Buffer()->SetSize(0);
  WriteAt(0, rec);
  RangeStart = RangeStop = t;
  NoteOldest(t);
  NoteNewest(rec);
  SetPositions(true, 0);
  if (win_[0].start_pos >= 0 || win_[1].start_pos >= 0) AddChanges(1);
  // The record has to be written like any other.
  SetModified(true);
  SetAppendPos(0);
  Buffer()->SetPosition(rec.Size());
  return drDone;
}

int32_t TDtData::InsertRecord(TRecord& record) {
  TMemoryStream* buf = Buffer();
  if (!buf) throw EDataError("Error in TDtData.InsertRecord: FBuffer = nil");
  auto* rec = dynamic_cast<TDtRecord*>(&record);
  if (!rec || !SameSize(record)) throw EDataError("Error in TDtData.InsertRecord: record size differs");
  if (rec->Date == NoDayNo || rec->Time == -1) return drRefused;
  return GuardMemory("TDtData.InsertRecord", [&]() -> int32_t {
    EnsureScratch();
    const int64_t size = rec->Size();
    const int64_t n = BufferSize() / size;
    if (n == 0) {
      CheckGrowth(size, "TDtData.InsertRecord");
      return InsertIntoEmpty(*rec);
    }
    const TDtStamp t = StampOf(*rec);
    // The last check leaves the neighbours it compared in before_ and after_.
    const TInsertPlace place = FindInsertPlace(
        t, n, buf->Position() / size, [&](int64_t i) { return StampAt(i * size); },
        [&](int64_t i, bool& over) {
          const TDtRecord* before = nullptr;
          const TDtRecord* after = nullptr;
          if (i > 0) {
            ReadAt((i - 1) * size, *before_);
            before = before_.get();
          }
          if (i < n) {
            ReadAt(i * size, *after_);
            after = after_.get();
          }
          return CheckInsert(before, after, *rec, Flags, over);
        });
    const int64_t idx = place.Index;
    TInsertDecision d = place.Decision;
    const bool over_before = place.OverBefore;

    TDtRecord* written = rec;
    const bool target_was_empty = (d == idWriteOver || d == idMerge) && (over_before ? before_ : after_)->IsEmpty();
    if (d == idMerge) {
      written = over_before ? before_.get() : after_.get();
      d = MergeInto(*written, *rec) ? idWriteOver : idIdentical;
    }
    int64_t rpos = -1;
    if (d == idWrite) {
      rpos = idx * size;
      CheckGrowth(size, "TDtData.InsertRecord");
      if (idx == n) {
        WriteAt(rpos, *rec);
        RangeStop = t;
        NoteNewest(*rec);
        for (int i = 0; i < 2; ++i)
          if (win_[i].Set()) ScanRecord(win_[i], Edges(i), rpos, t, 0);
        buf->SetPosition(rpos + size);
        if (InAnyWindow(t)) AddChanges(1);
      } else {
        int64_t old_size = BufferSize();
        buf->SetSize(old_size + size);
        std::memmove(buf->Memory() + rpos + size, buf->Memory() + rpos, static_cast<size_t>(old_size - rpos));
        WriteAt(rpos, *rec);
        if (idx == 0) {
          RangeStart = t;
          NoteOldest(t);
        }
        // Positions behind the new record moved; finding them again gives the window invariant.
        int64_t behind = buf->Position();
        SetPositions(true, 0);
        buf->SetPosition(behind);
        if (InAnyWindow(t)) AddChanges(2);
      }
    } else if (d == idWriteOver) {
      rpos = (over_before ? idx - 1 : idx) * size;
      WriteAt(rpos, *written);
      // An empty record that starts a recording and a filled one decide edges differently.
      if (target_was_empty != written->IsEmpty()) {
        SetPositions(true, 0);
        buf->SetPosition(rpos + size);
      }
      TDtStamp newest = GetNewestDt();
      if (!Complete(newest) || Cmp(t, newest) >= 0) newest_rec_->Assign(*written);
      if (InAnyWindow(t)) AddChanges(2);
    } else {
      buf->SetPosition(idx * size);
    }
    if (rpos >= 0) {
      SetModified(true);
      if (append_pos_ < 0 || append_pos_ > rpos)
        SetAppendPos(static_cast<int32_t>(rpos));
      else
        SyncReadWindow();
    }
    return d == idRefused ? drNotPermitted : drDone;
  });
}

}  // namespace qv
