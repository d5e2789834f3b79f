#include "archive/forms/dy_page.h"

#include "archive/forms/aligned_string_grid.h"
#include "platform/gui/list_ctrls.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

void TDY_PageGrid::SetRowCount(int rows, int height) {
  RowCount = rows;
  RowHeights.resize(static_cast<size_t>(rows), height);
  Cells.resize(static_cast<size_t>(rows * ColCount));
}

TDY_PageLabel& TDY_Page::AddLabel(TDY_PageLabel label) {
  Labels.push_back(std::move(label));
  Items.emplace_back(TDY_PageItemKind::Label, static_cast<int>(Labels.size()) - 1);
  return Labels.back();
}

int TDY_Page::AddGrid(TDY_PageGrid grid) {
  Grids.push_back(std::move(grid));
  Items.emplace_back(TDY_PageItemKind::Grid, static_cast<int>(Grids.size()) - 1);
  return static_cast<int>(Grids.size()) - 1;
}

TDY_PageChart& TDY_Page::AddChart(TDY_PageChart chart) {
  Charts.push_back(std::move(chart));
  Items.emplace_back(TDY_PageItemKind::Chart, static_cast<int>(Charts.size()) - 1);
  return Charts.back();
}

const TDY_PageLabel* TDY_Page::FindLabel(const std::string& name) const {
  for (const TDY_PageLabel& l : Labels)
    if (l.Name == name) return &l;
  return nullptr;
}

void SetPageFont(TFont& font, TDY_PageFont kind) {
  font.SetName("MS Sans Serif");
  font.SetSize(kind == TDY_PageFont::Normal ? 10 : kind == TDY_PageFont::Chapter ? 12 : 14);
  font.SetStyle(kind == TDY_PageFont::Normal ? 0 : static_cast<TFontStyles>(TFontStyle::fsBold));
}

TDY_PagePanel::TDY_PagePanel(TComponent* owner) : TPanel(owner) {
  SetColor(clWhite);
  SetBevelOuter(TPanelBevel::bvRaised);
  SetCaption("");
}

void TDY_PagePanel::ClearControls() {
  for (int i = ControlCount() - 1; i >= 0; --i) delete Controls(i);
}

void TDY_PagePanel::ShowPage(const TDY_Page* page) {
  ClearControls();
  page_ = page;
  if (!page) return;
  SetBounds(Left(), Top(), page->Width, page->Height);
  for (const auto& [kind, index] : page->Items) {
    switch (kind) {
      case TDY_PageItemKind::Label: {
        const TDY_PageLabel& l = page->Labels[static_cast<size_t>(index)];
        auto* label = new TLabel(this);
        label->SetName(l.Name);
        label->SetShowAccelChar(false);
        SetPageFont(label->Font(), l.Font);
        label->Font().SetColor(l.Color);
        label->SetCaption(l.Text);
        label->SetBounds(l.Left, l.Top, l.Width, l.Height);
        label->SetParent(this);
        break;
      }
      case TDY_PageItemKind::Grid: {
        const TDY_PageGrid& g = page->Grids[static_cast<size_t>(index)];
        auto* grid = new TAlignedStringGrid(this);
        grid->SetScrollBars(TScrollStyle::ssNone);
        SetPageFont(grid->Font(), TDY_PageFont::Normal);
        grid->SetColCount(g.ColCount);
        grid->SetRowCount(g.RowCount);
        grid->SetFixedCols(0);
        grid->SetFixedRows(g.FixedRows);
        // Nothing scrolls: the first column and row after the fixed ones show.
        grid->SetLeftCol(0);
        grid->SetTopRow(g.FixedRows);
        grid->SetDefaultCellAlignment(g.DefaultAlignment);
        if (g.TableAlignment)
          grid->OnGetCellAlignment = [](TComponent*, int col, int row, TGridDrawState, TAlignment& a) {
            if (row > 0 && col > 0) a = TAlignment::taRightJustify;
          };
        for (int c = 0; c < g.ColCount; ++c) grid->SetColWidths(c, g.ColWidths[static_cast<size_t>(c)]);
        for (int r = 0; r < g.RowCount; ++r) {
          grid->SetRowHeights(r, g.RowHeights[static_cast<size_t>(r)]);
          for (int c = 0; c < g.ColCount; ++c) grid->SetCells(c, r, g.Cell(c, r));
        }
        grid->SetBounds(g.Left, g.Top, g.Width, g.Height);
        grid->SetEnabled(false);
        grid->SetParent(this);
        break;
      }
      case TDY_PageItemKind::Chart: {
        const TDY_PageChart& ch = page->Charts[static_cast<size_t>(index)];
        auto* chart = new TChart(this);
        chart->Spec = ch.Spec;
        chart->SetBounds(ch.Left, ch.Top, ch.Width, ch.Height);
        chart->SetParent(this);
        break;
      }
    }
  }
}

void TDY_PagePanel::WndProc(TMessage& message) {
  if (message.Msg == WM_MOUSEWHEEL && OnWheel) {
    OnWheel(WheelDelta(message.WParam));
    message.Result = 1;
    return;
  }
  TPanel::WndProc(message);
}

std::vector<TAlignedStringGrid*> TDY_PagePanel::Grids() const {
  std::vector<TAlignedStringGrid*> grids;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* g = dynamic_cast<TAlignedStringGrid*>(Controls(i))) grids.push_back(g);
  return grids;
}

}  // namespace qv
