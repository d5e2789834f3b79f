#include "platform/gui/list_ctrls.h"

#include <QApplication>
#include <QClipboard>
#include <algorithm>
#include <functional>

#include "platform/gui/forms.h"
#include "platform/gui/qt_private.h"

namespace qv {

namespace {
int g_beeps = 0;
constexpr int kScrollBarWidth = 17;

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

// Folds ASCII letters and the two-byte UTF-8 forms of the Latin-1 capitals (U+00C0..U+00DE).
std::string Fold(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == 0xC3 && i + 1 < s.size()) {
      unsigned char d = static_cast<unsigned char>(s[i + 1]);
      if (d >= 0x80 && d <= 0x9E && d != 0x97) d = static_cast<unsigned char>(d + 0x20);
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(d));
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(Lower(c)));
  }
  return out;
}

void Classic3DEdge(TCanvas& c, TRect r) {
  auto ring = [&](TColor ul, TColor lr) {
    c.Pen().Color = ul;
    c.MoveTo(r.Left, r.Bottom - 1);
    c.LineTo(r.Left, r.Top);
    c.LineTo(r.Right - 1, r.Top);
    c.Pen().Color = lr;
    c.LineTo(r.Right - 1, r.Bottom - 1);
    c.LineTo(r.Left, r.Bottom - 1);
    InflateRect(r, -1, -1);
  };
  c.Pen().Style = TPenStyle::psSolid;
  ring(clBtnShadow, clBtnHighlight);
  ring(cl3DDkShadow, cl3DLight);
}
}  // namespace

void MessageBeep() {
  ++g_beeps;
  // Without an application object (a program without windows) there is nothing to sound.
  if (QCoreApplication::instance() && QGuiApplication::platformName() != "offscreen") QApplication::beep();
}
int BeepCount() { return g_beeps; }
int WheelScrollLines() { return 3; }

bool StartsTextI(const std::string& prefix, const std::string& text) {
  if (prefix.size() > text.size()) return false;
  return Fold(text.substr(0, prefix.size())) == Fold(prefix);
}
bool SameTextI(const std::string& a, const std::string& b) { return a.size() == b.size() && Fold(a) == Fold(b); }

std::string TypedCharText(unsigned char ch) {
  if (ch < 0x80) return std::string(1, static_cast<char>(ch));
  return {static_cast<char>(0xC0 | (ch >> 6)), static_cast<char>(0x80 | (ch & 0x3F))};
}

int PrevCharPos(const std::string& text, int pos) {
  pos = std::clamp(pos, 0, static_cast<int>(text.size()));
  if (pos == 0) return 0;
  --pos;
  while (pos > 0 && (static_cast<unsigned char>(text[static_cast<size_t>(pos)]) & 0xC0) == 0x80) --pos;
  return pos;
}
int NextCharPos(const std::string& text, int pos) {
  int n = static_cast<int>(text.size());
  pos = std::clamp(pos, 0, n);
  if (pos == n) return n;
  ++pos;
  while (pos < n && (static_cast<unsigned char>(text[static_cast<size_t>(pos)]) & 0xC0) == 0x80) ++pos;
  return pos;
}

namespace {
void CollectTabStops(TWinControl* w, std::vector<TWinControl*>& out) {
  for (TWinControl* c : w->TabList()) {
    if (c->TabStop() && c->CanFocus()) out.push_back(c);
    CollectTabStops(c, out);
  }
}
}  // namespace

void SelectNextControl(TWinControl* from, bool forward) {
  TWinControl* top = from;
  while (top->Parent()) top = top->Parent();
  std::vector<TWinControl*> list;
  CollectTabStops(top, list);
  if (list.empty()) return;
  auto it = std::find(list.begin(), list.end(), from);
  int n = static_cast<int>(list.size());
  int i = it == list.end() ? (forward ? -1 : n) : static_cast<int>(it - list.begin());
  i = ((forward ? i + 1 : i - 1) % n + n) % n;
  list[static_cast<size_t>(i)]->SetFocus();
}

namespace {
int DefaultTab(const TCanvas& c) { return std::max(1, c.TextWidth("x")) * 8; }
template <class Cell>
int WalkTabs(const TCanvas& c, const std::string& text, const std::vector<int>& positions, Cell cell) {
  int x = 0;
  size_t start = 0, stop = 0;
  for (;;) {
    size_t tab = text.find('\t', start);
    std::string part = text.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    cell(x, part);
    x += c.TextWidth(part);
    if (tab == std::string::npos) return x;
    // The next stop right of the text so far.
    while (stop < positions.size() && positions[stop] <= x) ++stop;
    if (stop < positions.size())
      x = positions[stop++];
    else
      x = (x / DefaultTab(c) + 1) * DefaultTab(c);
    start = tab + 1;
  }
}
}  // namespace

void TabbedTextOut(TCanvas& canvas, int x, int y, const std::string& text, const std::vector<int>& positions) {
  WalkTabs(canvas, text, positions, [&](int at, const std::string& part) {
    if (!part.empty()) canvas.TextOut(x + at, y, part);
  });
}
int TabbedTextWidth(const TCanvas& canvas, const std::string& text, const std::vector<int>& positions) {
  return WalkTabs(canvas, text, positions, [](int, const std::string&) {});
}

// ---------------------------------------------------------------------------------------------
THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  Impl().widget->setWindowFlags(Qt::ToolTip);
  Impl().widget->setAttribute(Qt::WA_ShowWithoutActivating);
  SetColor(Application->HintColor);
  SetBorderStyle(TBorderStyle::bsSingle);
  SetCtl3D(false);
}

TRect THintWindow::CalcHintRect(int max_width, const std::string& text) {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  TRect r{0, 0, max_width, 0};
  c.DrawText(text, r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  r.Right = std::min(max_width, r.Right + 6);
  r.Bottom += 4;
  return r;
}

void THintWindow::ActivateHint(const TRect& screen_rect, const std::string& text) {
  screen_rect_ = screen_rect;
  SetCaption(text);
  SetBounds(screen_rect.Left, screen_rect.Top, screen_rect.Width(), screen_rect.Height());
  shown_ = true;
  Invalidate();
  Impl().widget->show();
}

void THintWindow::ReleaseHint() {
  shown_ = false;
  Impl().widget->hide();
}

void THintWindow::Paint() {
  TCanvas& c = Canvas();
  c.Brush().Color = Color();
  c.FillRect(ClientRect());
  c.Font().Assign(Font());
  c.Brush().Style = TBrushStyle::bsClear;
  c.TextOut(2, 1, Caption());
  c.Brush().Style = TBrushStyle::bsSolid;
}

// ---------------------------------------------------------------------------------------------
TCustomListBox::TCustomListBox(TComponent* owner) : TCustomControl(owner) {
  control_style_ &= ~static_cast<uint32_t>(csClickEvents);
  SetBorderStyle(TBorderStyle::bsSingle);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 97);
}

const std::string& TCustomListBox::Item(int index) const { return items_.at(static_cast<size_t>(index)).Text; }
void* TCustomListBox::ItemObject(int index) const { return items_.at(static_cast<size_t>(index)).Object; }
void TCustomListBox::SetItemObject(int index, void* object) { items_.at(static_cast<size_t>(index)).Object = object; }

int TCustomListBox::AddItem(const std::string& text, void* object) {
  int at = Count();
  if (sorted_) {
    at = 0;
    while (at < Count() && Fold(items_[static_cast<size_t>(at)].Text) <= Fold(text)) ++at;
  }
  items_.insert(items_.begin() + at, TListItem{text, object});
  selected_.insert(selected_.begin() + at, false);
  if (item_index_ >= at) ++item_index_;
  ItemsChanged(kAdded, at);
  Repaint2();
  return at;
}

void TCustomListBox::InsertItem(int index, const std::string& text, void* object) {
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, TListItem{text, object});
  selected_.insert(selected_.begin() + index, false);
  if (item_index_ >= index) ++item_index_;
  ItemsChanged(kInserted, index);
  Repaint2();
}

void TCustomListBox::DeleteItem(int index) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.erase(items_.begin() + index);
  selected_.erase(selected_.begin() + index);
  if (item_index_ == index)
    item_index_ = -1;
  else if (item_index_ > index)
    --item_index_;
  Clamp();
  ItemsChanged(kDeleted, index);
  Repaint2();
}

void TCustomListBox::ClearItems() {
  items_.clear();
  selected_.clear();
  item_index_ = -1;
  top_index_ = 0;
  ItemsChanged(kCleared, -1);
  Repaint2();
}

void TCustomListBox::SetItemText(int index, const std::string& text) {
  items_.at(static_cast<size_t>(index)).Text = text;
  ItemsChanged(kReplaced, index);
  Repaint2();
}

void TCustomListBox::SetItems(const TStringList& list) {
  BeginUpdate();
  ClearItems();
  for (int i = 0; i < list.Count(); ++i) AddItem(list[i], list.GetObject(i));
  EndUpdate();
}

std::vector<std::string> TCustomListBox::ItemTexts() const {
  std::vector<std::string> out;
  for (const TListItem& i : items_) out.push_back(i.Text);
  return out;
}

void TCustomListBox::EndUpdate() {
  if (update_count_ > 0) --update_count_;
  if (update_count_ == 0) Invalidate();
}

void TCustomListBox::Repaint2() {
  if (!Updating()) Invalidate();
}

void TCustomListBox::ItemsChanged(int, int) {}

void TCustomListBox::Clamp() {
  top_index_ = std::clamp(top_index_, 0, MaxTopIndex());
  if (item_index_ >= Count()) item_index_ = -1;
}

void TCustomListBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) index = -1;
  if (multi_select_) {
    item_index_ = index;
  } else {
    if (index == item_index_) return;
    if (item_index_ >= 0) selected_[static_cast<size_t>(item_index_)] = false;
    item_index_ = index;
    if (index >= 0) selected_[static_cast<size_t>(index)] = true;
  }
  MakeVisible(index);
  Invalidate();
}

void TCustomListBox::SetMultiSelect(bool v) {
  if (v == multi_select_) return;
  multi_select_ = v;
  std::fill(selected_.begin(), selected_.end(), false);
  if (!v && item_index_ >= 0) selected_[static_cast<size_t>(item_index_)] = true;
  Invalidate();
}

bool TCustomListBox::Selected(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return selected_[static_cast<size_t>(index)];
}
void TCustomListBox::SetSelected(int index, bool v) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (!multi_select_) {
    SetItemIndex(v ? index : (item_index_ == index ? -1 : item_index_));
    return;
  }
  selected_[static_cast<size_t>(index)] = v;
  Invalidate();
}
int TCustomListBox::SelCount() const { return static_cast<int>(std::count(selected_.begin(), selected_.end(), true)); }
void TCustomListBox::SelectAll() {
  if (!multi_select_) return;
  std::fill(selected_.begin(), selected_.end(), true);
  Invalidate();
}
void TCustomListBox::SetSorted(bool v) {
  if (v == sorted_) return;
  sorted_ = v;
  if (!v) return;
  std::stable_sort(items_.begin(), items_.end(),
                   [](const TListItem& a, const TListItem& b) { return Fold(a.Text) < Fold(b.Text); });
  Invalidate();
}
void TCustomListBox::SetStyle(TListBoxStyle s) {
  style_ = s;
  Invalidate();
}
void TCustomListBox::SetItemHeight(int h) {
  if (h <= 0 || h == item_height_) return;
  item_height_ = h;
  Clamp();
  Invalidate();
}
void TCustomListBox::SetTopIndex(int index) {
  index = std::clamp(index, 0, MaxTopIndex());
  if (index == top_index_) return;
  top_index_ = index;
  Invalidate();
}
void TCustomListBox::ScrollLines(int lines) { SetTopIndex(top_index_ + lines); }
int TCustomListBox::VisibleCount() const { return std::max(1, ClientHeight() / item_height_); }
int TCustomListBox::MaxTopIndex() const { return std::max(0, Count() - VisibleCount()); }
void TCustomListBox::MakeVisible(int index) {
  if (index < 0) return;
  if (index < top_index_)
    SetTopIndex(index);
  else if (index >= top_index_ + VisibleCount())
    SetTopIndex(index - VisibleCount() + 1);
}
void TCustomListBox::SetHorzExtentValue(int w) { horz_extent_ = std::max(0, w); }

int TCustomListBox::ItemAtPos(TPoint p, bool existing) const {
  if (!ClientRect().Contains(p) || (ScrollBarShown() && ScrollBarRect().Contains(p))) return -1;
  int index = top_index_ + p.Y / item_height_;
  if (index < Count()) return index;
  return existing ? -1 : Count();
}
TRect TCustomListBox::ItemRect(int index) const {
  int y = (index - top_index_) * item_height_;
  return TRect{0, y, ClientWidth() - (ScrollBarShown() ? kScrollBarWidth : 0), y + item_height_};
}

TRect TCustomListBox::ScrollBarRect() const {
  return TRect{ClientWidth() - kScrollBarWidth, 0, ClientWidth(), ClientHeight()};
}

TRect TCustomListBox::ScrollThumbRect() const {
  TRect bar = ScrollBarRect();
  int h = bar.Height();
  int thumb = std::clamp(h * VisibleCount() / std::max(1, Count()), 8, h);
  int top = MaxTopIndex() > 0 ? (h - thumb) * top_index_ / MaxTopIndex() : 0;
  return TRect{bar.Left, top, bar.Right, top + thumb};
}

int TCustomListBox::FindPrefix(const std::string& prefix) const {
  for (int i = 0; i < Count(); ++i)
    if (StartsTextI(prefix, items_[static_cast<size_t>(i)].Text)) return i;
  return -1;
}

void TCustomListBox::Paint() {
  TCanvas& c = Canvas();
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Color();
  c.FillRect(ClientRect());
  if (ScrollBarShown()) {
    TRect bar = ScrollBarRect(), thumb = ScrollThumbRect();
    c.Brush().Color = cl3DLight;
    c.FillRect(bar);
    c.Brush().Color = clBtnFace;
    c.FillRect(thumb);
    c.Pen().Style = TPenStyle::psSolid;
    c.Pen().Color = clBtnHighlight;
    c.MoveTo(thumb.Left, thumb.Bottom - 1);
    c.LineTo(thumb.Left, thumb.Top);
    c.LineTo(thumb.Right - 1, thumb.Top);
    c.Pen().Color = clBtnShadow;
    c.LineTo(thumb.Right - 1, thumb.Bottom - 1);
    c.LineTo(thumb.Left, thumb.Bottom - 1);
    c.Brush().Color = Color();
  }
  int last = std::min(Count(), top_index_ + VisibleCount() + 1);
  for (int i = top_index_; i < last; ++i) {
    TOwnerDrawState state = 0;
    if (selected_[static_cast<size_t>(i)]) state |= odSelected;
    if (i == item_index_ && Focused()) state |= odFocused;
    if (!Enabled()) state |= odDisabled;
    c.Font().Assign(Font());
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = Color();
    DrawItem(i, ItemRect(i), state);
  }
}

void TCustomListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  TCanvas& c = Canvas();
  if (state & odSelected) {
    c.Brush().Color = clHighlight;
    c.Font().SetColor(clHighlightText);
  }
  c.FillRect(rect);
  c.Brush().Style = TBrushStyle::bsClear;
  c.TextOut(rect.Left + 2, rect.Top + (rect.Height() - c.TextHeight("Pp")) / 2, Item(index));
  c.Brush().Style = TBrushStyle::bsSolid;
  if (state & odFocused) c.DrawFocusRect(rect);
}

void TCustomListBox::SelectByUser(int index) {
  if (index < 0 || index >= Count()) return;
  if (multi_select_) {
    item_index_ = index;
    MakeVisible(index);
    Invalidate();
  } else {
    if (index == item_index_) return;
    SetItemIndex(index);
  }
  Click();
  if (OnChange) OnChange(this);
}

void TCustomListBox::KeyDown(uint16_t& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (Count() == 0) return;
  int at = std::max(item_index_, 0);
  int page = std::max(1, VisibleCount() - 1);
  switch (key) {
    case VK_UP: at = item_index_ < 0 ? 0 : std::max(0, at - 1); break;
    case VK_DOWN: at = item_index_ < 0 ? 0 : std::min(Count() - 1, at + 1); break;
    case VK_HOME: at = 0; break;
    case VK_END: at = Count() - 1; break;
    case VK_PRIOR: at = std::max(0, at - page); break;
    case VK_NEXT: at = std::min(Count() - 1, at + page); break;
    case VK_SPACE:
      if (multi_select_ && item_index_ >= 0) {
        selected_[static_cast<size_t>(item_index_)] = !selected_[static_cast<size_t>(item_index_)];
        Invalidate();
        Click();
      }
      return;
    default: return;
  }
  if (multi_select_ && !(shift & ssCtrl)) {
    std::fill(selected_.begin(), selected_.end(), false);
    selected_[static_cast<size_t>(at)] = true;
  }
  SelectByUser(at);
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && ScrollBarShown() && ScrollBarRect().Contains({x, y})) {
    SetFocus();
    TRect thumb = ScrollThumbRect();
    if (y < thumb.Top)
      ScrollLines(-std::max(1, VisibleCount() - 1));
    else if (y >= thumb.Bottom)
      ScrollLines(std::max(1, VisibleCount() - 1));
    else
      thumb_grab_ = y - thumb.Top;
    return;
  }
  if (button == TMouseButton::mbLeft) {
    SetFocus();
    int index = ItemAtPos({x, y}, true);
    if (index >= 0) {
      if (multi_select_) {
        bool toggle = !extended_select_ || (shift & ssCtrl);
        if (toggle) {
          selected_[static_cast<size_t>(index)] = !selected_[static_cast<size_t>(index)];
        } else {
          std::fill(selected_.begin(), selected_.end(), false);
          selected_[static_cast<size_t>(index)] = true;
        }
      }
      SelectByUser(index);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListBox::MouseMove(TShiftState shift, int x, int y) {
  if (thumb_grab_ >= 0) {
    TRect bar = ScrollBarRect(), thumb = ScrollThumbRect();
    int room = bar.Height() - thumb.Height();
    if (room > 0)
      SetTopIndex(static_cast<int>((static_cast<int64_t>(y - thumb_grab_) * MaxTopIndex() + room / 2) / room));
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomListBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) thumb_grab_ = -1;
  TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomListBox::WndProc(TMessage& m) {
  if (m.Msg == WM_MOUSEWHEEL) {
    int delta = WheelDelta(m.WParam);
    ScrollLines(delta > 0 ? -WheelScrollLines() : WheelScrollLines());
    m.Result = 1;
    return;
  }
  if (m.Msg == CM_ENTER || m.Msg == CM_EXIT) Invalidate();
  TCustomControl::WndProc(m);
}

// ---------------------------------------------------------------------------------------------
TComboDropList::TComboDropList(TComponent* owner, TCustomComboBox* combo) : TCustomListBox(owner), combo_(combo) {
  SetTabStop(false);
  SetCtl3D(false);
}

void TComboDropList::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  if (combo_->OwnerDrawn()) {
    TCanvas& c = Canvas();
    if (state & odSelected) {
      c.Brush().Color = clHighlight;
      c.Font().SetColor(clHighlightText);
    }
    combo_->DrawItem(index, rect, state & ~odFocused);
    return;
  }
  TCustomListBox::DrawItem(index, rect, state & ~odFocused);
}

void TComboDropList::MouseDown(TMouseButton button, TShiftState, int x, int y) {
  if (button != TMouseButton::mbLeft) return;
  int index = ItemAtPos({x, y}, true);
  if (index >= 0) combo_->ChooseFromList(index);
}

// ---------------------------------------------------------------------------------------------
TCustomComboBox::TCustomComboBox(TComponent* owner) : TCustomControl(owner) {
  control_style_ &= ~static_cast<uint32_t>(csClickEvents);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  SetBounds(0, 0, 145, 21);
}

TCustomComboBox::~TCustomComboBox() {
  BeginDestroy();
  delete list_;
  list_ = nullptr;
}

int TCustomComboBox::ButtonWidth() { return 17; }

const std::string& TCustomComboBox::Item(int index) const { return items_.at(static_cast<size_t>(index)).Text; }
void* TCustomComboBox::ItemObject(int index) const { return items_.at(static_cast<size_t>(index)).Object; }
void TCustomComboBox::SetItemObject(int index, void* object) { items_.at(static_cast<size_t>(index)).Object = object; }
int TCustomComboBox::AddItem(const std::string& text, void* object) {
  int at = Count();
  if (sorted_) {
    at = 0;
    while (at < Count() && Fold(items_[static_cast<size_t>(at)].Text) <= Fold(text)) ++at;
  }
  items_.insert(items_.begin() + at, TListItem{text, object});
  if (item_index_ >= at) ++item_index_;
  return at;
}
void TCustomComboBox::InsertItem(int index, const std::string& text, void* object) {
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, TListItem{text, object});
  if (item_index_ >= index) ++item_index_;
}
void TCustomComboBox::DeleteItem(int index) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  ItemDeleting(items_[static_cast<size_t>(index)].Object);
  items_.erase(items_.begin() + index);
  if (item_index_ == index)
    item_index_ = -1;
  else if (item_index_ > index)
    --item_index_;
  Invalidate();
}
void TCustomComboBox::ClearItems() {
  for (const TListItem& i : items_) ItemDeleting(i.Object);
  items_.clear();
  item_index_ = -1;
  if (!HasEdit()) text_.clear();
  Invalidate();
}
void TCustomComboBox::SetItemText(int index, const std::string& text) {
  items_.at(static_cast<size_t>(index)).Text = text;
  if (index == item_index_) text_ = text;
  Invalidate();
}
void TCustomComboBox::SetItems(const TStringList& list) {
  ClearItems();
  for (int i = 0; i < list.Count(); ++i) AddItem(list[i], list.GetObject(i));
}

void TCustomComboBox::SetStyle(TComboBoxStyle2 s) {
  style_ = s;
  Invalidate();
}
void TCustomComboBox::SetItemHeight(int h) {
  if (h > 0) item_height_ = h;
  Invalidate();
}

void TCustomComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) index = -1;
  item_index_ = index;
  if (index >= 0)
    text_ = Item(index);
  else
    text_.clear();
  sel_start_ = 0;
  sel_length_ = HasEdit() && Focused() ? static_cast<int>(text_.size()) : 0;
  if (list_) list_->SetItemIndex(index);
  Invalidate();
}

void TCustomComboBox::SetEditText(const std::string& text) {
  text_ = text;
  item_index_ = FindExact(text);
  sel_start_ = static_cast<int>(text_.size());
  sel_length_ = 0;
  Invalidate();
}

void TCustomComboBox::SetSelStart(int pos) {
  sel_start_ = std::clamp(pos, 0, static_cast<int>(text_.size()));
  sel_length_ = 0;
  Invalidate();
}
void TCustomComboBox::SetSelLength(int len) {
  sel_length_ = std::clamp(len, 0, static_cast<int>(text_.size()) - sel_start_);
  Invalidate();
}
std::string TCustomComboBox::SelText() const {
  return text_.substr(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_length_));
}
void TCustomComboBox::SelectAllText() {
  sel_start_ = 0;
  sel_length_ = static_cast<int>(text_.size());
  Invalidate();
}

int TCustomComboBox::FindPrefix(const std::string& prefix) const {
  for (int i = 0; i < Count(); ++i)
    if (StartsTextI(prefix, Item(i))) return i;
  return -1;
}
int TCustomComboBox::FindExact(const std::string& text) const {
  for (int i = 0; i < Count(); ++i)
    if (SameTextI(text, Item(i))) return i;
  return -1;
}

void TCustomComboBox::ReplaceSelection(const std::string& text) {
  if (edit_read_only_) return;
  text_.replace(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_length_), text);
  sel_start_ += static_cast<int>(text.size());
  sel_length_ = 0;
  item_index_ = FindExact(text_);
  Invalidate();
  EditChanged();
}
void TCustomComboBox::DeleteBack() {
  if (edit_read_only_) return;
  if (sel_length_ == 0) {
    if (sel_start_ == 0) return;
    int from = PrevCharPos(text_, sel_start_);
    sel_length_ = sel_start_ - from;
    sel_start_ = from;
  }
  ReplaceSelection("");
}
void TCustomComboBox::DeleteForward() {
  if (edit_read_only_) return;
  if (sel_length_ == 0) {
    if (sel_start_ >= static_cast<int>(text_.size())) return;
    sel_length_ = NextCharPos(text_, sel_start_) - sel_start_;
  }
  ReplaceSelection("");
}

void TCustomComboBox::CutToClipboard() {
  if (!HasEdit() || sel_length_ == 0) return;
  CopyToClipboard();
  ReplaceSelection("");
}
void TCustomComboBox::CopyToClipboard() {
  if (sel_length_ > 0) QGuiApplication::clipboard()->setText(QString::fromStdString(SelText()));
}
void TCustomComboBox::PasteFromClipboard() {
  if (!HasEdit()) return;
  std::string t = QGuiApplication::clipboard()->text().toStdString();
  t.erase(std::remove_if(t.begin(), t.end(), [](char ch) { return ch == '\r' || ch == '\n'; }), t.end());
  ReplaceSelection(t);
}

void TCustomComboBox::EditChanged() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::SelectByUser(int index) {
  if (index < 0 || index >= Count()) return;
  SetItemIndex(index);
  if (HasEdit()) SelectAllText();
  Click();
  if (OnChange) OnChange(this);
}

int TCustomComboBox::ListIndex() const { return list_ ? list_->ItemIndex() : item_index_; }
void TCustomComboBox::SetListIndex(int index) {
  if (list_) list_->SetItemIndex(index);
}

void TCustomComboBox::SetDroppedDown(bool v) {
  if (v == DroppedDown()) return;
  if (v) {
    TWinControl* top = this;
    while (top->Parent()) top = top->Parent();
    if (top == this) return;
    DoDropDown();
    list_ = new TComboDropList(nullptr, this);
    list_->Font().Assign(Font());
    list_->SetItemHeight(item_height_);
    for (const TListItem& i : items_) list_->AddItem(i.Text, i.Object);
    int rows = std::max(1, std::min(Count(), drop_down_count_));
    TPoint at = top->ScreenToClient(ClientToScreen({0, Height()}));
    list_->SetBounds(at.X, at.Y, std::max(Width(), dropped_width_), rows * item_height_ + 2);
    list_->FreeNotification(this);
    list_->SetParent(top);
    list_->BringToFront();
    list_->SetItemIndex(item_index_);
  } else {
    // The list may be closing from inside its own mouse handling: it goes after that returns.
    TComboDropList* l = list_;
    list_ = nullptr;
    l->RemoveFreeNotification(this);
    l->Hide();
    l->SetParent(nullptr);
    PostDeferredCall([l] { delete l; });
    DoCloseUp();
  }
  Invalidate();
}

void TCustomComboBox::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == list_) list_ = nullptr;
}

void TCustomComboBox::ChooseFromList(int index) {
  SetListIndex(index);
  SelEndOk();
  SetDroppedDown(false);
}

void TCustomComboBox::SelEndOk() {
  int index = ListIndex();
  if (index >= 0 && index != item_index_) SelectByUser(index);
  if (OnSelect) OnSelect(this);
}
void TCustomComboBox::SelEndCancel() {}
void TCustomComboBox::DoCloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}
void TCustomComboBox::DoDropDown() {
  if (OnDropDown) OnDropDown(this);
}

TRect TCustomComboBox::ButtonRect() const {
  TRect r = ClientRect();
  return TRect{r.Right - 2 - ButtonWidth(), 2, r.Right - 2, r.Bottom - 2};
}
TRect TCustomComboBox::EditRect() const {
  TRect r = ClientRect();
  return TRect{3, 3, r.Right - 3 - ButtonWidth(), r.Bottom - 3};
}

void TCustomComboBox::Paint() {
  TCanvas& c = Canvas();
  TRect all = ClientRect();
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Color();
  c.FillRect(all);
  Classic3DEdge(c, all);
  // The button: a raised face with the arrow.
  TRect b = ButtonRect();
  c.Brush().Color = clBtnFace;
  c.FillRect(b);
  TRect face = b;
  auto ring = [&](TColor ul, TColor lr) {
    c.Pen().Color = ul;
    c.MoveTo(face.Left, face.Bottom - 1);
    c.LineTo(face.Left, face.Top);
    c.LineTo(face.Right - 1, face.Top);
    c.Pen().Color = lr;
    c.LineTo(face.Right - 1, face.Bottom - 1);
    c.LineTo(face.Left, face.Bottom - 1);
    InflateRect(face, -1, -1);
  };
  if (DroppedDown()) {
    ring(clBtnShadow, clBtnShadow);
  } else {
    ring(cl3DLight, cl3DDkShadow);
    ring(clBtnHighlight, clBtnShadow);
  }
  int cx = (b.Left + b.Right) / 2 + (DroppedDown() ? 1 : 0), cy = (b.Top + b.Bottom) / 2 + (DroppedDown() ? 1 : 0);
  c.Brush().Color = Enabled() ? clBtnText : clBtnShadow;
  c.Pen().Color = c.Brush().Color;
  c.Polygon({{cx - 3, cy - 1}, {cx + 3, cy - 1}, {cx, cy + 2}});
  // The edit part.
  TRect e = EditRect();
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  if (OwnerDrawn()) {
    TOwnerDrawState st = odComboBoxEdit;
    if (Focused() && !DroppedDown()) st |= odSelected | odFocused;
    if (st & odSelected) {
      c.Brush().Color = clHighlight;
      c.Font().SetColor(clHighlightText);
    }
    c.SaveState();
    c.IntersectClipRect(e);
    DrawItem(item_index_, e, st);
    c.RestoreState();
    return;
  }
  int ty = e.Top + (e.Height() - c.TextHeight("Pp")) / 2;
  bool whole = !HasEdit() && Focused() && !DroppedDown();
  if (whole) {
    c.Brush().Color = clHighlight;
    c.FillRect(e);
    c.Font().SetColor(clHighlightText);
  }
  c.Brush().Style = TBrushStyle::bsClear;
  c.SaveState();
  c.IntersectClipRect(e);
  c.TextOut(e.Left + 1, ty, text_);
  if (HasEdit() && Focused() && sel_length_ > 0) {
    int x0 = e.Left + 1 + c.TextWidth(text_.substr(0, static_cast<size_t>(sel_start_)));
    std::string sel = SelText();
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = clHighlight;
    c.FillRect(TRect{x0, ty, x0 + c.TextWidth(sel), ty + c.TextHeight("Pp")});
    c.Brush().Style = TBrushStyle::bsClear;
    c.Font().SetColor(clHighlightText);
    c.TextOut(x0, ty, sel);
  } else if (HasEdit() && Focused()) {
    int x = e.Left + 1 + c.TextWidth(text_.substr(0, static_cast<size_t>(sel_start_)));
    c.Pen().Color = clWindowText;
    c.MoveTo(x, ty);
    c.LineTo(x, ty + c.TextHeight("Pp"));
  }
  c.RestoreState();
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TCustomComboBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  TCanvas& c = DroppedDown() && !(state & odComboBoxEdit) ? list_->Canvas() : Canvas();
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  c.FillRect(rect);
  if (index >= 0) {
    c.Brush().Style = TBrushStyle::bsClear;
    c.TextOut(rect.Left + 2, rect.Top + (rect.Height() - c.TextHeight("Pp")) / 2, Item(index));
    c.Brush().Style = TBrushStyle::bsSolid;
  }
}

void TCustomComboBox::KeyDown(uint16_t& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (key != 0) EditKeyDown(key, shift);
}

void TCustomComboBox::EditKeyDown(uint16_t& key, TShiftState shift) {
  bool alt = shift & ssAlt;
  if ((key == VK_DOWN && alt) || (key == 0x73 /* F4 */ && !alt)) {
    SetDroppedDown(!DroppedDown());
    key = 0;
    return;
  }
  if (DroppedDown()) {
    int at = ListIndex();
    switch (key) {
      case VK_UP:
        SetListIndex(std::max(0, at - 1));
        key = 0;
        return;
      case VK_DOWN:
        SetListIndex(std::min(Count() - 1, at + 1));
        key = 0;
        return;
      case VK_RETURN:
        ChooseFromList(ListIndex());
        key = 0;
        return;
      case VK_ESCAPE:
        SelEndCancel();
        SetDroppedDown(false);
        key = 0;
        return;
      default: break;
    }
  }
  int at = item_index_;
  switch (key) {
    case VK_UP:
      if (Count()) SelectByUser(at <= 0 ? 0 : at - 1);
      return;
    case VK_DOWN:
      if (Count()) SelectByUser(std::min(Count() - 1, at + 1));
      return;
    case VK_HOME:
      if (!HasEdit() && Count())
        SelectByUser(0);
      else
        SetSelStart(0);
      return;
    case VK_END:
      if (!HasEdit() && Count())
        SelectByUser(Count() - 1);
      else
        SetSelStart(static_cast<int>(text_.size()));
      return;
    case VK_LEFT:
      if (HasEdit()) SetSelStart(sel_length_ ? sel_start_ : PrevCharPos(text_, sel_start_));
      return;
    case VK_RIGHT:
      if (HasEdit()) SetSelStart(sel_length_ ? sel_start_ + sel_length_ : NextCharPos(text_, sel_start_));
      return;
    case VK_DELETE:
      if (HasEdit()) DeleteForward();
      return;
    default: return;
  }
}

void TCustomComboBox::KeyPress(char& key) {
  TWinControl::KeyPress(key);
  if (key != 0) EditChar(key);
}

void TCustomComboBox::EditChar(char& key) {
  unsigned char ch = static_cast<unsigned char>(key);
  if (ch == 0) return;
  if (!HasEdit()) return;
  switch (ch) {
    case 3: CopyToClipboard(); return;
    case 22: PasteFromClipboard(); return;
    case 24: CutToClipboard(); return;
    case VK_BACK: DeleteBack(); return;
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_TAB: return;
    default:
      if (ch < 32) return;
      ReplaceSelection(TypedCharText(ch));
  }
}

void TCustomComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    SetFocus();
    if (!HasEdit() || ButtonRect().Contains({x, y}))
      SetDroppedDown(!DroppedDown());
    else {
      // The caret goes to the nearest character boundary.
      TCanvas& c = ScreenCanvas();
      c.Font().Assign(Font());
      int pos = 0, left = EditRect().Left + 1;
      while (pos < static_cast<int>(text_.size())) {
        int next = NextCharPos(text_, pos);
        if (left + c.TextWidth(text_.substr(0, static_cast<size_t>(next))) > x) break;
        pos = next;
      }
      SetSelStart(pos);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomComboBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_MOUSEWHEEL: {
      int d = WheelDelta(m.WParam);
      if (Count()) SelectByUser(d > 0 ? std::max(0, item_index_ - 1) : std::min(Count() - 1, item_index_ + 1));
      m.Result = 1;
      return;
    }
    case CM_EXIT:
      if (DroppedDown()) {
        SelEndCancel();
        SetDroppedDown(false);
      }
      sel_length_ = 0;
      Invalidate();
      break;
    case CM_ENTER:
      if (HasEdit()) SelectAllText();
      Invalidate();
      break;
    default: break;
  }
  TCustomControl::WndProc(m);
}

}  // namespace qv
