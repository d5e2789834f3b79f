#include "controls/sty_spin_edit.h"

#include <algorithm>
#include <cmath>

#include "controls/gradients.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format_settings.h"

namespace qv {

// ---------------------------------------------------------------------------------------------
TStySpinButtons::TStySpinButtons(TComponent* owner) : TWinControl(owner) {
  control_style_ &= ~static_cast<uint32_t>(csAcceptsControls | csSetCaption);
  up_ = CreateSpinButton();
  down_ = CreateSpinButton();
  SetGlyphUpRight(nullptr);
  SetGlyphDownLeft(nullptr);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetBounds(0, 0, 16, 25);
}

TStyControlButton* TStySpinButtons::CreateSpinButton() {
  auto* b = new TStyControlButton(this);
  b->SetParent(this);
  b->OnClick = [this, b](TComponent*) { SpinButtonClicked(b); };
  b->OnMouseDown = [this](TComponent* sender, TMouseButton button, TShiftState shift, int x, int y) {
    SpinButtonPressed(sender, button, shift, x, y);
  };
  b->Glyph().OnChange = [this, b](TBitmap*) {
    b->Invalidate();
    SpinGlyphChanged(b);
  };
  b->SetRepeatClicks(true);
  b->SetNumGlyphs(2);
  return b;
}

void TStySpinButtons::SpinButtonClicked(TStyControlButton* button) {
  if (button == up_) {
    if (OnUpRightClick) OnUpRightClick(this);
  } else if (OnDownLeftClick) {
    OnDownLeftClick(this);
  }
}

void TStySpinButtons::SpinButtonPressed(TComponent*, TMouseButton button, TShiftState, int, int) {
  if (button != TMouseButton::mbLeft) return;
  // The press goes on only when the focus could move where it belongs: no click, no repeat else.
  if (focus_control_ && focus_control_->TabStop() && focus_control_->CanFocus() && !focus_control_->Focused()) {
    focus_control_->SetFocus();
    if (!focus_control_->Focused()) throw EAbort("");
  } else if (TabStop() && CanFocus() && !Focused()) {
    SetFocus();
    if (!Focused()) throw EAbort("");
  }
}

void TStySpinButtons::SpinGlyphChanged(TStyControlButton* button) {
  bool custom = !button->Glyph().Empty();
  bool up = button == up_;
  (up ? custom_up_ : custom_down_) = custom;
  TStyControlButtonStyle arrow = up ? (direction_ == TSpinDirection::sdLeftRight ? TStyControlButtonStyle::cbsRight
                                                                                 : TStyControlButtonStyle::cbsUp)
                                    : (direction_ == TSpinDirection::sdLeftRight ? TStyControlButtonStyle::cbsLeft
                                                                                 : TStyControlButtonStyle::cbsDown);
  button->SetStyle(custom ? TStyControlButtonStyle::cbsNone : arrow);
}

void TStySpinButtons::SetGlyphUpRight(const TBitmap* glyph) {
  TBitmap empty;
  up_->SetGlyph(glyph ? *glyph : empty);
  SpinGlyphChanged(up_);
}
void TStySpinButtons::SetGlyphDownLeft(const TBitmap* glyph) {
  TBitmap empty;
  down_->SetGlyph(glyph ? *glyph : empty);
  SpinGlyphChanged(down_);
}

void TStySpinButtons::SetDirection(TSpinDirection v) {
  if (v == direction_) return;
  direction_ = v;
  SetGlyphUpRight(nullptr);
  SetGlyphDownLeft(nullptr);
  Invalidate();
}

void TStySpinButtons::SetOrientation(TOrientation v) {
  if (v == orientation_) return;
  orientation_ = v;
  SetWidth(v == TOrientation::orVertical ? Width() / 2 : Width() * 2);
  LayoutSpinButtons(Width(), Height());
  Invalidate();
}

void TStySpinButtons::SetFlat(bool v) {
  if (v == flat_) return;
  flat_ = v;
  up_->SetFlat(v);
  down_->SetFlat(v);
}

void TStySpinButtons::SetEnabled(bool v) {
  if (v == Enabled()) return;
  TWinControl::SetEnabled(v);
  up_->SetEnabled(v);
  down_->SetEnabled(v);
}

void TStySpinButtons::SetColor(TColor v) {
  TWinControl::SetColor(v);
  if (up_) up_->SetColor(v);
  if (down_) down_->SetColor(v);
}

void TStySpinButtons::SetFocusControl(TWinControl* c) {
  if (focus_control_) RemoveFreeNotification(focus_control_);
  focus_control_ = c;
  if (c) FreeNotification(c);
}

void TStySpinButtons::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focus_control_) focus_control_ = nullptr;
}

void TStySpinButtons::SetBounds(int left, int top, int width, int height) {
  LayoutSpinButtons(width, height);
  TWinControl::SetBounds(left, top, width, height);
}

void TStySpinButtons::LayoutSpinButtons(int w, int h) {
  if (!up_ || !down_) return;
  if (orientation_ == TOrientation::orVertical) {
    up_->SetBounds(0, 0, w, h / 2);
    down_->SetBounds(0, h / 2, w, h - h / 2 - 1);
  } else {
    down_->SetBounds(0, 0, w / 2, h - 1);
    up_->SetBounds(w / 2, 0, w - w / 2, h - 1);
  }
}

void TStySpinButtons::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_UP)
    up_->Click();
  else if (key == VK_DOWN)
    down_->Click();
  TWinControl::KeyDown(key, shift);
}

void TStySpinButtons::WndProc(TMessage& m) { TWinControl::WndProc(m); }

// ---------------------------------------------------------------------------------------------
TStySpinEdit::TStySpinEdit(TComponent* owner) : TStyCustomEdit(owner) {
  control_style_ &= ~static_cast<uint32_t>(csSetCaption);
  buttons_ = new TStySpinButtons(this);
  buttons_->SetBounds(0, 0, 17, 17);
  buttons_->SetFocusControl(this);
  buttons_->OnUpRightClick = [this](TComponent*) { UpClickHandler(); };
  buttons_->OnDownLeftClick = [this](TComponent*) { DownClickHandler(); };
  buttons_->SetParent(this);
  // The plain edit does not publish these; a frame controller reaches them here.
  PublishProperty("FlatButtons", TPropertySetter::OfBool([this](bool v) { SetFlatButtons(v); }));
  PublishProperty("FlatButtonColor", TPropertySetter::OfColor([this](TColor v) { SetFlatButtonColor(v); }));
  // Pasting goes through the keyboard, where the spin edit decides; the native menu would not ask.
  SetNativeClipboardMenu(false);
  SetWidth(47);
  SetAlignment(TAlignment::taRightJustify);
  SetValue(0);
  PlaceSpinButtons();
}

char TStySpinEdit::Separator() const { return CurrentFormatSettings().DecimalSeparator; }

TStyControlButton* TStySpinEdit::GetSpinButton(TSpinButtonType which) const {
  return which == TSpinButtonType::sbUp ? buttons_->UpRightButton() : buttons_->DownLeftButton();
}

void TStySpinEdit::SetBounds(int left, int top, int width, int height) {
  TStyCustomEdit::SetBounds(left, top, width, height);
  PlaceSpinButtons();
}

void TStySpinEdit::PlaceSpinButtons() {
  if (!buttons_) return;
  if (Height() < FontLineHeight(Font())) {
    SetHeight(FontLineHeight(Font()));  // placed again by the resize
    return;
  }
  int bw = buttons_->Width(), w = Width(), h = Height();
  if (UseRightToLeftAlignment())
    buttons_->SetBounds(0, 0, bw, h - 3);
  else if (FrameVisible() || Ctl3D())
    buttons_->SetBounds(w - bw - 4, 0, bw, h - 3);
  else
    buttons_->SetBounds(w - bw - 1, 1, bw, h - 3);
  SetEditMargins();
}

void TStySpinEdit::SetEditMargins() {
  if (!buttons_) return;
  int m = buttons_->Width() + 2;
  if (UseRightToLeftAlignment())
    SetTextMargins(m, 0);
  else
    SetTextMargins(0, m);
}

TRect TStySpinEdit::GetTextArea() const {
  TRect r = ClientRect();
  r.Right -= buttons_->Width() + 2;
  return r;
}

void TStySpinEdit::SetButtonWidth(int v) {
  if (v == button_width_) return;
  button_width_ = std::max(0, v);
  buttons_->SetWidth(buttons_->Orientation() == TOrientation::orVertical ? button_width_ : button_width_ * 2);
  PlaceSpinButtons();
  Invalidate();
}

void TStySpinEdit::SetOrientation(TOrientation v) {
  buttons_->SetOrientation(v);
  PlaceSpinButtons();
  Invalidate();
}

void TStySpinEdit::SetFlatButtons(bool v) {
  TStyCustomEdit::SetFlatButtons(v);
  buttons_->SetFlat(v);
  PlaceSpinButtons();
}

void TStySpinEdit::SetFrameStyle(TFrameStyle v) {
  TStyCustomEdit::SetFrameStyle(v);
  PlaceSpinButtons();
}

void TStySpinEdit::SetDecimals(uint8_t v) {
  if (v == decimals_) return;
  decimals_ = v;
  SetValue(Value());
}

void TStySpinEdit::SetCheckRange(bool v) {
  if (v == check_range_) return;
  check_range_ = v;
  SetValue(Value());
}

void TStySpinEdit::SetIntegersOnly(bool v) {
  if (v == integers_only_) return;
  integers_only_ = v;
  if (v) {
    double rounded = std::nearbyint(Value());  // before the decimals go, which would round otherwise
    SetDecimals(0);
    SetValue(rounded);
  }
}

void TStySpinEdit::SetMin(double v) {
  if (v == min_) return;
  min_ = v;
  if (v > max_) max_ = v;
  // Crossing the other limit makes both equal, which alone would switch clamping off.
  SetValue(std::clamp(Value(), min_, max_));
  Invalidate();
}

void TStySpinEdit::SetMax(double v) {
  if (v == max_) return;
  max_ = v;
  if (v < min_) min_ = v;
  SetValue(std::clamp(Value(), min_, max_));
  Invalidate();
}

double TStySpinEdit::Value() {
  double v = 0;
  if (Text().empty()) {
    if (allow_blank_) return blank_value_;
    SetText(FloatToStr(min_, Separator()));
  }
  return TryStrToFloat(Text(), v, Separator()) ? v : min_;
}

void TStySpinEdit::SetValue(double v) {
  SetText(FloatToStrF(CheckValue(v), TFloatFormat::ffFixed, 18, std::min<int>(decimals_, 18), Separator()));
}

int32_t TStySpinEdit::IntValue() {
  double v = std::nearbyint(Value());
  return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

double TStySpinEdit::CheckValue(double x) const {
  if (min_ != max_ || check_range_) return std::clamp(x, min_, std::max(min_, max_));
  return x;
}

bool TStySpinEdit::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TStySpinEdit::NotifyButtonClick(TSpinButtonType button) {
  if (OnButtonClick) OnButtonClick(this, button);
}

void TStySpinEdit::StepUp(double amount) {
  if (ReadOnly()) {
    MessageBeep();
    return;
  }
  if (!CanChange()) return;
  SetValue(Value() + amount);
  NotifyButtonClick(TSpinButtonType::sbUp);
}

void TStySpinEdit::StepDown(double amount) {
  if (ReadOnly()) {
    MessageBeep();
    return;
  }
  if (!CanChange()) return;
  SetValue(Value() - amount);
  NotifyButtonClick(TSpinButtonType::sbDown);
}

bool TStySpinEdit::AcceptsChar(char key) {
  unsigned char ch = static_cast<unsigned char>(key);
  char sep = Separator();
  std::string text = Text();
  bool valid =
      (ch >= '0' && ch <= '9') || key == '+' || key == '-' || (!integers_only_ && key == sep) || (ch < 32 && ch != 13);
  if (valid && key == sep) {
    bool has = text.find(sep) != std::string::npos;
    valid = SelLength() > 0 ? (!has || SelText().find(sep) != std::string::npos) : !has;
  }
  if (valid && (key == '+' || key == '-')) {
    bool signed_text = text.find_first_of("+-") != std::string::npos;
    valid = (SelStart() == 0 && !signed_text) || SelLength() == static_cast<int>(text.size());
  }
  if (valid && !allow_key_edit_ && (ch >= 32 || ch == 8)) valid = false;
  return valid;
}

void TStySpinEdit::KeyDown(uint16_t& key, TShiftState shift) {
  TStyCustomEdit::KeyDown(key, shift);
  if (!allow_key_edit_ && key == VK_DELETE) {
    MessageBeep();
    key = 0;
  }
  // Shift+Insert pastes and Shift+Delete cuts: only where typing is allowed.
  if ((key == VK_INSERT || key == VK_DELETE) && (shift & ssShift) && (!allow_key_edit_ || ReadOnly())) key = 0;
  switch (key) {
    case VK_PRIOR: StepUp(page_size_); break;
    case VK_NEXT: StepDown(page_size_); break;
    case VK_UP: StepUp(increment_); break;
    case VK_DOWN: StepDown(increment_); break;
    default: break;
  }
}

void TStySpinEdit::KeyPress(char& key) {
  TStyCustomEdit::KeyPress(key);
  if (key == 0) return;
  if (key == 22 || key == 24) {
    if (!allow_key_edit_ || ReadOnly()) key = 0;
    return;
  }
  if (!AcceptsChar(key)) {
    MessageBeep();
    key = 0;
  }
}

void TStySpinEdit::SetHotState(bool via_mouse, bool inside) {
  TStyCustomEdit::SetHotState(via_mouse, inside);
  if (!FlatButtons() || !buttons_) return;
  buttons_->SetColor(MouseInside() || FocusInsideFlag() ? FlatButtonColor() : Color());
}

void TStySpinEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_MOUSEWHEEL: {
      bool up = WheelDelta(m.WParam) > 0;
      if (up && OnMouseWheelUp) OnMouseWheelUp(this);
      if (!up && OnMouseWheelDown) OnMouseWheelDown(this);
      double amount = (m.WParam & MK_CONTROL) ? page_size_ : increment_;
      if (up)
        StepUp(amount);
      else
        StepDown(amount);
      m.Result = 1;
      return;
    }
    case CM_ENTER:
      TStyCustomEdit::WndProc(m);
      SetEditMargins();
      SelectAll();
      return;
    case CM_EXIT: {
      TStyCustomEdit::WndProc(m);
      SetEditMargins();
      if (allow_blank_ && Text().empty()) return;
      double v = 0;
      SetValue(TryStrToFloat(Text(), v, Separator()) ? v : min_);
      return;
    }
    case CM_ENABLEDCHANGED:
      TStyCustomEdit::WndProc(m);
      SetEditMargins();
      buttons_->SetEnabled(Enabled());
      if (FlatButtons()) buttons_->SetColor(Color());
      return;
    case CM_FONTCHANGED:
      TStyCustomEdit::WndProc(m);
      SetEditMargins();
      buttons_->SetEnabled(Enabled());
      PlaceSpinButtons();
      return;
    default: TStyCustomEdit::WndProc(m);
  }
}

}  // namespace qv
