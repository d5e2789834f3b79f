#include "archive/forms/aligned_string_grid.h"

#include <string>

namespace qv {

void TAlignedStringGrid::SetDefaultCellAlignment(TAlignment alignment) {
  if (alignment == default_alignment_) return;
  default_alignment_ = alignment;
  Invalidate();
}

TAlignment TAlignedStringGrid::CellAlignment(int col, int row, TGridDrawState state) {
  TAlignment alignment = default_alignment_;
  if (OnGetCellAlignment) OnGetCellAlignment(this, col, row, state, alignment);
  return alignment;
}

void TAlignedStringGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  if (!DefaultDrawing() || OnDrawCell) {
    TStringGrid::DrawCell(col, row, rect, state);
    return;
  }
  TCanvas& c = DrawCanvas();
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = state == gdFixed ? FixedColor() : Color();
  c.FillRect(rect);
  std::string text = Cells(col, row);
  const TColor old_color = c.Font().Color();
  if (!text.empty() && text[0] == '!') {
    text.erase(0, 1);
    c.Font().SetColor(clRed);
  } else {
    c.Font().SetColor(clBlack);
  }
  const TAlignment alignment = CellAlignment(col, row, state);
  TRect r = rect;
  const int dx = alignment == TAlignment::taRightJustify ? 3 : 2;
  r.Left += dx;
  r.Right -= dx;
  r.Top += 2;
  r.Bottom -= 2;
  // Wrapped cells hold CR LF; the line feed alone breaks the line.
  std::erase(text, '\r');
  const uint32_t flags = DT_NOPREFIX | (alignment == TAlignment::taRightJustify ? DT_RIGHT
                                        : alignment == TAlignment::taCenter     ? DT_CENTER
                                                                                : DT_LEFT);
  c.Brush().Style = TBrushStyle::bsClear;
  c.DrawText(text, r, flags);
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Font().SetColor(old_color);
}

}  // namespace qv
