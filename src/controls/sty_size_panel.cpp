#include "controls/sty_size_panel.h"

#include <algorithm>

#include "controls/gradients.h"
#include "controls/sty_messages.h"
#include "controls/sty_round.h"
#include "platform/gui/drag_image.h"

namespace qv {

TStyCustomSizePanel::TStyCustomSizePanel(TComponent* owner) : TStyCustomPanel(owner) {
  SetBorderOuter(TFrameStyleEx::fsNone);
  SetThemeAware(true);
  SetAlign(TAlign::alLeft);
}

bool TStyCustomSizePanel::EdgeAligned() const {
  switch (Align()) {
    case TAlign::alTop:
    case TAlign::alBottom:
    case TAlign::alLeft:
    case TAlign::alRight: return true;
    default: return false;
  }
}

void TStyCustomSizePanel::GetSizeBarRect(TRect& r) {
  const int w = Width(), h = Height(), sbw = size_bar_width_;
  switch (Align()) {
    case TAlign::alTop: r = Rect(0, h - sbw, w, h); break;
    case TAlign::alBottom: r = Rect(0, 0, w, sbw); break;
    case TAlign::alLeft: r = Rect(w - sbw, 0, w, h); break;
    case TAlign::alRight: r = Rect(0, 0, sbw, h); break;
    default: r = TRect{}; break;
  }
  UpdateHotSpotRect(r);
}

TRect TStyCustomSizePanel::ClientRect() const {
  TRect r = TStyCustomPanel::ClientRect();
  const int room = size_bar_width_ + 1;
  switch (Align()) {
    case TAlign::alTop: r.Bottom -= room; break;
    case TAlign::alBottom: r.Top += room; break;
    case TAlign::alLeft: r.Right -= room; break;
    case TAlign::alRight: r.Left += room; break;
    default: break;
  }
  return r;
}

TRect TStyCustomSizePanel::PaintRect() const {
  TRect r = TStyCustomPanel::PaintRect();
  switch (Align()) {
    case TAlign::alTop: r.Bottom -= size_bar_width_; break;
    case TAlign::alBottom: r.Top += size_bar_width_; break;
    case TAlign::alLeft: r.Right -= size_bar_width_; break;
    case TAlign::alRight: r.Left += size_bar_width_; break;
    default: break;
  }
  return r;
}

void TStyCustomSizePanel::GetFreeArea(TRect& rect) const {
  if (!Parent()) throw Exception("No parent specified");
  rect = Parent()->ClientRect();
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    const TControl* c = Parent()->Controls(i);
    switch (c->Align()) {
      case TAlign::alTop: rect.Top += c->Height(); break;
      case TAlign::alBottom: rect.Bottom -= c->Height(); break;
      case TAlign::alLeft: rect.Left += c->Width(); break;
      case TAlign::alRight: rect.Right -= c->Width(); break;
      default: break;
    }
  }
}

int TStyCustomSizePanel::GetAvailableExtent() const {
  TRect f;
  GetFreeArea(f);
  switch (Align()) {
    case TAlign::alTop: return f.Bottom - Top();
    case TAlign::alBottom: return f.Height() + Height();
    case TAlign::alLeft: return f.Right - Left();
    case TAlign::alRight: return f.Width() + Width();
    default: return 0;
  }
}

void TStyCustomSizePanel::ClampBarPosition(int& p) const {
  if (!EdgeAligned()) return;
  TRect f;
  GetFreeArea(f);
  const int sbw = size_bar_width_;
  int lower, upper;
  switch (Align()) {
    case TAlign::alTop:
      lower = margin_min_ + sbw + 1;
      upper = f.Bottom - margin_max_ - Top();
      break;
    case TAlign::alBottom:
      lower = f.Top + margin_max_ - Top();
      upper = Height() - margin_min_ - sbw - 1;
      break;
    case TAlign::alLeft:
      lower = margin_min_ + sbw + 1;
      upper = f.Right - margin_max_ - Left();
      break;
    default:  // alRight
      lower = f.Left + margin_max_ - Left();
      upper = Width() - margin_min_ - sbw - 1;
      break;
  }
  p = std::max(p, lower);
  p = std::min(p, upper);
}

// A panel is never sized below its bar, however small its parent is.
void TStyCustomSizePanel::ResizeTo(int size) {
  size = std::max(size, size_bar_width_ + 1);
  if (VerticalBar())
    SetWidth(size);
  else
    SetHeight(size);
}

void TStyCustomSizePanel::SetAlign(TAlign align) {
  TStyCustomPanel::SetAlign(align);
  Realign();
  Invalidate();
}

void TStyCustomSizePanel::SetMarginMin(int v) {
  margin_min_ = std::max(v, 0);
  margin_max_ = std::max(margin_max_, 0);
  if (Parent() && EdgeAligned()) {
    const int avail = GetAvailableExtent();
    if (margin_min_ + margin_max_ > avail) margin_min_ = std::max(0, avail - margin_max_);
  }
}

void TStyCustomSizePanel::SetMarginMax(int v) {
  margin_max_ = std::max(v, 0);
  margin_min_ = std::max(margin_min_, 0);
  if (Parent() && EdgeAligned()) {
    const int avail = GetAvailableExtent();
    if (margin_min_ + margin_max_ > avail) margin_max_ = std::max(0, avail - margin_min_);
  }
}

void TStyCustomSizePanel::SetSizeBarWidth(TSizeBarWidth v) {
  v = std::max(v, 1);
  if (v == size_bar_width_) return;
  size_bar_width_ = v;
  Realign();
  Invalidate();
}

void TStyCustomSizePanel::SetSizeBarStyle(TSplitterStyle v) {
  if (v == size_bar_style_) return;
  size_bar_style_ = v;
  if (v != TSplitterStyle::ssStandard && size_bar_width_ < 6) SetSizeBarWidth(6);
  Invalidate();
}

void TStyCustomSizePanel::SetHotSpotVisible(bool v) {
  if (v == hot_spot_visible_) return;
  hot_spot_visible_ = v;
  if (v && size_bar_width_ < 7) SetSizeBarWidth(7);
  if (!v) hot_spot_closed_ = false;
  Invalidate();
}

QV_STY_REPAINT_SETTER(TStyCustomSizePanel, HotSpotHighlight, TColor, hot_spot_highlight_)
QV_STY_REPAINT_SETTER(TStyCustomSizePanel, HotSpotSizePercent, int, hot_spot_size_percent_)
QV_STY_REPAINT_SETTER(TStyCustomSizePanel, GradientColorAdjustment, int, gradient_color_adjustment_)
QV_STY_REPAINT_SETTER(TStyCustomSizePanel, GradientPath, TStyGroupBarGradientPath, gradient_path_)
QV_STY_REPAINT_SETTER(TStyCustomSizePanel, UseGradients, bool, use_gradients_)

void TStyCustomSizePanel::UpdateHotSpotRect(const TRect& bar) {
  if (VerticalBar()) {
    const int len = 2 * (RoundHalfEven(hot_spot_size_percent_ / 100.0 * bar.Height()) / 2);
    const int mid = bar.Top + bar.Height() / 2;
    hot_spot_rect_ = Rect(bar.Left, mid - len / 2, bar.Right, mid + len / 2);
  } else {
    const int len = 2 * (RoundHalfEven(hot_spot_size_percent_ / 100.0 * bar.Width()) / 2);
    const int mid = bar.Left + bar.Width() / 2;
    hot_spot_rect_ = Rect(mid - len / 2, bar.Top, mid + len / 2, bar.Bottom);
  }
}

void TStyCustomSizePanel::DrawDragBar(int p) {
  if (real_time_drag_) return;
  TRect bar;
  GetSizeBarRect(bar);
  const int sbw = size_bar_width_;
  TPoint at;
  switch (Align()) {
    case TAlign::alTop: at = {0, p - sbw}; break;
    case TAlign::alBottom: at = {0, p + 1}; break;
    case TAlign::alLeft: at = {p - sbw, 0}; break;
    case TAlign::alRight: at = {p + 1, 0}; break;
    default: return;
  }
  ToggleDragImage(this, Bounds(at.X, at.Y, bar.Width(), bar.Height()));
}

void TStyCustomSizePanel::Paint() {
  TStyCustomPanel::Paint();
  PaintSizeBar();
}

void TStyCustomSizePanel::PaintSizeBar() {
  TRect bar;
  GetSizeBarRect(bar);
  if (bar.IsEmpty()) return;
  TCanvas& c = Canvas();
  TColor color = Color();
  const bool group = use_gradients_ && size_bar_style_ == TSplitterStyle::ssGroupBar;
  if (group) {
    switch (Align()) {
      case TAlign::alLeft: bar.Right += 1; break;
      case TAlign::alRight: bar.Left -= 1; break;
      case TAlign::alBottom:
        bar.Top -= 1;
        color = LightenColor(Color(), gradient_color_adjustment_);
        break;
      default: break;
    }
  }
  c.Pen().Style = TPenStyle::psClear;
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = color;
  c.FillRect(Rect(bar.Left, bar.Top, bar.Right + 1, bar.Bottom + 1));
  c.Pen().Style = TPenStyle::psSolid;
  PaintSplitterBarStrips(c, bar, VerticalBar(), size_bar_style_, color);
  if (group && (Align() == TAlign::alLeft || Align() == TAlign::alRight))
    PaintGroupBarShade(c, bar, ThemeAware(), gradient_path_, Color(), gradient_color_adjustment_);
  if (hot_spot_visible_) DrawHotSpot(!hot_spot_normal_);
}

void TStyCustomSizePanel::DrawHotSpot(bool highlighted) {
  const TRect hs = hot_spot_rect_;
  if (hs.IsEmpty()) return;
  TCanvas& c = Canvas();
  TRect r = PaintSides(c, hs, clBtnShadow, sdAllSides, clBtnShadow);
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = highlighted ? hot_spot_highlight_ : clBtnFace;
  c.FillRect(r);
  PaintSides(c, r, clBtnHighlight, SideBit(TSide::sdLeft) | SideBit(TSide::sdTop), clNone);
  c.Pen().Style = TPenStyle::psSolid;
  c.Pen().Color = clHighlight;
  c.Brush().Color = clHighlight;
  const bool open = !hot_spot_closed_;
  if (VerticalBar()) {
    const int m = hs.Left + hs.Width() / 2;
    const bool left = (open && Align() == TAlign::alLeft) || (!open && Align() == TAlign::alRight);
    const int s = left ? -1 : 1;
    for (int y : {hs.Top + 6, hs.Bottom - 10}) c.Polygon({{m + s, y + 2}, {m - s, y}, {m - s, y + 4}});
    for (int e = 0; e <= (hs.Height() - 32) / 3 && hs.Height() >= 32; ++e) {
      c.SetPixel(m, hs.Top + 15 + 3 * e, clHighlightText);
      c.SetPixel(m + 1, hs.Top + 16 + 3 * e, clHighlight);
    }
  } else {
    const int m = hs.Top + hs.Height() / 2;
    const bool up = (open && Align() == TAlign::alTop) || (!open && Align() == TAlign::alBottom);
    const int s = up ? -1 : 1;
    for (int x : {hs.Left + 6, hs.Right - 10}) c.Polygon({{x + 2, m + s}, {x, m - s}, {x + 4, m - s}});
    for (int e = 0; e <= (hs.Width() - 32) / 3 && hs.Width() >= 32; ++e) {
      c.SetPixel(hs.Left + 15 + 3 * e, m, clHighlightText);
      c.SetPixel(hs.Left + 16 + 3 * e, m + 1, clHighlight);
    }
  }
}

void TStyCustomSizePanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TStyCustomPanel::MouseDown(button, shift, x, y);
  TRect bar;
  GetSizeBarRect(bar);
  const TPoint p{x, y};
  if (button != TMouseButton::mbLeft || !bar.Contains(p)) return;
  const bool on_hot_spot = hot_spot_visible_ && hot_spot_rect_.Contains(p);
  if (lock_bar_ && !on_hot_spot) return;
  if (!real_time_drag_) SetFocus();
  SetMouseCapture(true);
  dragging_ = true;
  hot_spot_pressed_ = on_hot_spot;
  start_width_ = Width();
  start_height_ = Height();
  drag_offset_ = Along(x, y) - (VerticalBar() ? start_width_ : start_height_) / 2;
  drag_start_ = Align() == TAlign::alLeft ? Width() : Align() == TAlign::alTop ? Height() : 0;
  DrawDragBar(drag_start_);
  last_drag_ = drag_start_;
}

void TStyCustomSizePanel::MouseMove(TShiftState shift, int x, int y) {
  TStyCustomPanel::MouseMove(shift, x, y);
  if (!dragging_) {
    TRect bar;
    GetSizeBarRect(bar);
    const TPoint p{x, y};
    const bool over_bar = EdgeAligned() && !lock_bar_ && bar.Contains(p);
    SetCursor(!over_bar ? crDefault : VerticalBar() ? crHSplit : crVSplit);
    const bool on = hot_spot_visible_ && hot_spot_rect_.Contains(p);
    if (on == hot_spot_normal_) {
      hot_spot_normal_ = !on;
      InvalidateRect(hot_spot_rect_, false);
    }
    return;
  }
  if (hot_spot_pressed_ && lock_bar_) return;
  const int half = (VerticalBar() ? start_width_ : start_height_) / 2;
  int n = Along(x, y) + drag_start_ - half - drag_offset_;
  ClampBarPosition(n);
  if (n == last_drag_) return;
  const bool grows = (Align() == TAlign::alTop || Align() == TAlign::alLeft) ? n > last_drag_ : n < last_drag_;
  if (grows) hot_spot_closed_ = false;
  hot_spot_pressed_ = false;
  DrawDragBar(last_drag_);
  DrawDragBar(n);
  if (real_time_drag_) {
    switch (Align()) {
      case TAlign::alTop: ResizeTo(n + bar_gap_); break;
      case TAlign::alBottom: ResizeTo(drag_start_ + Height() - n - bar_gap_); break;
      case TAlign::alLeft: ResizeTo(n + bar_gap_); break;
      case TAlign::alRight: ResizeTo(drag_start_ + Width() - n - bar_gap_); break;
      default: break;
    }
  }
  last_drag_ = n;
}

void TStyCustomSizePanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TStyCustomPanel::MouseUp(button, shift, x, y);
  if (!dragging_ || (button != TMouseButton::mbLeft && !hot_spot_pressed_)) return;
  dragging_ = false;
  SetMouseCapture(false);
  if (!real_time_drag_) {
    DrawDragBar(last_drag_);
    switch (Align()) {
      case TAlign::alTop:
      case TAlign::alLeft: ResizeTo(last_drag_); break;
      case TAlign::alBottom: ResizeTo(drag_start_ + Height() - last_drag_); break;
      case TAlign::alRight: ResizeTo(drag_start_ + Width() - last_drag_); break;
      default: break;
    }
  }
  if (hot_spot_pressed_ && hot_spot_rect_.Contains(Point(x, y))) HotSpotClick();
  hot_spot_pressed_ = false;
}

void TStyCustomSizePanel::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_ESCAPE && dragging_) {
    dragging_ = false;
    SetMouseCapture(false);
    DrawDragBar(last_drag_);
    return;
  }
  TStyCustomPanel::KeyDown(key, shift);
}

void TStyCustomSizePanel::HotSpotClick() {
  hot_spot_closed_ = !hot_spot_closed_;
  if (hot_spot_closed_) {
    hot_spot_position_ = VerticalBar() ? Width() : Height();
    ResizeTo(hot_spot_ignore_margins_ ? size_bar_width_ + 1 : margin_min_ + size_bar_width_ + 1);
  } else {
    int p = hot_spot_position_;
    if (Align() == TAlign::alTop || Align() == TAlign::alLeft) ClampBarPosition(p);
    ResizeTo(p);
  }
  if (OnHotSpotClick) OnHotSpotClick(this);
}

void TStyCustomSizePanel::WndProc(TMessage& m) {
  if (m.Msg == CM_MOUSELEAVE && hot_spot_visible_ && !hot_spot_normal_ && !(hot_spot_pressed_ && lock_bar_)) {
    hot_spot_normal_ = true;
    InvalidateRect(hot_spot_rect_, false);
  }
  TStyCustomPanel::WndProc(m);
}

}  // namespace qv
