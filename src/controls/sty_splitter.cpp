#include "controls/sty_splitter.h"

#include <algorithm>
#include <climits>

#include "controls/gradients.h"
#include "controls/sty_messages.h"
#include "controls/sty_round.h"
#include "platform/gui/drag_image.h"

namespace qv {

namespace {
int LineWidth(TFrameStyleEx style, int bevel_width) {
  switch (style) {
    case TFrameStyleEx::fsFlat: return 1;
    case TFrameStyleEx::fsStatus:
    case TFrameStyleEx::fsPopup: return bevel_width;
    case TFrameStyleEx::fsGroove:
    case TFrameStyleEx::fsBump:
    case TFrameStyleEx::fsLowered:
    case TFrameStyleEx::fsButtonDown:
    case TFrameStyleEx::fsRaised:
    case TFrameStyleEx::fsButtonUp: return 2;
    default: return 0;
  }
}
}  // namespace

void PaintSplitterBarStrips(TCanvas& c, const TRect& bar, bool vertical_bar, TSplitterStyle style, TColor color) {
  if (style != TSplitterStyle::ssGroove && style != TSplitterStyle::ssBump) return;
  c.Pen().Style = TPenStyle::psClear;
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = color;
  c.FillRect(Rect(bar.Left, bar.Top, bar.Right + 1, bar.Bottom + 1));
  c.Pen().Style = TPenStyle::psSolid;
  const TFrameStyle frame = style == TSplitterStyle::ssBump ? TFrameStyleEx::fsPopup : TFrameStyleEx::fsStatus;
  if (vertical_bar) {
    int mid = bar.Left + bar.Width() / 2;
    PaintFrame(c, Rect(mid - 3, bar.Top, mid, bar.Bottom), frame);
    PaintFrame(c, Rect(mid, bar.Top, mid + 3, bar.Bottom), frame);
  } else {
    int mid = bar.Top + bar.Height() / 2;
    PaintFrame(c, Rect(bar.Left, mid - 3, bar.Right, mid), frame);
    PaintFrame(c, Rect(bar.Left, mid, bar.Right, mid + 3), frame);
  }
}

// ---------------------------------------------------------------------------------------------
TStySplitterPane::TStySplitterPane(TComponent* owner, TStySplitter* splitter)
    : TStyCustomPanel(owner), splitter_(splitter) {
  SetBorderOuter(TFrameStyleEx::fsNone);
  control_style_ |= csAcceptsControls | csDisplayDragImage;
  SetTabStop(false);
}

void TStySplitterPane::WndProc(TMessage& m) {
  TStyCustomPanel::WndProc(m);
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      if (splitter_) splitter_->PaneVisibilityChanged();
      break;
    case CM_ENTER:
    case CM_EXIT: Invalidate(); break;
    default: break;
  }
}

void TStyPaneData::Assign(const TStyPaneData& o) {
  SetBorderColor(o.BorderColor());
  SetBorderInner(o.BorderInner());
  SetBorderOuter(o.BorderOuter());
  SetBorderWidth(o.BorderWidth());
  SetColor(o.Color());
  SetFlatColor(o.FlatColor());
  SetFlatColorAdjustment(o.FlatColorAdjustment());
  SetDockSite(o.DockSite());
  SetShowDockClientCaptions(o.ShowDockClientCaptions());
  SetVisible(o.Visible());
}

// ---------------------------------------------------------------------------------------------
TStySplitter::TStySplitter(TComponent* owner) : TStyCustomPanel(owner) {
  control_style_ = csCaptureMouse | csOpaque | csDisplayDragImage;
  SetBorderOuter(TFrameStyleEx::fsNone);
  SetTabStop(false);
  SetParentColor(false);
  for (int i = 0; i < 2; ++i) {
    panes_[i] = new TStySplitterPane(this, this);
    panes_[i]->SetColor(clBtnFace);
    panes_[i]->SetParent(this);
    data_[i] = new TStyPaneData(panes_[i]);
  }
  SetBounds(Left(), Top(), 200, 100);
  RememberUserSize(position_);
  UpdateFixedSize();
  AlignPanes();
}

TStySplitter::~TStySplitter() {
  // The panes go with the splitter's owned components; they no longer report to it.
  for (int i = 0; i < 2; ++i) {
    panes_[i]->splitter_ = nullptr;
    panes_[i] = nullptr;
  }
  BeginDestroy();
  for (int i = 0; i < 2; ++i) {
    delete data_[i];
    data_[i] = nullptr;
  }
}

int TStySplitter::Extent() const { return orientation_ == TOrientation::orHorizontal ? Width() : Height(); }
int TStySplitter::PercentExtent() const { return Extent() - splitter_width_ / 2; }

int TStySplitter::GetFrameInset() const {
  int inset = BorderWidth();
  const int sides = (HasSide(BorderSides(), TSide::sdLeft) ? 1 : 0) + (HasSide(BorderSides(), TSide::sdTop) ? 1 : 0);
  inset += sides * (LineWidth(BorderOuter(), BevelWidth()) + LineWidth(BorderInner(), BevelWidth()));
  return inset;
}

void TStySplitter::UpdateFixedSize() {
  fixed_size_ = fixed_pane_ == TFixedPane::fpUpperLeft ? position_ : Extent() - position_;
}

void TStySplitter::RememberUserSize(int position) {
  user_size_ = fixed_pane_ == TFixedPane::fpUpperLeft ? position : Extent() - position;
}

void TStySplitter::ClampPosition(int& position) {
  if (!panes_[0] || !panes_[0]->Visible() || !panes_[1]->Visible()) return;
  const bool ignore = hot_spot_closed_ && hot_spot_ignore_margins_;
  const int lower = ignore ? 0 : margin_min_;
  const int upper = ignore ? 0 : margin_max_;
  position = std::max(position, lower);
  position = std::min(position, Extent() - upper - splitter_width_ - 2 * GetFrameInset());
  // A splitter smaller than its bar has no room for a pane: neither gets a negative size.
  position = std::max(position, 0);
}

bool TStySplitter::AskChanging(int position) {
  bool allow = true;
  if (OnChanging) OnChanging(this, position, allow);
  return allow;
}

void TStySplitter::SetPosition(int v) { ApplyPosition(v, resizing_); }

void TStySplitter::ApplyPosition(int v, bool force) {
  if (!force && v == position_) return;
  ClampPosition(v);
  if (!AskChanging(v)) return;
  position_ = v;
  const int e = PercentExtent();
  // A resize re-applying the share keeps it, so a splitter shrunk to nothing gets it back.
  if (!(resizing_ && use_percent_)) percent_ = e == 0 ? 0 : RoundHalfEven(static_cast<double>(v) / e * 100);
  AlignPanes();
  UpdateFixedSize();
  if (OnChange) OnChange(this);
}

void TStySplitter::MovePosition(int v) {
  if (v == position_) return;
  SetPosition(v);
  RememberUserSize(position_);
}

void TStySplitter::AlignPanes() {
  if (!panes_[0] || !panes_[1]) return;
  DisableAlign();
  const TRect c = ContentRect(ClientRect(), true);
  const bool horz = orientation_ == TOrientation::orHorizontal;
  const int L = c.Left, T = c.Top, W = std::max(0, c.Width()), H = std::max(0, c.Height());
  const int extent = horz ? W : H;
  const bool v0 = panes_[0]->Visible(), v1 = panes_[1]->Visible();
  const int pos = std::clamp(position_, 0, extent);
  const int sw = splitter_width_;
  // Sizes along the axis; none below 0.
  auto place = [&](TStySplitterPane* p, int at, int size) {
    size = std::max(0, size);
    if (horz)
      p->SetBounds(L + at, T, size, H);
    else
      p->SetBounds(L, T + at, W, size);
  };
  if (v0 && !v1)
    place(panes_[0], 0, extent);
  else if (v0)
    place(panes_[0], 0, pos);
  else
    place(panes_[0], 0, 0);
  if (v0 && v1) {
    bar_rect_ = horz ? Bounds(L + pos, T, std::min(sw, std::max(0, extent - pos)), H)
                     : Bounds(L, T + pos, W, std::min(sw, std::max(0, extent - pos)));
  } else {
    bar_rect_ = Rect(L, T, L, T);
  }
  UpdateHotSpotRect();
  if (v1 && !v0)
    place(panes_[1], 0, extent);
  else if (v1)
    place(panes_[1], std::min(pos + sw, extent), extent - pos - sw);
  else
    place(panes_[1], extent, 0);
  EnableAlign();
  if (real_time_drag_) {
    panes_[0]->Update();
    panes_[1]->Update();
  }
  Invalidate();
}

void TStySplitter::PaneVisibilityChanged() {
  if (!panes_[0] || !panes_[1]) return;
  // A position set while a pane was hidden is clamped once both show again.
  if (panes_[0]->Visible() && panes_[1]->Visible()) {
    int p = position_;
    ClampPosition(p);
    if (p != position_) {
      SetPosition(p);
      return;
    }
  }
  AlignPanes();
}

void TStySplitter::Resize() {
  if (!Destroying() && panes_[0]) {
    resizing_ = true;
    try {
      const int e = PercentExtent();
      if (fixed_pane_ == TFixedPane::fpUpperLeft && use_percent_) {
        MarginsFromPercent();
        int p;
        if (hot_spot_closed_)
          p = closed_to_min_ ? 0 : e;
        else
          p = RoundHalfEven(percent_ / 100.0 * e);
        SetPosition(p);
      } else if (fixed_pane_ == TFixedPane::fpUpperLeft) {
        SetPosition(position_);
        if (user_size_ > position_ && !hot_spot_closed_) SetPosition(user_size_);
      } else {
        SetPosition(Extent() - fixed_size_);
        const int lower_right = Extent() - position_ - splitter_width_;
        if (hot_spot_closed_)
          hot_spot_position_ = Extent() - user_size_;
        else if (user_size_ > lower_right)
          SetPosition(Extent() - user_size_);
      }
    } catch (...) {
      resizing_ = false;
      throw;
    }
    resizing_ = false;
  }
  TStyCustomPanel::Resize();
}

void TStySplitter::MarginsFromPercent() {
  const int e = PercentExtent();
  margin_min_ = RoundHalfEven(percent_min_ / 100.0 * e);
  margin_max_ = e - RoundHalfEven(percent_max_ / 100.0 * e);
}

// ---------------------------------------------------------------------------------------------
void TStySplitter::SetOrientation(TOrientation v) {
  if (v == orientation_) return;
  orientation_ = v;
  if (use_percent_) {
    MarginsFromPercent();
    ApplyPosition(RoundHalfEven(percent_ / 100.0 * PercentExtent()), true);
  } else {
    AlignPanes();
  }
  Invalidate();
}

void TStySplitter::SetFixedPane(TFixedPane v) {
  if (v == fixed_pane_) return;
  fixed_pane_ = v;
  if (v == TFixedPane::fpLowerRight) use_percent_ = false;
  RememberUserSize(position_);
  UpdateFixedSize();
}

void TStySplitter::SetMarginMin(int v) {
  margin_min_ = std::max(v, 0);
  margin_max_ = std::max(margin_max_, 0);
  if (margin_min_ + margin_max_ > Extent()) margin_min_ = std::max(0, Extent() - margin_max_);
}

void TStySplitter::SetMarginMax(int v) {
  margin_max_ = std::max(v, 0);
  margin_min_ = std::max(margin_min_, 0);
  if (margin_min_ + margin_max_ > Extent()) margin_max_ = std::max(0, Extent() - margin_min_);
}

void TStySplitter::SetPercent(int v) {
  if (v == percent_) return;
  SetUsePercent(true);
  percent_ = v;
  SetPosition(RoundHalfEven(v / 100.0 * PercentExtent()));
}

void TStySplitter::SetUsePercent(bool v) {
  if (v == use_percent_) return;
  use_percent_ = v;
  if (v) {
    fixed_pane_ = TFixedPane::fpUpperLeft;
    MarginsFromPercent();
  }
  ApplyPosition(position_, true);
}

void TStySplitter::SetPercentMin(int v) {
  percent_min_ = std::max(v, 0);
  if (use_percent_) MarginsFromPercent();
}

void TStySplitter::SetPercentMax(int v) {
  percent_max_ = std::min(v, 100);
  if (use_percent_) MarginsFromPercent();
}

void TStySplitter::SetSplitterStyle(TSplitterStyle v) {
  if (v == splitter_style_) return;
  splitter_style_ = v;
  if (v != TSplitterStyle::ssStandard && splitter_width_ < 6) SetSplitterWidth(6);
  Invalidate();
}

void TStySplitter::SetSplitterWidth(uint16_t v) {
  if (v == splitter_width_) return;
  splitter_width_ = v;
  AlignPanes();
}

void TStySplitter::SetHotSpotVisible(bool v) {
  if (v == hot_spot_visible_) return;
  hot_spot_visible_ = v;
  if (v && splitter_width_ < 7) SetSplitterWidth(7);
  Invalidate();
}

void TStySplitter::SetHotSpotSizePercent(int v) {
  if (v == hot_spot_size_percent_) return;
  hot_spot_size_percent_ = v;
  UpdateHotSpotRect();
  Invalidate();
}

QV_STY_REPAINT_SETTER(TStySplitter, GradientColorAdjustment, int, gradient_color_adjustment_)
QV_STY_REPAINT_SETTER(TStySplitter, GradientPath, TStyGroupBarGradientPath, gradient_path_)
QV_STY_REPAINT_SETTER(TStySplitter, UseGradients, bool, use_gradients_)
QV_STY_REPAINT_SETTER(TStySplitter, HotSpotHighlight, TColor, hot_spot_highlight_)
QV_STY_REPAINT_SETTER(TStySplitter, HotSpotDirection, THotSpotDirection, hot_spot_direction_)

void TStySplitter::SetBorderInner(TFrameStyleEx v) {
  TStyCustomPanel::SetBorderInner(v);
  AlignPanes();
}
void TStySplitter::SetBorderOuter(TFrameStyleEx v) {
  TStyCustomPanel::SetBorderOuter(v);
  AlignPanes();
}
void TStySplitter::SetBorderSides(TSides v) {
  TStyCustomPanel::SetBorderSides(v);
  AlignPanes();
}
void TStySplitter::SetTransparent(bool v) {
  TStyCustomPanel::SetTransparent(v);
  for (TStySplitterPane* p : panes_)
    if (p) p->SetTransparent(v);
}

void TStySplitter::ResetHotSpot() {
  hot_spot_closed_ = false;
  closed_to_min_ = false;
  closed_to_max_ = false;
}

// ---------------------------------------------------------------------------------------------
void TStySplitter::UpdateHotSpotRect() {
  const TRect b = bar_rect_;
  if (orientation_ == TOrientation::orHorizontal) {
    const int len = 2 * (RoundHalfEven(hot_spot_size_percent_ / 100.0 * b.Height()) / 2);
    const int mid = b.Top + b.Height() / 2;
    hot_spot_rect_ = Rect(b.Left, mid - len / 2, b.Right, mid + len / 2);
  } else {
    const int len = 2 * (RoundHalfEven(hot_spot_size_percent_ / 100.0 * b.Width()) / 2);
    const int mid = b.Left + b.Width() / 2;
    hot_spot_rect_ = Rect(mid - len / 2, b.Top, mid + len / 2, b.Bottom);
  }
}

bool TStySplitter::OnHotSpot(TPoint p) const { return hot_spot_visible_ && hot_spot_rect_.Contains(p); }

void TStySplitter::DrawDragBar(int position) {
  if (real_time_drag_) return;
  const int i = GetFrameInset();
  TRect r = orientation_ == TOrientation::orHorizontal ? Bounds(i + position, i, bar_rect_.Width(), bar_rect_.Height())
                                                       : Bounds(i, i + position, bar_rect_.Width(), bar_rect_.Height());
  ToggleDragImage(this, r);
}

void TStySplitter::Paint() {
  TStyCustomPanel::Paint();
  PaintSplitterBar();
}

void TStySplitter::PaintSplitterBar() {
  TCanvas& c = Canvas();
  const bool vertical_bar = orientation_ == TOrientation::orHorizontal;
  if (splitter_style_ == TSplitterStyle::ssGroupBar && use_gradients_)
    PaintGroupBarShade(c, bar_rect_, ThemeAware(), gradient_path_, Color(), gradient_color_adjustment_);
  else
    PaintSplitterBarStrips(c, bar_rect_, vertical_bar, splitter_style_, Color());
  if (hot_spot_visible_ && !bar_rect_.IsEmpty()) DrawHotSpot(!hot_spot_normal_, hot_spot_mouse_);
}

void TStySplitter::DrawHotSpot(bool highlighted, TPoint mouse) {
  TCanvas& c = Canvas();
  const TRect hs = hot_spot_rect_;
  if (hs.IsEmpty()) return;
  const bool horz = orientation_ == TOrientation::orHorizontal;  // the bar is vertical
  const TPoint m{hs.Left + hs.Width() / 2, hs.Top + hs.Height() / 2};
  TRect r = PaintSides(c, hs, clBtnShadow, sdAllSides, clBtnShadow);
  c.Pen().Style = TPenStyle::psSolid;
  c.Brush().Style = TBrushStyle::bsSolid;
  const bool both = hot_spot_direction_ == THotSpotDirection::hsdBoth;
  if (both) {
    c.Brush().Color = clBtnFace;
    c.FillRect(r);
    if (highlighted) {
      TRect half = r;
      if (!hot_spot_closed_) {
        const bool first = horz ? mouse.Y < m.Y : mouse.X < m.X;
        if (horz)
          (first ? half.Bottom : half.Top) = m.Y;
        else
          (first ? half.Right : half.Left) = m.X;
      }
      c.Brush().Color = hot_spot_highlight_;
      c.FillRect(half);
    }
  } else {
    c.Brush().Color = highlighted ? hot_spot_highlight_ : clBtnFace;
    c.FillRect(r);
  }
  PaintSides(c, r, clBtnHighlight, SideBit(TSide::sdLeft) | SideBit(TSide::sdTop), clNone);
  auto line = [&c](TColor col, int x1, int y1, int x2, int y2) {
    c.Pen().Color = col;
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  if (both && !hot_spot_closed_) {
    if (horz) {
      line(clBtnShadow, hs.Left, m.Y, hs.Right, m.Y);
      line(clBtnHighlight, hs.Left + 1, m.Y - 1, hs.Right - 1, m.Y - 1);
    } else {
      line(clBtnShadow, m.X, hs.Top, m.X, hs.Bottom);
      line(clBtnHighlight, m.X - 1, hs.Top + 1, m.X - 1, hs.Bottom - 1);
    }
  }
  // Arrows point the way the next click moves the bar.
  bool first_to_start, second_to_start;
  switch (hot_spot_direction_) {
    case THotSpotDirection::hsdMin: first_to_start = second_to_start = !hot_spot_closed_; break;
    case THotSpotDirection::hsdMax: first_to_start = second_to_start = hot_spot_closed_; break;
    default:
      if (!hot_spot_closed_) {
        first_to_start = true;
        second_to_start = false;
      } else {
        first_to_start = second_to_start = closed_to_max_;
      }
      break;
  }
  c.Pen().Color = clHighlight;
  c.Brush().Color = clHighlight;
  // 5 pixels across and 3 deep; a vertical bar's arrows point left or right.
  auto arrow = [&](int at, bool to_start) {
    const int s = to_start ? -1 : 1;
    if (horz)
      c.Polygon({{m.X + s, at}, {m.X - s, at - 2}, {m.X - s, at + 2}});
    else
      c.Polygon({{at, m.Y + s}, {at - 2, m.Y - s}, {at + 2, m.Y - s}});
  };
  const int start = horz ? hs.Top : hs.Left, end = horz ? hs.Bottom : hs.Right;
  arrow(start + 8, first_to_start);
  arrow(end - 8, second_to_start);
  // Grip dots along the middle line.
  const int len = end - start, mid = horz ? m.Y : m.X;
  for (int i = 0; i < (len - 32) / 3 + 1; ++i) {
    const int at = start + 15 + 3 * i;
    if (both && !hot_spot_closed_ && std::abs(at - mid) <= 3) continue;
    if (horz) {
      c.SetPixel(m.X, at, clHighlightText);
      c.SetPixel(m.X + 1, at + 1, clHighlight);
    } else {
      c.SetPixel(at, m.Y, clHighlightText);
      c.SetPixel(at + 1, m.Y + 1, clHighlight);
    }
  }
}

// ---------------------------------------------------------------------------------------------
void TStySplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TStyCustomPanel::MouseDown(button, shift, x, y);
  const TPoint p{x, y};
  if (button != TMouseButton::mbLeft || !bar_rect_.Contains(p)) return;
  const bool on_hot_spot = OnHotSpot(p);
  if (lock_bar_ && !on_hot_spot) return;
  if (!real_time_drag_) SetFocus();
  SetMouseCapture(true);
  dragging_ = true;
  hot_spot_pressed_ = on_hot_spot;
  drag_offset_ = Along(x, y) - Extent() / 2;
  drag_start_ = position_;
  DrawDragBar(position_);
  last_drag_ = position_;
}

void TStySplitter::MouseMove(TShiftState shift, int x, int y) {
  TStyCustomPanel::MouseMove(shift, x, y);
  const TPoint p{x, y};
  if (!dragging_) {
    const bool over_bar = !lock_bar_ && bar_rect_.Contains(p);
    SetCursor(!over_bar ? crDefault : orientation_ == TOrientation::orHorizontal ? crHSplit : crVSplit);
    const bool on = OnHotSpot(p);
    hot_spot_mouse_ = p;
    if (on == hot_spot_normal_ || (on && hot_spot_direction_ == THotSpotDirection::hsdBoth)) {
      hot_spot_normal_ = !on;
      InvalidateRect(hot_spot_rect_, false);
    }
    return;
  }
  if (hot_spot_pressed_ && lock_bar_) return;
  int n = Along(x, y) + drag_start_ - Extent() / 2 - drag_offset_;
  ClampPosition(n);
  if (!AskChanging(n)) return;
  if (n == last_drag_) return;
  ResetHotSpot();
  hot_spot_pressed_ = false;
  DrawDragBar(last_drag_);
  DrawDragBar(n);
  if (real_time_drag_) {
    SetPosition(n);
    RememberUserSize(n);
  }
  last_drag_ = n;
}

void TStySplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TStyCustomPanel::MouseUp(button, shift, x, y);
  if (!dragging_ || (button != TMouseButton::mbLeft && !hot_spot_pressed_)) return;
  dragging_ = false;
  SetMouseCapture(false);
  if (!real_time_drag_) {
    DrawDragBar(last_drag_);
    SetPosition(last_drag_);
    RememberUserSize(last_drag_);
  }
  if (hot_spot_pressed_ && OnHotSpot(Point(x, y))) HotSpotClick(Point(x, y));
  hot_spot_pressed_ = false;
}

void TStySplitter::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_ESCAPE && dragging_) {
    dragging_ = false;
    SetMouseCapture(false);
    if (!real_time_drag_) {
      DrawDragBar(last_drag_);
      RememberUserSize(position_);
    }
    return;
  }
  TStyCustomPanel::KeyDown(key, shift);
}

void TStySplitter::HotSpotClick(TPoint p) {
  hot_spot_closed_ = !hot_spot_closed_;
  if (hot_spot_closed_) {
    hot_spot_position_ = position_;
    const bool first_half = orientation_ == TOrientation::orHorizontal
                                ? p.Y < hot_spot_rect_.Top + hot_spot_rect_.Height() / 2
                                : p.X < hot_spot_rect_.Left + hot_spot_rect_.Width() / 2;
    if (hot_spot_direction_ == THotSpotDirection::hsdMin ||
        (hot_spot_direction_ == THotSpotDirection::hsdBoth && first_half)) {
      closed_to_min_ = true;
      SetPosition(0);
    } else {
      closed_to_max_ = true;
      SetPosition(INT_MAX);
    }
  } else {
    closed_to_min_ = false;
    closed_to_max_ = false;
    SetPosition(hot_spot_position_);
    RememberUserSize(hot_spot_position_);
  }
  if (OnHotSpotClick) OnHotSpotClick(this);
}

void TStySplitter::WndProc(TMessage& m) {
  if (m.Msg == CM_MOUSELEAVE && hot_spot_visible_ && !hot_spot_normal_) {
    hot_spot_normal_ = true;
    InvalidateRect(hot_spot_rect_, false);
  }
  TStyCustomPanel::WndProc(m);
}

}  // namespace qv
