#include "visual/data_view.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "datastore/channel.h"
#include "datastore/data_globals.h"
#include "datastore/global_channel.h"
#include "platform/rtl/byte_order.h"

namespace qv {

namespace {

// Orders records by date, then time.
uint64_t StampKey(uint16_t date, int32_t time) {
  return uint64_t{date} << 32 | (static_cast<uint32_t>(time) ^ 0x80000000u);
}

bool SameStamp(const TDtRecord& a, const TDtRecord& b) { return a.Date == b.Date && a.Time == b.Time; }

const std::string RebuildOperation = "TDataView.Rebuild";
const std::string AppendOperation = "TDataView.AppendNewest";

bool HasValidValue(const TDtRecord& r) {
  for (int32_t i = 0; i < r.ValueCount(); ++i)
    if (!r.ValueMissing(i)) return true;
  return false;
}

bool HasValidValue(const TDtCursor& r) {
  for (int32_t i = 0; i < r.ValueCount(); ++i)
    if (!r.ValueMissing(i)) return true;
  return false;
}

// One source of a merge: its columns as (column, value index) pairs and the cursor over its
// records.
struct TMergeSource {
  TDtData* data;
  std::vector<std::pair<int32_t, int32_t>> columns;
  TDtCursor records;
  bool locked = false;
};

// The sources that still have records, gathered into groups of the sources whose current records
// share a time stamp: a binary min-heap of groups on that stamp, each group's sources in list
// order. Taking the first group (merged with any other group at its stamp) hands out the sources
// in the order of (stamp, order in the list). Sources whose stamps advance together, as loggers
// of one interval do, stay in one group: a row costs one heap step, not one per source.
class TMergeGroups {
public:
  // Sources come in list order.
  void Add(uint64_t key, uint32_t order) {
    if (!heap_.empty() && groups_[heap_.front()].key == key && heap_.size() == 1) {
      groups_[heap_.front()].orders.push_back(order);
      return;
    }
    moved_.clear();
    moved_.push_back({key, order});
    PutBack(moved_);
  }
  bool Empty() const { return heap_.empty(); }
  // The sources at the earliest stamp, in list order, and that stamp's key. The list stays valid
  // until Advance.
  const std::vector<uint32_t>& First(uint64_t& key) {
    key = groups_[heap_.front()].key;
    // Another group at the same stamp would be a child of the top.
    const size_t n = heap_.size();
    if ((n > 1 && groups_[heap_[1]].key == key) || (n > 2 && groups_[heap_[2]].key == key)) {
      const uint32_t g = PopGroup();
      while (!heap_.empty() && groups_[heap_.front()].key == key) {
        const uint32_t other = PopGroup();
        merged_.clear();
        std::merge(groups_[g].orders.begin(), groups_[g].orders.end(), groups_[other].orders.begin(),
                   groups_[other].orders.end(), std::back_inserter(merged_));
        groups_[g].orders.swap(merged_);
        free_.push_back(other);
      }
      PushGroup(g);
    }
    return groups_[heap_.front()].orders;
  }
  // The sources of First moved on: moved holds those with records left, at the keys of their next
  // records, in list order. When all of them are left and at one stamp, the group moves as one.
  void Advance(std::vector<std::pair<uint64_t, uint32_t>>& moved) {
    const uint32_t g = heap_.front();
    if (!moved.empty() && moved.size() == groups_[g].orders.size()) {
      const uint64_t key = moved.front().first;
      if (std::all_of(moved.begin(), moved.end(), [&](const auto& m) { return m.first == key; })) {
        groups_[g].key = key;
        SiftDown();
        return;
      }
    }
    PopGroup();
    free_.push_back(g);
    PutBack(moved);
  }
  // Puts sources back at the keys of their next records; moved comes in list order.
  void PutBack(std::vector<std::pair<uint64_t, uint32_t>>& moved) {
    if (moved.empty()) return;
    const uint64_t first = moved.front().first;
    if (std::any_of(moved.begin(), moved.end(), [&](const auto& m) { return m.first != first; }))
      std::stable_sort(moved.begin(), moved.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < moved.size();) {
      const uint32_t g = NewGroup(moved[i].first);
      for (; i < moved.size() && moved[i].first == groups_[g].key; ++i) groups_[g].orders.push_back(moved[i].second);
      PushGroup(g);
    }
  }

private:
  struct TGroup {
    uint64_t key;
    std::vector<uint32_t> orders;
  };
  uint32_t NewGroup(uint64_t key) {
    uint32_t g;
    if (free_.empty()) {
      g = static_cast<uint32_t>(groups_.size());
      groups_.push_back({});
    } else {
      g = free_.back();
      free_.pop_back();
    }
    groups_[g].key = key;
    groups_[g].orders.clear();
    return g;
  }
  bool Less(uint32_t a, uint32_t b) const { return groups_[a].key < groups_[b].key; }
  void PushGroup(uint32_t g) {
    heap_.push_back(g);
    size_t i = heap_.size() - 1;
    while (i > 0 && Less(heap_[i], heap_[(i - 1) / 2])) {
      std::swap(heap_[i], heap_[(i - 1) / 2]);
      i = (i - 1) / 2;
    }
  }
  uint32_t PopGroup() {
    const uint32_t top = heap_.front();
    heap_.front() = heap_.back();
    heap_.pop_back();
    if (!heap_.empty()) SiftDown();
    return top;
  }
  // The top group's key grew: it sinks to its place.
  void SiftDown() {
    const size_t n = heap_.size();
    size_t i = 0;
    const uint32_t e = heap_[0];
    for (;;) {
      size_t c = 2 * i + 1;
      if (c >= n) break;
      if (c + 1 < n && Less(heap_[c + 1], heap_[c])) ++c;
      if (!Less(heap_[c], e)) break;
      heap_[i] = heap_[c];
      i = c;
    }
    heap_[i] = e;
  }
  std::vector<TGroup> groups_;
  std::vector<uint32_t> heap_;
  std::vector<uint32_t> free_;
  std::vector<uint32_t> merged_;
  std::vector<std::pair<uint64_t, uint32_t>> moved_;
};

// The columns of the first n entries of list that refer to data and whose value index exists in
// its records.
std::vector<std::pair<int32_t, int32_t>> ColumnsOf(const TGlobChanList& list, int32_t n, const TDtData& data) {
  std::vector<std::pair<int32_t, int32_t>> columns;
  const int32_t values = data.DtRec()->ValueCount();
  for (int32_t i = 0; i < n; ++i) {
    const TGlobalChannel* gc = list.GetGlobChan_I(i);
    if (gc->Data() == &data && gc->ValueIndex() >= 0 && gc->ValueIndex() < values)
      columns.emplace_back(i, gc->ValueIndex());
  }
  return columns;
}

// Fills the row's missing columns from the source's current record; the values keep their
// stored bytes. A fresh row has every column missing.
void FillRow(TDtRecord& row, bool fresh, const TDtRecord& rec,
             const std::vector<std::pair<int32_t, int32_t>>& columns) {
  for (const auto& [column, index] : columns)
    if ((fresh || row.ValueMissing(column)) && !rec.ValueMissing(index))
      row.SetValueBytes(column, rec.ValueBytes(index));
}

// Fills the image's missing columns from the source's current record; the values keep their
// stored bytes.
void FillImage(uint8_t* image, const TDtCursor& rec, const std::vector<std::pair<int32_t, int32_t>>& columns) {
  for (const auto& [column, index] : columns) {
    uint8_t* cell = image + 12 + 6 * column;
    if (!StoredValueMissing(cell)) continue;
    const uint8_t* v = rec.ValueBytes(index);
    if (!StoredValueMissing(v)) std::memcpy(cell, v, 6);
  }
}

// The row whose stored image is at image.
void ImageToRow(const uint8_t* image, TDtRecord& row) {
  row.Date = GetLE16(image);
  row.Time = GetLE32s(image + 6);
  for (int32_t i = 0; i < row.ValueCount(); ++i) {
    const uint8_t* v = image + 12 + 6 * i;
    row.SetValueBytes(i, TValue6{v[0], v[1], v[2], v[3], v[4], v[5]});
  }
}

}  // namespace

TDataView::TDataView(TDtRecord* record_prototype) : TDtData("", record_prototype) {
  NoIdent = true;
  Flags = dfMerge;
}

int32_t TDataView::Open() { throw EDataError("TDataView.Open: function not applicable"); }

int32_t TDataView::OpenDT(const TDtStamp&, const TDtStamp&, const TDtStamp&, const TDtStamp&) {
  throw EDataError("TDataView.OpenDT: function not applicable");
}

std::string TDataView::DefineIdent() { throw EDataError("TDataView.DefineIdent: function not applicable"); }
std::string TDataView::GetName() { throw EDataError("TDataView.GetName: function not applicable"); }
std::string TDataView::GetSName() { throw EDataError("TDataView.GetSName: function not applicable"); }

void TDataView::SetGlobChanList(TGlobChanList* list) {
  if (list == list_) return;
  list_ = list;
  Rebuild();
}

void TDataView::SetSourceRange(uint8_t range) {
  if (range == source_range_) return;
  source_range_ = range;
  Rebuild();
}

void TDataView::SetValueCount(int32_t n) {
  if (DtRec()->ValueCount() == n && NewestRec().ValueCount() == n) return;
  DtRec()->ChangeValCount(n);
  NewestRec().ChangeValCount(n);
  FreeBuffer();
}

int32_t TDataView::ColumnCount() const { return list_ ? std::min(list_->Count(), MaxColumns) : 0; }

void TDataView::Rebuild() {
  FreeBuffer();
  TDataGlobals* registry = DataGlobals;
  if (registry) registry->Lock();
  Lock();
  // Locked in the list's order of data sets; each is released as soon as it runs out of records.
  std::vector<TMergeSource> sources;
  auto release = [&] {
    for (TMergeSource& s : sources)
      if (s.locked) s.data->Unlock();
    sources.clear();
    if (registry) registry->Unlock();
    Unlock();
  };
  try {
    const int32_t n = ColumnCount();
    if (n > 0) {
      NewBuffer();
      int64_t most = 0;
      sources.reserve(static_cast<size_t>(list_->DataCount()));
      TMergeGroups merge;
      for (int32_t d = 0; d < list_->DataCount(); ++d) {
        auto* data = dynamic_cast<TDtData*>(list_->GetData_I(d));
        if (!data || data == this) continue;
        data->Lock();
        TMergeSource& s = sources.emplace_back(TMergeSource{data, {}, {}, true});
        data->SelectWindow(source_range_);
        s.records = data->Records();
        if (!s.records.Next()) {
          s.locked = false;
          data->Unlock();
          continue;
        }
        merge.Add(StampKey(s.records.Date(), s.records.Time()), static_cast<uint32_t>(sources.size() - 1));
        s.columns = ColumnsOf(*list_, n, *data);
        most = std::max<int64_t>(most, data->RecordCount());
      }
      TDtRecord row(n);
      const size_t row_size = row.Size();
      // At least as many rows as the longest source has records: room for them at once, made
      // when the first row has started the buffer.
      reserve_ = most * static_cast<int64_t>(row_size);
      rows_end_ = 0;
      // A row is built as its stored image: the empty row's image, the stamp, then each value's
      // six bytes as the sources store them.
      std::vector<uint8_t> empty(row_size);
      row.Clear();
      row.PutBytes(empty.data());
      row_bytes_.resize(row_size);
      uint8_t* const image = row_bytes_.data();
      uint16_t row_date = 0;
      int32_t row_time = 0;
      // Records of several sources with one time stamp are gathered into one row before it is
      // stored: the row is inserted once per time stamp, whichever source came first.
      bool pending = false;
      std::vector<std::pair<uint64_t, uint32_t>> moved;
      while (!merge.Empty()) {
        uint64_t key;
        const std::vector<uint32_t>& batch = merge.First(key);
        moved.clear();
        for (const uint32_t order : batch) {
          TMergeSource& s = sources[order];
          TDtCursor& rec = s.records;
          for (;;) {
            if (!SkipEmptyRows || HasValidValue(rec)) {
              // Without skipping, every record keeps a row of its own (an empty one marks the
              // start of a recording), and the insertion decides how equal stamps meet.
              if (pending && (!SkipEmptyRows || row_date != rec.Date() || row_time != rec.Time())) {
                AddRow(image, row);
                pending = false;
              }
              if (!pending) {
                std::memcpy(image, empty.data(), row_size);
                row_date = rec.Date();
                row_time = rec.Time();
                PutLE16(image, row_date);
                PutLE32(image + 6, static_cast<uint32_t>(row_time));
                pending = true;
              }
              FillImage(image, rec, s.columns);
            }
            if (!rec.Next()) {
              s.locked = false;
              s.data->Unlock();
              break;
            }
            // A next record at this stamp or before it (out of order) comes before every other
            // source's, as this source's place in the list comes first among those left.
            const uint64_t next = StampKey(rec.Date(), rec.Time());
            if (next > key) {
              moved.emplace_back(next, order);
              break;
            }
          }
        }
        merge.Advance(moved);
      }
      if (pending) AddRow(image, row);
      // The rows went in ascending order: the last one is the newest.
      if (BufferSize() > 0) {
        ImageToRow(image, row);
        NoteNewest(row);
      }
    }
  } catch (...) {
    release();
    throw;
  }
  release();
}

void TDataView::AddRow(const uint8_t* image, TDtRecord& row) {
  // A row after the last one is appended as InsertRecord would append it; the first row, and a
  // row that meets the last one's time stamp, take the insertion rule.
  const int64_t size = row.Size();
  const TDtStamp stamp{GetLE16(image), GetLE32s(image + 6)};
  if (rows_end_ == 0 || !DtStampLater(stamp, RangeStop)) {
    ImageToRow(image, row);
    InsertRecord(row);
    rows_end_ = BufferSize();
    if (reserve_ > 0 && rows_end_ > 0) {
      GuardMemory(RebuildOperation, [&] { Buffer()->Reserve(reserve_); });
      reserve_ = 0;
    }
    return;
  }
  if (rows_end_ + size > int64_t{DataPosMax} - size) RaiseOutOfMem(RebuildOperation);
  GuardMemory(RebuildOperation, [&] {
    Buffer()->SetPosition(rows_end_);
    Buffer()->Write(image, static_cast<int32_t>(size));
  });
  rows_end_ += size;
  RangeStop = stamp;
}

bool TDataView::ReplaceEmptyLastRow(TDtRecord& row) {
  // As in a rebuild, the sources' records at one time stamp share one row: a row without values
  // in the columns (from a record valid only in other channels) gives way to one with values.
  const int64_t size = row.Size();
  if (!SkipEmptyRows || row.IsEmpty() || BufferSize() < size) return false;
  TDtRecord last(row.ValueCount());
  GuardMemory(AppendOperation, [&] {
    Buffer()->SetPosition(BufferSize() - size);
    last.SRead(*Buffer());
  });
  if (!SameStamp(last, row) || !last.IsEmpty()) return false;
  row_bytes_.resize(static_cast<size_t>(size));
  row.PutBytes(row_bytes_.data());
  GuardMemory(AppendOperation, [&] {
    Buffer()->SetPosition(BufferSize() - size);
    Buffer()->Write(row_bytes_.data(), static_cast<int32_t>(size));
  });
  NoteNewest(row);
  SetModified(true);
  return true;
}

void TDataView::AppendNewest(TData* source) {
  Lock();
  if (source) source->Lock();
  auto release = [&] {
    Unlock();
    if (source) source->Unlock();
  };
  try {
    auto* src = dynamic_cast<TDtData*>(source);
    const int32_t n = ColumnCount();
    const TDtRecord& newest = src ? src->NewestRec() : *DtRec();
    // Without a buffer the view waits for its next rebuild, which brings the record along.
    if (src && src != this && n > 0 && HasBuffer() && newest.Date != NoDayNo && newest.Time != -1 &&
        (!SkipEmptyRows || HasValidValue(newest))) {
      TDtRecord row(n);
      row.Date = newest.Date;
      row.Time = newest.Time;
      FillRow(row, true, newest, ColumnsOf(*list_, n, *src));
      if (!ReplaceEmptyLastRow(row)) InsertRecord(row);
    }
  } catch (...) {
    release();
    throw;
  }
  release();
}

}  // namespace qv
