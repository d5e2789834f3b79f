#include "controls/sty_tabbed_list_box.h"

#include <algorithm>
#include <climits>

#include "base/res_string.h"
#include "controls/gradients.h"

namespace qv {

namespace {
constexpr int kMaxTabStops = 1000;
int Clamp32(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

// The cell's place in an item: the start after the column-th tab and the end before the next tab.
bool CellRange(const std::string& text, int column, size_t& start, size_t& end) {
  start = 0;
  for (int k = 0; k < column; ++k) {
    size_t tab = text.find('\t', start);
    if (tab == std::string::npos) return false;
    start = tab + 1;
  }
  end = text.find('\t', start);
  if (end == std::string::npos) end = text.size();
  return true;
}
}  // namespace

TStyTabStopList::TStyTabStopList(TStyCustomTabbedListBox* list_box) : list_box_(list_box) {
  SetMin(-2147483647);
  SetMax(2147483647);
}
void TStyTabStopList::Update() {
  if (list_box_) list_box_->UpdateTabStops();
}
void TStyTabStopList::PutItem(int index, int32_t value) {
  TStyIntegerList::PutItem(index, value);
  Update();
}
int TStyTabStopList::Add(int32_t value) {
  int i = TStyIntegerList::Add(value);
  Update();
  return i;
}
void TStyTabStopList::Delete(int index) {
  TStyIntegerList::Delete(index);
  Update();
}
void TStyTabStopList::Insert(int index, int32_t value) {
  TStyIntegerList::Insert(index, value);
  Update();
}

// ---------------------------------------------------------------------------------------------
TStyCustomTabbedListBox::TStyCustomTabbedListBox(TComponent* owner) : TStyCustomListBox(owner), tab_stops_(this) {
  SetShowItemHints(false);
}

void TStyCustomTabbedListBox::SetTabStops(const TStyIntegerList& stops) {
  tab_stops_.Assign(stops);
  UpdateTabStops();
}

void TStyCustomTabbedListBox::SetTabStopsMode(TStyTabStopsMode v) {
  if (v == tab_stops_mode_) return;
  tab_stops_mode_ = v;
  if (v == TStyTabStopsMode::tsmAutomatic && !Updating()) AutoSizeTabStops();
}

std::vector<int> TStyCustomTabbedListBox::GetTabStopArray() const {
  std::vector<int> out;
  int n = std::min(tab_stops_.Count(), kMaxTabStops);
  for (int i = 0; i < n; ++i) out.push_back(Clamp32(int64_t{tab_stops_[i]} * 4));
  return out;
}

std::vector<int> TStyCustomTabbedListBox::PixelTabStops() const {
  std::vector<int> out;
  int n = std::min(tab_stops_.Count(), kMaxTabStops);
  for (int i = 0; i < n; ++i) out.push_back(Clamp32(int64_t{tab_stops_[i]} * char_width_));
  return out;
}

void TStyCustomTabbedListBox::UpdateTabStops() {
  window_tab_stops_ = GetTabStopArray();
  Invalidate();
}

std::string TStyCustomTabbedListBox::GetCell(int column, int row) const {
  if (row < 0 || row >= Count()) throw EListError(LoadResString("Row parameter out of range"));
  size_t start = 0, end = 0;
  if (column < 0 || !CellRange(Item(row), column, start, end))
    throw EListError(LoadResString("Column parameter out of range"));
  return Item(row).substr(start, end - start);
}

void TStyCustomTabbedListBox::SetCell(int column, int row, const std::string& text) {
  if (row < 0 || row >= Count()) throw EListError(LoadResString("Row parameter out of range"));
  size_t start = 0, end = 0;
  std::string item = Item(row);
  if (column < 0 || !CellRange(item, column, start, end))
    throw EListError(LoadResString("Column parameter out of range"));
  item.replace(start, end - start, text);
  SetItemText(row, item);
}

void TStyCustomTabbedListBox::UpdateFromHeader(TComponent*) {
  throw EHeaderError(LoadResString(
      "Only THeader and THeaderControl components can be passed to TStyCustomTabbedListBox.UpdateFromHeader"));
}

void TStyCustomTabbedListBox::AutoSizeTabStops() {
  if (Destroying()) return;
  tab_stops_.Clear();
  int columns = 0;
  for (int i = 0; i < Count(); ++i) columns = std::max(columns, CountChars('\t', Item(i)));
  if (columns == 0) {
    UpdateTabStops();
    return;
  }
  std::vector<std::string> rest = ItemTexts();
  TBitmap measure(1, 1);
  TCanvas& c = measure.Canvas();
  for (int k = 0; k < columns; ++k) {
    int widest = 0;
    for (int i = 0; i < Count(); ++i) {
      std::string& r = rest[static_cast<size_t>(i)];
      size_t tab = r.find('\t');
      std::string cell = r.substr(0, tab);
      r = tab == std::string::npos ? std::string() : r.substr(tab + 1);
      int w;
      if (IsGroupItem(i)) {
        c.Font().Assign(GroupFont());
        if (k == 0) cell = cell.substr(std::min(cell.size(), GroupPrefix().size()));
        w = c.TextWidth(cell);
      } else {
        c.Font().Assign(Font());
        w = c.TextWidth(cell) + (k == 0 ? FirstColumnExtra() : 0);
      }
      widest = std::max(widest, w);
    }
    int last = tab_stops_.Count() ? tab_stops_[tab_stops_.Count() - 1] : 0;
    tab_stops_.Add(last + widest / char_width_ + 4);
  }
}

void TStyCustomTabbedListBox::AutoSizeIfWanted() {
  if (tab_stops_mode_ == TStyTabStopsMode::tsmAutomatic && !Updating()) AutoSizeTabStops();
}

void TStyCustomTabbedListBox::ItemsChanged(int kind, int index) {
  TStyCustomListBox::ItemsChanged(kind, index);
  if (kind != kCleared && kind != kReplaced) AutoSizeIfWanted();
}

void TStyCustomTabbedListBox::GroupFontChanged() {
  TStyCustomListBox::GroupFontChanged();
  AutoSizeIfWanted();
}

void TStyCustomTabbedListBox::UpdateHorzExtent() {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  std::vector<int> stops = PixelTabStops();
  int w = 0;
  for (int i = 0; i < Count(); ++i) w = std::max(w, TabbedTextWidth(c, Item(i) + "x", stops));
  SetHorzExtent(std::min<int64_t>(int64_t{GetItemIndent()} + w, 65535));
}

void TStyCustomTabbedListBox::DefaultDrawItem(int index, TRect rect, TOwnerDrawState) {
  TCanvas& c = Canvas();
  c.FillRect(rect);
  if (index >= Count()) return;
  int y = TextTop(rect);
  c.SaveState();
  c.Brush().Style = TBrushStyle::bsClear;
  c.IntersectClipRect(rect);
  if (UseRightToLeftAlignment())
    c.TextOut(rect.Right - 2 - c.TextWidth(Item(index)), y, Item(index));
  else
    TabbedTextOut(c, rect.Left + 2, y, Item(index), PixelTabStops());
  c.RestoreState();
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyCustomTabbedListBox::DrawGroupItem(int index, TRect rect, TOwnerDrawState state) {
  if (UseRightToLeftAlignment()) {
    TStyCustomListBox::DrawGroupItem(index, rect, state);
    return;
  }
  TCanvas& c = Canvas();
  c.Font().Assign(GroupFont());
  if (state & odSelected) {
    c.Font().SetColor(clHighlightText);
    c.FillRect(rect);
  } else if (UseGradients() && ScreenHasTrueColor()) {
    DrawGradientArea(c, rect, TGradientDirection::gdVerticalEnd, Color(), GroupColor(), 1);
  } else {
    c.Brush().Color = GroupColor();
    c.FillRect(rect);
  }
  c.SaveState();
  c.Brush().Style = TBrushStyle::bsClear;
  c.IntersectClipRect(rect);
  TabbedTextOut(c, rect.Left + 2, TextTop(rect), Item(index).substr(GroupPrefix().size()), PixelTabStops());
  c.RestoreState();
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyCustomTabbedListBox::WndProc(TMessage& m) {
  if (m.Msg == CM_FONTCHANGED) {
    TStyCustomListBox::WndProc(m);
    char_width_ = AverageCharWidth(Font());
    AutoSizeIfWanted();
    return;
  }
  TStyCustomListBox::WndProc(m);
}

}  // namespace qv
