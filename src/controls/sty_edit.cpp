#include "controls/sty_edit.h"

namespace qv {

namespace {
constexpr int kScrollBarWidth = 17;
}

TStyCustomEdit::TStyCustomEdit(TComponent* owner) : TStyFramed<TEdit>(owner) {
  control_style_ = (control_style_ | csCaptureMouse) & ~static_cast<uint32_t>(csSetCaption);
  SetNativeFrame(false);
  SetBorderStyle(TBorderStyle::bsSingle);
}

void TStyCustomEdit::SetAlignment(TAlignment a) {
  if (a == TAlignment::taCenter) a = TAlignment::taLeftJustify;
  SetEditAlignment(a);
}

void TStyCustomEdit::SetFlatButtons(bool v) {
  if (v == flat_buttons_) return;
  flat_buttons_ = v;
  RepaintNonClient();
}
void TStyCustomEdit::SetFlatButtonColor(TColor v) {
  if (v == flat_button_color_) return;
  flat_button_color_ = v;
  RepaintNonClient();
}

void TStyCustomEdit::RedrawFrame() { RepaintNonClient(); }

void TStyCustomEdit::SetHotState(bool via_mouse, bool inside) {
  if (via_mouse)
    SetMouseInside(inside);
  else
    focus_inside_ = inside;
  if (drop_button_visible_) {
    if ((flat_buttons_ || FrameHotTrack()) && drop_button_state_ == TDropButtonState::up) RepaintNonClient();
  } else if (FrameHotTrack()) {
    RedrawFrame();
  }
  ApplyStateColor();
}

TRect TStyCustomEdit::DropButtonRect() const {
  TRect r{0, 0, Width(), Height()};
  if (BorderStyle() == TBorderStyle::bsSingle) InflateRect(r, -2, -2);
  if (UseRightToLeftAlignment()) return TRect{r.Left, r.Top, r.Left + kScrollBarWidth, r.Bottom};
  return TRect{r.Right - kScrollBarWidth, r.Top, r.Right, r.Bottom};
}

void TStyCustomEdit::ChangeDropButtonState(TDropButtonState state) {
  if (!drop_button_visible_ || state == drop_button_state_) return;
  drop_button_state_ = state;
  RepaintNonClient();
}

void TStyCustomEdit::ShowDropButton(bool visible) {
  if (visible == drop_button_visible_) return;
  drop_button_visible_ = visible;
  RecalcNonClient();
}

void TStyCustomEdit::RunDropDown() {
  if (!drop_button_visible_) return;
  dropped_down_ = true;
  try {
    ChangeDropButtonState(TDropButtonState::down);
    if (OnDropDown) OnDropDown(this);
    if (OnCloseUp) OnCloseUp(this);
    ChangeDropButtonState(TDropButtonState::up);
  } catch (...) {
    dropped_down_ = false;
    throw;
  }
  dropped_down_ = false;
}

void TStyCustomEdit::PaintDropButton(TCanvas& c, const TRect& r) {
  bool hot = FocusInside() || MouseInside();
  bool down = drop_button_state_ == TDropButtonState::down;
  if (!flat_buttons_) {
    // The classic combo-box button: a raised face, pushed flat while down.
    c.Brush().Color = clBtnFace;
    c.FillRect(r);
    TRect inner =
        down ? PaintSides(c, r, clBtnShadow, sdAllSides, clBtnShadow) : PaintFrame(c, r, TFrameStyleEx::fsButtonUp);
    if (down) OffsetRect(inner, 1, 1);
    PaintDropDownArrow(c, inner, false, down, Enabled());
    return;
  }
  TRect inner = r;
  if (hot) {
    c.Brush().Color = flat_button_color_;
    if (flat_button_color_ == clBtnFace)
      inner = down ? PaintSideLines(c, r, clBtnShadow, sdAllSides, 1, clBtnHighlight)
                   : PaintSideLines(c, r, clBtnHighlight, sdAllSides, 1, clBtnShadow);
    else
      inner = PaintColorFrame(c, r, flat_button_color_, down ? TFrameStyleEx::fsStatus : TFrameStyleEx::fsPopup);
    c.Brush().Color = flat_button_color_;
    c.FillRect(inner);
  } else {
    c.Brush().Color = focus_inside_ ? FocusColor() : NormalColor();
    c.FillRect(r);
  }
  PaintDropDownArrow(c, inner, false, hot && down, Enabled());
}

void TStyCustomEdit::WndProc(TMessage& m) {
  if (HandlePostedTab(this, m)) return;
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      TStyFramed<TEdit>::WndProc(m);
      if (drop_button_visible_) {
        auto* r = reinterpret_cast<TRect*>(m.LParam);
        if (UseRightToLeftAlignment())
          r->Left += kScrollBarWidth;
        else
          r->Right -= kScrollBarWidth;
      }
      return;
    case WM_NCPAINT: {
      TStyFramed<TEdit>::WndProc(m);
      auto& c = *reinterpret_cast<TCanvas*>(m.LParam);
      PaintOwnFrame(c);
      if (drop_button_visible_) PaintDropButton(c, DropButtonRect());
      m.Result = 0;
      return;
    }
    case WM_NCLBUTTONDOWN:
      if (drop_button_visible_ && DropButtonRect().Contains({LoWordSigned(m.LParam) + ClientOffset().X,
                                                             HiWordSigned(m.LParam) + ClientOffset().Y})) {
        if (!Focused()) SetFocus();
        RunDropDown();
        return;
      }
      break;
    case CM_ENTER:
      SetHotState(false, true);
      TStyFramed<TEdit>::WndProc(m);
      return;
    case CM_EXIT:
      TStyFramed<TEdit>::WndProc(m);
      SetHotState(false, false);
      return;
    case CM_MOUSEENTER:
      TStyFramed<TEdit>::WndProc(m);
      SetHotState(true, true);
      NotifyMouseEnter();
      return;
    case CM_MOUSELEAVE:
      TStyFramed<TEdit>::WndProc(m);
      SetHotState(true, false);
      NotifyMouseLeave();
      return;
    case CM_ENABLEDCHANGED:
      TStyFramed<TEdit>::WndProc(m);
      RepaintNonClient();
      ApplyStateColor();
      return;
    default: break;
  }
  TStyFramed<TEdit>::WndProc(m);
}

void TStyCustomEdit::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_DOWN && (shift & ssAlt) && drop_button_visible_) {
    RunDropDown();
    key = 0;
    return;
  }
  TStyFramed<TEdit>::KeyDown(key, shift);
}

void TStyCustomEdit::KeyPress(char& key) {
  if (key == '\r' && TabOnEnter()) {
    key = 0;
    PostTabKey(this);
    return;
  }
  TStyFramed<TEdit>::KeyPress(key);
}

}  // namespace qv
