#pragma once
// The value table: a table whose data rows show the measured values of one day, one row per
// time stamp, merged from the table's channels. The day is the navigator's day window. The
// table follows new records, steps day by day and scrolls through the day's rows with keys.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "datastore/dt_record.h"
#include "platform/gui/std_ctrls.h"
#include "visual/data_view.h"
#include "visual/table_vo.h"

namespace qv {

// The message the table posts to itself to reload after many records changed.
constexpr uint32_t WM_VALTABLE_RELOAD = 1025;

class TValTable : public TTableVO {
public:
  explicit TValTable(TComponent* owner);
  ~TValTable() override;
  std::string ClassName() const override { return "TValTable"; }
  void AfterConstruction() override;

  TDataView* View() const { return view_.get(); }
  uint16_t Day() const { return day_; }
  int32_t CurrentTime() const { return current_time_; }
  bool ReloadPending() const { return reload_pending_; }
  bool ReloadOnActivate() const { return reload_on_activate_; }
  TSpeedButton* DayBackButton() const { return day_back_; }
  TSpeedButton* DayForwardButton() const { return day_forw_; }
  TScrollBar* ScrollBar() const { return scroll_bar_; }
  // The scroll bar shows where the first shown row lies in the day's rows (0 to 500).
  void UpdateScrollPos();
  void ScrollBarScroll(TScrollCode code, int& position);

  // Reloads the rows after the data sets changed (the message the table posts to itself).
  virtual void Reload();
  void UpdateDay();
  void DayButtonClick(bool forward);
  // Data rows the grid shows.
  int DataRows() const;

  void CreateGrid() override;
  void ArrangeTitleLabel() override;
  void AdjustRowCount() override;
  void FillCells(TStringGrid* grid) override;
  void GlobChansChanged() override;
  void AddDataClient(TData* data) override;
  void DataNotify(TData* data, int32_t event) override;
  bool HandleKey(uint16_t& key, TShiftState shift) override;
  void UpdateLanguage() override;
  void Deactivate() override;
  void Activate() override;
  void WndProc(TMessage& message) override;

  // Printing: the day's rows in blocks, side by side when the table is narrow, its columns in
  // groups of pages when it is wider than the page.
  void DefinePrintPgCnt() override;
  void EndPrint() override;
  void DoPrint(TProcessWindowService* window) override;
  void PrintBlock(int block, int first_column, int x);
  int BlocksPerPage() const { return blocks_per_page_; }
  int BlockCount() const { return block_count_; }
  // Column groups of the print: first grid column and number of columns.
  const std::vector<std::pair<int, int>>& PrintGroups() const { return groups_; }

private:
  // Rows of the shown day in the view.
  int DayRowCount();
  // Positions the view before the day's row n (from 0); false past the day's last row.
  bool GotoDayRow(int n);
  // Positions the view at the screen's first shown row again.
  void RestoreScreenRow();
  void CreateView();
  void FreeView();
  // Positions the view at the first row at or after (Day, time), else at the day's last row;
  // the search starts at the window's start or at the current row.
  void GotoTime(int32_t time, bool from_start = true);
  // Positions the view at the day's last row.
  void GotoLastRow();
  // Positions the view so that the newest rows show.
  void GotoNewestRows();
  void SetCurrentTime(int32_t time);
  void ArrangeButtons();

  std::unique_ptr<TDtRecord> prototype_;
  std::unique_ptr<TDataView> view_;
  uint16_t day_ = 0xFFFF;
  int32_t current_time_ = -1;
  bool reload_pending_ = false;
  bool reload_on_activate_ = false;
  bool newest_changed_ = false;
  TSpeedButton* day_back_ = nullptr;
  TSpeedButton* day_forw_ = nullptr;
  TScrollBar* scroll_bar_ = nullptr;
  int scroll_pos_ = 0;
  // The print job's grid, columns and blocks.
  TTableGrid* print_grid_ = nullptr;
  std::vector<std::pair<int, int>> groups_;
  std::vector<int> group_widths_;
  int blocks_per_page_ = 0, block_count_ = 0, block_pos_ = 0, print_margin_ = 0, grid_top_ = 0;
};

extern const TVisObjClass ValTableClass;
// Adds the value table to the classes every visual-object registry starts with (once).
void RegisterTableClasses();

}  // namespace qv
