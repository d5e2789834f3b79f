#include "controls/sty_combo_box.h"

#include <algorithm>

#include "controls/gradients.h"

namespace qv {

TStyCustomComboBox::TStyCustomComboBox(TComponent* owner) : TStyFramed<TCustomComboBox>(owner) {
  control_style_ &= ~static_cast<uint32_t>(csSetCaption);
  search_timer_ = std::make_unique<TTimer>(nullptr);
  search_timer_->SetEnabled(false);
  search_timer_->SetInterval(1500);
  search_timer_->OnTimer = [this](TComponent*) { TimerFired(); };
  PublishProperty("FlatButtons", TPropertySetter::OfBool([this](bool v) { SetFlatButtons(v); }));
  PublishProperty("FlatButtonColor", TPropertySetter::OfColor([this](TColor v) { SetFlatButtonColor(v); }));
}

TStyCustomComboBox::~TStyCustomComboBox() {
  BeginDestroy();
  search_timer_.reset();
}

void TStyCustomComboBox::TimerFired() {
  if (key_marker_ != 0) return;
  search_timer_->SetEnabled(false);
  search_text_.clear();
}

void TStyCustomComboBox::SetFlatButtons(bool v) {
  if (v == flat_buttons_) return;
  flat_buttons_ = v;
  Invalidate();
}
void TStyCustomComboBox::SetFlatButtonColor(TColor v) {
  if (v == flat_button_color_) return;
  flat_button_color_ = v;
  Invalidate();
}
void TStyCustomComboBox::SetDropDownWidth(int v) {
  if (v == DroppedWidth()) return;
  SetDroppedWidth(v);
}
void TStyCustomComboBox::SetReadOnly(bool v) {
  if (v == read_only_) return;
  read_only_ = v;
  if (HasEdit()) SetEditReadOnly(v);
  Invalidate();
}
void TStyCustomComboBox::SetItemHeight(int h) {
  if (OwnerDrawn()) TStyFramed<TCustomComboBox>::SetItemHeight(h);
}
void TStyCustomComboBox::FrameVisibleChanged() {
  SetCtl3D(!FrameVisible());
  Invalidate();
}

void TStyCustomComboBox::UpdateFrameState(bool by_mouse, bool inside) {
  if (by_mouse)
    SetMouseInside(inside);
  else
    focus_inside_ = inside;
  if ((flat_buttons_ || FrameHotTrack()) && !DroppedDown()) Invalidate();
  ApplyStateColor();
}

void TStyCustomComboBox::SignalInvalidKey() {
  if (beep_on_invalid_key_) MessageBeep();
}

void TStyCustomComboBox::FireKeyPress(char key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TStyCustomComboBox::SelectByPrefix(const std::string& text) {
  int i = FindItemByPrefix(text);
  if (i < 0) {
    SignalInvalidKey();
    return;
  }
  SetItemIndex(i);
  search_text_ = text;
  Click();
  if (OnChange) OnChange(this);
  FireKeyPress(text.empty() ? 0 : text.back());
}

bool TStyCustomComboBox::CompleteFromItems(const std::string& text) {
  int i = FindItemByPrefix(text);
  if (i < 0) return false;
  std::string item = Item(i);
  if (keep_search_case_) {
    typing_ = true;
    SetEditText(text + item.substr(text.size()));
    typing_ = false;
  } else {
    SetItemIndex(i);
  }
  Click();
  if (OnChange) OnChange(this);
  SetSelStart(static_cast<int>(text.size()));
  SetSelLength(static_cast<int>(item.size() - text.size()));
  if (OnMatch) OnMatch(this);
  return true;
}

void TStyCustomComboBox::SetTextNoComplete(const std::string& text) {
  if (text == EditText()) return;
  bool was = auto_complete_;
  auto_complete_ = false;
  SetEditText(text);
  auto_complete_ = was;
}

// Key-downs of the edit styles; answers true when the key is swallowed.
bool TStyCustomComboBox::CompletionKeyDown(uint16_t& key, TShiftState shift) {
  if (shift & ssAlt) {
    system_key_down_ = true;
    return read_only_ && key != 0x73;
  }
  system_key_down_ = false;
  switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN:
      typing_ = true;
      search_text_.clear();
      return read_only_;
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_RIGHT: search_text_ = EditText(); return false;
    case VK_INSERT:
      if (shift & ssShift) paste_noted_ = true;
      return !allow_edit_;
    case VK_DELETE: {
      std::string t = EditText();
      int at = SelStart();
      int len = std::max(SelLength(), NextCharPos(t, at) - at);
      search_text_ = t.erase(static_cast<size_t>(at), static_cast<size_t>(len));
      return !allow_edit_ && SelLength() != static_cast<int>(EditText().size());
    }
    case 0x73: return read_only_;  // F4
    default: return false;
  }
}

// Characters of the edit styles; answers true when the character is handled (swallowed or
// inserted).
bool TStyCustomComboBox::CompletionChar(char& key) {
  unsigned char ch = static_cast<unsigned char>(key);
  if (system_key_down_) {
    system_key_down_ = false;
    return false;
  }
  if (read_only_) {
    if (ch != 3) key = 0;
    return ch != 3;
  }
  std::string copy = search_text_;
  switch (ch) {
    case '\b': {
      if (copy.empty()) {
        SignalInvalidKey();
        return false;
      }
      int at = SelStart(), len = SelLength();
      if (at >= static_cast<int>(copy.size())) {
        copy.erase(static_cast<size_t>(PrevCharPos(copy, static_cast<int>(copy.size()))));
      } else if (len > 0 && allow_edit_) {
        copy.erase(static_cast<size_t>(at), static_cast<size_t>(len));
        SetItemIndex(-1);
        SetEditText(search_text_);
        SetSelStart(at);
      } else if (allow_edit_ && at > 0) {
        int from = PrevCharPos(copy, at);
        copy.erase(static_cast<size_t>(from), static_cast<size_t>(at - from));
      }
      if (OnChange) OnChange(this);
      if (copy.empty()) {
        SetItemIndex(-1);
        if (keep_search_case_) SetEditText("");
        search_text_.clear();
        Click();
        if (OnChange) OnChange(this);
        FireKeyPress(key);
        key = 0;
        return true;
      }
      search_text_ = copy;
      if (CompleteFromItems(copy)) {
        key = 0;
        return true;
      }
      return false;
    }
    case '\r':
      if (DroppedDown() && OnSelEndOk) OnSelEndOk(this);
      enter_pressed_ = true;
      return false;
    case 22:
    case 24:
      if (!allow_edit_) key = 0;
      return !allow_edit_;
    case 27:
      if (!DroppedDown()) SetItemIndex(-1);
      search_text_.clear();
      Click();
      if (OnChange) OnChange(this);
      FireKeyPress(key);
      if (!DroppedDown()) key = 0;
      return !DroppedDown() ? true : false;
    default: break;
  }
  if (ch < 32) return false;
  FireKeyPress(key);
  ch = static_cast<unsigned char>(key);
  if (ch < 32) {
    key = 0;
    return true;
  }
  std::string old = search_text_;
  std::string s = search_text_;
  int at = std::min(SelStart(), static_cast<int>(s.size()));
  int len = std::min(SelLength(), static_cast<int>(s.size()) - at);
  if (len > 0) s.erase(static_cast<size_t>(at), static_cast<size_t>(len));
  s.insert(static_cast<size_t>(at), TypedCharText(ch));
  search_text_ = s;
  if (CompleteFromItems(s)) {
    key = 0;
    return true;
  }
  if (!allow_edit_) {
    SignalInvalidKey();
    search_text_ = old;
    key = 0;
    return true;
  }
  // No item begins so: the typed text stays as typed and the character goes in normally.
  int caret = SelStart();
  typing_ = true;
  SetEditText(old);
  typing_ = false;
  SetSelStart(std::min(caret, static_cast<int>(old.size())));
  FinishKeyPress(key);
  if (key) EditChar(key);
  search_text_ = EditText();
  key = 0;
  return true;
}

bool TStyCustomComboBox::ListSearchChar(char& key) {
  unsigned char ch = static_cast<unsigned char>(key);
  if (ch == '\b') {
    if (search_text_.empty()) {
      SignalInvalidKey();
      SelectByPrefix("");
    } else {
      search_text_.erase(static_cast<size_t>(PrevCharPos(search_text_, static_cast<int>(search_text_.size()))));
      if (!search_text_.empty()) {
        SelectByPrefix(search_text_);
      } else if (Count() > 0) {
        SetItemIndex(0);
        Click();
        if (OnChange) OnChange(this);
        FireKeyPress(key);
      }
    }
    key = 0;
    return true;
  }
  if (ch == 27) {
    if (closing_by_escape_) {
      closing_by_escape_ = false;
    } else if (Count() > 0) {
      SetItemIndex(0);
      Click();
      if (OnChange) OnChange(this);
    }
    key = 0;
    return true;
  }
  if (ch >= 32) {
    key_marker_ = 1;
    std::string s = search_text_ + TypedCharText(ch);
    int i = FindItemByPrefix(s);
    if (i >= 0)
      SelectByPrefix(s);
    else
      SignalInvalidKey();
    search_timer_->SetEnabled(false);
    search_timer_->SetEnabled(true);
    key_marker_ = 0;
    key = 0;
    return true;
  }
  return false;
}

void TStyCustomComboBox::FinishKeyPress(char& key) {
  if (key == '\r' && TabOnEnter() && !DroppedDown()) {
    key = 0;
    PostTabKey(this);
    return;
  }
  unsigned char ch = static_cast<unsigned char>(key);
  if (Style() == TComboBoxStyle2::csDropDown && MaxLength() > 0 && ch >= 32 &&
      static_cast<int>(EditText().size()) >= MaxLength() && SelLength() == 0) {
    MessageBeep();
    key = 0;
  }
}

void TStyCustomComboBox::KeyPress(char& key) {
  bool handled = false;
  if (HasEdit() && auto_complete_)
    handled = CompletionChar(key);
  else if (!HasEdit() && auto_complete_)
    handled = ListSearchChar(key);
  if (!handled && key) {
    FinishKeyPress(key);
    if (key) TStyFramed<TCustomComboBox>::KeyPress(key);
  }
  if (paste_noted_ || key == 22 || key == 24) {
    paste_noted_ = false;
    if (allow_edit_ && HasEdit()) CompleteAfterClipboard();
  }
  char k = key;
  if (k == '\b' || k == 27) return;
  if (AutoDropDown()) {
    if (k == '\t')
      SetDroppedDown(false);
    else if (!DroppedDown() && k)
      SetDroppedDown(true);
  }
}

void TStyCustomComboBox::KeyDown(uint16_t& key, TShiftState shift) {
  if (!HasEdit()) {
    if (key == VK_ESCAPE && DroppedDown()) closing_by_escape_ = true;
    if (key == VK_ESCAPE || (key >= VK_PRIOR && key <= VK_DOWN)) search_text_.clear();
    if (read_only_ && (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT || key == 0x73 ||
                       (key == VK_DOWN && (shift & ssAlt)))) {
      key = 0;
      return;
    }
  } else if (auto_complete_ && CompletionKeyDown(key, shift)) {
    key = 0;
    return;
  }
  if (read_only_ && (key == VK_DELETE || ((shift & ssAlt) && key == VK_DOWN))) {
    key = 0;
    return;
  }
  TStyFramed<TCustomComboBox>::KeyDown(key, shift);
}

void TStyCustomComboBox::CompleteAfterClipboard() {
  search_text_ = EditText();
  CompleteFromItems(search_text_);
}

void TStyCustomComboBox::CutToClipboard() {
  if (!allow_edit_) return;
  search_text_ = EditText();
  CompleteFromItems(search_text_);
  TStyFramed<TCustomComboBox>::CutToClipboard();
}

void TStyCustomComboBox::PasteFromClipboard() {
  if (!allow_edit_) return;
  TStyFramed<TCustomComboBox>::PasteFromClipboard();
  search_text_ = EditText();
  CompleteFromItems(search_text_);
}

void TStyCustomComboBox::EditChanged() {
  TStyFramed<TCustomComboBox>::EditChanged();
  if (auto_complete_ && !typing_ && !DroppedDown() && Style() == TComboBoxStyle2::csDropDown) {
    if (enter_pressed_)
      enter_pressed_ = false;
    else
      search_text_ = EditText();
    int i = FindItemByPrefix(search_text_);
    if (i >= 0 && !search_text_.empty()) {
      std::string item = Item(i);
      int caret = static_cast<int>(search_text_.size());
      SetItemIndex(i);
      SetSelStart(caret);
      SetSelLength(static_cast<int>(item.size()) - caret);
    }
  }
  typing_ = false;
}

void TStyCustomComboBox::SelEndOk() {
  typing_ = true;
  if (OnSelEndOk) OnSelEndOk(this);
  TStyFramed<TCustomComboBox>::SelEndOk();
  typing_ = false;
}

void TStyCustomComboBox::SelEndCancel() {
  if (OnSelEndCancel) OnSelEndCancel(this);
  TStyFramed<TCustomComboBox>::SelEndCancel();
}

void TStyCustomComboBox::ItemDeleting(void* object) {
  if (object && OnDeleteItem) OnDeleteItem(this, object);
}

void TStyCustomComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (read_only_) {
    SetFocus();
    return;
  }
  if (button == TMouseButton::mbLeft && Style() == TComboBoxStyle2::csDropDown) search_text_ = EditText();
  TStyFramed<TCustomComboBox>::MouseDown(button, shift, x, y);
}

void TStyCustomComboBox::DblClick() {
  if (!read_only_) TStyFramed<TCustomComboBox>::DblClick();
}

TRect TStyCustomComboBox::FlatButtonRect() const {
  int b = 2, sw = ButtonWidth();
  if (UseRightToLeftAlignment()) return TRect{b, b, b + sw, ClientHeight() - b};
  return TRect{ClientWidth() - b - sw, b, ClientWidth() - b, ClientHeight() - b};
}

void TStyCustomComboBox::Paint() {
  TStyFramed<TCustomComboBox>::Paint();
  TCanvas& c = Canvas();
  TRect client = ClientRect();
  TColor color = Color();
  if (FrameVisible() && !FrameLeftToTheme()) {
    // The platform's 3D edge goes under two rings in the control's colour.
    TRect r = PaintSideLines(c, client, color, sdAllSides, 1, color);
    PaintSideLines(c, r, color, sdAllSides, 1, color);
  }
  TRect b = FlatButtonRect();
  bool hot = FocusInside() || MouseInside();
  if (read_only_) {
    c.Brush().Color = color;
    c.FillRect(b);
  } else if (flat_buttons_) {
    if (!hot) {
      c.Brush().Color = color;
      c.FillRect(b);
      PaintDropDownArrow(c, b, false, false, Enabled());
    } else {
      bool down = DroppedDown();
      TRect inner;
      if (flat_button_color_ == clBtnFace)
        inner = down ? PaintSideLines(c, b, clBtnShadow, sdAllSides, 1, clBtnHighlight)
                     : PaintSideLines(c, b, clBtnHighlight, sdAllSides, 1, clBtnShadow);
      else
        inner = PaintColorFrame(c, b, flat_button_color_, down ? TFrameStyleEx::fsStatus : TFrameStyleEx::fsPopup);
      c.Brush().Color = flat_button_color_;
      c.FillRect(inner);
      PaintDropDownArrow(c, inner, false, down, Enabled());
    }
  }
  if (FrameVisible() && !FrameLeftToTheme()) {
    bool hot_frame = HotNow();
    TFrameStyle style = hot_frame ? FrameHotStyle() : FrameStyle();
    TColor fc = hot_frame ? FrameHotColor() : FrameColor();
    if (style == TFrameStyleEx::fsFlat)
      PaintSides(c, client, fc, FrameSides(), fc);
    else if (style == TFrameStyleEx::fsFlatBold)
      PaintSideLines(c, client, fc, FrameSides(), 2, fc);
    else if (color == clWindow)
      PaintFrameSides(c, client, style, FrameSides());
    else
      PaintColorFrameSides(c, client, color, FrameSides(), style);
  }
}

void TStyCustomComboBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  TStyFramed<TCustomComboBox>::DrawItem(index, rect, state);
  TCanvas& c = DroppedDown() && !(state & odComboBoxEdit) ? DropList()->Canvas() : Canvas();
  if ((state & odSelected) && show_focus_) PaintDottedFocusFrame(c, rect);
}

void TStyCustomComboBox::WndProc(TMessage& m) {
  if (HandlePostedTab(this, m)) return;
  switch (m.Msg) {
    case WM_MOUSEWHEEL: {
      int d = WheelDelta(m.WParam);
      m.Result = 1;
      if (read_only_) return;
      if (DroppedDown()) {
        DropList()->SetTopIndex(
            std::max(0, DropList()->TopIndex() + (d < 0 ? WheelScrollLines() : -WheelScrollLines())));
        return;
      }
      int i = ItemIndex();
      if (d < 0) {
        if (i + 1 < Count()) {
          SetItemIndex(i + 1);
          Click();
          if (OnChange) OnChange(this);
        }
      } else if (i <= 0) {
        if (Count() > 0) SetItemIndex(0);
      } else {
        SetItemIndex(i - 1);
        Click();
        if (OnChange) OnChange(this);
      }
      return;
    }
    case CM_ENTER:
      TStyFramed<TCustomComboBox>::WndProc(m);
      UpdateFrameState(false, true);
      return;
    case CM_EXIT:
      TStyFramed<TCustomComboBox>::WndProc(m);
      search_text_.clear();
      if (Style() == TComboBoxStyle2::csDropDown && !EditText().empty() && IndexOfText(EditText()) < 0 && OnNotInList)
        OnNotInList(this);
      UpdateFrameState(false, false);
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
      TStyFramed<TCustomComboBox>::WndProc(m);
      bool enter = m.Msg == CM_MOUSEENTER;
      UpdateFrameState(true, enter);
      if (enter)
        NotifyMouseEnter();
      else
        NotifyMouseLeave();
      return;
    }
    case CM_ENABLEDCHANGED:
      TStyFramed<TCustomComboBox>::WndProc(m);
      ApplyStateColor();
      return;
    default: TStyFramed<TCustomComboBox>::WndProc(m);
  }
}

}  // namespace qv
