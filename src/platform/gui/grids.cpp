#include "platform/gui/grids.h"

#include <algorithm>

#include "platform/gui/ext_ctrls.h"

namespace qv {

namespace {
const std::string kEmpty;
constexpr uint16_t kVkPrior = 33, kVkNext = 34, kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkUp = 38, kVkRight = 39,
                   kVkDown = 40;
}  // namespace

TStringGrid::TStringGrid(TComponent* owner) : TCustomControl(owner) {
  SetColor(clWindow);
  SetBorderStyle(TBorderStyle::bsSingle);
  SetColCount(5);
  SetRowCount(5);
}

void TStringGrid::SetColCount(int count) {
  count = std::max(count, 1);
  col_widths_.resize(static_cast<size_t>(count), default_col_width_);
  cells_.resize(static_cast<size_t>(count), std::vector<std::string>(row_heights_.size()));
  fixed_cols_ = std::min(fixed_cols_, count - 1 < 0 ? 0 : count - 1);
  ClampTopLeft();
  Invalidate();
}

void TStringGrid::SetRowCount(int count) {
  count = std::max(count, 1);
  row_heights_.resize(static_cast<size_t>(count), default_row_height_);
  for (auto& col : cells_) col.resize(static_cast<size_t>(count));
  ClampTopLeft();
  Invalidate();
}

void TStringGrid::SetFixedCols(int count) {
  fixed_cols_ = std::clamp(count, 0, ColCount() - 1);
  left_col_ = std::max(left_col_, fixed_cols_);
  ClampTopLeft();
  Invalidate();
}

void TStringGrid::SetFixedRows(int count) {
  fixed_rows_ = std::clamp(count, 0, RowCount() - 1);
  top_row_ = std::max(top_row_, fixed_rows_);
  ClampTopLeft();
  Invalidate();
}

void TStringGrid::SetDefaultColWidth(int width) {
  default_col_width_ = width;
  std::fill(col_widths_.begin(), col_widths_.end(), width);
  Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int height) {
  default_row_height_ = height;
  std::fill(row_heights_.begin(), row_heights_.end(), height);
  Invalidate();
}

int TStringGrid::ColWidths(int col) const {
  return col >= 0 && col < ColCount() ? col_widths_[static_cast<size_t>(col)] : 0;
}

void TStringGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= ColCount()) return;
  col_widths_[static_cast<size_t>(col)] = std::max(width, 0);
  Invalidate();
}

int TStringGrid::RowHeights(int row) const {
  return row >= 0 && row < RowCount() ? row_heights_[static_cast<size_t>(row)] : 0;
}

void TStringGrid::SetRowHeights(int row, int height) {
  if (row < 0 || row >= RowCount()) return;
  row_heights_[static_cast<size_t>(row)] = std::max(height, 0);
  Invalidate();
}

void TStringGrid::SetOptions(TGridOptions options) {
  options_ = options;
  Invalidate();
}

void TStringGrid::SetGridLineWidth(int width) {
  grid_line_width_ = std::max(width, 0);
  Invalidate();
}

void TStringGrid::SetFixedColor(TColor color) {
  fixed_color_ = color;
  Invalidate();
}

const std::string& TStringGrid::Cells(int col, int row) const {
  if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return kEmpty;
  return cells_[static_cast<size_t>(col)][static_cast<size_t>(row)];
}

void TStringGrid::SetCells(int col, int row, const std::string& text) {
  if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return;
  cells_[static_cast<size_t>(col)][static_cast<size_t>(row)] = text;
  Invalidate();
}

void TStringGrid::ClampTopLeft() {
  const int old_left = left_col_, old_top = top_row_;
  left_col_ = std::clamp(left_col_, fixed_cols_, std::max(fixed_cols_, ColCount() - 1));
  top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, RowCount() - 1));
  if ((old_left != left_col_ || old_top != top_row_) && OnTopLeftChanged) OnTopLeftChanged(this);
}

void TStringGrid::SetLeftCol(int col) {
  col = std::clamp(col, fixed_cols_, std::max(fixed_cols_, ColCount() - 1));
  if (col == left_col_) return;
  left_col_ = col;
  if (OnTopLeftChanged) OnTopLeftChanged(this);
  Invalidate();
}

void TStringGrid::SetTopRow(int row) {
  row = std::clamp(row, fixed_rows_, std::max(fixed_rows_, RowCount() - 1));
  if (row == top_row_) return;
  top_row_ = row;
  if (OnTopLeftChanged) OnTopLeftChanged(this);
  Invalidate();
}

int TStringGrid::LineWidth(bool vertical, bool /*fixed*/) const {
  const TGridOptions mask = vertical ? (goVertLine | goFixedVertLine) : (goHorzLine | goFixedHorzLine);
  return (options_ & mask) ? grid_line_width_ : 0;
}

std::vector<int> TStringGrid::ColLefts() const {
  std::vector<int> lefts(col_widths_.size(), -1);
  const int lw = LineWidth(true, false);
  int x = 0;
  for (int c = 0; c < fixed_cols_; ++c) {
    lefts[static_cast<size_t>(c)] = x;
    x += ColWidths(c) + lw;
  }
  for (int c = left_col_; c < ColCount() && x < ClientWidth(); ++c) {
    lefts[static_cast<size_t>(c)] = x;
    x += ColWidths(c) + lw;
  }
  return lefts;
}

std::vector<int> TStringGrid::RowTops() const {
  std::vector<int> tops(row_heights_.size(), -1);
  const int lw = LineWidth(false, false);
  int y = 0;
  for (int r = 0; r < fixed_rows_; ++r) {
    tops[static_cast<size_t>(r)] = y;
    y += RowHeights(r) + lw;
  }
  for (int r = top_row_; r < RowCount() && y < ClientHeight(); ++r) {
    tops[static_cast<size_t>(r)] = y;
    y += RowHeights(r) + lw;
  }
  return tops;
}

int TStringGrid::VisibleColCount() const {
  const int lw = LineWidth(true, false);
  int x = 0;
  for (int c = 0; c < fixed_cols_; ++c) x += ColWidths(c) + lw;
  int n = 0;
  for (int c = left_col_; c < ColCount(); ++c) {
    x += ColWidths(c) + lw;
    if (x - lw > ClientWidth()) break;
    ++n;
  }
  return std::max(n, ColCount() > fixed_cols_ ? 1 : 0);
}

int TStringGrid::VisibleRowCount() const {
  const int lw = LineWidth(false, false);
  int y = 0;
  for (int r = 0; r < fixed_rows_; ++r) y += RowHeights(r) + lw;
  int n = 0;
  for (int r = top_row_; r < RowCount(); ++r) {
    y += RowHeights(r) + lw;
    if (y - lw > ClientHeight()) break;
    ++n;
  }
  return std::max(n, RowCount() > fixed_rows_ ? 1 : 0);
}

TRect TStringGrid::CellRect(int col, int row) const {
  if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return TRect{};
  const int left = ColLefts()[static_cast<size_t>(col)], top = RowTops()[static_cast<size_t>(row)];
  if (left < 0 || top < 0) return TRect{};
  return TRect{left, top, left + ColWidths(col), top + RowHeights(row)};
}

TGridCoord TStringGrid::MouseToCell(int x, int y) const {
  TGridCoord cell;
  const std::vector<int> lefts = ColLefts(), tops = RowTops();
  for (int c = 0; c < ColCount(); ++c) {
    const int l = lefts[static_cast<size_t>(c)];
    if (l >= 0 && x >= l && x < l + ColWidths(c) + LineWidth(true, false)) cell.X = c;
  }
  for (int r = 0; r < RowCount(); ++r) {
    const int t = tops[static_cast<size_t>(r)];
    if (t >= 0 && y >= t && y < t + RowHeights(r) + LineWidth(false, false)) cell.Y = r;
  }
  if (cell.X < 0 || cell.Y < 0) return TGridCoord{};
  return cell;
}

void TStringGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  if (OnDrawCell) {
    OnDrawCell(this, col, row, rect, state);
    return;
  }
  if (!default_drawing_) return;
  TCanvas& c = DrawCanvas();
  c.Brush().Color = (state & gdFixed) ? fixed_color_ : Color();
  c.FillRect(rect);
  c.Brush().Style = TBrushStyle::bsClear;
  c.TextRect(rect, rect.Left + 2, rect.Top + 2, Cells(col, row));
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStringGrid::PaintGrid(TCanvas& canvas) {
  draw_canvas_ = &canvas;
  canvas.Font().Assign(Font());
  canvas.Brush().Color = Color();
  canvas.FillRect(ClientRect());
  const std::vector<int> lefts = ColLefts(), tops = RowTops();
  const int vlw = LineWidth(true, false), hlw = LineWidth(false, false);
  int right = 0, bottom = 0;
  for (int r = 0; r < RowCount(); ++r) {
    const int top = tops[static_cast<size_t>(r)];
    if (top < 0) continue;
    bottom = std::max(bottom, top + RowHeights(r) + hlw);
    for (int c = 0; c < ColCount(); ++c) {
      const int left = lefts[static_cast<size_t>(c)];
      if (left < 0) continue;
      right = std::max(right, left + ColWidths(c) + vlw);
      const bool fixed = c < fixed_cols_ || r < fixed_rows_;
      const TRect rect{left, top, left + ColWidths(c), top + RowHeights(r)};
      canvas.SaveState();
      DrawCell(c, r, rect, fixed ? static_cast<TGridDrawState>(gdFixed) : 0u);
      canvas.RestoreState();
      // Lines at the right and bottom edge of each cell, by the options of fixed and other cells.
      canvas.Brush().Color = clBlack;
      if (vlw > 0 && (options_ & (fixed ? goFixedVertLine : goVertLine)))
        canvas.FillRect(TRect{rect.Right, rect.Top, rect.Right + vlw, rect.Bottom + hlw});
      if (hlw > 0 && (options_ & (fixed ? goFixedHorzLine : goHorzLine)))
        canvas.FillRect(TRect{rect.Left, rect.Bottom, rect.Right + vlw, rect.Bottom + hlw});
    }
  }
  draw_canvas_ = nullptr;
}

void TStringGrid::Paint() { PaintGrid(Canvas()); }

void TStringGrid::PaintOn(TCanvas& canvas, int x, int y) {
  canvas.SaveState();
  canvas.MoveOrigin(x, y);
  canvas.IntersectClipRect(ClientRect());
  PaintGrid(canvas);
  canvas.RestoreState();
}

void TStringGrid::KeyDown(uint16_t& key, TShiftState shift) {
  // The owner sees the key first and may take it.
  TCustomControl::KeyDown(key, shift);
  switch (key) {
    case kVkLeft: SetLeftCol(std::max(fixed_cols_, left_col_ - 1)); break;
    case kVkRight: SetLeftCol(std::min(ColCount() - VisibleColCount(), left_col_ + 1)); break;
    case kVkUp: SetTopRow(std::max(fixed_rows_, top_row_ - 1)); break;
    case kVkDown: SetTopRow(std::min(RowCount() - VisibleRowCount(), top_row_ + 1)); break;
    case kVkPrior: SetTopRow(std::max(fixed_rows_, top_row_ - VisibleRowCount())); break;
    case kVkNext: SetTopRow(std::min(RowCount() - VisibleRowCount(), top_row_ + VisibleRowCount())); break;
    case kVkHome: SetLeftCol(fixed_cols_); break;
    case kVkEnd: SetLeftCol(std::max(fixed_cols_, ColCount() - VisibleColCount())); break;
    default: return;
  }
}

void TStringGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus()) SetFocus();
  TCustomControl::MouseDown(button, shift, x, y);
}

}  // namespace qv
