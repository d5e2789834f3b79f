#include "visual/data_view.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "datastore/channel.h"
#include "datastore/data_globals.h"
#include "datastore/global_channel.h"

namespace qv {

namespace {

bool Earlier(const TDtRecord& a, const TDtRecord& b) { return a.Date != b.Date ? a.Date < b.Date : a.Time < b.Time; }

bool SameStamp(const TDtRecord& a, const TDtRecord& b) { return a.Date == b.Date && a.Time == b.Time; }

bool HasValidValue(const TDtRecord& r) {
  for (int32_t i = 0; i < r.ValueCount(); ++i)
    if (r.GetValues(i) > NoValue) return true;
  return false;
}

// One source of a merge: its columns as (column, value index) pairs.
struct TMergeSource {
  TDtData* data;
  std::vector<std::pair<int32_t, int32_t>> columns;
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

// Fills the row's missing columns from the source's current record.
void FillRow(TDtRecord& row, const TDtRecord& rec, const std::vector<std::pair<int32_t, int32_t>>& columns) {
  for (const auto& [column, index] : columns) {
    if (row.GetValues(column) > NoValue) continue;
    const double v = rec.GetValues(index);
    if (v > NoValue) row.SetValues(column, v);
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
  // The sources that still have records, the one with the earliest current record first; each
  // of them is locked.
  std::vector<TMergeSource> merge;
  auto release = [&] {
    for (TMergeSource& s : merge) s.data->Unlock();
    merge.clear();
    if (registry) registry->Unlock();
    Unlock();
  };
  try {
    const int32_t n = ColumnCount();
    if (n > 0) {
      NewBuffer();
      for (int32_t d = 0; d < list_->DataCount(); ++d) {
        auto* data = dynamic_cast<TDtData*>(list_->GetData_I(d));
        if (!data || data == this) continue;
        data->Lock();
        merge.push_back(TMergeSource{data, {}});
        data->SelectWindow(source_range_);
        if (!data->First()) {
          merge.pop_back();
          data->Unlock();
          continue;
        }
        merge.back().columns = ColumnsOf(*list_, n, *data);
      }
      std::stable_sort(merge.begin(), merge.end(), [](const TMergeSource& a, const TMergeSource& b) {
        return Earlier(*a.data->DtRec(), *b.data->DtRec());
      });
      // Records of several sources with one time stamp are gathered into one row before it is
      // stored: the row is inserted once per time stamp, whichever source came first.
      TDtRecord row(n);
      bool pending = false;
      while (!merge.empty()) {
        TMergeSource& s = merge.front();
        const TDtRecord& rec = *s.data->DtRec();
        if (!SkipEmptyRows || HasValidValue(rec)) {
          // Without skipping, every record keeps a row of its own (an empty one marks the start
          // of a recording), and the insertion decides how equal stamps meet.
          if (pending && (!SkipEmptyRows || !SameStamp(row, rec))) {
            InsertRecord(row);
            pending = false;
          }
          if (!pending) {
            row.Clear();
            row.Date = rec.Date;
            row.Time = rec.Time;
            pending = true;
          }
          FillRow(row, rec, s.columns);
        }
        if (s.data->Next()) {
          // Only the first entry moved: carry it behind the ones that are earlier.
          for (size_t i = 1; i < merge.size() && Earlier(*merge[i].data->DtRec(), *merge[i - 1].data->DtRec()); ++i)
            std::swap(merge[i], merge[i - 1]);
        } else {
          TDtData* done = s.data;
          merge.erase(merge.begin());
          done->Unlock();
        }
      }
      if (pending) InsertRecord(row);
    }
  } catch (...) {
    release();
    throw;
  }
  release();
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
      FillRow(row, newest, ColumnsOf(*list_, n, *src));
      InsertRecord(row);
    }
  } catch (...) {
    release();
    throw;
  }
  release();
}

}  // namespace qv
