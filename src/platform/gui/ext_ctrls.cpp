#include "platform/gui/ext_ctrls.h"

#include <algorithm>

#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"

namespace qv {

void Frame3D(TCanvas& canvas, TRect& rect, TColor top_color, TColor bottom_color, int width) {
  canvas.Pen().Width = 1;
  canvas.Pen().Style = TPenStyle::psSolid;
  rect.Bottom -= 1;
  rect.Right -= 1;
  for (int i = 0; i < width; ++i) {
    canvas.Pen().Color = top_color;
    canvas.Polyline({{rect.Left, rect.Bottom}, {rect.Left, rect.Top}, {rect.Right, rect.Top}});
    canvas.Pen().Color = bottom_color;
    canvas.Polyline({{rect.Right, rect.Top}, {rect.Right, rect.Bottom}, {rect.Left - 1, rect.Bottom}});
    InflateRect(rect, -1, -1);
  }
  rect.Bottom += 1;
  rect.Right += 1;
}

// ---------------------------------------------------------------------------------------------
TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  control_style_ =
      csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks | csReplicatable;
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
  SetParentColor(false);
}

void TCustomPanel::SetAlignment(TAlignment a) {
  if (!StoreChanged(alignment_, a)) return;
  Invalidate();
}
void TCustomPanel::SetBevelOuter(TPanelBevel b) {
  if (!StoreChanged(bevel_outer_, b)) return;
  Realign();
  Invalidate();
}
void TCustomPanel::SetBevelInner(TPanelBevel b) {
  if (!StoreChanged(bevel_inner_, b)) return;
  Realign();
  Invalidate();
}
void TCustomPanel::SetBevelWidth(int w) {
  if (!StoreChanged(bevel_width_, w)) return;
  Realign();
  Invalidate();
}
void TCustomPanel::SetBorderWidth(int w) {
  if (!StoreChanged(border_width_, w)) return;
  Realign();
  Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
  int b = border_width_;
  if (bevel_outer_ != TPanelBevel::bvNone) b += bevel_width_;
  if (bevel_inner_ != TPanelBevel::bvNone) b += bevel_width_;
  InflateRect(rect, -b, -b);
}

void TCustomPanel::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  auto bevel = [&](TPanelBevel b) {
    if (b == TPanelBevel::bvNone) return;
    TColor top = b == TPanelBevel::bvLowered ? clBtnShadow : clBtnHighlight;
    TColor bottom = b == TPanelBevel::bvLowered ? clBtnHighlight : clBtnShadow;
    if (b == TPanelBevel::bvSpace) top = bottom = Color();
    Frame3D(c, r, top, bottom, bevel_width_);
  };
  bevel(bevel_outer_);
  Frame3D(c, r, Color(), Color(), border_width_);
  bevel(bevel_inner_);
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Color();
  c.FillRect(r);
  c.Brush().Style = TBrushStyle::bsClear;
  c.Font().Assign(Font());
  uint32_t f = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
  if (alignment_ == TAlignment::taCenter)
    f |= DT_CENTER;
  else if (alignment_ == TAlignment::taRightJustify)
    f |= DT_RIGHT;
  c.DrawText(Caption(), r, f);
  c.Brush().Style = TBrushStyle::bsSolid;
}

// ---------------------------------------------------------------------------------------------
TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 105, 105); }
void TPaintBox::Paint() {
  if (OnPaint) OnPaint(this);
}

// ---------------------------------------------------------------------------------------------
TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }
void TBevel::SetShape(TBevelShape s) {
  if (!StoreChanged(shape_, s)) return;
  Invalidate();
}
void TBevel::SetStyle(TBevelStyle s) {
  if (!StoreChanged(style_, s)) return;
  Invalidate();
}
void TBevel::Paint() {
  TCanvas& c = Canvas();
  TColor c1 = style_ == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight;
  TColor c2 = style_ == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow;
  TRect r = ClientRect();
  auto line = [&](TColor col, int x1, int y1, int x2, int y2) {
    c.Pen().Color = col;
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  int w = Width(), h = Height();
  switch (shape_) {
    case TBevelShape::bsBox: Frame3D(c, r, c1, c2, 1); break;
    case TBevelShape::bsFrame: {
      TRect outer = Rect(0, 0, w - 1, h - 1);
      Frame3D(c, outer, c1, c1, 1);
      TRect inner = Rect(1, 1, w, h);
      Frame3D(c, inner, c2, c2, 1);
      break;
    }
    case TBevelShape::bsTopLine: line(c1, 0, 0, w, 0), line(c2, 0, 1, w, 1); break;
    case TBevelShape::bsBottomLine: line(c1, 0, h - 2, w, h - 2), line(c2, 0, h - 1, w, h - 1); break;
    case TBevelShape::bsLeftLine: line(c1, 0, 0, 0, h), line(c2, 1, 0, 1, h); break;
    case TBevelShape::bsRightLine: line(c1, w - 2, 0, w - 2, h), line(c2, w - 1, 0, w - 1, h); break;
    case TBevelShape::bsSpacer: break;
  }
}

// ---------------------------------------------------------------------------------------------
TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 23, 22);
  control_style_ = csCaptureMouse | csDoubleClicks | csSetCaption;
  glyph_.OnChange = [this](TBitmap*) { Invalidate(); };
}
void TSpeedButton::SetDown(bool v) {
  if (group_index_ == 0) v = false;
  if (v == down_) return;
  if (down_ && !allow_all_up_) return;
  down_ = v;
  if (v && Parent()) {
    TMessage m{CM_BUTTONPRESSED, static_cast<uintptr_t>(group_index_),
               reinterpret_cast<intptr_t>(static_cast<TControl*>(this)), 0};
    Parent()->Broadcast(m);
  }
  Invalidate();
}
void TSpeedButton::SetFlat(bool v) {
  if (!StoreChanged(flat_, v)) return;
  Invalidate();
}
void TSpeedButton::SetLayout(TButtonLayout l) {
  if (!StoreChanged(layout_, l)) return;
  Invalidate();
}
void TSpeedButton::Click() { TGraphicControl::Click(); }
void TSpeedButton::WndProc(TMessage& m) {
  auto* sender =
      m.Msg == CM_BUTTONPRESSED ? dynamic_cast<TSpeedButton*>(reinterpret_cast<TControl*>(m.LParam)) : nullptr;
  if (sender && sender != this && static_cast<int>(m.WParam) == group_index_ && group_index_ != 0) {
    if (sender->down_ && down_) {
      down_ = false;
      Invalidate();
    }
    allow_all_up_ = sender->allow_all_up_;
    return;
  }
  if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) {
    mouse_in_ = m.Msg == CM_MOUSEENTER;
    if (flat_) Invalidate();
  }
  TGraphicControl::WndProc(m);
}
void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button == TMouseButton::mbLeft && Enabled()) {
    pressed_ = true;
    Invalidate();
  }
}
void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  // Only a release over the button that took the press clicks it, once.
  bool click = false;
  if (pressed_ && button == TMouseButton::mbLeft) {
    pressed_ = false;
    click = x >= 0 && y >= 0 && x < Width() && y < Height() && Enabled();
    if (click && group_index_ != 0) SetDown(!down_);
    Invalidate();
  }
  TGraphicControl::MouseUp(button, shift, x, y);
  // Last: the click's handler may free the button.
  if (click) Click();
}
void TSpeedButton::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  bool sunk = pressed_ || down_;
  if (!flat_ || mouse_in_ || sunk)
    Frame3D(c, r, sunk ? clBtnShadow : clBtnHighlight, sunk ? clBtnHighlight : clBtnShadow, 1);
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = down_ && !pressed_ ? clBtnHighlight : clBtnFace;
  c.FillRect(r);
  int off = sunk ? 1 : 0;
  int gx = r.Left + off + 2;
  if (!glyph_.Empty()) {
    TBitmap& g = glyph_;
    g.SetTransparent(true);
    if (Caption().empty()) gx = r.Left + (r.Width() - g.Width()) / 2 + off;
    c.Draw(gx, r.Top + (r.Height() - g.Height()) / 2 + off, g);
    gx += g.Width() + 4;
  }
  if (!Caption().empty()) {
    c.Brush().Style = TBrushStyle::bsClear;
    c.Font().Assign(Font());
    if (!Enabled()) c.Font().SetColor(clGrayText);
    TRect tr = r;
    if (!glyph_.Empty()) tr.Left = gx;
    OffsetRect(tr, off, off);
    c.DrawText(Caption(), tr, DT_SINGLELINE | DT_VCENTER | (glyph_.Empty() ? DT_CENTER : DT_LEFT));
    c.Brush().Style = TBrushStyle::bsSolid;
  }
}

// ---------------------------------------------------------------------------------------------
TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}
TCustomImageList::~TCustomImageList() { BeginDestroy(); }
void TCustomImageList::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  images_.clear();
  Changed();
}
int TCustomImageList::AddMasked(const TBitmap& bitmap, TColor mask_color) {
  int first = Count();
  if (width_ <= 0 || height_ <= 0) return -1;
  int n = std::max(1, bitmap.Width() / width_);
  for (int i = 0; i < n; ++i) {
    auto img = std::make_unique<TBitmap>(width_, height_);
    img->Canvas().CopyRect(Rect(0, 0, width_, height_), bitmap.Canvas(), Bounds(i * width_, 0, width_, height_));
    img->SetTransparentColor(mask_color);
    img->SetTransparent(true);
    images_.push_back(std::move(img));
  }
  Changed();
  return first;
}
void TCustomImageList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  images_.erase(images_.begin() + index);
  Changed();
}
void TCustomImageList::Clear() {
  images_.clear();
  Changed();
}
void TCustomImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const {
  if (index < 0 || index >= Count()) return;
  const TBitmap& img = *images_[static_cast<size_t>(index)];
  if (enabled) {
    canvas.Draw(x, y, img);
    return;
  }
  // Greyed: the image's shape embossed in highlight and shadow.
  TBitmap grey(width_, height_);
  TColor key = img.TransparentColor();
  for (int py = 0; py < height_; ++py)
    for (int px = 0; px < width_; ++px) grey.SetPixel(px, py, img.Pixel(px, py) == key ? clFuchsia : clBtnShadow);
  grey.SetTransparentColor(clFuchsia);
  grey.SetTransparent(true);
  canvas.Draw(x, y, grey);
}
void TCustomImageList::RegisterChanges(TChangeLink* link) { links_.push_back(link); }
void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}
void TCustomImageList::Changed() {
  std::vector<TChangeLink*> copy = links_;
  for (TChangeLink* l : copy)
    if (l->OnChange) l->OnChange();
}

// ---- TNotebook ----

TPage::TPage(TComponent* owner) : TCustomControl(owner) {
  control_style_ = csAcceptsControls | csCaptureMouse | csClickEvents | csOpaque | csDoubleClicks;
  SetParentColor(true);
}

TNotebook::TNotebook(TComponent* owner) : TCustomControl(owner) {
  control_style_ = csAcceptsControls | csCaptureMouse | csClickEvents | csOpaque | csDoubleClicks;
  SetBounds(0, 0, 150, 150);
}

int TNotebook::InsertPage(int index, const std::string& name) {
  index = std::clamp(index, 0, PageCount());
  auto* page = new TPage(this);
  page->SetCaption(name);
  page->SetVisible(false);
  page->SetParent(this);
  page->SetAlign(TAlign::alClient);
  pages_.insert(pages_.begin() + index, page);
  if (page_index_ < 0)
    page_index_ = 0;
  else if (index <= page_index_)
    ++page_index_;
  ShowCurrent();
  return index;
}

void TNotebook::DeletePage(int index) {
  if (index < 0 || index >= PageCount()) return;
  TPage* page = Page(index);
  pages_.erase(pages_.begin() + index);
  delete page;
  if (index < page_index_ || page_index_ >= PageCount()) --page_index_;
  ShowCurrent();
}

void TNotebook::SetPageIndex(int index) {
  if (index < 0 || index >= PageCount() || index == page_index_) return;
  page_index_ = index;
  ShowCurrent();
  if (OnPageChanged) OnPageChanged(this);
}

void TNotebook::ShowCurrent() {
  for (int i = 0; i < PageCount(); ++i) Page(i)->SetVisible(i == page_index_);
}

// ---- TTabSet ----

TTabSet::TTabSet(TComponent* owner) : TCustomControl(owner) {
  control_style_ = csCaptureMouse | csClickEvents | csOpaque;
  SetBounds(0, 0, 185, 21);
  SetColor(clBtnFace);
}

void TTabSet::SetTab(int index, const std::string& text) {
  if (index < 0 || index >= TabCount() || tabs_[static_cast<size_t>(index)] == text) return;
  tabs_[static_cast<size_t>(index)] = text;
  Invalidate();
}

void TTabSet::InsertTab(int index, const std::string& text) {
  index = std::clamp(index, 0, TabCount());
  tabs_.insert(tabs_.begin() + index, text);
  if (tab_index_ >= index) ++tab_index_;
  Invalidate();
}

void TTabSet::DeleteTab(int index) {
  if (index < 0 || index >= TabCount()) return;
  tabs_.erase(tabs_.begin() + index);
  if (tab_index_ > index || tab_index_ >= TabCount()) --tab_index_;
  Invalidate();
}

void TTabSet::SetTabIndex(int index) {
  if (index < -1 || index >= TabCount() || index == tab_index_) return;
  tab_index_ = index;
  Invalidate();
}

void TTabSet::SetStyle(TTabStyle style) {
  if (style == style_) return;
  style_ = style;
  Invalidate();
}

void TTabSet::SetTabHeight(int height) {
  if (height == tab_height_ || height < 0) return;
  tab_height_ = height;
  Invalidate();
}

int TTabSet::TabWidth(int index) const {
  TCanvas canvas;
  canvas.Font().Assign(Font());
  return canvas.TextWidth(Tab(index)) + 16;
}

int TTabSet::TabAt(int x) const {
  int left = 4;
  for (int i = 0; i < TabCount(); ++i) {
    const int w = TabWidth(i);
    if (x >= left && x < left + w) return i;
    left += w;
  }
  return -1;
}

void TTabSet::Paint() {
  TCanvas& c = Canvas();
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Color();
  c.FillRect(ClientRect());
  c.Font().Assign(Font());
  c.Pen().Color = clBtnShadow;
  c.MoveTo(0, 0);
  c.LineTo(Width(), 0);
  int left = 4;
  for (int i = 0; i < TabCount(); ++i) {
    const int w = TabWidth(i);
    TRect r{left, i == tab_index_ ? 0 : 2, left + w, TabHeight()};
    c.Brush().Color = i == tab_index_ ? clWindow : Color();
    c.Pen().Color = clBtnShadow;
    c.Rectangle(r);
    c.Brush().Style = TBrushStyle::bsClear;
    c.DrawText(Tab(i), r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    c.Brush().Style = TBrushStyle::bsSolid;
    left += w;
  }
}

void TTabSet::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft) return;
  const int tab = TabAt(x);
  if (tab < 0 || tab == tab_index_) return;
  SetTabIndex(tab);
  if (OnClick) OnClick(this);
}

}  // namespace qv
