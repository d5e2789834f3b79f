#pragma once
// A grid of cells: fixed rows and columns at the top and left that stay in place, the other
// cells scrolled by their top-left cell. Each cell holds a string; the owner may draw the cells
// itself (DefaultDrawing off and a DrawCell override or OnDrawCell).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/controls.h"

namespace qv {

enum TGridOption : uint32_t {
  goFixedVertLine = 0x01,
  goFixedHorzLine = 0x02,
  goVertLine = 0x04,
  goHorzLine = 0x08,
};
using TGridOptions = uint32_t;

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

enum TGridDrawStateFlag : uint32_t { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = uint32_t;

struct TGridCoord {
  int X = -1;
  int Y = -1;
};

class TStringGrid : public TCustomControl {
public:
  explicit TStringGrid(TComponent* owner);
  std::string ClassName() const override { return "TStringGrid"; }

  int ColCount() const { return static_cast<int>(col_widths_.size()); }
  void SetColCount(int count);
  int RowCount() const { return static_cast<int>(row_heights_.size()); }
  void SetRowCount(int count);
  int FixedCols() const { return fixed_cols_; }
  void SetFixedCols(int count);
  int FixedRows() const { return fixed_rows_; }
  void SetFixedRows(int count);
  int DefaultColWidth() const { return default_col_width_; }
  // Gives every column the width.
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return default_row_height_; }
  // Gives every row the height.
  void SetDefaultRowHeight(int height);
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;
  void SetRowHeights(int row, int height);
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions options);
  TScrollStyle ScrollBars() const { return scroll_bars_; }
  void SetScrollBars(TScrollStyle style) { scroll_bars_ = style; }
  bool DefaultDrawing() const { return default_drawing_; }
  void SetDefaultDrawing(bool v) { default_drawing_ = v; }
  int GridLineWidth() const { return grid_line_width_; }
  void SetGridLineWidth(int width);
  TColor FixedColor() const { return fixed_color_; }
  void SetFixedColor(TColor color);

  const std::string& Cells(int col, int row) const;
  void SetCells(int col, int row, const std::string& text);

  // The first scrolled (non-fixed) column and row shown.
  int LeftCol() const { return left_col_; }
  void SetLeftCol(int col);
  int TopRow() const { return top_row_; }
  void SetTopRow(int row);
  // Scrolled columns (rows) that are shown whole, at least 1 while there are any.
  int VisibleColCount() const;
  int VisibleRowCount() const;
  // The cell at a client point; (-1, -1) outside every cell.
  TGridCoord MouseToCell(int x, int y) const;
  // The cell's rectangle in client coordinates; empty when it is not shown.
  TRect CellRect(int col, int row) const;
  // Paints the whole grid onto another canvas at (x, y), as large as the grid.
  void PaintOn(TCanvas& canvas, int x, int y);

  TNotifyEvent OnTopLeftChanged;
  std::function<void(TComponent* sender, int col, int row, const TRect& rect, TGridDrawState state)> OnDrawCell;

protected:
  void Paint() override;
  virtual void DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  // The canvas that the cells draw on during a paint (the window's or a target canvas).
  TCanvas& DrawCanvas() { return *draw_canvas_; }
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  int LineWidth(bool vertical, bool fixed) const;
  // Left (top) edges of the shown columns (rows); -1 for those not shown.
  std::vector<int> ColLefts() const;
  std::vector<int> RowTops() const;
  void PaintGrid(TCanvas& canvas);
  void ClampTopLeft();

  std::vector<int> col_widths_;
  std::vector<int> row_heights_;
  std::vector<std::vector<std::string>> cells_;  // [col][row]
  int fixed_cols_ = 1, fixed_rows_ = 1;
  int default_col_width_ = 64, default_row_height_ = 24;
  TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;
  TScrollStyle scroll_bars_ = TScrollStyle::ssBoth;
  bool default_drawing_ = true;
  int grid_line_width_ = 1;
  TColor fixed_color_ = clBtnFace;
  int left_col_ = 1, top_row_ = 1;
  TCanvas* draw_canvas_ = nullptr;
};

}  // namespace qv
