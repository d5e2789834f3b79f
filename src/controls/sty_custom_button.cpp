#include "controls/sty_custom_button.h"

#include "controls/sty_messages.h"

#include "controls/gradients.h"
#include "platform/rtl/store_changed.h"

namespace qv {

TStyCustomButton::TStyCustomButton(TComponent* owner) : TCustomControl(owner) {
  control_style_ = csCaptureMouse | csSetCaption | csDoubleClicks | csReplicatable | csReflector;
  SetBounds(0, 0, 115, 17);
  SetTabStop(true);
}

QV_STY_REPAINT_SETTER(TStyCustomButton, AlignmentVertical, TAlignmentVertical, alignment_vertical_)
QV_STY_REPAINT_SETTER(TStyCustomButton, HotTrack, bool, hot_track_)
QV_STY_REPAINT_SETTER(TStyCustomButton, HighlightColor, TColor, highlight_color_)
QV_STY_REPAINT_SETTER(TStyCustomButton, HotTrackColor, TColor, hot_track_color_)
QV_STY_REPAINT_SETTER(TStyCustomButton, HotTrackColorType, TStyHotTrackColorType, hot_track_color_type_)
QV_STY_REPAINT_SETTER(TStyCustomButton, LightTextStyle, bool, light_text_style_)
QV_STY_REPAINT_SETTER(TStyCustomButton, TextStyle, TTextStyle, text_style_)
QV_STY_REPAINT_SETTER(TStyCustomButton, TextHighlightColor, TColor, text_highlight_color_)
QV_STY_REPAINT_SETTER(TStyCustomButton, TextShadowColor, TColor, text_shadow_color_)
QV_STY_REPAINT_SETTER(TStyCustomButton, TextShadowDepth, int, text_shadow_depth_)
QV_STY_REPAINT_SETTER(TStyCustomButton, ThemeAware, bool, theme_aware_)
QV_STY_REPAINT_SETTER(TStyCustomButton, Transparent, bool, transparent_)

void TStyCustomButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  SetFocus();
  if (!Focused()) return;
  show_down_ = true;
  RefreshLook();
  dragging_ = true;
}

void TStyCustomButton::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  bool inside = Inside(x, y);
  if (StoreChanged(show_down_, inside)) RefreshLook();
}

void TStyCustomButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (!dragging_) return;
  dragging_ = false;
  show_down_ = false;
  if (Inside(x, y)) ReleasedInside();
  RefreshLook();
}

void TStyCustomButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_ENTER:
    case CM_EXIT:
      TCustomControl::WndProc(m);
      Repaint();
      return;
    case CM_TEXTCHANGED: Repaint(); return;
    case CM_MOUSEENTER:
      mouse_over_ = true;
      if (OnMouseEnter) OnMouseEnter(this);
      if (hot_track_) InvalidateRect(HotTrackArea(), false);
      return;
    case CM_MOUSELEAVE:
      mouse_over_ = false;
      if (OnMouseLeave) OnMouseLeave(this);
      if (hot_track_) InvalidateRect(HotTrackArea(), false);
      return;
    case WM_ERASEBKGND:
      if (transparent_) {
        PaintParentBackground(this, *reinterpret_cast<TCanvas*>(m.WParam), true);
        m.Result = 1;
        return;
      }
      break;
    default: break;
  }
  TCustomControl::WndProc(m);
}

void TStyCustomButton::DrawStyledText(TCanvas& c, const TRect& rect, uint32_t flags) {
  c.Brush().Style = TBrushStyle::bsClear;
  c.Font().SetName("System");
  c.Font().Assign(Font());
  if (UseRightToLeftReading()) flags |= DT_RTLREADING | DT_RIGHT;
  TRect calc = rect;
  c.DrawText(Caption(), calc, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | DT_CENTER);
  int h = calc.Height();
  TRect r = rect;
  if (alignment_vertical_ == TAlignmentVertical::avCenter) {
    r.Top = (rect.Top + rect.Bottom - h) >> 1;
    r.Bottom = r.Top + h;
  } else if (alignment_vertical_ == TAlignmentVertical::avBottom) {
    r.Top = rect.Bottom - h - 1;
  }
  auto copy = [&](TColor color, int dx, int dy) {
    TRect t = r;
    OffsetRect(t, dx, dy);
    c.Font().SetColor(color);
    c.DrawText(Caption(), t, flags);
  };
  TColor font_color = Font().Color();
  if (!Enabled()) {
    copy(clBtnHighlight, 1, 1);
    copy(clBtnShadow, 0, 0);
  } else {
    bool right = (flags & DT_RIGHT) != 0;
    int caption_dx = 0;
    switch (text_style_) {
      case TTextStyle::tsRaised:
        if (!light_text_style_) copy(text_shadow_color_, 1, 1);
        copy(text_highlight_color_, -1, -1);
        break;
      case TTextStyle::tsRecessed:
        copy(text_highlight_color_, 1, 1);
        if (!light_text_style_) copy(text_shadow_color_, -1, -1);
        break;
      case TTextStyle::tsShadow:
        copy(text_shadow_color_, right ? 0 : text_shadow_depth_, text_shadow_depth_);
        if (right) caption_dx = -text_shadow_depth_;
        break;
      default: break;
    }
    copy(font_color, caption_dx, 0);
  }
  c.Brush().Style = TBrushStyle::bsSolid;
}

// ---------------------------------------------------------------------------------------------
TStyControlButton::TStyControlButton(TComponent* owner) : TGraphicControl(owner) {
  control_style_ = csCaptureMouse;
  SetBounds(0, 0, 17, 21);
  SetColor(clBtnFace);
  glyph_.OnChange = [this](TBitmap*) { Invalidate(); };
}

TStyControlButton::~TStyControlButton() { BeginDestroy(); }

void TStyControlButton::SetFlat(bool v) {
  if (!StoreChanged(flat_, v)) return;
  Invalidate();
}

void TStyControlButton::SetGlyph(const TBitmap& glyph) {
  glyph_.Assign(glyph);
  int w = glyph_.Width(), h = glyph_.Height();
  // A glyph 0 wide is a multiple of any height but holds no image: one glyph then.
  if (w == 0)
    SetNumGlyphs(1);
  else if (h != 0 && w % h == 0)
    SetNumGlyphs(w / h < 5 ? w / h : 1);
  Invalidate();
}

void TStyControlButton::SetNumGlyphs(int n) {
  if (n < 1) n = 1;
  if (!StoreChanged(num_glyphs_, n)) return;
  Invalidate();
}

void TStyControlButton::SetStyle(TStyControlButtonStyle s) {
  if (!StoreChanged(style_, s)) return;
  Invalidate();
}

TPoint TStyControlButton::GlyphSize() const { return {glyph_.Width() / std::max(1, num_glyphs_), glyph_.Height()}; }

void TStyControlButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  if (!down_) {
    down_ = true;
    Invalidate();
  }
  dragging_ = true;
  if (repeat_clicks_) {
    if (!timer_) {
      timer_ = std::make_unique<TTimer>(nullptr);
      timer_->OnTimer = [this](TComponent*) { RepeatTimerTick(); };
    }
    timer_->SetEnabled(false);
    timer_->SetInterval(initial_delay_);
    timer_->SetEnabled(true);
  }
}

void TStyControlButton::RepeatTimerTick() {
  timer_->SetInterval(delay_);
  if (!down_ || !MouseCapture()) return;
  try {
    Click();
  } catch (...) {
    timer_->SetEnabled(false);
    throw;
  }
}

void TStyControlButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (timer_) timer_->SetEnabled(false);
  if (!dragging_) return;
  dragging_ = false;
  down_ = false;
  mouse_over_ = false;
  Repaint();
  if (x >= 0 && y >= 0 && x < Width() && y < Height()) Click();
  SyncHover();
}

void TStyControlButton::SyncHover() {
  if (!flat_ || !Enabled()) return;
  if (FindControlAtScreen(CursorPos()) == this)
    Perform(CM_MOUSEENTER, 0, 0);
  else
    Perform(CM_MOUSELEAVE, 0, 0);
}

void TStyControlButton::MouseEntered() {
  mouse_over_ = true;
  if (OnMouseEnter) OnMouseEnter(this);
  if (flat_) Invalidate();
}

void TStyControlButton::MouseLeft() {
  mouse_over_ = false;
  if (OnMouseLeave) OnMouseLeave(this);
  if (flat_) Invalidate();
}

void TStyControlButton::WndProc(TMessage& m) {
  if (m.Msg == CM_MOUSEENTER)
    MouseEntered();
  else if (m.Msg == CM_MOUSELEAVE)
    MouseLeft();
  TGraphicControl::WndProc(m);
}

TRect TStyControlButton::DrawFace(const TRect& rect) {
  TCanvas& c = Canvas();
  TRect r = rect;
  TColor brush = Color();
  if (flat_) {
    if (down_ || (mouse_over_ && Enabled()))
      r = PaintFrame(c, r, down_ ? TFrameStyleEx::fsStatus : TFrameStyleEx::fsPopup);
  } else {
    r = down_ ? PaintSides(c, r, clBtnShadow, sdAllSides, clBtnShadow) : PaintFrame(c, r, TFrameStyleEx::fsButtonUp);
    brush = clBtnFace;
  }
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = brush;
  c.FillRect(r);
  return r;
}

TRect TStyControlButton::DrawPlainFace(const TRect& rect) { return DrawFace(rect); }

TRect TStyControlButton::DrawArrowFace(const TRect& rect) {
  TRect r = DrawFace(rect);
  int direction = 0;
  switch (style_) {
    case TStyControlButtonStyle::cbsDown: direction = 1; break;
    case TStyControlButtonStyle::cbsLeft: direction = 2; break;
    case TStyControlButtonStyle::cbsRight: direction = 3; break;
    default: break;
  }
  PaintDirectionArrow(Canvas(), r, false, direction, down_, Enabled());
  return r;
}

TRect TStyControlButton::DrawDropDownFace(const TRect& rect) {
  TRect r = DrawFace(rect);
  PaintDropDownArrow(Canvas(), r, false, down_, Enabled());
  return r;
}

void TStyControlButton::DrawGlyphBitmap(const TRect& rect) {
  if (rect.IsEmpty()) return;
  TCanvas& c = Canvas();
  TBitmap bmp(rect.Width(), rect.Height());
  bmp.Canvas().CopyRect(Rect(0, 0, rect.Width(), rect.Height()), c, rect);
  TPoint g = GlyphSize();
  int index = num_glyphs_ >= 2 && !Enabled() ? 1 : 0;
  TColor transparent = glyph_.Pixel(0, rect.Height() - 1);
  DrawTransparentStretched(bmp.Canvas(), glyph_, Rect(0, 0, rect.Width(), rect.Height()),
                           Rect(index * g.X, 0, (index + 1) * g.X, g.Y), transparent);
  c.Draw(rect.Left, rect.Top, bmp);
}

void TStyControlButton::Paint() {
  TRect r = ClientRect();
  switch (style_) {
    case TStyControlButtonStyle::cbsNone: {
      r = DrawPlainFace(r);
      if (glyph_.Empty()) break;
      InflateRect(r, -1, -1);
      TPoint g = GlyphSize();
      TRect gr = CenteredRect(r, g.X, g.Y);
      if (down_) OffsetRect(gr, 1, 1);
      DrawGlyphBitmap(gr);
      break;
    }
    case TStyControlButtonStyle::cbsDropDown: DrawDropDownFace(r); break;
    default: DrawArrowFace(r); break;
  }
}

}  // namespace qv
