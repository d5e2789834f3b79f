#pragma once
// The laid-out pages of a document: for each page its size, orientation and the labels, grids
// and charts placed on it, in page pixels. A page is only a description, so documents of many
// thousand rows lay out quickly; the page panel turns the shown page (or the one being printed)
// into controls.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/forms/chart.h"
#include "platform/gui/ext_ctrls.h"

namespace qv {

class TAlignedStringGrid;

enum class TDY_PageFont : uint8_t { Normal, Chapter, Title };

struct TDY_PageLabel {
  std::string Name;
  std::string Text;
  TDY_PageFont Font = TDY_PageFont::Normal;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  TColor Color = clBlack;
};

// A grid's cells row by row.
struct TDY_PageGrid {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int ColCount = 0, RowCount = 0, FixedRows = 0;
  std::vector<int> ColWidths, RowHeights;
  std::vector<std::string> Cells;
  TAlignment DefaultAlignment = TAlignment::taLeftJustify;
  // The table grids: every cell below the header and right of the time column right-aligned.
  bool TableAlignment = false;
  std::string& Cell(int col, int row) { return Cells[static_cast<size_t>(row * ColCount + col)]; }
  const std::string& Cell(int col, int row) const { return Cells[static_cast<size_t>(row * ColCount + col)]; }
  void SetRowCount(int rows, int height);
};

struct TDY_PageChart {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  TChartSpec Spec;
};

enum class TDY_PageItemKind : uint8_t { Label, Grid, Chart };

class TDY_Page {
public:
  int32_t Orientation = 0;  // 0 portrait, 1 landscape
  int Width = 0, Height = 0;
  std::vector<TDY_PageLabel> Labels;
  std::vector<TDY_PageGrid> Grids;
  std::vector<TDY_PageChart> Charts;
  // The items in the order they were placed.
  std::vector<std::pair<TDY_PageItemKind, int>> Items;

  TDY_PageLabel& AddLabel(TDY_PageLabel label);
  // The index of the new grid (the grids may move as more are added).
  int AddGrid(TDY_PageGrid grid);
  TDY_PageChart& AddChart(TDY_PageChart chart);
  // The label of that name, or null.
  const TDY_PageLabel* FindLabel(const std::string& name) const;
};

class TDY_PageList {
public:
  TDY_Page* Add(std::unique_ptr<TDY_Page> page) {
    pages_.push_back(std::move(page));
    return pages_.back().get();
  }
  TDY_Page* Get(int index) const { return pages_.at(static_cast<size_t>(index)).get(); }
  int Count() const { return static_cast<int>(pages_.size()); }
  void Clear() { pages_.clear(); }

private:
  std::vector<std::unique_ptr<TDY_Page>> pages_;
};

// The font of a page text: "MS Sans Serif" at 10 points, 12 and 14 points bold.
void SetPageFont(TFont& font, TDY_PageFont kind);

// A page as the user sees it: a white panel of the paper's size holding the page's labels,
// grids and charts as controls.
class TDY_PagePanel : public TPanel {
public:
  explicit TDY_PagePanel(TComponent* owner);
  std::string ClassName() const override { return "TDY_PagePanel"; }
  // Replaces the controls by those of page (none for null).
  void ShowPage(const TDY_Page* page);
  const TDY_Page* Page() const { return page_; }
  // The page's table grids, in order.
  std::vector<TAlignedStringGrid*> Grids() const;
  // The mouse wheel over the page: the wheel's delta (above 0 up, below 0 down).
  std::function<void(int delta)> OnWheel;
  void WndProc(TMessage& message) override;

private:
  void ClearControls();
  const TDY_Page* page_ = nullptr;
};

}  // namespace qv
