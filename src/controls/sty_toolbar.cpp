#include "controls/sty_toolbar.h"

#include <algorithm>
#include <cmath>

#include "controls/gradients.h"
#include "platform/rtl/store_changed.h"
#include "platform/rtl/text_utils.h"

namespace qv {

int TStyToolbarControlList::AddControl(TControl* control) {
  int at = FindControl(control);
  if (at >= 0) return at;
  items_.push_back({control, control->Name()});
  return Count() - 1;
}

int TStyToolbarControlList::AddName(const std::string& name) {
  int at = FindName(name);
  if (at >= 0) return at;
  items_.push_back({nullptr, name});
  return Count() - 1;
}

int TStyToolbarControlList::RemoveControl(TControl* control) {
  int at = FindControl(control);
  if (at >= 0) items_.erase(items_.begin() + at);
  return at;
}

int TStyToolbarControlList::RemoveName(const std::string& name) {
  int at = FindName(name);
  if (at >= 0) items_.erase(items_.begin() + at);
  return at;
}

int TStyToolbarControlList::FindControl(const TControl* control) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].Control == control) return i;
  return -1;
}

int TStyToolbarControlList::FindName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(items_[static_cast<size_t>(i)].Name, name)) return i;
  return -1;
}

// ---------------------------------------------------------------------------------------------
TStyToolbar::TStyToolbar(TComponent* owner) : TStyCustomPanel(owner) {
  SetAlign(TAlign::alTop);
  auto_style_ = true;
  TStyCustomPanel::SetBorderInner(TFrameStyleEx::fsNone);
  TStyCustomPanel::SetBorderOuter(TFrameStyleEx::fsGroove);
  TStyCustomPanel::SetBorderSides(SideBit(TSide::sdTop));
  SetBorderWidth(0);
  SetFullRepaint(false);
  SetShowDockClientCaptions(false);
  SetBounds(Left(), Top(), 32, 32);
  background_.OnChange = [this](TBitmap*) { Invalidate(); };
  image_link_.OnChange = [this] { Invalidate(); };
}

TStyToolbar::~TStyToolbar() {
  BeginDestroy();
  if (images_) images_->UnRegisterChanges(&image_link_);
}

void TStyToolbar::ApplyAutoStyle(TAlign align) {
  TStyCustomPanel::SetBorderInner(TFrameStyleEx::fsNone);
  TStyCustomPanel::SetBorderOuter(show_divider_ ? TFrameStyleEx::fsGroove : TFrameStyleEx::fsNone);
  TSides sides = SideBit(TSide::sdTop);
  if (align == TAlign::alLeft)
    sides = SideBit(TSide::sdLeft);
  else if (align == TAlign::alRight)
    sides = SideBit(TSide::sdRight);
  else if (align == TAlign::alBottom)
    sides = SideBit(TSide::sdBottom);
  TStyCustomPanel::SetBorderSides(sides);
  Invalidate();
}

void TStyToolbar::SetAlign(TAlign align) {
  if (auto_style_) ApplyAutoStyle(align);
  TStyCustomPanel::SetAlign(align);
  if (auto_resize_) {
    if (align == TAlign::alLeft || align == TAlign::alRight)
      SetWidth(32);
    else
      SetHeight(32);
  }
}

void TStyToolbar::SetBorderInner(TFrameStyleEx v) {
  auto_style_ = false;
  TStyCustomPanel::SetBorderInner(v);
}
void TStyToolbar::SetBorderOuter(TFrameStyleEx v) {
  auto_style_ = false;
  TStyCustomPanel::SetBorderOuter(v);
}
void TStyToolbar::SetBorderSides(TSides v) {
  auto_style_ = false;
  TStyCustomPanel::SetBorderSides(v);
}

void TStyToolbar::SetAutoStyle(bool v) {
  if (!StoreChanged(auto_style_, v)) return;
  if (v) ApplyAutoStyle(Align());
}

void TStyToolbar::SetParent(TWinControl* parent) {
  TStyCustomPanel::SetParent(parent);
  CheckAutoResize();
}

void TStyToolbar::CheckAutoResize() {
  if (Parent() && (Parent()->ClassName() == "TPageScroller" || Parent()->ClassName() == "TToolbar"))
    auto_resize_ = false;
}

void TStyToolbar::SetAutoResize(bool v) {
  if (v && Parent() && (Parent()->ClassName() == "TPageScroller" || Parent()->ClassName() == "TToolbar")) v = false;
  if (!StoreChanged(auto_resize_, v)) return;
  ArrangeControls();
}

void TStyToolbar::AlignControls(TControl* control, TRect& rect) {
  TStyCustomPanel::AlignControls(control, rect);
  for (int i = 0; i < ControlCount(); ++i) list_.AddControl(Controls(i));
  ArrangeControls();
}

void TStyToolbar::ControlChange(TControl* control, bool inserting) {
  TStyCustomPanel::ControlChange(control, inserting);
  if (inserting) {
    list_.AddControl(control);
    ArrangeControls();
  } else if (!Destroying()) {
    list_.RemoveControl(control);
    ArrangeControls();
  }
}

void TStyToolbar::SetAutoSize(bool width, int value) {
  int old_w = Width(), old_h = Height();
  if (width)
    SetWidth(value);
  else
    SetHeight(value);
  if (Width() != old_w || Height() != old_h) Invalidate();
  // The parent lays out again; a size that did not change ends the chain there.
  if (TWinControl* p = Parent()) {
    uintptr_t kind = SIZE_RESTORED;
    if (auto* form = dynamic_cast<TForm*>(p)) {
      if (form->WindowState() == TWindowState::wsMaximized)
        kind = SIZE_MAXIMIZED;
      else if (form->WindowState() == TWindowState::wsMinimized)
        kind = SIZE_MINIMIZED;
    }
    p->PostMessage(WM_SIZE, kind, MakeLParam(p->Width(), p->Height()));
  }
}

void TStyToolbar::ArrangeControls() {
  if (arranging_) return;
  arranging_ = true;
  bool horizontal = orientation_ == TOrientation::orHorizontal;
  int pos = margin_, widest = 0, row = 1, current = RowHeightOf(1);
  bool wrapped = false;
  for (int i = 0; i < list_.Count(); ++i) {
    TControl* c = list_.Items(i).Control;
    if (!c || !c->Visible()) continue;
    int extent = horizontal ? c->Width() : c->Height();
    int room = horizontal ? Width() : Height();
    if (wrap_controls_ && i != 0 && room - margin_ < pos + extent) {
      widest = std::max(widest, pos);
      pos = margin_;
      ++row;
      current = RowHeightOf(row);
      wrapped = true;
    }
    if (horizontal) {
      int left = UseRightToLeftAlignment() ? Width() - c->Width() - pos : pos;
      int top = (row - 1) * current + top_margin_ + row_height_ / 2 - c->Height() / 2;
      c->SetBounds(left, top, c->Width(), c->Height());
    } else {
      int left = (row - 1) * current + margin_ + row_height_ / 2 - c->Width() / 2;
      c->SetBounds(left, pos, c->Width(), c->Height());
    }
    pos += extent;
  }
  if (auto_resize_) {
    bool side = Align() == TAlign::alLeft || Align() == TAlign::alRight;
    bool top_bottom = Align() == TAlign::alTop || Align() == TAlign::alBottom;
    if (horizontal) {
      if (side && wrapped)
        SetAutoSize(true, margin_ + widest);
      else if (top_bottom)
        SetAutoSize(false, row_height_ * row + 2 * top_margin_);
    } else {
      if (top_bottom && wrapped)
        SetAutoSize(false, margin_ + widest);
      else if (side)
        SetAutoSize(true, row_height_ * row + top_margin_ + 2);
    }
  }
  arranging_ = false;
}

void TStyToolbar::ButtonSettingChanged(uint32_t message) {
  TMessage m{message, 0, 0, 0};
  Broadcast(m);
  if (!applying_text_options_) text_options_ = TStyToolbarTextOptions::ttoCustom;
}

void TStyToolbar::SetShowButtonCaptions(bool v) {
  if (!StoreChanged(show_button_captions_, v)) return;
  ButtonSettingChanged(CM_STY_SHOWCAPTIONSCHANGED);
}
void TStyToolbar::SetButtonLayout(TButtonLayout v) {
  if (!StoreChanged(button_layout_, v)) return;
  ButtonSettingChanged(CM_STY_BUTTONLAYOUTCHANGED);
}
void TStyToolbar::SetButtonWidth(int v) {
  if (!StoreChanged(button_width_, v)) return;
  ButtonSettingChanged(CM_STY_BUTTONSIZECHANGED);
}
void TStyToolbar::SetButtonHeight(int v) {
  if (!StoreChanged(button_height_, v)) return;
  ButtonSettingChanged(CM_STY_BUTTONSIZECHANGED);
}

void TStyToolbar::SetButtonMetrics(int width, int height, bool show_captions) {
  SetShowButtonCaptions(show_captions);
  SetButtonWidth(width);
  SetButtonHeight(height);
  SetRowHeight(orientation_ == TOrientation::orHorizontal ? height : width);
}

void TStyToolbar::SetTextOptions(TStyToolbarTextOptions v) {
  text_options_ = v;
  if (v == TStyToolbarTextOptions::ttoCustom) return;
  applying_text_options_ = true;
  bool show = v == TStyToolbarTextOptions::ttoShowTextLabels;
  bool captions = show || v == TStyToolbarTextOptions::ttoSelectiveTextOnRight;
  SetButtonLayout(show ? TButtonLayout::blGlyphTop : TButtonLayout::blGlyphLeft);
  SetButtonMetrics(captions ? 60 : 25, show ? 40 : 25, captions);
  applying_text_options_ = false;
}

void TStyToolbar::SetMargin(int v) {
  if (!StoreChanged(margin_, v)) return;
  ArrangeControls();
}
void TStyToolbar::SetTopMargin(int v) {
  if (!StoreChanged(top_margin_, v)) return;
  ArrangeControls();
}
void TStyToolbar::SetRowHeight(int v) {
  if (!StoreChanged(row_height_, v)) return;
  ArrangeControls();
}
void TStyToolbar::SetWrapControls(bool v) {
  if (!StoreChanged(wrap_controls_, v)) return;
  ArrangeControls();
}
void TStyToolbar::SetOrientation(TOrientation v) {
  if (!StoreChanged(orientation_, v)) return;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* s = dynamic_cast<TStySpacer*>(Controls(i))) s->SetOrientation(v);
  ArrangeControls();
}
void TStyToolbar::SetShowDivider(bool v) {
  if (!StoreChanged(show_divider_, v)) return;
  TStyCustomPanel::SetBorderOuter(v ? TFrameStyleEx::fsGroove : TFrameStyleEx::fsNone);
}

void TStyToolbar::SetImages(TCustomImageList* images) {
  if (images == images_) return;
  if (images_) {
    images_->UnRegisterChanges(&image_link_);
    RemoveFreeNotification(images_);
  }
  images_ = images;
  if (images_) {
    images_->RegisterChanges(&image_link_);
    FreeNotification(images_);
  }
  Invalidate();
}

void TStyToolbar::SetRegIniFile(TStyRegIniFile* f) {
  if (!StoreChanged(reg_ini_file_, f)) return;
  if (f) FreeNotification(f);
}

void TStyToolbar::Notification(TComponent* component, TOperation operation) {
  TStyCustomPanel::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == images_) images_ = nullptr;
  if (component == reg_ini_file_) reg_ini_file_ = nullptr;
}

void TStyToolbar::WndProc(TMessage& m) {
  TStyCustomPanel::WndProc(m);
  if (m.Msg == CM_VISIBLECHANGED && OnVisibleChanged) OnVisibleChanged(this);
}

void TStyToolbar::Paint() {
  TStyCustomPanel::Paint();
  if (background_.Empty()) return;
  TCanvas& c = Canvas();
  TRect content = ContentRect(ClientRect(), true);
  c.SaveState();
  c.IntersectClipRect(content);
  TileGraphic(c, background_, content);
  c.RestoreState();
}

// ---------------------------------------------------------------------------------------------
TStyStatusBar::TStyStatusBar(TComponent* owner) : TStyCustomPanel(owner) {
  SetAlign(TAlign::alBottom);
  ApplyAutoStyle();
}

void TStyStatusBar::ApplyAutoStyle() {
  TStyCustomPanel::SetBorderInner(TFrameStyleEx::fsNone);
  TStyCustomPanel::SetBorderOuter(TFrameStyleEx::fsNone);
  TStyCustomPanel::SetBorderSides(sdAllSides);
  SetHeight(19);
  SetBorderWidth(0);
}

void TStyStatusBar::SetAutoStyle(bool v) {
  if (!StoreChanged(auto_style_, v)) return;
  if (v) ApplyAutoStyle();
}
void TStyStatusBar::SetBorderInner(TFrameStyleEx v) {
  auto_style_ = false;
  TStyCustomPanel::SetBorderInner(v);
}
void TStyStatusBar::SetBorderOuter(TFrameStyleEx v) {
  auto_style_ = false;
  TStyCustomPanel::SetBorderOuter(v);
}
void TStyStatusBar::SetBorderSides(TSides v) {
  auto_style_ = false;
  TStyCustomPanel::SetBorderSides(v);
}

TRect TStyStatusBar::ClientRect() const {
  // Without visual themes the panes reach over the bar's edges.
  TRect r = TStyCustomPanel::ClientRect();
  r.Bottom += 1;
  if (simple_status_) {
    r.Top = 2;
  } else {
    r.Top = 1;
    r.Left -= 1;
    r.Right += 1;
  }
  return r;
}

bool TStyStatusBar::SizeGripUsable() const {
  TForm* form = GetParentForm(this);
  if (!form) return false;
  TBorderStyle b = form->FormBorderStyle();
  if (b != TBorderStyle::bsSizeable && b != TBorderStyle::bsSizeToolWin) return false;
  return form->WindowState() != TWindowState::wsMaximized;
}

void TStyStatusBar::SetShowSizeGrip(bool v) {
  if (!StoreChanged(show_size_grip_, v)) return;
  Invalidate();
}
void TStyStatusBar::SetSimpleCaption(const std::string& v) {
  if (!StoreChanged(simple_caption_, v)) return;
  Invalidate();
}
void TStyStatusBar::SetSimpleFrameStyle(TFrameStyle v) {
  if (!StoreChanged(simple_frame_style_, v)) return;
  Invalidate();
}
void TStyStatusBar::SetSimpleStatus(bool v) {
  if (!StoreChanged(simple_status_, v)) return;
  DisableAlign();
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->SetVisible(!v);
  EnableAlign();
  Repaint();
}

void TStyStatusBar::DrawSimpleFrame(const TRect& r) {
  TCanvas& c = Canvas();
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Color();
  c.FillRect(r);
  if (simple_frame_style_ == TFrameStyleEx::fsFlat) {
    // A flat rectangle without its four corner pixels.
    c.Pen().Color = ShiftColor(FlatColor(), FlatColorAdjustment());
    auto line = [&](int x1, int y1, int x2, int y2) {
      c.MoveTo(x1, y1);
      c.LineTo(x2, y2);
    };
    line(r.Left + 1, r.Top, r.Right - 1, r.Top);
    line(r.Left + 1, r.Bottom - 1, r.Right - 1, r.Bottom - 1);
    line(r.Left, r.Top + 1, r.Left, r.Bottom - 1);
    line(r.Right - 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  } else {
    PaintFrame(c, r, simple_frame_style_);
  }
}

void TStyStatusBar::Paint() {
  TStyCustomPanel::Paint();
  TCanvas& c = Canvas();
  if (simple_status_) {
    TRect r = ClientRect();
    r.Bottom -= 1;
    DrawSimpleFrame(r);
    InflateRect(r, -1, -1);
    c.Font().Assign(Font());
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = Color();
    c.TextOut(r.Left + 2, r.Top + (r.Height() - c.TextHeight("Pp")) / 2, simple_caption_);
  }
  DrawSizeGrip();
}

void TStyStatusBar::DrawSizeGrip() {
  if (!show_size_grip_ || !SizeGripUsable()) return;
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  int R = r.Right, B = r.Bottom - 1;
  static constexpr TPoint kSquares[] = {{5, 12}, {5, 8}, {5, 4}, {9, 8}, {9, 4}, {13, 4}};
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = clBtnHighlight;
  for (TPoint p : kSquares) c.FillRect(Bounds(R - p.X, B - p.Y, 2, 2));
  c.Brush().Color = clBtnShadow;
  for (TPoint p : kSquares) c.FillRect(Bounds(R - p.X - 1, B - p.Y - 1, 2, 2));
}

void TStyStatusBar::WndProc(TMessage& m) {
  bool grip = show_size_grip_ && SizeGripUsable();
  if (m.Msg == WM_MOUSEMOVE) {
    TPoint p{LoWordSigned(m.LParam), HiWordSigned(m.LParam)};
    SetCursor(grip && SizeGripRect().Contains(p) ? crSizeNWSE : crDefault);
  }
  if (m.Msg == WM_LBUTTONDOWN && grip && SizeGripRect().Contains({LoWordSigned(m.LParam), HiWordSigned(m.LParam)})) {
    // The press resizes the form from its bottom-right corner and goes no further.
    ReleaseCapture();
    GetParentForm(this)->Perform(WM_SYSCOMMAND, SC_SIZE | 8, 0);
    return;
  }
  TStyCustomPanel::WndProc(m);
}

void TStyStatusBar::Resize() {
  TStyCustomPanel::Resize();
  if (first_resize_) {
    first_resize_ = false;
    last_width_ = Width();
    return;
  }
  int d = Width() - last_width_;
  // A bar first sized at width 0 has no ratio to scale by: only remember the width.
  if (auto_scale_panes_ && ControlCount() > 0 && d != 0 && last_width_ > 0) {
    DisableAlign();
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* pane = Controls(i);
      float ratio = static_cast<float>(pane->Width()) / static_cast<float>(last_width_);
      pane->SetWidth(pane->Width() + static_cast<int>(std::nearbyint(static_cast<float>(d) * ratio)));
    }
    EnableAlign();
  }
  last_width_ = Width();
}

}  // namespace qv
