// Printing of plots: a plot's controls painted into a rectangle of the print layout at the
// printer's resolution, its legend as framed texts below, and the page procedures that print one
// plot, the plots of a device or a ticked choice, one or up to four to a page.
#include <algorithm>
#include <vector>

#include "base/ini_file2.h"
#include "base/app_globals.h"
#include "base/msg_handler.h"
#include "comm/process_window_service.h"
#include "controls/sty_round.h"
#include "controls/sty_toolbar.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "platform/gui/printers.h"
#include "visual/auto_monitor.h"
#include "visual/d44_select_diagrams.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_box.h"
#include "visual/plot_vo.h"
#include "visual/print_layout.h"

namespace qv {

// ---- the legend ----

void TPlotReference::PrintToRect(TRect& rect) {
  if (!PrintLayout || !toolbar_ || EntryCount() == 0) return;
  TCanvas& canvas = Printer().Canvas();
  TFont font;
  font.Assign(LegendFont);
  TPrintLayout::FitFontToPrinter(font);
  const int header_pen = std::max(RoundHalfEven(PrintLayout->GetPenScale()), 1);
  const auto use_font = [&](bool header) {
    TFont f;
    f.Assign(font);
    f.SetStyle(header ? TFontStyles(TFontStyle::fsBold) : TFontStyles(0));
    canvas.Font().Assign(f);
    canvas.Pen() = TPen{};
    canvas.Pen().Width = header ? header_pen : 1;
  };
  use_font(common_header_);
  canvas.Brush().Style = TBrushStyle::bsClear;
  const int v = RoundHalfEven(PrintLayout->GetYScale() * 10);  // 1 mm
  const int h = RoundHalfEven(PrintLayout->GetYScale() * 20);  // 2 mm
  int th = canvas.FontLineHeight();
  const int line = th + 3 * v;
  // Lines fill bottom-up: an entry that does not fit moves everything placed so far one line up.
  const int x0 = rect.Left + 2 * h, right = rect.Right - 2 * h, y = rect.Bottom - line;
  std::vector<TRect> boxes;
  int x = x0;
  const auto move_up = [&](size_t count) {
    for (size_t i = 0; i < count; ++i) OffsetRect(boxes[i], 0, -line);
  };
  for (int i = 0; i < EntryCount(); ++i) {
    use_font(common_header_ && i == 0);
    const std::string text = Entry(i)->Caption();
    th = std::max(th, canvas.TextHeight(text));
    TRect box = Bounds(x, y, canvas.TextWidth(text), th);
    if (box.Right > right && x != x0) {
      move_up(boxes.size());
      box = Bounds(x0, y, box.Width(), th);
    }
    if (box.Right > right) {
      // Wider than a whole line: cut, and the line is full.
      box.Right = right;
      boxes.push_back(box);
      move_up(boxes.size());
      x = x0;
      continue;
    }
    boxes.push_back(box);
    x = box.Right + 2 * h + v;
  }
  for (int i = 0; i < EntryCount(); ++i) {
    const bool header = common_header_ && i == 0;
    use_font(header);
    TFont f;
    f.Assign(canvas.Font());
    f.SetColor(Entry(i)->Font().Color());
    canvas.Font().Assign(f);
    canvas.Brush().Style = TBrushStyle::bsClear;
    const TRect& box = boxes[static_cast<size_t>(i)];
    canvas.TextRect(box, box.Left, box.Top, Entry(i)->Caption());
    TRect frame = box;
    InflateRect(frame, h, v);
    canvas.Rectangle(frame);
  }
  use_font(false);
  rect.Bottom = std::max(rect.Top + 20, boxes.front().Top - v - h);
  canvas.MoveTo(rect.Left, rect.Bottom + 1);
  canvas.LineTo(rect.Right, rect.Bottom + 1);
}

// ---- one plot ----

void TPlotVO::PrintToRect(TRect rect) {
  if (!PrintLayout || !ControlsComplete()) return;
  TVoPanel* client = ClientPanel();
  const int p0 = CaptionFont.PixelsPerInch();
  const TAlign align = client->Align();
  const TRect bounds{client->Left(), client->Top(), client->Left() + client->Width(), client->Top() + client->Height()};
  const TColor color = client->Color();
  const int grid = grid_pen_width_, x_zero = x_zero_pen_width_, y_zero = y_zero_pen_width_;
  const int curve = plot_box_->CurvePenWidth, x_margin = x_margin_, y_margin = y_margin_;
  // Everything goes back as it was, also when painting fails.
  const auto restore = [&] {
    TPrintLayout::FitFontToDpi(CaptionFont, p0);
    TPrintLayout::FitFontToDpi(LabelFont, p0);
    client->SetColor(color);
    SetGridPenWidth(grid);
    SetXZeroPenWidth(x_zero);
    SetYZeroPenWidth(y_zero);
    plot_box_->CurvePenWidth = curve;
    client->SetAlign(align);
    if (align == TAlign::alNone) client->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    x_margin_ = x_margin;
    y_margin_ = y_margin;
    ArrangeControls();
  };
  try {
    TPrintLayout::FitFontToPrinter(CaptionFont);
    TPrintLayout::FitFontToPrinter(LabelFont);
    const double f = CaptionFont.PixelsPerInch() * 0.9 / p0;
    if (ReferenceOn()) legend_->PrintToRect(rect);
    client->SetAlign(TAlign::alNone);
    client->SetBounds(client->Left() + client->Width() + 20, client->Top(), rect.Right - rect.Left + 1,
                      rect.Bottom - rect.Top + 1);
    client->SetColor(clWhite);
    SetGridPenWidth(RoundHalfEven(grid * f));
    SetXZeroPenWidth(RoundHalfEven(x_zero * f));
    SetYZeroPenWidth(RoundHalfEven(y_zero * f));
    plot_box_->CurvePenWidth = RoundHalfEven(curve * f);
    x_margin_ = RoundHalfEven(x_margin * f);
    y_margin_ = RoundHalfEven(y_margin * f);
    // Black and white: thin curves, so that their dash styles tell them apart.
    if (!PrinterIsColor && PrintLayout->PrintDotted) plot_box_->CurvePenWidth = 1;
    ArrangeControls();
    client->PaintTo(Printer().Canvas(), rect.Left, rect.Top);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

// ---- the page procedures ----

namespace {

// One plot offered or printed: where it is, found anew after every switch of device or page.
struct TPrintEntry {
  int device = 0;
  int page = 0;
  int plot = 0;
  std::string caption, device_title, plot_title;
};

TMonitorBook* Book() { return dynamic_cast<TMonitorBook*>(MonitorBook); }

TPlotVO* FindPlot(int page, int plot) {
  TMonitorBook* book = Book();
  auto* monitor = book ? dynamic_cast<TDDTMonitor*>(book->GetMonitor(page)) : nullptr;
  if (!monitor || plot < 0 || plot >= static_cast<int>(monitor->DiagramList().size())) return nullptr;
  return dynamic_cast<TPlotVO*>(monitor->DiagramList()[static_cast<size_t>(plot)]);
}

void ShowPage(int page) {
  TMonitorBook* book = Book();
  if (book && book->GetTabIndex() != page) book->SetTabIndex(page);
}

int DeviceCount() { return DbShell ? std::max(DbShell->GetDeviceCount(), 1) : 1; }
int SelectedDevice() { return DbShell ? DbShell->SelIndex() : 0; }
void SelectDevice(int device) {
  if (DbShell && DbShell->GetDeviceCount() > 0 && DbShell->SelIndex() != device) DbShell->SetSelIndex(device);
}
// The id and name of the device whose automatic pages are shown; without the builder, those of
// the selected device; empty without one.
std::string DeviceTitle() {
  if (TAutoMonitor* builder = TheAutoMonitor()) return builder->GetDeviceIdName();
  TDevice* device = DbShell ? DbShell->GetSelDevice() : nullptr;
  return device ? device->GetIdName() : std::string();
}

// The plots of every diagram-and-table page of the selected device, pages shown in turn; the page
// shown before is shown again.
std::vector<TPrintEntry> DevicePlots() {
  std::vector<TPrintEntry> entries;
  TMonitorBook* book = Book();
  if (!book) return entries;
  const int shown = book->GetTabIndex();
  const std::string title = DeviceTitle();
  for (int page = 0; page < book->GetMonitorCount(); ++page) {
    if (!dynamic_cast<TDDTMonitor*>(book->GetMonitor(page))) continue;
    ShowPage(page);
    auto* monitor = dynamic_cast<TDDTMonitor*>(book->GetMonitor(page));
    if (!monitor) continue;
    for (int i = 0; i < static_cast<int>(monitor->DiagramList().size()); ++i)
      if (auto* plot = FindPlot(page, i)) {
        TPrintEntry e;
        e.device = SelectedDevice();
        e.page = page;
        e.plot = i;
        e.device_title = title;
        e.plot_title = plot->GetvobTitle();
        e.caption =
            page == 0 ? title + " - " + e.plot_title : title + " [" + std::to_string(page + 1) + "] - " + e.plot_title;
        entries.push_back(e);
      }
  }
  ShowPage(shown);
  return entries;
}

// Prints the entry's plot into the rectangle after showing its device and page.
void PrintEntry(const TPrintEntry& e, const TRect& rect) {
  SelectDevice(e.device);
  ShowPage(e.page);
  if (TPlotVO* plot = FindPlot(e.page, e.plot)) plot->PrintToRect(rect);
}

void PrintDevicePlots() {
  TMonitorBook* book = Book();
  const int shown = book ? book->GetTabIndex() : 0;
  const std::vector<TPrintEntry> entries = DevicePlots();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) Printer().NewPage();
    PrintLayout->SetInfoLine(entries[i].device_title + " - " + entries[i].plot_title);
    PrintLayout->PrintPageFrame();
    PrintEntry(entries[i], PrintLayout->GetBody());
  }
  ShowPage(shown);
}

// Prints a group of up to four entries on one page: quarters when four_fields, else halves.
void PrintGroup(const std::vector<TPrintEntry>& entries, size_t first, size_t count, bool four_fields) {
  for (int field = 1; field <= 4; ++field) PrintLayout->SetFieldCaption(field, "");
  for (size_t k = 0; k < count; ++k)
    PrintLayout->SetFieldCaption(static_cast<int>(k) + 1, entries[first + k].plot_title);
  if (four_fields)
    PrintLayout->PrintFourFields();
  else
    PrintLayout->PrintTwoFields();
  for (size_t k = 0; k < count; ++k) {
    const int field = static_cast<int>(k) + 1;
    PrintEntry(entries[first + k], four_fields ? PrintLayout->GetQuarter(field) : PrintLayout->GetHalf(field));
  }
}

void PrintDevicePlotsGrouped() {
  TMonitorBook* book = Book();
  const int shown = book ? book->GetTabIndex() : 0;
  const std::vector<TPrintEntry> entries = DevicePlots();
  PrintLayout->SetInfoLine(DeviceTitle());
  const bool four = entries.size() > 2;
  const size_t per_page = four ? 4 : 2;
  for (size_t first = 0; first < entries.size(); first += per_page) {
    if (first > 0) Printer().NewPage();
    PrintGroup(entries, first, std::min(per_page, entries.size() - first), four);
  }
  ShowPage(shown);
}

// The key of a caption in [PrintSelect]: characters that would read back as another key or a
// section are replaced, and outer blanks dropped.
std::string SelectKey(const std::string& caption) {
  std::string key = caption;
  for (char& c : key)
    if (c == '=' || c == ';' || c == '[' || c == ']') c = '_';
  const size_t b = key.find_first_not_of(' ');
  if (b == std::string::npos) return "_";
  return key.substr(b, key.find_last_not_of(' ') - b + 1);
}

void PrintChosenPlots(bool one_per_page) {
  TMonitorBook* book = Book();
  const int device = SelectedDevice();
  const int shown = book ? book->GetTabIndex() : 0;
  std::unique_ptr<TD44_SelectDiagrams> owned;
  TD44_SelectDiagrams* dialog = D44_SelectDiagrams;
  if (!dialog) {
    owned = std::make_unique<TD44_SelectDiagrams>(Application);
    dialog = owned.get();
  }
  const auto restore = [&] {
    SelectDevice(device);
    ShowPage(shown);
  };
  try {
    dialog->Clear();
    std::vector<TPrintEntry> entries;
    for (int d = 0; d < DeviceCount(); ++d) {
      SelectDevice(d);
      for (TPrintEntry& e : DevicePlots()) {
        e.device = d;
        dialog->Add(e.caption);
        entries.push_back(e);
      }
    }
    restore();
    std::vector<bool> ticked(entries.size());
    {
      TIniFile2 ini(IniFileName);
      for (size_t i = 0; i < entries.size(); ++i)
        dialog->SetChecked(static_cast<int>(i), ini.ReadInteger("PrintSelect", SelectKey(entries[i].caption), 0) != 0);
      // The choice counts however the dialog was closed.
      dialog->ShowModal();
      ini.EraseSection("PrintSelect");
      std::vector<std::pair<std::string, std::string>> values;
      for (size_t i = 0; i < entries.size(); ++i) {
        ticked[i] = dialog->Checked(static_cast<int>(i));
        values.emplace_back(SelectKey(entries[i].caption), ticked[i] ? "1" : "0");
      }
      ini.WriteValues("PrintSelect", values);
    }
    std::vector<TPrintEntry> chosen;
    for (size_t i = 0; i < entries.size(); ++i)
      if (ticked[i]) chosen.push_back(entries[i]);
    size_t next = 0;
    while (next < chosen.size()) {
      if (next > 0) Printer().NewPage();
      size_t run = 1;
      while (next + run < chosen.size() && chosen[next + run].device == chosen[next].device) ++run;
      const size_t k = std::min<size_t>(4, run);
      if (one_per_page || k == 1) {
        PrintLayout->SetInfoLine(chosen[next].caption);
        PrintLayout->PrintPageFrame();
        PrintEntry(chosen[next], PrintLayout->GetBody());
        ++next;
        continue;
      }
      PrintLayout->SetInfoLine(chosen[next].device_title);
      PrintGroup(chosen, next, k, k > 2);
      next += k;
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

}  // namespace

void TPlotVO::DoPrint(TProcessWindowService* window) {
  // Without a layout nothing is printed, but the job still ends and the window closes.
  if (!PrintLayout) {
    EndPrint();
    TVisObj::DoPrint(window);
    return;
  }
  PrintLayout->SetFont(CaptionFont);
  TPrinter& printer = Printer();
  // Switching devices may free this plot (its page is rebuilt): after the first switch the plot
  // is only touched while it is alive.
  bool alive = true;
  print_alive_ = &alive;
  const auto finished = [&] {
    if (!alive) return;
    print_alive_ = nullptr;
    Printing = false;
  };
  try {
    printer.BeginDoc();
    EndPrint();
    ToPage = std::min(ToPage, GetPrintPageCount());
    Copies = std::max(Copies, 1);
    const int copies = Copies;
    const int32_t selection = PrintSelection;
    const int device = SelectedDevice();
    for (int copy = 0; copy < copies; ++copy) {
      if (copy > 0) printer.NewPage();
      switch (selection) {
        case 1: PrintDevicePlots(); break;
        case 2: PrintDevicePlotsGrouped(); break;
        case 3:
        case 4:
          for (int d = 0; d < DeviceCount(); ++d) {
            if (d > 0) printer.NewPage();
            SelectDevice(d);
            selection == 3 ? PrintDevicePlots() : PrintDevicePlotsGrouped();
          }
          SelectDevice(device);
          break;
        case 5: PrintChosenPlots(true); break;
        case 6: PrintChosenPlots(false); break;
        default:
          if (!alive) break;
          PrintLayout->SetInfoLine(GetvobTitle());
          PrintLayout->PrintPageFrame();
          PrintToRect(PrintLayout->GetBody());
      }
    }
    printer.EndDoc();
  } catch (...) {
    printer.Abort();
    finished();
    throw;
  }
  finished();
  if (window && window == ProcessWindow) window->Finish(mrOk);
}

}  // namespace qv
