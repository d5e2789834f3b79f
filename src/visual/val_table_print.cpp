// Printing of the value table: the shown day's rows on as many pages as needed inside the print
// layout, drawn by a second grid at the printer's resolution.
#include <algorithm>

#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/process_window_service.h"
#include "controls/sty_round.h"
#include "datastore/channel.h"
#include "platform/gui/printers.h"
#include "platform/rtl/date_time.h"
#include "visual/print_layout.h"
#include "visual/val_table.h"

namespace qv {

namespace {
constexpr uint16_t kNoDay = 0xFFFF;
constexpr uint32_t kMeasureFlags = DT_NOPREFIX | DT_WORDBREAK | DT_CENTER | DT_CALCRECT;
int CeilDiv(int a, int b) { return b > 0 ? (a + b - 1) / b : 0; }
}  // namespace

int TValTable::DayRowCount() {
  int rows = 0;
  if (!view_ || day_ == kNoDay || !view_->First()) return 0;
  do {
    if (view_->DtRec()->Date == day_) ++rows;
  } while (view_->Next());
  return rows;
}

bool TValTable::GotoDayRow(int n) {
  if (!view_->GotoFirst()) return false;
  for (;;) {
    view_->RestorePosition();
    if (!view_->Next()) return false;
    const uint16_t date = view_->DtRec()->Date;
    if (date > day_) return false;
    if (date == day_ && n-- == 0) return true;
    bool at_bound = false;
    view_->MoveByEx(1, at_bound);
    if (at_bound) return false;
  }
}

void TValTable::RestoreScreenRow() {
  if (!view_) return;
  if (day_ == kNoDay || current_time_ < 0 || view_->RecordCount() == 0)
    view_->GotoFirst();
  else
    GotoTime(current_time_);
}

void TValTable::EndPrint() {
  delete print_grid_;
  print_grid_ = nullptr;
  groups_.clear();
  group_widths_.clear();
  blocks_per_page_ = 0;
  block_count_ = 0;
  TTableVO::EndPrint();
}

void TValTable::DefinePrintPgCnt() {
  PageCount = 0;
  const int count = GetGlobChanCount();
  if (!PrintLayout || count == 0 || !view_ || !grid_) return;
  int records = 0;
  {
    TDataLock lock(*view_);
    records = DayRowCount();
  }
  if (records == 0) return;
  TPrinter& printer = Printer();
  const int p = printer.PixelsPerInch(), s = grid_->Font().PixelsPerInch();
  // The print grid: the screen grid's columns and header at the printer's resolution.
  if (!print_grid_) {
    print_grid_ = new TTableGrid(this);
    print_grid_->SetParent(ClientPanel());
  }
  TTableGrid& g = *print_grid_;
  g.SetVisible(false);
  g.SetColCount(grid_->ColCount());
  g.SetRowCount(4);
  g.SetFixedCols(grid_->FixedCols());
  g.SetFixedRows(grid_->FixedRows());
  g.SetOptions(grid_->Options());
  g.SetScrollBars(TScrollStyle::ssNone);
  g.SetBorderStyle(TBorderStyle::bsNone);
  g.SetColor(clWhite);
  g.SetFixedColor(clWhite);
  for (int row = 0; row < grid_->FixedRows(); ++row)
    for (int col = 0; col < grid_->ColCount(); ++col) g.SetCells(col, row, grid_->Cells(col, row));
  TFont font;
  font.Assign(grid_->Font());
  font.SetStyle(TFontStyles(TFontStyle::fsBold));
  TPrintLayout::FitFontToDpi(font, p);
  g.Font().Assign(font);
  const int w = std::max(p / std::max(s, 1), 1);
  g.SetGridLineWidth(w);
  TCanvas& canvas = printer.Canvas();
  canvas.Font().Assign(font);
  const int row_height = ScaleWidth(canvas.FontLineHeight());
  g.SetDefaultRowHeight(row_height);
  TFont header;
  header.Assign(grid_->Font());
  header.SetStyle(TFontStyles(TFontStyle::fsBold));
  PrintLayout->SetFont(header);
  print_margin_ = MulDiv(5, p, s);
  grid_top_ = print_margin_ + row_height;
  const TRect b = PrintLayout->GetBody();
  const int aw = b.Right - b.Left - 2 * print_margin_ + 1;
  const int ah = b.Bottom + 1 - b.Top - grid_top_ - print_margin_;
  g.SetBounds(ClientPanel()->Width() + 20, 0, aw, ah);
  const auto measure = [&canvas](const std::string& text) { return canvas.TextWidth(text); };
  const int col0 = ScaleWidth(FixedColumnTextWidth(measure));
  g.SetColWidths(0, col0);
  int tw = col0 + 2 * w;
  // The channel columns as on the screen, measured on the printer.
  int group_sum = 0;
  for (int i = 0; i < count; ++i) {
    TTableGlbChan* col = Column(i);
    const int gc = i + 1;
    const int value = col->Channel()->ColWidth(measure);
    const int name = SegmentWidth(col->Data()->GetSName(), measure);
    if (col->JoinMode == 0) {
      col->PrintWidth = std::max(value, name);
      g.SetColWidths(gc, ScaleWidth(col->PrintWidth));
      tw += g.ColWidths(gc) + w;
      group_sum = 0;
      continue;
    }
    col->PrintWidth = value;
    g.SetColWidths(gc, ScaleWidth(value));
    tw += g.ColWidths(gc) + w;
    group_sum += value;
    if (col->JoinMode == 2) {
      if (group_sum < name) {
        const int half = (name - group_sum) / 2 + 1;
        col->PrintWidth += half;
        Column(i - 1)->PrintWidth += half;
        g.SetColWidths(gc, g.ColWidths(gc) + ScaleWidth(half));
        g.SetColWidths(gc - 1, g.ColWidths(gc - 1) + ScaleWidth(half));
        tw += 2 * ScaleWidth(half);
      }
      group_sum = 0;
    }
  }
  // The device row: as high as the tallest device caption of the columns printed together.
  const auto device_row = [&](int first, int last) {
    int highest = 0, group_width = 0;
    for (int gc = first; gc <= last && gc <= count; ++gc) {
      TTableGlbChan* col = Column(gc - 1);
      if (col->JoinMode == 1 && gc < last) {
        group_width += g.ColWidths(gc);
        continue;
      }
      TRect r{0, 0, group_width + g.ColWidths(gc), 0};
      group_width = 0;
      canvas.DrawText(col->Data()->GetSName(), r, kMeasureFlags);
      highest = std::max(highest, r.Height());
    }
    return highest > 0 ? ScaleWidth(highest) + 5 : 0;
  };
  blocks_per_page_ = (2 * print_margin_ + aw) / (2 * print_margin_ + tw + w);
  groups_.clear();
  group_widths_.clear();
  int row0 = 0;
  if (blocks_per_page_ > 1) {
    groups_.emplace_back(1, count);
    const int width = (2 * print_margin_ + aw) / blocks_per_page_ - 2 * print_margin_ - w;
    group_widths_.push_back(width);
    row0 = device_row(1, count);
  } else {
    blocks_per_page_ = 1;
    int gc = 1;
    while (gc <= count) {
      const int first = gc;
      int used = col0 + 2 * w;
      while (gc <= count && used + g.ColWidths(gc) + w < aw) used += g.ColWidths(gc++) + w;
      if (gc == first) {
        // Too wide to fit alone: narrowed, in a group of its own.
        const int narrowed = std::max(g.ColWidths(gc) + aw - (used + g.ColWidths(gc) + w), 20);
        g.SetColWidths(gc, narrowed);
        Column(gc - 1)->PrintWidth = RoundHalfEven(0.9 * narrowed);
        used += narrowed + w;
        ++gc;
      } else {
        const int n = gc - first;
        const int spare = std::min((aw - used) / n, aw / 10);
        for (int c = first; c < gc; ++c) {
          g.SetColWidths(c, g.ColWidths(c) + spare);
          Column(c - 1)->PrintWidth += spare;
        }
        used += n * spare;
      }
      groups_.emplace_back(first, gc - first);
      group_widths_.push_back(used);
      row0 = std::max(row0, device_row(first, std::min(gc, count)));
    }
  }
  if (row0 > row_height) g.SetRowHeights(0, row0);
  const int first_row = std::max(row0, row_height);
  g.SetRowCount(std::max(g.FixedRows() + 1, (ah - first_row - w) / (row_height + w) + 1));
  const int data_rows = g.RowCount() - g.FixedRows();
  block_count_ = CeilDiv(records, data_rows);
  PageCount = blocks_per_page_ > 1 ? CeilDiv(records, data_rows * blocks_per_page_)
                                   : static_cast<int>(groups_.size()) * block_count_;
}

void TValTable::PrintBlock(int block, int first_column, int x) {
  TDataLock lock(*view_);
  const int data_rows = print_grid_->RowCount() - print_grid_->FixedRows();
  if (!GotoDayRow((block - 1) * data_rows)) {
    block_pos_ = INT32_MAX;
    return;
  }
  block_pos_ = block;
  FillCells(print_grid_);
  print_grid_->SetLeftCol(first_column);
  const TRect b = PrintLayout->GetBody();
  TCanvas& canvas = Printer().Canvas();
  canvas.Font().Assign(print_grid_->Font());
  canvas.Brush().Style = TBrushStyle::bsClear;
  canvas.TextOut(b.Left + x, b.Top + print_margin_, FormatDateTime("ddddd", DtStampToDateTime(TDtStamp{day_, 0})));
  print_grid_->PaintTo(canvas, b.Left + x, b.Top + grid_top_);
}

void TValTable::DoPrint(TProcessWindowService* window) {
  TPrinter& printer = Printer();
  const auto clean_up = [this] {
    RestoreScreenRow();
    EndPrint();
  };
  try {
    printer.BeginDoc();
    EndPrint();
    const int pages = GetPrintPageCount();
    if (pages < 1) {
      printer.Abort();
      clean_up();
      TVisObj::DoPrint(window);
      return;
    }
    Printing = true;
    int from = 1, to = pages;
    if (PrintRange == 2) {
      to = std::min(ToPage, pages);
      from = std::max(1, std::min(FromPage, to));
    }
    const int copies = std::max(Copies, 1);
    // Collated: the whole range per copy; otherwise each page copies times in a row.
    std::vector<int> order;
    for (int c = 0; c < (Collate ? copies : 1); ++c)
      for (int page = from; page <= to; ++page)
        for (int k = 0; k < (Collate ? 1 : copies); ++k) order.push_back(page);
    const TRect b = PrintLayout->GetBody();
    const int groups = static_cast<int>(groups_.size());
    block_pos_ = 0;
    for (size_t i = 0; i < order.size(); ++i) {
      const int page = order[i];
      if (i > 0) printer.NewPage();
      std::string info = GetvobTitle();
      if (pages > 1) info += " [" + LoadResString("plo_Page") + " " + std::to_string(page) + "]";
      PrintLayout->SetInfoLine(info);
      PrintLayout->PrintPageFrame();
      if (blocks_per_page_ > 1) {
        const int first = (page - 1) * blocks_per_page_ + 1;
        const int last = std::min(first + blocks_per_page_ - 1, block_count_);
        const int share = (b.Right - b.Left + 1) / blocks_per_page_;
        TCanvas& canvas = printer.Canvas();
        for (int block = first; block <= last; ++block) {
          const int j = block - first;
          print_grid_->SetBounds(print_grid_->Left(), print_grid_->Top(), group_widths_[0], print_grid_->Height());
          PrintBlock(block, 1, j * share + print_margin_);
          if (j > 0) {
            canvas.Pen() = TPen{};
            canvas.Pen().Width = RoundHalfEven(PrintLayout->GetPenScale());
            canvas.MoveTo(b.Left + j * share, b.Top);
            canvas.LineTo(b.Left + j * share, b.Bottom);
          }
        }
      } else {
        const int group = (page - 1) % groups;
        print_grid_->SetBounds(print_grid_->Left(), print_grid_->Top(), group_widths_[static_cast<size_t>(group)],
                               print_grid_->Height());
        PrintBlock((page - 1) / groups + 1, groups_[static_cast<size_t>(group)].first, print_margin_);
      }
    }
    printer.EndDoc();
  } catch (...) {
    printer.Abort();
    clean_up();
    throw;
  }
  clean_up();
  TVisObj::DoPrint(window);
}

}  // namespace qv
