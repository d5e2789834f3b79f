#pragma once
// A merged view: rows built from the records of the data sets that the global channels of one
// list refer to, one column per global channel, one row per time stamp. The value table shows a
// view, the text export writes one out and the archive's data import reads one; they walk the
// rows with the ordinary reading operations of a time-ordered data set.
//
// Locking: Rebuild takes the registry of open data sets, then the view, then each source in the
// list's order of data sets (a source is released as soon as it runs out of records);
// AppendNewest takes the view, then the source. Readers hold the view's lock while they walk.
#include <cstdint>
#include <string>
#include <vector>

#include "datastore/dt_data.h"

namespace qv {

class TGlobChanList;

class TDataView : public TDtData {
public:
  // At most this many columns; a longer list contributes its first ones only.
  static constexpr int MaxColumns = 255;

  // The prototype becomes the record buffer through which readers see the current row; it stays
  // the caller's, who frees it after the view.
  explicit TDataView(TDtRecord* record_prototype);

  // The rows live in memory only: there is nothing to read or write.
  int32_t WriteData() override { return drDone; }
  int32_t ReadData() override { return drDone; }
  // Not applicable to a view: each raises EDataError.
  int32_t Open() override;
  int32_t OpenDT(const TDtStamp& start1, const TDtStamp& stop1, const TDtStamp& start2, const TDtStamp& stop2) override;
  std::string DefineIdent() override;
  std::string GetName() override;
  std::string GetSName() override;
  int32_t Flush() override { return drDone; }
  void NavigatorChanged() override {}
  // Users register with the source data sets instead.
  void AddClient(const void*, TDataEvents, TDataNotifyEvent) override {}
  // The buffer policy of the data sets does not apply.
  void CheckBuffer() override {}
  bool NoData() override { return BufferSize() == 0; }

  // A different list (not owned) is stored and the rows are rebuilt.
  void SetGlobChanList(TGlobChanList* list);
  TGlobChanList* GlobChanList() const { return list_; }
  // The read window that every source selects before a merge (0 whole buffer, 1 window Dt1,
  // 2 window Dt2, 3 from the append mark); a different one rebuilds.
  void SetSourceRange(uint8_t range);
  uint8_t SourceRange() const { return source_range_; }
  // Gives the record buffer and the newest-record buffer n values; a change empties the view.
  void SetValueCount(int32_t n);

  // Builds all rows anew from the sources' read windows. Rows inserted before a source's error
  // stay; the error propagates after every lock is released.
  virtual void Rebuild();
  // Adds the row of source's newest record (merged into the last row when the stamps are equal).
  void AppendNewest(TData* source);

  // A source record none of whose values is valid gives no row.
  bool SkipEmptyRows = true;

private:
  int32_t ColumnCount() const;
  // Stores a row of a rebuild, whose rows come in ascending order of time stamp, from its stored
  // image; row is the record through which an insertion takes it.
  void AddRow(const uint8_t* image, TDtRecord& row);
  // Puts a row with values in the place of a last row of the same time stamp without any; false
  // when there is no such row.
  bool ReplaceEmptyLastRow(TDtRecord& row);

  TGlobChanList* list_ = nullptr;
  uint8_t source_range_ = 2;
  int64_t reserve_ = 0;             // bytes to reserve once a rebuild has stored its first row
  int64_t rows_end_ = 0;            // during a rebuild: the end of the rows stored
  std::vector<uint8_t> row_bytes_;  // a row's image on its way into the buffer
};

}  // namespace qv
