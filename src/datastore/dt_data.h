#pragma once
// The data set of time-stamped records: the buffer holds them in ascending order of time stamp,
// records are inserted at their place, never appended blindly, and two read windows are kept at
// once: window 1 follows the navigator's view range, window 2 its overview day.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/dt_stamp.h"
#include "datastore/data.h"
#include "datastore/dt_record.h"
#include "platform/rtl/byte_order.h"

namespace qv {

// Walks the records of a data set's read window in its buffer, the records First and Next would
// read, without copying them into the record buffer and without allocating. The caller holds the
// data set's lock and leaves the buffer alone while it walks.
class TDtCursor {
public:
  TDtCursor() = default;
  // bytes..bytes+size the buffer, start and stop the read window's positions (as WinStart and
  // WinStop), values the number of values of each record.
  TDtCursor(const uint8_t* bytes, int64_t size, int64_t start, int64_t stop, int32_t values);

  // To the window's first record, then to each next one; false past the last.
  bool Next() {
    const int64_t pos = pos_ < 0 ? start_ : pos_ + record_size_;
    const bool ok = pos_ < 0 ? start_ >= 0 && start_ + record_size_ <= size_
                             : pos_ < size_ && stop_ >= 0 && pos <= stop_ && size_ - pos >= record_size_;
    pos_ = ok ? pos : size_;
    return ok;
  }
  int64_t Position() const { return pos_; }
  uint16_t Date() const { return GetLE16(Record()); }
  int32_t Time() const { return GetLE32s(Record() + 6); }
  TDtStamp Stamp() const { return TDtStamp{Date(), Time()}; }
  int32_t ValueCount() const { return values_; }
  // The current record's stored bytes: the stamp, then ValueCount six-byte values from byte 12.
  const uint8_t* RecordBytes() const { return Record(); }
  // As TTRecord::GetValues and ValueMissing of the record, with its error for a bad index.
  double Value(int32_t index) const { return StoredValue(ValueBytes(index)); }
  bool ValueMissing(int32_t index) const { return StoredValueMissing(ValueBytes(index)); }
  const uint8_t* ValueBytes(int32_t index) const {
    if (index < 0 || index >= values_) BadIndex(index);
    return Record() + 12 + 6 * index;
  }

private:
  const uint8_t* Record() const { return bytes_ + pos_; }
  [[noreturn]] static void BadIndex(int32_t index);

  const uint8_t* bytes_ = nullptr;
  int64_t size_ = 0;
  int64_t start_ = -1;
  int64_t stop_ = -1;
  int64_t pos_ = -1;  // -1 before the first record, size_ past the last
  int32_t record_size_ = 12;
  int32_t values_ = 0;
};

// Decisions of CheckInsert.
enum TInsertDecision : int32_t {
  idIdentical = 0,    // an equal record is stored already
  idStepBack = 1,     // the place lies further back
  idStepForward = 2,  // the place lies further forward
  idWrite = 3,        // write at the end, or insert in front of After
  idWriteOver = 4,    // replace a stored record with the same time stamp
  idNotNeeded = 5,    // an empty record where one with the same time stamp is stored
  idMerge = 6,        // fill the stored record's missing values from the new one
  idRefused = 7,      // not permitted by the flags
};

// Where a new record goes among count stored records in time order.
struct TInsertPlace {
  int64_t Index = 0;  // the stored record in front of which it goes (count: the end)
  TInsertDecision Decision = idWrite;
  bool OverBefore = false;  // for idWriteOver and idMerge: the target is the record at Index - 1
};
// The position search of InsertRecord, from the index hint: the stamps alone move the index and
// decide an append or a record in front of the first; at a tie or between two records, check
// decides from the stored records at index - 1 and index (CheckInsert), and its steps move the
// index on. Pure: stamp_at and check only read.
TInsertPlace FindInsertPlace(const TDtStamp& stamp, int64_t count, int64_t hint,
                             const std::function<TDtStamp(int64_t index)>& stamp_at,
                             const std::function<TInsertDecision(int64_t index, bool& over_before)>& check);

class TDtData : public TData {
public:
  // Rec must be a TDtRecord.
  TDtData(std::string path, TRecord* rec);
  ~TDtData() override;

  void NavigatorChanged() override;
  void FreeBuffer() override;
  int32_t Flush() override;
  int32_t CopyData(TData* source) override;
  bool ModifyRecord() override;
  // Not permitted: records go to their place by time.
  int32_t AppendRecord(TRecord& record) override;
  // 1 stored, replaced, identical or an empty record that is not needed; 3 no time stamp;
  // 603 not permitted by Flags. Starts its search at the stream position, so records in
  // ascending order are appended without searching.
  int32_t InsertRecord(TRecord& record) override;
  void AddClient(const void* client, TDataEvents events, TDataNotifyEvent handler) override;
  // Opens both windows (a window with an incomplete stamp is not set) and reads the data; the
  // result of ReadData, or 3 when the buffer could not be renewed.
  virtual int32_t OpenDT(const TDtStamp& start1, const TDtStamp& stop1, const TDtStamp& start2, const TDtStamp& stop2);

  // 0 whole buffer, 1 window 1, 2 window 2, 3 from AppendPos to the end.
  void SelectWindow(uint8_t window);
  uint8_t Window() const { return window_; }
  // Finds the window positions from start_pos on (from_start: all of them anew); true when every
  // set window found its first record.
  bool SetPositions(bool from_start, int32_t start_pos);
  // Current record := the first at or after stamp, from the window's start or from the record
  // last read.
  bool GotoDt(const TDtStamp& stamp, bool from_start);
  TDtStamp GetNewestDt() const;
  double GetNewestValue(int32_t index) const { return newest_rec_->GetValues(index); }

  // What a stored record and a new one with the flags decide, Before being the stored record in
  // front of the stream position (null at the start) and After the one at it (null at the end).
  // For idWriteOver and idMerge, over_before tells which of the two is the target.
  static TInsertDecision CheckInsert(const TDtRecord* before, const TDtRecord* after, const TDtRecord& rec,
                                     uint8_t flags, bool& over_before);

  TDtRecord* DtRec() const { return static_cast<TDtRecord*>(Rec()); }
  // A cursor over the records of the selected read window; valid while the caller holds the lock
  // and the buffer does not change.
  TDtCursor Records() const;
  TDtRecord& NewestRec() const { return *newest_rec_; }
  // Window 1 or 2: its stamps and byte positions (-1 not set, -2 not found, DataPosMax open).
  TDtStamp StartDt(int window) const { return win_[Index(window)].start; }
  TDtStamp StopDt(int window) const { return win_[Index(window)].stop; }
  int32_t StartPos(int window) const { return win_[Index(window)].start_pos; }
  int32_t StopPos(int window) const { return win_[Index(window)].stop_pos; }
  bool WindowSet(int window) const { return win_[Index(window)].Set(); }
  // The earliest record inserted or modified since the last successful write; -1 none.
  int32_t AppendPos() const { return append_pos_; }

  // The range held in the buffer.
  TDtStamp RangeStart = NoDtStamp;
  TDtStamp RangeStop = NoDtStamp;
  bool WithEdges1 = true;
  bool WithEdges2 = false;
  // The oldest record known (of all files behind the data set).
  TDtStamp OldestDt = NoDtStamp;

protected:
  void SetAppendPos(int32_t pos);
  // Takes a newer record (or one with the same stamp over an empty one) as the newest known.
  void NoteNewest(const TDtRecord& record);
  void NoteOldest(const TDtStamp& stamp);

private:
  struct Win {
    TDtStamp start = NoDtStamp;
    TDtStamp stop = NoDtStamp;
    int32_t start_pos = -1;
    int32_t stop_pos = -1;
    bool Set() const;
    // start <= stamp <= stop + 1 s.
    bool Reaches(const TDtStamp& stamp) const;
  };
  static int Index(int window) { return window == 2 ? 1 : 0; }
  bool Edges(int index) const { return index == 0 ? WithEdges1 : WithEdges2; }
  bool InAnyWindow(const TDtStamp& stamp) const;
  void SyncReadWindow();
  // The stamp of the record at pos, read from the buffer's bytes.
  TDtStamp StampAt(int64_t pos) const;
  // The first index in lo..hi-1 of the records from byte base on whose stamp is at or after
  // stamp (hi when none); the records are sorted.
  int64_t FirstAtOrAfter(const TDtStamp& stamp, int64_t base, int64_t lo, int64_t hi) const;
  // Reads the record at pos into rec.
  void ReadAt(int64_t pos, TDtRecord& rec);
  void WriteAt(int64_t pos, TDtRecord& rec);
  // Window bookkeeping for the record at pos seen during a scan; min_edge is the first position
  // that an edge record may have.
  void ScanRecord(Win& w, bool edges, int64_t pos, const TDtStamp& t, int64_t min_edge);
  int32_t InsertIntoEmpty(TDtRecord& rec);
  void EnsureScratch();

  Win win_[2];
  int32_t append_pos_ = -1;
  uint8_t window_ = 0;
  std::unique_ptr<TDtRecord> newest_rec_;
  // Stored records read for comparison; never the record being inserted.
  std::unique_ptr<TDtRecord> before_;
  std::unique_ptr<TDtRecord> after_;
};

}  // namespace qv
