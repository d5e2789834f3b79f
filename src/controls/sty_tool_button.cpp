#include "controls/sty_tool_button.h"

#include <algorithm>
#include <chrono>

#include "controls/gradients.h"
#include "platform/rtl/store_changed.h"

namespace qv {

uint32_t SystemTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {
// The 8 x 8 two-colour dither of a latched button.
std::shared_ptr<TBitmap> DitherBrush(TColor a, TColor b) {
  auto bmp = std::make_shared<TBitmap>(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) bmp->SetPixel(x, y, (x + y) % 2 == 0 ? a : b);
  return bmp;
}
}  // namespace

TStyToolButton::TStyToolButton(TComponent* owner) : TGraphicControl(owner) {
  control_style_ = csCaptureMouse;
  SetBounds(0, 0, 25, 25);
  SetColor(clBtnFace);
  image_link_.OnChange = [this] {
    GrowToImages();
    Invalidate();
  };
}

TStyToolButton::~TStyToolButton() {
  BeginDestroy();
  if (images_) images_->UnRegisterChanges(&image_link_);
}

TCustomImageList* TStyToolButton::ImageList() const {
  if (images_) return images_;
  if (TStyToolbar* t = Toolbar()) return t->Images();
  return nullptr;
}

TPoint TStyToolButton::GlyphSize() const {
  TCustomImageList* list = ImageList();
  return list ? TPoint{list->Width(), list->Height()} : TPoint{0, 0};
}

// ---------------------------------------------------------------------------------------------
void TStyToolButton::SyncWithToolbar() {
  if (!Parent()) return;
  Perform(CM_STY_SHOWCAPTIONSCHANGED, 0, 0);
  Perform(CM_STY_BUTTONLAYOUTCHANGED, 0, 0);
  Perform(CM_STY_BUTTONSIZECHANGED, 0, 0);
}

void TStyToolButton::SetParent(TWinControl* parent) {
  TGraphicControl::SetParent(parent);
  SyncWithToolbar();
}

void TStyToolButton::WndProc(TMessage& m) {
  TStyToolbar* bar = Toolbar();
  switch (m.Msg) {
    case CM_STY_SHOWCAPTIONSCHANGED:
      if (use_toolbar_show_caption_ && bar && show_caption_ != bar->ShowButtonCaptions()) {
        show_caption_ = bar->ShowButtonCaptions();
        Invalidate();
      }
      return;
    case CM_STY_BUTTONLAYOUTCHANGED:
      if (use_toolbar_layout_ && bar && layout_ != bar->ButtonLayout()) {
        layout_ = bar->ButtonLayout();
        Invalidate();
      }
      return;
    case CM_STY_BUTTONSIZECHANGED: {
      if (!use_toolbar_size_ || !bar) return;
      int w = bar->ButtonWidth();
      if (show_caption_) {
        TCanvas& c = ScreenCanvas();
        c.Font().Assign(Font());
        int text = c.TextWidth(Caption());
        if (layout_ == TButtonLayout::blGlyphLeft || layout_ == TButtonLayout::blGlyphRight)
          w = std::max(w, GlyphSize().X + text + 12);
        else
          w = std::max(w, text + 8);
      }
      if (tool_style_ == TStyToolStyle::tsDropDown) w += kArrowWidth;
      SetBounds(Left(), Top(), w, bar->ButtonHeight());
      return;
    }
    case CM_BUTTONPRESSED: {
      auto* sender = dynamic_cast<TStyToolButton*>(reinterpret_cast<TControl*>(m.LParam));
      if (!sender || sender == this || static_cast<int>(m.WParam) != group_index_) return;
      if (sender->down_ && down_) {
        down_ = false;
        state_ = TStyToolButtonState::bsUp;
        Invalidate();
      }
      allow_all_up_ = sender->allow_all_up_;
      return;
    }
    case CM_MOUSEENTER: MouseEntered(); break;
    case CM_MOUSELEAVE: MouseLeft(); break;
    case CM_TEXTCHANGED:
      TGraphicControl::WndProc(m);
      SyncWithToolbar();
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char>(m.WParam), Caption()) && Enabled() && Visible() && Parent() &&
          Parent()->Showing()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    default: break;
  }
  TGraphicControl::WndProc(m);
}

void TStyToolButton::SetWidth(int v) {
  use_toolbar_size_ = false;
  TGraphicControl::SetWidth(v);
}
void TStyToolButton::SetHeight(int v) {
  use_toolbar_size_ = false;
  TGraphicControl::SetHeight(v);
}
void TStyToolButton::SetLayout(TButtonLayout v) {
  use_toolbar_layout_ = false;
  if (StoreChanged(layout_, v)) Invalidate();
  SyncWithToolbar();
}
void TStyToolButton::SetShowCaption(bool v) {
  use_toolbar_show_caption_ = false;
  if (!StoreChanged(show_caption_, v)) return;
  Invalidate();
}
void TStyToolButton::SetUseToolbarButtonLayout(bool v) {
  if (!StoreChanged(use_toolbar_layout_, v)) return;
  if (v) Perform(CM_STY_BUTTONLAYOUTCHANGED, 0, 0);
}
void TStyToolButton::SetUseToolbarButtonSize(bool v) {
  if (!StoreChanged(use_toolbar_size_, v)) return;
  if (v) Perform(CM_STY_BUTTONSIZECHANGED, 0, 0);
}
void TStyToolButton::SetUseToolbarShowCaption(bool v) {
  if (!StoreChanged(use_toolbar_show_caption_, v)) return;
  if (v) Perform(CM_STY_SHOWCAPTIONSCHANGED, 0, 0);
}

void TStyToolButton::SetToolStyle(TStyToolStyle v) {
  if (!StoreChanged(tool_style_, v)) return;
  group_index_ = 0;
  int w = Width() + (v == TStyToolStyle::tsDropDown ? kArrowWidth : -kArrowWidth);
  SetBounds(Left(), Top(), w, Height());
  Invalidate();
}

void TStyToolButton::SetTransparent(bool v) {
  if (!StoreChanged(transparent_, v)) return;
  Invalidate();
}
void TStyToolButton::SetFlat(bool v) {
  if (!StoreChanged(flat_, v)) return;
  Invalidate();
}

#define QV_INDEX_SETTER(Name, field)      \
  void TStyToolButton::Set##Name(int v) { \
    if (v == field) return;               \
    field = v;                            \
    Invalidate();                         \
  }
QV_INDEX_SETTER(HotIndex, hot_index_)
QV_INDEX_SETTER(ImageIndex, image_index_)
QV_INDEX_SETTER(DownIndex, down_index_)
QV_INDEX_SETTER(DisabledIndex, disabled_index_)
#undef QV_INDEX_SETTER

void TStyToolButton::GrowToImages() {
  if (!images_) return;
  SetBounds(Left(), Top(), std::max(Width(), images_->Width()), std::max(Height(), images_->Height()));
}

void TStyToolButton::SetImages(TCustomImageList* images) {
  if (images == images_) return;
  if (images_) {
    images_->UnRegisterChanges(&image_link_);
    RemoveFreeNotification(images_);
  }
  images_ = images;
  if (images_) {
    images_->RegisterChanges(&image_link_);
    FreeNotification(images_);
    GrowToImages();
  }
  Invalidate();
}

void TStyToolButton::SetDropDownMenu(TPopupMenu* menu) {
  if (!StoreChanged(drop_down_menu_, menu)) return;
  if (menu) FreeNotification(menu);
}

void TStyToolButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == images_) images_ = nullptr;
  if (component == drop_down_menu_) drop_down_menu_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
void TStyToolButton::SendGroupMessage() {
  if (!Parent()) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* sibling = Parent()->Controls(i);
    if (sibling != this)
      sibling->Perform(CM_BUTTONPRESSED, static_cast<uintptr_t>(group_index_),
                       reinterpret_cast<intptr_t>(static_cast<TControl*>(this)));
  }
}

void TStyToolButton::SetDown(bool v) {
  if (group_index_ == 0 || v == down_ || (down_ && !allow_all_up_)) return;
  down_ = v;
  if (v) {
    if (state_ == TStyToolButtonState::bsUp) Invalidate();
    state_ = TStyToolButtonState::bsLatched;
    SendGroupMessage();
  } else {
    state_ = TStyToolButtonState::bsUp;
    Repaint();
  }
}

void TStyToolButton::SetGroupIndex(int v) {
  if (tool_style_ == TStyToolStyle::tsDropDown) v = 0;
  if (!StoreChanged(group_index_, v)) return;
  SendGroupMessage();
}

void TStyToolButton::SetAllowAllUp(bool v) {
  if (!StoreChanged(allow_all_up_, v)) return;
  SendGroupMessage();
}

void TStyToolButton::ActionChange(TAction* sender, bool check_defaults) {
  TGraphicControl::ActionChange(sender, check_defaults);
  if (!check_defaults || !down_) SetDown(sender->Checked());
  if (!check_defaults || image_index_ == -1) SetImageIndex(sender->ImageIndex());
}

void TStyToolButton::AssignTo(TAction& action) const {
  action.SetChecked(down_);
  action.SetImageIndex(image_index_);
}

// ---------------------------------------------------------------------------------------------
void TStyToolButton::ButtonPress(int /*x*/, int /*y*/) {
  if (!down_ || state_ == TStyToolButtonState::bsLatched) state_ = TStyToolButtonState::bsPressed;
  dragging_ = true;
  Invalidate();
}

void TStyToolButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft || !Enabled()) return;
  if (tool_style_ == TStyToolStyle::tsButton) {
    ButtonPress(x, y);
    return;
  }
  bool normal = !drop_down_menu_ || (shift & ~ssDouble) != ssLeft || (x < Width() - kArrowWidth && HasClickHandler());
  if (normal) {
    // The press that closes a menu is swallowed.
    if (treat_as_normal_)
      ButtonPress(x, y);
    else
      treat_as_normal_ = true;
    return;
  }
  if (drop_down_menu_->Items()->Count() == 0) return;
  uint32_t now = tick_();
  if (menu_tick_ != 0 && now - menu_tick_ < 100) {
    treat_as_normal_ = true;
    menu_tick_ = 0;
    ReleaseCapture();
  } else {
    state_ = TStyToolButtonState::bsMenuShown;
    Repaint();
    // The menu's loop runs until an entry is chosen, and the entry may free the button.
    const std::weak_ptr<bool> alive = alive_;
    DropDown();
    if (alive.expired()) return;
    treat_as_normal_ = false;
    menu_tick_ = tick_();
  }
  DropDownRelease();
}

void TStyToolButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (dragging_) {
    TStyToolButtonState next = down_                           ? TStyToolButtonState::bsLatched
                               : ClientRect().Contains({x, y}) ? TStyToolButtonState::bsPressed
                                                               : TStyToolButtonState::bsUp;
    if (StoreChanged(state_, next)) Invalidate();
  } else if (!mouse_over_) {
    SyncHover();
  }
}

void TStyToolButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (dragging_) {
    dragging_ = false;
    bool inside = ClientRect().Contains({x, y});
    bool click = inside;
    if (group_index_ == 0) {
      state_ = TStyToolButtonState::bsUp;
      mouse_over_ = false;
      if (inside) Repaint();
    } else if (inside) {
      bool was = down_;
      SetDown(!down_);
      if (down_ == was) click = false;
      if (down_) state_ = TStyToolButtonState::bsLatched;
      Repaint();
    } else {
      state_ = down_ ? TStyToolButtonState::bsLatched : TStyToolButtonState::bsUp;
      Repaint();
    }
    if (click) {
      // The click's handler may free the button (a rebuilt toolbar).
      const std::weak_ptr<bool> alive = alive_;
      Click();
      if (alive.expired()) return;
    }
    SyncHover();
  }
  if (tool_style_ == TStyToolStyle::tsDropDown) DropDownRelease();
}

void TStyToolButton::DropDownRelease() {
  if (!ClientRect().Contains(ScreenToClient(CursorPos()))) treat_as_normal_ = true;
  state_ = TStyToolButtonState::bsUp;
  Repaint();
  SyncHover();
}

void TStyToolButton::Click() {
  if (tool_style_ == TStyToolStyle::tsDropDown && !treat_as_normal_) return;
  TGraphicControl::Click();
}

void TStyToolButton::DropDown() {
  if (!drop_down_menu_) return;
  if (OnDropDown) OnDropDown(drop_down_menu_);
  TPoint p = ClientToScreen({0, Height()});
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Screen->MenuFont());
  int widest = 0;
  TMenuItem* items = drop_down_menu_->Items();
  for (int i = 0; i < items->Count(); ++i) widest = std::max(widest, c.TextWidth(items->Items(i)->Caption()));
  int estimate = widest + 56;
  int monitor = Screen->MonitorFromPoint(p);
  int right = monitor >= 0 ? Screen->Monitors(monitor).WorkareaRect.Right
                           : (Parent() ? WindowMonitorWorkWidth(Parent()) : Screen->Width());
  if (right < p.X + estimate) p.X += Width() - estimate;
  drop_down_menu_->SetPopupComponent(this);
  drop_down_menu_->Popup(p.X, p.Y);
}

void TStyToolButton::MouseEntered() {
  mouse_over_ = true;
  if (OnMouseEnter) OnMouseEnter(this);
  if (flat_) Refresh();
}

void TStyToolButton::MouseLeft() {
  mouse_over_ = false;
  if (OnMouseLeave) OnMouseLeave(this);
  if (flat_) Refresh();
}

void TStyToolButton::SyncHover() {
  if (!flat_ || !Enabled()) return;
  if (FindControlAtScreen(CursorPos()) == this)
    Perform(CM_MOUSEENTER, 0, 0);
  else
    Perform(CM_MOUSELEAVE, 0, 0);
}

// ---------------------------------------------------------------------------------------------
bool TStyToolButton::PressedLook() const {
  return state_ == TStyToolButtonState::bsPressed || state_ == TStyToolButtonState::bsLatched ||
         (state_ == TStyToolButtonState::bsMenuShown && !HasClickHandler());
}

int TStyToolButton::CaptionHeight(const TRect& r) {
  if (!show_caption_ || Caption().empty()) return 0;
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  TRect calc = r;
  return c.DrawText(Caption(), calc, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | DT_CENTER);
}

TRect TStyToolButton::GlyphRect(const TRect& client) {
  TRect r = client;
  if (tool_style_ == TStyToolStyle::tsDropDown) r.Right -= kArrowWidth;
  InflateRect(r, -2, -2);
  TPoint g = GlyphSize();
  int t = CaptionHeight(r);
  int spare = (Height() - (t + g.Y + 4)) / 2;
  int left = r.Left, top = r.Top;
  switch (layout_) {
    case TButtonLayout::blGlyphLeft: left = r.Left + 2; break;
    case TButtonLayout::blGlyphRight: left = r.Right - g.X - 2; break;
    case TButtonLayout::blGlyphTop: top = spare; break;
    case TButtonLayout::blGlyphBottom: top = r.Top + t + spare; break;
  }
  if (layout_ == TButtonLayout::blGlyphTop || layout_ == TButtonLayout::blGlyphBottom)
    left = r.Left + (r.Width() - g.X) / 2;
  else
    top = r.Top + (r.Height() - g.Y) / 2;
  TRect out = Bounds(left, top, g.X, g.Y);
  if (PressedLook()) OffsetRect(out, 1, 1);
  return out;
}

TRect TStyToolButton::CaptionRect(const TRect& client) {
  TRect start = client;
  if (tool_style_ == TStyToolStyle::tsDropDown) start.Right -= kArrowWidth;
  InflateRect(start, -2, -2);
  TRect r = start;
  TPoint g = GlyphSize();
  if (ImageList() && image_index_ != -1) {
    int t = CaptionHeight(start);
    int spare = (Height() - (t + g.Y + 4)) / 2;
    switch (layout_) {
      case TButtonLayout::blGlyphLeft: r.Left += g.X + 4; break;
      case TButtonLayout::blGlyphRight: r.Right -= g.X + 4; break;
      case TButtonLayout::blGlyphTop:
        r.Top = start.Top + spare + g.Y;
        r.Bottom = r.Top + t;
        break;
      case TButtonLayout::blGlyphBottom:
        r.Top = start.Top + spare;
        r.Bottom = r.Top + t;
        break;
    }
  }
  if (PressedLook()) OffsetRect(r, 1, 1);
  return r;
}

void TStyToolButton::DrawButtonFrame(TRect& rect) {
  TCanvas& c = Canvas();
  bool sunk = state_ == TStyToolButtonState::bsPressed || state_ == TStyToolButtonState::bsLatched;
  if (flat_) {
    if (sunk)
      rect = PaintFrame(c, rect, TFrameStyleEx::fsStatus);
    else if (mouse_over_ && state_ != TStyToolButtonState::bsDisabled)
      rect = PaintFrame(c, rect, TFrameStyleEx::fsPopup);
  } else {
    rect = PaintFrame(c, rect, sunk ? TFrameStyleEx::fsLowered : TFrameStyleEx::fsButtonUp);
  }
}

void TStyToolButton::DrawImage(const TRect& rect) {
  TCustomImageList* list = ImageList();
  if (!list || image_index_ == -1) return;
  TCanvas& c = Canvas();
  bool hot = hot_index_ != -1 && mouse_over_ && Enabled();
  if (PressedLook() && down_index_ != -1) {
    list->Draw(c, rect.Left, rect.Top, down_index_, true);
  } else if (disabled_index_ == -1) {
    list->Draw(c, rect.Left, rect.Top, hot ? hot_index_ : image_index_, Enabled());
  } else {
    int index = Enabled() ? (hot ? hot_index_ : image_index_) : disabled_index_;
    list->Draw(c, rect.Left, rect.Top, index, true);
  }
}

void TStyToolButton::DrawDropDownPart() {
  TCanvas& c = Canvas();
  TRect client = ClientRect();
  bool pressed = state_ == TStyToolButtonState::bsPressed;
  auto line = [&](TColor col, int x) {
    c.Pen().Color = col;
    c.MoveTo(x, client.Top);
    c.LineTo(x, client.Bottom);
  };
  if (state_ == TStyToolButtonState::bsMenuShown) {
    if (HasClickHandler()) line(clBtnShadow, Width() - kArrowWidth - 1);
    TRect arrow = HasClickHandler() ? TRect{Width() - kArrowWidth, 0, Width(), Height()} : client;
    PaintFrame(c, arrow, TFrameStyleEx::fsStatus);
  } else if (((flat_ && mouse_over_ && Enabled()) || (!flat_ && Enabled())) && HasClickHandler()) {
    int x = Width() - kArrowWidth + (pressed ? 1 : 0);
    if (!pressed) line(clBtnHighlight, x);
    line(clBtnShadow, x - 1);
  }
  int ax = client.Right - 8, ay = client.Top + client.Height() / 2 + 2;
  if (pressed || state_ == TStyToolButtonState::bsMenuShown) ++ax, ++ay;
  TColor saved = c.Brush().Color;
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Enabled() ? clWindowText : clBtnShadow;
  c.Pen().Style = TPenStyle::psClear;
  c.Polygon({{ax, ay}, {ax - 2, ay - 2}, {ax + 2, ay - 2}});
  c.Pen().Style = TPenStyle::psSolid;
  c.Brush().Color = saved;
}

void TStyToolButton::DrawCaptionText(const TRect& rect) {
  if (!show_caption_) return;
  TCanvas& c = Canvas();
  c.Brush().Style = TBrushStyle::bsClear;
  c.Font().Assign(Font());
  if (state_ == TStyToolButtonState::bsPressed) c.Font().SetColor(clHighlightText);
  if (!Enabled()) c.Font().SetColor(clBtnShadow);
  uint32_t flags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_EXPANDTABS;
  if (UseRightToLeftReading()) flags |= DT_RTLREADING | DT_RIGHT;
  TRect calc = rect;
  int h = c.DrawText(Caption(), calc, flags | DT_CALCRECT);
  TRect r = rect;
  r.Top = (rect.Top + rect.Bottom - h) >> 1;
  r.Bottom = r.Top + h;
  c.DrawText(Caption(), r, flags);
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyToolButton::Paint() {
  if (!Enabled()) {
    state_ = TStyToolButtonState::bsDisabled;
    dragging_ = false;
  } else if (state_ == TStyToolButtonState::bsDisabled) {
    state_ = down_ && group_index_ != 0 ? TStyToolButtonState::bsLatched : TStyToolButtonState::bsUp;
  }
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  DrawButtonFrame(r);
  c.Brush().Style = TBrushStyle::bsSolid;
  if (!transparent_) {
    c.Brush().Color = Color();
    c.FillRect(r);
  }
  if (state_ == TStyToolButtonState::bsLatched && (!flat_ || !mouse_over_)) {
    c.Brush().Bitmap =
        transparent_ ? DitherBrush(clBtnFace, clBtnHighlight) : DitherBrush(Color(), LightenColor(Color(), 20));
    c.FillRect(r);
    c.Brush().Bitmap.reset();
  }
  if (tool_style_ == TStyToolStyle::tsDropDown) DrawDropDownPart();
  TRect client = ClientRect();
  DrawImage(GlyphRect(client));
  DrawCaptionText(CaptionRect(client));
}

}  // namespace qv
