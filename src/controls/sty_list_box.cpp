#include "controls/sty_list_box.h"

#include <algorithm>

#include "controls/gradients.h"

namespace qv {

TStyCustomListBox::TStyCustomListBox(TComponent* owner) : TStyFramed<TCustomListBox>(owner) {
  control_style_ &= ~static_cast<uint32_t>(csOpaque);
  search_timer_ = std::make_unique<TTimer>(nullptr);
  search_timer_->SetEnabled(false);
  search_timer_->SetInterval(1500);
  search_timer_->OnTimer = [this](TComponent*) { TimerFired(); };
  group_font_internal_ = true;
  group_font_.Assign(Font());
  group_font_.SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
  group_font_.SetColor(clHighlight);
  group_font_internal_ = false;
  group_font_.OnChange = [this](TFont*) {
    if (!group_font_internal_) group_font_changed_ = true;
    GroupFontChanged();
    Invalidate();
  };
}

TStyCustomListBox::~TStyCustomListBox() {
  BeginDestroy();
  search_timer_.reset();
  hint_.reset();
}

void TStyCustomListBox::HideItemHint() {
  if (hint_ && hint_->HintVisible()) hint_->ReleaseHint();
}

void TStyCustomListBox::UpdateItemHint(TPoint p) {
  if (!show_item_hints_) return;
  int i = ItemAtPos(p, true);
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  if (i < 0 || c.TextWidth(Item(i)) + 2 <= ClientWidth() || !Application->Active()) {
    HideItemHint();
    return;
  }
  if (!hint_) {
    hint_ = std::make_unique<THintWindow>(nullptr);
    hint_->SetColor(Application->HintColor);
  }
  hint_->Font().Assign(Font());
  std::string text;
  for (char ch : Item(i)) text += ch == '\t' ? std::string(8, ' ') : std::string(1, ch);
  TRect r = hint_->CalcHintRect(Screen->Width(), text);
  TRect item = ItemRect(i);
  TPoint at = ClientToScreen({item.Left - 1, item.Top - 2 + (ItemHeight() - r.Height()) / 2});
  OffsetRect(r, at.X, at.Y);
  if (!hint_->HintVisible() || !(hint_->ScreenRect() == r)) hint_->ActivateHint(r, text);
}

void TStyCustomListBox::MouseMove(TShiftState shift, int x, int y) {
  TStyFramed<TCustomListBox>::MouseMove(shift, x, y);
  UpdateItemHint({x, y});
}

void TStyCustomListBox::TimerFired() {
  if (key_marker_ != 0) return;
  search_timer_->SetEnabled(false);
  search_text_.clear();
}

void TStyCustomListBox::SetHotState(bool via_mouse, bool inside) {
  if (via_mouse) SetMouseInside(inside);
  if (FrameHotTrack()) RedrawFrame();
  ApplyStateColor();
}

void TStyCustomListBox::UpdateItemHeight() { SetItemHeight(FontLineHeight(Font())); }

bool TStyCustomListBox::IsGroupItem(int index) const {
  return index >= 0 && index < Count() && Item(index).compare(0, group_prefix_.size(), group_prefix_) == 0;
}

int TStyCustomListBox::FindGroup(int index) const {
  for (int i = std::min(index, Count() - 1); i >= 0; --i)
    if (IsGroupItem(i)) return i;
  return -1;
}

void TStyCustomListBox::UpdateHorzExtent() {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  int w = 0;
  for (int i = 0; i < Count(); ++i) w = std::max(w, c.TextWidth(Item(i) + "x"));
  SetHorzExtent(std::min(w, 65535));
}

void TStyCustomListBox::SetHorzExtent(int v) {
  v = std::clamp(v, 0, 65535);
  if (v == HorzExtentValue()) return;
  SetHorzExtentValue(v);
  Invalidate();
}

void TStyCustomListBox::SetHorzScrollBar(bool v) {
  if (v == horz_scroll_bar_) return;
  horz_scroll_bar_ = v;
  if (v && !Updating()) UpdateHorzExtent();
  Invalidate();
}

QV_STY_REPAINT_SETTER(TStyCustomListBox, OwnerDrawIndent, int, owner_draw_indent_)
QV_STY_REPAINT_SETTER(TStyCustomListBox, UseGradients, bool, use_gradients_)
QV_STY_REPAINT_SETTER(TStyCustomListBox, GroupColor, TColor, group_color_)
QV_STY_REPAINT_SETTER(TStyCustomListBox, GroupPrefix, const std::string&, group_prefix_)

void TStyCustomListBox::SetShowGroups(bool v) {
  if (v != show_groups_) {
    show_groups_ = v;
    if (v) {
      SetStyle(TListBoxStyle::lbOwnerDrawFixed);
      UpdateItemHeight();
    }
  }
  Invalidate();
}

void TStyCustomListBox::ItemsChanged(int kind, int index) {
  TStyFramed<TCustomListBox>::ItemsChanged(kind, index);
  if (horz_scroll_bar_ && !Updating()) UpdateHorzExtent();
}

int TStyCustomListBox::TextTop(const TRect& rect) { return rect.Top + (ItemHeight() - Canvas().TextHeight("Pp")) / 2; }

void TStyCustomListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  if (Style() == TListBoxStyle::lbStandard) {
    TStyFramed<TCustomListBox>::DrawItem(index, rect, state);
    return;
  }
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().Color = Color();
  bool group = show_groups_ && IsGroupItem(index);
  if (!group) {
    if (UseRightToLeftAlignment())
      rect.Right -= GetItemIndent();
    else
      rect.Left += GetItemIndent();
  }
  if ((state & odSelected) && index >= 0) {
    c.Brush().Color = clHighlight;
    c.Font().SetColor(clHighlightText);
  }
  if (index < 0)
    c.FillRect(rect);
  else if (group)
    DrawGroupItem(index, rect, state);
  else
    DispatchDrawItem(index, rect, state);
  if (state & odFocused) c.DrawFocusRect(rect);
}

void TStyCustomListBox::DispatchDrawItem(int index, TRect rect, TOwnerDrawState state) {
  if (OnDrawItem)
    OnDrawItem(this, index, rect, state);
  else
    DefaultDrawItem(index, rect, state);
}

void TStyCustomListBox::DefaultDrawItem(int index, TRect rect, TOwnerDrawState) {
  TCanvas& c = Canvas();
  c.FillRect(rect);
  if (index >= Count()) return;
  TRect r = rect;
  if (UseRightToLeftAlignment())
    r.Right -= 2;
  else
    r.Left += 2;
  c.Brush().Style = TBrushStyle::bsClear;
  c.DrawText(
      Item(index), r,
      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (UseRightToLeftAlignment() ? DT_RIGHT | DT_RTLREADING : DT_LEFT));
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyCustomListBox::DrawGroupItem(int index, TRect rect, TOwnerDrawState state) {
  TCanvas& c = Canvas();
  c.Font().Assign(group_font_);
  if (state & odSelected) {
    c.Font().SetColor(clHighlightText);
    c.FillRect(rect);
  } else if (use_gradients_ && ScreenHasTrueColor()) {
    bool rtl = UseRightToLeftAlignment();
    DrawGradientArea(c, rect, TGradientDirection::gdVerticalEnd, rtl ? group_color_ : Color(),
                     rtl ? Color() : group_color_, 1);
  } else {
    c.Brush().Color = group_color_;
    c.FillRect(rect);
  }
  c.SaveState();
  c.Brush().Style = TBrushStyle::bsClear;
  c.IntersectClipRect(rect);
  std::string text = Item(index).substr(group_prefix_.size());
  int y = TextTop(rect);
  if (UseRightToLeftAlignment())
    c.TextOut(rect.Right - 2 - c.TextWidth(text), y, text);
  else
    c.TextOut(rect.Left + 2, y, text);
  c.RestoreState();
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyCustomListBox::Match(const std::string& text) {
  int found = FindItemPrefix(text);
  if (found < 0) {
    if (beep_on_invalid_key_) MessageBeep();
    return;
  }
  int old = ItemIndex();
  if (MultiSelect()) {
    if (old >= 0) SetSelected(old, false);
    SetSelected(found, true);
    SetItemIndex(found);
  } else {
    SetItemIndex(found);
  }
  search_text_ = text;
  if (OnKeyPress) {
    char k = text.empty() ? 0 : text.back();
    OnKeyPress(this, k);
  }
  if (OnMatch) OnMatch(this);
  if (found != old) {
    Click();
    if (OnChange) OnChange(this);
  }
}

void TStyCustomListBox::KeyPress(char& key) {
  if (!incremental_search_) {
    TStyFramed<TCustomListBox>::KeyPress(key);
    return;
  }
  unsigned char ch = static_cast<unsigned char>(key);
  switch (ch) {
    case '\b':
      if (search_text_.empty()) {
        if (beep_on_invalid_key_) MessageBeep();
        Match("");
      } else {
        search_text_.erase(static_cast<size_t>(PrevCharPos(search_text_, static_cast<int>(search_text_.size()))));
        if (search_text_.empty()) {
          if (Count() > 0) SetItemIndex(0);
          TStyFramed<TCustomListBox>::KeyPress(key);
        } else {
          Match(search_text_);
        }
      }
      key = 0;
      return;
    case '\r':
      if (TabOnEnter())
        PostTabKey(this);
      else
        TStyFramed<TCustomListBox>::KeyPress(key);
      key = 0;
      return;
    case 27:
      SetItemIndex(-1);
      key = 0;
      return;
    default: break;
  }
  if (ch >= 32 && !(ch == ' ' && MultiSelect() && !ExtendedSelect())) {
    key_marker_ = 1;
    Match(search_text_ + TypedCharText(ch));
    search_timer_->SetEnabled(false);
    search_timer_->SetEnabled(true);
    key_marker_ = 0;
  }
  key = 0;
}

void TStyCustomListBox::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_ESCAPE || (key >= VK_PRIOR && key <= VK_DOWN)) search_text_.clear();
  TStyFramed<TCustomListBox>::KeyDown(key, shift);
}

void TStyCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) search_text_.clear();
  TStyFramed<TCustomListBox>::MouseDown(button, shift, x, y);
}

void TStyCustomListBox::Resize() {
  TStyFramed<TCustomListBox>::Resize();
  if (use_gradients_) Invalidate();
}

void TStyCustomListBox::WndProc(TMessage& m) {
  if (HandlePostedTab(this, m)) return;
  switch (m.Msg) {
    case WM_NCPAINT:
      TStyFramed<TCustomListBox>::WndProc(m);
      PaintOwnFrame(*reinterpret_cast<TCanvas*>(m.LParam));
      m.Result = 0;
      return;
    case WM_MOUSEWHEEL: {
      // Scrolls by the desktop's wheel lines; the selection stays and no wheel event is raised.
      int lines = WheelScrollLines(), p = TopIndex();
      if (WheelDelta(m.WParam) < 0)
        SetTopIndex(p + lines);
      else
        SetTopIndex(std::max(0, p - lines));
      m.Result = 1;
      return;
    }
    case CM_ENTER:
    case CM_EXIT:
      TStyFramed<TCustomListBox>::WndProc(m);
      SetHotState(false, m.Msg == CM_ENTER);
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
      TStyFramed<TCustomListBox>::WndProc(m);
      bool enter = m.Msg == CM_MOUSEENTER;
      SetHotState(true, enter);
      if (enter) {
        NotifyMouseEnter();
        UpdateItemHint(ScreenToClient(CursorPos()));
      } else {
        NotifyMouseLeave();
        HideItemHint();
      }
      return;
    }
    case CM_ENABLEDCHANGED:
      TStyFramed<TCustomListBox>::WndProc(m);
      ApplyStateColor();
      return;
    case CM_FONTCHANGED:
      TStyFramed<TCustomListBox>::WndProc(m);
      if (show_groups_) UpdateItemHeight();
      if (horz_scroll_bar_ && !Updating()) UpdateHorzExtent();
      return;
    default: TStyFramed<TCustomListBox>::WndProc(m);
  }
}

}  // namespace qv
