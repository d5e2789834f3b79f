#include "controls/sty_panel.h"

#include "controls/sty_messages.h"

#include <algorithm>
#include <cctype>

#include "controls/gradients.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {
int FrameRoom(TFrameStyleEx style, int bevel_width) {
  switch (style) {
    case TFrameStyleEx::fsNone: return 0;
    case TFrameStyleEx::fsFlat: return 1;
    case TFrameStyleEx::fsStatus:
    case TFrameStyleEx::fsPopup: return bevel_width;
    default: return 2;
  }
}
}  // namespace

bool IsAccel(char ch, const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::toupper(static_cast<unsigned char>(text[i + 1])) == std::toupper(static_cast<unsigned char>(ch));
  }
  return false;
}

TStyCustomPanel::TStyCustomPanel(TComponent* owner) : TCustomPanel(owner) {
  SetBevelOuter(TPanelBevel::bvNone);
  last_width_ = Width();
  last_height_ = Height();
}

TStyCustomPanel::~TStyCustomPanel() {
  BeginDestroy();
  if (frame_controller_) frame_controller_->UnregisterControl(this);
}

TRect TStyCustomPanel::ContentRect(const TRect& rect, bool include_border_width) const {
  TRect r = rect;
  if (include_border_width) InflateRect(r, -BorderWidth(), -BorderWidth());
  int room = FrameRoom(border_outer_, BevelWidth()) + FrameRoom(border_inner_, BevelWidth());
  if (HasSide(border_sides_, TSide::sdLeft)) r.Left += room;
  if (HasSide(border_sides_, TSide::sdTop)) r.Top += room;
  if (HasSide(border_sides_, TSide::sdRight)) r.Right -= room;
  if (HasSide(border_sides_, TSide::sdBottom)) r.Bottom -= room;
  return r;
}

TPoint TStyCustomPanel::CursorClientPos() const { return ScreenToClient(CursorPos()); }

TColor TStyCustomPanel::ParentColorValue() const { return Parent() ? Parent()->Color() : Color(); }

void TStyCustomPanel::Paint() {
  TCanvas& c = Canvas();
  TRect r = PaintControlBorders(c, PaintRect(), border_outer_, border_inner_, BorderWidth(), border_sides_,
                                BevelWidth(), border_color_, border_highlight_, border_shadow_, flat_color_,
                                flat_color_adjustment_, Color(), ParentColorValue(), transparent_);
  if (!transparent_) {
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = Color();
    c.FillRect(r);
  }
  if (show_grid_) DrawGrid(r);
  c.Brush().Style = TBrushStyle::bsClear;
  DrawCaption(r);
  c.Brush().Style = TBrushStyle::bsSolid;
  if (OnPaint) OnPaint(this);
}

void TStyCustomPanel::DrawGrid(const TRect& r) {
  TCanvas& c = Canvas();
  int cols = grid_x_size_ ? r.Width() / grid_x_size_ : 0;
  int rows = grid_y_size_ ? r.Height() / grid_y_size_ : 0;
  c.Pen().Color = grid_color_;
  if (grid_style_ == TStyGridStyle::gsDots) {
    for (int i = 1; i <= cols; ++i)
      for (int j = 1; j <= rows; ++j)
        c.SetPixel(r.Left + i * grid_x_size_ - 1, r.Top + j * grid_y_size_ - 1, grid_color_);
    return;
  }
  bool solid = grid_style_ == TStyGridStyle::gsSolidLines;
  for (int i = 1; i <= cols; ++i) {
    int x = r.Left + i * grid_x_size_ - 1;
    if (solid) {
      c.MoveTo(x, r.Top);
      c.LineTo(x, r.Bottom);
    } else {
      for (int y = r.Top + 1; y < r.Bottom; y += 2) c.SetPixel(x, y, grid_color_);
    }
  }
  for (int j = 1; j <= rows; ++j) {
    int y = r.Top + j * grid_y_size_ - 1;
    if (solid) {
      c.MoveTo(r.Left, y);
      c.LineTo(r.Right, y);
    } else {
      for (int x = r.Left + 1; x < r.Right; x += 2) c.SetPixel(x, y, grid_color_);
    }
  }
}

void TStyCustomPanel::DrawCaption(const TRect& rect) {
  if (Caption().empty()) return;
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  uint32_t align = Alignment() == TAlignment::taCenter         ? DT_CENTER
                   : Alignment() == TAlignment::taRightJustify ? DT_RIGHT
                                                               : DT_LEFT;
  uint32_t flags = align | DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER;
  TRect tr = rect;
  tr.Left += 1;
  TRect calc = tr;
  c.DrawText(Caption(), calc, flags | DT_CALCRECT);
  int h = calc.Height();
  if (alignment_vertical_ == TAlignmentVertical::avCenter) {
    tr.Top = (rect.Top + rect.Bottom - h) >> 1;
    tr.Bottom = tr.Top + h;
  } else if (alignment_vertical_ == TAlignmentVertical::avBottom) {
    tr.Top = rect.Bottom - h - 1;
  }
  if (!Enabled()) {
    TRect shadow = tr;
    OffsetRect(shadow, 1, 1);
    c.Font().SetColor(clBtnHighlight);
    c.DrawText(Caption(), shadow, flags);
    c.Font().SetColor(clBtnShadow);
  }
  c.DrawText(Caption(), tr, flags);
}

void TStyCustomPanel::AlignControls(TControl* control, TRect& rect) {
  rect = ContentRect(rect, false);
  TCustomPanel::AlignControls(control, rect);
}

void TStyCustomPanel::SetBounds(int left, int top, int width, int height) {
  if (Align() == TAlign::alBottom && height != Height()) top = Top() + Height() - height;
  if (Align() == TAlign::alRight && width != Width()) left = Left() + Width() - width;
  TCustomPanel::SetBounds(left, top, width, height);
}

void TStyCustomPanel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_MOUSEENTER:
      TCustomPanel::WndProc(m);
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      TCustomPanel::WndProc(m);
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    case CM_ENABLEDCHANGED:
      TCustomPanel::WndProc(m);
      ChildrenEnabledChanged();
      return;
    case WM_ERASEBKGND:
      if (transparent_) {
        PaintParentBackground(this, *reinterpret_cast<TCanvas*>(m.WParam), true);
        m.Result = 1;
        return;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      TCustomPanel::WndProc(m);
      TRect content = ContentRect(ClientRect(), true);
      if (FullRepaint() || !Caption().empty()) {
        Invalidate();
      } else {
        if (Width() != last_width_) InvalidateRect(TRect{content.Right - 1, 0, Width(), Height()}, true);
        if (Height() != last_height_) InvalidateRect(TRect{0, content.Bottom - 1, Width(), Height()}, true);
      }
      last_width_ = Width();
      last_height_ = Height();
      return;
    }
    default: break;
  }
  TCustomPanel::WndProc(m);
}

void TStyCustomPanel::ChildrenEnabledChanged() {
  Repaint();
  if (!Enabled()) {
    enabled_states_.Clear();
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* child = Controls(i);
      enabled_states_.AddObject(child->Enabled() ? "1" : "0", child);
    }
    for (int i = 0; i < ControlCount(); ++i) Controls(i)->SetEnabled(false);
  } else {
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* child = Controls(i);
      int at = enabled_states_.IndexOfObject(child);
      if (at < 0 || enabled_states_[at] == "1") child->SetEnabled(true);
    }
  }
}

void TStyCustomPanel::ControlChange(TControl* control, bool inserting) {
  TCustomPanel::ControlChange(control, inserting);
  // A child that leaves takes its recorded state along, so a later child at the same address
  // does not inherit it.
  if (!inserting) {
    int at = enabled_states_.IndexOfObject(control);
    if (at >= 0) enabled_states_.Delete(at);
  }
}

void TStyCustomPanel::Notification(TComponent* component, TOperation operation) {
  TCustomPanel::Notification(component, operation);
  ForgetFreedFrameController(frame_controller_, component, operation);
}

void TStyCustomPanel::ControllerChanged() {
  if (!frame_controller_ || !frame_controller_->FrameVisible()) return;
  border_outer_ = frame_controller_->FrameStyle();
  border_sides_ = frame_controller_->FrameSides();
  flat_color_ = frame_controller_->FrameColor();
  flat_color_adjustment_ = 0;
  SetColor(frame_controller_->Color());
  SetParentColor(frame_controller_->ParentColor());
  border_highlight_ = LightenColor(Color(), 100);
  border_shadow_ = DarkenColor(Color(), 50);
  Realign();
  Invalidate();
}

void TStyCustomPanel::SetFrameController(TStyFrameController* fc) { BindFrameController(*this, frame_controller_, fc); }

QV_STY_REPAINT_SETTER(TStyCustomPanel, AlignmentVertical, TAlignmentVertical, alignment_vertical_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, BorderColor, TColor, border_color_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, BorderHighlight, TColor, border_highlight_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, BorderShadow, TColor, border_shadow_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, FlatColor, TColor, flat_color_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, FlatColorAdjustment, int, flat_color_adjustment_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, GridColor, TColor, grid_color_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, GridStyle, TStyGridStyle, grid_style_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, GridXSize, uint16_t, grid_x_size_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, GridYSize, uint16_t, grid_y_size_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, ShowGrid, bool, show_grid_)
QV_STY_REPAINT_SETTER(TStyCustomPanel, ThemeAware, bool, theme_aware_)

void TStyCustomPanel::SetBorderInner(TFrameStyleEx v) {
  if (!StoreChanged(border_inner_, v)) return;
  Realign();
  Invalidate();
}
void TStyCustomPanel::SetBorderOuter(TFrameStyleEx v) {
  if (!StoreChanged(border_outer_, v)) return;
  Realign();
  Invalidate();
}
void TStyCustomPanel::SetBorderSides(TSides v) {
  if (!StoreChanged(border_sides_, v)) return;
  Realign();
  Invalidate();
}
void TStyCustomPanel::SetTransparent(bool v) {
  if (!StoreChanged(transparent_, v)) return;
  if (v)
    control_style_ &= ~csOpaque;
  else
    control_style_ |= csOpaque;
  Invalidate();
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->Invalidate();
}

// ---------------------------------------------------------------------------------------------
TStyCustomGroupBox::TStyCustomGroupBox(TComponent* owner) : TStyCustomPanel(owner) {
  control_style_ |= csSetCaption | csDoubleClicks;
  SetBorderOuter(TFrameStyleEx::fsNone);
  SetBorderInner(TFrameStyleEx::fsNone);
  SetAlignment(TAlignment::taLeftJustify);
  SetAlignmentVertical(TAlignmentVertical::avTop);
  SetHeight(105);
}

void TStyCustomGroupBox::SetGroupStyle(TStyGroupBoxStyle v) {
  if (!StoreChanged(group_style_, v)) return;
  if (v == TStyGroupBoxStyle::gsCustom || v == TStyGroupBoxStyle::gsTopLine) SetThemeAware(false);
  Realign();
  Invalidate();
}

void TStyCustomGroupBox::ControllerChanged() {
  if (group_style_ == TStyGroupBoxStyle::gsCustom) TStyCustomPanel::ControllerChanged();
}

void TStyCustomGroupBox::AdjustClientRect(TRect& rect) {
  TStyCustomPanel::AdjustClientRect(rect);
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  int h = c.TextHeight("Yy");
  if (group_style_ == TStyGroupBoxStyle::gsCustom) {
    rect.Top += h;
    InflateRect(rect, -2, -2);
    return;
  }
  int a = h / 2 - 1;
  rect.Top += a < BorderWidth() ? a : h - BorderWidth();
  int shrink = group_style_ == TStyGroupBoxStyle::gsStandard ? 2 : 1;
  InflateRect(rect, -shrink, -shrink);
}

void TStyCustomGroupBox::WndProc(TMessage& m) {
  if (m.Msg == CM_FONTCHANGED) {
    TStyCustomPanel::WndProc(m);
    Realign();
    Invalidate();
    return;
  }
  if (m.Msg == CM_DIALOGCHAR && IsAccel(static_cast<char>(m.WParam), Caption()) && CanFocus()) {
    for (int i = 0; i < ControlCount(); ++i)
      if (auto* w = dynamic_cast<TWinControl*>(Controls(i)); w && w->CanFocus()) {
        w->SetFocus();
        break;
      }
    m.Result = 1;
    return;
  }
  TStyCustomPanel::WndProc(m);
}

TRect TStyCustomGroupBox::CaptionRect() {
  if (group_style_ == TStyGroupBoxStyle::gsCustom || Caption().empty()) return TRect{};
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  TPoint ext = c.TextExtent(Caption());
  TRect r{0, 0, ext.X, ext.Y};
  OffsetRect(r, group_style_ == TStyGroupBoxStyle::gsTopLine ? 0 : 8, 0);
  if (UseRightToLeftAlignment()) OffsetRect(r, Width() - 8 - r.Right, 0);
  return r;
}

void TStyCustomGroupBox::Paint() {
  if (group_style_ == TStyGroupBoxStyle::gsCustom) {
    TStyCustomPanel::Paint();
    return;
  }
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  TRect cap = CaptionRect();
  int y = c.TextHeight("Pp") / 2 - 1;
  c.SaveState();
  if (!Transparent()) {
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = Color();
    c.FillRect(ClientRect());
  } else if (!cap.IsEmpty()) {
    c.ExcludeClipRect(cap);
  }
  TRect r{0, y, Width(), Height()};
  TColor f = ShiftColor(FlatColor(), FlatColorAdjustment());
  auto line = [&](int x1, int y1, int x2, int y2) {
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  switch (group_style_) {
    case TStyGroupBoxStyle::gsStandard:
      if (BorderOuter() == TFrameStyleEx::fsNone)
        PaintFrameSides(c, r, TFrameStyleEx::fsGroove, sdAllSides);
      else if (BorderOuter() == TFrameStyleEx::fsFlat)
        PaintSides(c, r, f, sdAllSides, f);
      else if (BorderOuter() == TFrameStyleEx::fsFlatBold)
        PaintSideLines(c, r, f, sdAllSides, 2, f);
      else
        PaintFrameSides(c, r, BorderOuter(), sdAllSides);
      break;
    case TStyGroupBoxStyle::gsTopLine:
      if (BorderOuter() == TFrameStyleEx::fsNone) {
        PaintFrameSides(c, r, TFrameStyleEx::fsGroove, SideBit(TSide::sdTop));
      } else if (BorderOuter() == TFrameStyleEx::fsFlat || BorderOuter() == TFrameStyleEx::fsFlatBold) {
        c.Pen().Color = f;
        line(r.Left + 2, r.Top, r.Right - 2, r.Top);
        if (BorderOuter() == TFrameStyleEx::fsFlatBold) line(r.Left + 2, r.Top + 1, r.Right - 2, r.Top + 1);
      } else {
        PaintFrameSides(c, r, BorderOuter(), SideBit(TSide::sdTop));
      }
      break;
    default:  // gsFlat: a flat rounded rectangle
      c.Pen().Color = f;
      line(r.Left, r.Top + 2, r.Left, r.Bottom - 2);
      line(r.Right - 1, r.Top + 2, r.Right - 1, r.Bottom - 2);
      line(r.Left + 2, r.Top, r.Right - 2, r.Top);
      line(r.Left + 2, r.Bottom - 1, r.Right - 2, r.Bottom - 1);
      c.SetPixel(r.Left + 1, r.Top + 1, f);
      c.SetPixel(r.Right - 2, r.Top + 1, f);
      c.SetPixel(r.Right - 2, r.Bottom - 2, f);
      c.SetPixel(r.Left + 1, r.Bottom - 2, f);
      break;
  }
  c.RestoreState();
  if (cap.IsEmpty()) return;
  if (!Transparent()) {
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = Color();
    c.FillRect(cap);
  }
  c.Brush().Style = TBrushStyle::bsClear;
  if (!Enabled()) {
    TRect shadow = cap;
    OffsetRect(shadow, 1, 1);
    c.Font().SetColor(clBtnHighlight);
    c.DrawText(Caption(), shadow, DT_SINGLELINE);
    c.Font().SetColor(clBtnShadow);
  }
  c.DrawText(Caption(), cap, DT_SINGLELINE);
  c.Brush().Style = TBrushStyle::bsSolid;
}

// ---------------------------------------------------------------------------------------------
TStySpacer::TStySpacer(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 8, 25); }

void TStySpacer::SetGrooved(bool v) {
  if (!StoreChanged(grooved_, v)) return;
  Invalidate();
}

void TStySpacer::SetOrientation(TOrientation v) {
  if (!StoreChanged(orientation_, v)) return;
  SetBounds(Left(), Top(), Height(), Width());
}

void TStySpacer::Paint() {
  if (!grooved_) return;
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  auto line = [&](TColor col, int x1, int y1, int x2, int y2) {
    c.Pen().Color = col;
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  if (Width() > Height()) {
    int y = r.Top + (r.Bottom - r.Top) / 2 - 1;
    line(clBtnShadow, r.Left + 1, y, r.Right, y);
    line(clBtnHighlight, r.Left + 1, y + 1, r.Right, y + 1);
  } else {
    int x = r.Left + (r.Right - r.Left) / 2 - 1;
    line(clBtnShadow, x, r.Top + 1, x, r.Bottom);
    line(clBtnHighlight, x + 1, r.Top + 1, x + 1, r.Bottom);
  }
}

}  // namespace qv
