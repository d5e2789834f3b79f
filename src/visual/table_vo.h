#pragma once
// Tables: global channels shown as the columns of a grid under three header rows (device,
// channel, unit) beside a fixed column of row captions. Columns can be hidden (masked) and
// brought back; neighbouring columns of one data set share one device caption. The value table
// fills the data rows; this base provides the columns, the header and the grid.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datastore/channel.h"
#include "platform/gui/grids.h"
#include "platform/gui/list_ctrls.h"
#include "platform/rtl/date_time.h"
#include "visual/selector.h"
#include "visual/vis_obj.h"

namespace qv {

class TTimer;

// How a cell is drawn; every cell string begins with its prefix (FormatPrefix).
struct TCellFormat {
  uint32_t Flags = 2065;  // DrawText flags
  uint8_t JoinMode = 0;   // 0 alone, 1 joined with the cell to its right, 2 last of a joined group
  TColor Color = clBlack;
  uint8_t Style = 0;  // TFontStyle bits
};

std::string FormatPrefix(const TCellFormat& format);
// Splits a cell string into its format and its text; raises "Table.ExtractFormatStr: FormatError"
// on a malformed prefix.
TCellFormat ExtractFormatStr(const std::string& cell, std::string& text);
// Centred word-broken text in the canvas's current font colour and style.
TCellFormat InitCellFormat(TCanvas& canvas);

// A row caption: the time in the locale's long time format and a blank.
std::string TimeCaption(TDateTime time);

// The pixel sizes of tables grow by a tenth: W x 1.1 + 0.5, rounded half to even.
int ScaleWidth(int w);
// Width of the widest text of the fixed column: the header captions and the rows' times.
int FixedColumnTextWidth(const TTextWidthFunc& measure);
// Width of the widest part of a data set's short name cut after each backslash.
int SegmentWidth(const std::string& text, const TTextWidthFunc& measure);

constexpr int kMaxTableColumns = 255;

// One column: a global channel with the widths of its cells.
class TTableGlbChan : public TGlobalChannel {
public:
  using TGlobalChannel::TGlobalChannel;
  std::string ClassName() const override { return "TTableGlbChan"; }
  void Assign(const TGlobalChannel* source) override;
  std::unique_ptr<TGlobalChannel> Clone() const override;

  int ValueWidth = 0;
  int HeaderWidth = 0;
  int ScreenWidth = 0;
  int PrintWidth = 0;
  uint8_t JoinMode = 0;
};

// The grid of a table: draws each cell by its format prefix and joined device captions whole.
class TTableGrid : public TStringGrid {
public:
  explicit TTableGrid(TComponent* owner);
  std::string ClassName() const override { return "TTableGrid"; }

protected:
  void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
  void Paint() override;

private:
  int group_start_ = 0;
};

class TTableVO : public TSizeVisObj {
public:
  explicit TTableVO(TComponent* owner);
  ~TTableVO() override;
  std::string ClassName() const override { return "TTableVO"; }
  void AfterConstruction() override;

  TTableGrid* Grid() const { return grid_; }
  TLabel* TableTitleLabel() const { return title_label_; }
  TGlobChanList* MaskGlobChanList() const { return mask_list_.get(); }
  TTableGlbChan* Column(int index) const;

  virtual void CreateGrid();
  virtual void CreateTitleLabel();
  virtual void ArrangeTitleLabel();
  virtual void BuildHeader();
  virtual void AdjustRowCount();
  virtual void FillFixedColumn();
  virtual void FillCells(TStringGrid* grid);
  virtual void GridMouseMove(int x, int y);
  virtual void ShowCellHint(const std::string& text, TPoint screen_point, uint32_t milliseconds);
  virtual void HideCellHint();
  void UpdateDeviceRowHeight();
  THintWindow* HintWindow() const { return hint_; }

  bool GetVertGrid() const;
  void SetVertGrid(bool on);
  bool GetHorzGrid() const;
  void SetHorzGrid(bool on);
  bool AddMaskedGlobChan(TData* data, TChannel* channel);

  // Popup commands.
  void SetupColumns();
  void MaskColumns();
  void MaskColumn(int index);
  void RetrieveColumn();
  TMenuItem* SetupColsItem() const { return men_setup_; }
  TMenuItem* MaskColItem() const { return men_mask_; }
  TMenuItem* RetrieveColItem() const { return men_retrieve_; }
  TMenuItem* HorzGridItem() const { return men_horz_; }
  TMenuItem* VertGridItem() const { return men_vert_; }

  void AddChanMenuClick(TComponent* sender) override;
  void LoadTitlePrefix() override;
  std::string GetGlbChanDescr() const override;
  std::string GetTypeDescr() const override;
  void CreatePopupMenu() override;
  void DestroyPopupMenu() override;
  void UpdateMenus() override;
  std::unique_ptr<TGlobalChannel> CreateGlobChan(TData* data, TChannel* channel) override;
  bool CanAcceptGlbChan(TData* data, TChannel* channel, uint8_t& reason) override;
  void DataNotify(TData* data, int32_t event) override;
  void UpdateLanguage() override;
  void DeleteGlobChan(int index) override;
  void ClearGlobChans() override;
  void GlobChansChanged() override;
  void SetBounds(int left, int top, int width, int height) override;
  void StoreIniSection(TIniFile2* ini, const std::string& section) override;
  void LoadIniSection(TIniFile2* ini, const std::string& section) override;
  void LoadRegKey(TRegistry* registry) override;

protected:
  // The grid and the label are built by the overridable creation steps.
  TTableGrid* grid_ = nullptr;
  TLabel* title_label_ = nullptr;
  // Bold "MS Sans Serif" of the grid's size: the header's font.
  void SetHeaderFont(TCanvas& canvas) const;
  TTextWidthFunc HeaderMeasure() const;
  // Registers for the events a data set used only by masked columns still needs.
  void ReduceDataClient(TData* data);

private:
  // The visible or masked columns use the data set.
  bool UsesData(const TData* data) const;
  // Adds one stored hidden column, or reports and drops it.
  void LoadMaskedGlobChan(TIniFile2& ini, const std::string& section, const std::string& where, bool from_registry);
  std::unique_ptr<TGlobChanList> mask_list_;
  THintWindow* hint_ = nullptr;
  TTimer* hint_timer_ = nullptr;
  std::string hint_text_;
  bool dialog_open_ = false;
  TMenuItem* men_setup_ = nullptr;
  TMenuItem* men_mask_ = nullptr;
  TMenuItem* men_retrieve_ = nullptr;
  TMenuItem* men_horz_ = nullptr;
  TMenuItem* men_vert_ = nullptr;
};

// The table class; tables on a monitor are of a class that inherits from it.
extern const TVisObjClass TableVOClass;

// Runs the selection dialog in its multiple-choice style (caption, the choices) and answers its
// modal result, 1 for OK, with the chosen indexes in ascending order. Installed by the shell.
using TMultiSelectDlgProc =
    std::function<int(const std::string& caption, const std::vector<std::string>& choices, std::vector<int>& chosen)>;
extern TMultiSelectDlgProc MultiSelectDlgProc;

}  // namespace qv
