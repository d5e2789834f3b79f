#include "platform/gui/controls.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <algorithm>

#include "platform/gui/actions.h"
#include "platform/gui/menus.h"
#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {
TControl* g_capture = nullptr;
bool g_cursor_set = false;
TPoint g_cursor;

TShiftState ShiftFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (mods & Qt::ShiftModifier) s |= ssShift;
  if (mods & Qt::ControlModifier) s |= ssCtrl;
  if (mods & Qt::AltModifier) s |= ssAlt;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}
uintptr_t KeysFromShift(TShiftState s) {
  uintptr_t k = 0;
  if (s & ssLeft) k |= MK_LBUTTON;
  if (s & ssRight) k |= MK_RBUTTON;
  if (s & ssMiddle) k |= MK_MBUTTON;
  if (s & ssShift) k |= MK_SHIFT;
  if (s & ssCtrl) k |= MK_CONTROL;
  return k;
}
TShiftState ShiftFromKeys(uintptr_t k) {
  TShiftState s = 0;
  if (k & MK_LBUTTON) s |= ssLeft;
  if (k & MK_RBUTTON) s |= ssRight;
  if (k & MK_MBUTTON) s |= ssMiddle;
  if (k & MK_SHIFT) s |= ssShift;
  if (k & MK_CONTROL) s |= ssCtrl;
  return s;
}

uint16_t VirtualKey(int qt_key) {
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return static_cast<uint16_t>('A' + (qt_key - Qt::Key_A));
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return static_cast<uint16_t>('0' + (qt_key - Qt::Key_0));
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12) return static_cast<uint16_t>(VK_F1 + (qt_key - Qt::Key_F1));
  switch (qt_key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
  }
}

int QtKey(uint16_t vk) {
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
  if (vk >= VK_F1 && vk < VK_F1 + 12) return Qt::Key_F1 + (vk - VK_F1);
  static constexpr int kKeys[] = {Qt::Key_Backspace, Qt::Key_Tab, Qt::Key_Return, Qt::Key_Shift, Qt::Key_Control,
                                  Qt::Key_Alt, Qt::Key_Escape, Qt::Key_Space, Qt::Key_PageUp, Qt::Key_PageDown,
                                  Qt::Key_End, Qt::Key_Home, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down,
                                  Qt::Key_Insert, Qt::Key_Delete};
  for (int k : kKeys)
    if (VirtualKey(k) == vk) return k;
  return Qt::Key_unknown;
}

std::vector<TWinControl*>& TopLevels() {
  static std::vector<TWinControl*> list;
  return list;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
TControl::TControl(TComponent* owner) : TComponent(owner) {
  EnsureGui();
  QV_GUI_THREAD();
  font_.OnChange = [this](TFont*) {
    parent_font_ = false;
    Perform(CM_FONTCHANGED, 0, 0);
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
      TMessage m{CM_PARENTFONTCHANGED, 0, 0, 0};
      w->Broadcast(m);
    }
  };
}

TControl::~TControl() {
  BeginDestroy();
  if (action_) action_->RemoveClient(this);
  if (g_capture == this) g_capture = nullptr;
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EComponentError("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  QV_GUI_THREAD();
  width = std::max(0, width);
  height = std::max(0, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  bool resized = width != width_ || height != height_;
  TRect old = BoundsRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (auto* w = dynamic_cast<TWinControl*>(this)) {
    w->ApplyBounds();
  } else if (parent_ && visible_) {
    parent_->InvalidateRect(old, true);
    parent_->InvalidateRect(BoundsRect(), true);
  }
  if (resized) Resize();
  if (auto* w = dynamic_cast<TWinControl*>(this)) w->Perform(WM_WINDOWPOSCHANGED, 0, 0);
  RequestAlign();
}

void TControl::RequestAlign() {
  if (parent_ && !parent_->aligning_) parent_->AlignChildren();
}

TPoint TControl::ClientToScreen(TPoint p) const {
  TPoint o = ClientOriginInParent();
  p.X += o.X;
  p.Y += o.Y;
  if (parent_) return parent_->ClientToScreen(p);
  if (auto* w = dynamic_cast<const TWinControl*>(this)) {
    QPoint g = w->Impl().widget->mapToGlobal(QPoint(0, 0));
    return {p.X - left_ + g.x() + w->ClientOffset().X, p.Y - top_ + g.y() + w->ClientOffset().Y};
  }
  return p;
}
TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint o = ClientToScreen({0, 0});
  return {p.X - o.X, p.Y - o.Y};
}

void TControl::SetAlign(TAlign align) {
  if (!StoreChanged(align_, align)) return;
  RequestAlign();
}

void TControl::SetVisible(bool visible) {
  QV_GUI_THREAD();
  if (!StoreChanged(visible_, visible)) return;
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0, 0);
  if (parent_) {
    parent_->InvalidateRect(BoundsRect(), true);
    RequestAlign();
  }
}

bool TControl::Showing() const {
  if (!visible_) return false;
  if (parent_) return parent_->Showing();
  if (auto* w = dynamic_cast<const TWinControl*>(this)) return w->Impl().widget->isVisible();
  return false;
}

void TControl::SetEnabled(bool enabled) {
  if (!StoreChanged(enabled_, enabled)) return;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string& text) {
  if (!StoreChanged(caption_, text)) return;
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetColor(TColor color) {
  if (color == color_) {
    parent_color_ = false;
    return;
  }
  color_ = color;
  parent_color_ = false;
  Perform(CM_COLORCHANGED, 0, 0);
  if (auto* w = dynamic_cast<TWinControl*>(this)) {
    TMessage m{CM_PARENTCOLORCHANGED, 0, 0, 0};
    w->Broadcast(m);
  }
}

void TControl::SetParentColor(bool v) {
  if (!StoreChanged(parent_color_, v)) return;
  if (v && parent_) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!parent_color_ || !parent_) return;
  if (color_ != parent_->Color()) {
    color_ = parent_->Color();
    Perform(CM_COLORCHANGED, 0, 0);
  }
  if (auto* w = dynamic_cast<TWinControl*>(this)) {
    TMessage m{CM_PARENTCOLORCHANGED, 0, 0, 0};
    w->Broadcast(m);
  }
}

void TControl::SetParentFont(bool v) {
  if (!StoreChanged(parent_font_, v)) return;
  if (v && parent_) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::CMParentFontChanged(TMessage&) {
  if (!parent_font_ || !parent_) return;
  auto handler = std::move(font_.OnChange);
  bool changed = !(font_ == parent_->Font());
  font_.Assign(parent_->Font());
  font_.OnChange = std::move(handler);
  if (changed) Perform(CM_FONTCHANGED, 0, 0);
  if (auto* w = dynamic_cast<TWinControl*>(this)) {
    TMessage m{CM_PARENTFONTCHANGED, 0, 0, 0};
    w->Broadcast(m);
  }
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  popup_menu_ = menu;
  if (menu) FreeNotification(menu);
}

void TControl::SetAction(TAction* action) {
  if (action == action_) return;
  if (action_) action_->RemoveClient(this);
  action_ = action;
  if (action) {
    action->AddClient(this);
    FreeNotification(action);
    ActionChange(action, true);
  }
}

void TControl::ActionChange(TAction* sender, bool check_defaults) {
  if (!check_defaults || caption_.empty()) SetText(sender->Caption());
  if (!check_defaults || enabled_) SetEnabled(sender->Enabled());
  if (!check_defaults || hint_.empty()) SetHint(sender->Hint());
  if (!check_defaults || visible_) SetVisible(sender->Visible());
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && action_ && component == action_) action_ = nullptr;
  if (operation == TOperation::opRemove && popup_menu_ && component == popup_menu_) popup_menu_ = nullptr;
}

void TControl::SetCursor(TCursor cursor) { cursor_ = cursor; }

intptr_t TControl::Perform(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  QV_GUI_THREAD();
  TMessage m{msg, wparam, lparam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::PublishProperty(const std::string& name, TPropertySetter setter) {
  for (auto& p : published_)
    if (p.first == name) {
      p.second = std::move(setter);
      return;
    }
  published_.emplace_back(name, std::move(setter));
}
bool TControl::HasPublishedProperty(const std::string& name) const {
  for (const auto& p : published_)
    if (p.first == name) return true;
  return false;
}
bool TControl::SetPublishedBool(const std::string& name, bool value) {
  for (auto& p : published_)
    if (p.first == name && p.second.Bool) return p.second.Bool(value), true;
  return false;
}
bool TControl::SetPublishedColor(const std::string& name, TColor value) {
  for (auto& p : published_)
    if (p.first == name && p.second.Color) return p.second.Color(value), true;
  return false;
}
bool TControl::SetPublishedText(const std::string& name, const std::string& value) {
  for (auto& p : published_)
    if (p.first == name && p.second.Text) return p.second.Text(value), true;
  return false;
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_ENABLEDCHANGED: CMEnabledChanged(m); break;
    case CM_VISIBLECHANGED: CMVisibleChanged(m); break;
    case CM_TEXTCHANGED: CMTextChanged(m); break;
    case CM_FONTCHANGED: CMFontChanged(m); break;
    case CM_COLORCHANGED: CMColorChanged(m); break;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(m); break;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(m); break;
    case CM_MOUSEENTER: CMMouseEnter(m); break;
    case CM_MOUSELEAVE: CMMouseLeave(m); break;
    case CM_HITTEST: CMHitTest(m); break;
    case WM_PAINT: WMPaint(m); break;
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MOUSEMOVE:
      MouseMessage(m);
      break;
    default: break;
  }
}

void TControl::MouseMessage(TMessage& m) {
  int x = LoWordSigned(m.LParam), y = HiWordSigned(m.LParam);
  TShiftState shift = ShiftFromKeys(m.WParam);
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
      if (control_style_ & csCaptureMouse) g_capture = this;
      mouse_pressed_ = true;
      MouseDown(TMouseButton::mbLeft, shift, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      if (control_style_ & csCaptureMouse) g_capture = this;
      mouse_pressed_ = true;
      if (control_style_ & csDoubleClicks) DblClick();
      MouseDown(TMouseButton::mbLeft, shift | ssDouble, x, y);
      break;
    case WM_RBUTTONDOWN: MouseDown(TMouseButton::mbRight, shift, x, y); break;
    case WM_MBUTTONDOWN: MouseDown(TMouseButton::mbMiddle, shift, x, y); break;
    case WM_LBUTTONUP: {
      bool was_pressed = mouse_pressed_;
      mouse_pressed_ = false;
      if (g_capture == this) g_capture = nullptr;
      MouseUp(TMouseButton::mbLeft, shift, x, y);
      if (was_pressed && (control_style_ & csClickEvents) && x >= 0 && y >= 0 && x < width_ && y < height_) Click();
      break;
    }
    case WM_RBUTTONUP: MouseUp(TMouseButton::mbRight, shift, x, y); break;
    case WM_MBUTTONUP: MouseUp(TMouseButton::mbMiddle, shift, x, y); break;
    case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
    default: break;
  }
}

void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}
void TControl::MouseMove(TShiftState s, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, s, x, y);
}
void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}
void TControl::Click() {
  if (OnClick) OnClick(this);
  else if (action_) action_->Execute();
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::Resize() {
  if (OnResize) OnResize(this);
}
void TControl::Changed() {}

void TControl::Invalidate() {}
void TControl::Repaint() {
  Invalidate();
  Update();
}
void TControl::Update() {
  if (parent_) parent_->Update();
}
void TControl::BringToFront() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.push_back(this);
  if (auto* w = dynamic_cast<TWinControl*>(this)) w->Impl().widget->raise();
  Invalidate();
}

bool TControl::MouseCapture() const { return g_capture == this; }
void TControl::SetMouseCapture(bool capture) {
  if (capture) g_capture = this;
  else if (g_capture == this) g_capture = nullptr;
}

void TControl::PaintTo(TCanvas&, int, int) {}

// ---------------------------------------------------------------------------------------------
TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}
TGraphicControl::~TGraphicControl() {
  BeginDestroy();
  if (Parent() && Visible()) Parent()->InvalidateRect(BoundsRect(), true);
}

TCanvas& TGraphicControl::Canvas() {
  if (paint_canvas_) return *paint_canvas_;
  // Outside painting: the parent's window buffer at this control's place.
  static TBitmap detached(1, 1);
  if (!Parent()) return detached.Canvas();
  TCanvas& c = ControlCanvas(Parent());
  c.ResetClip();
  TPoint off = Parent()->ClientOffset();
  c.SetOrigin({off.X + Left(), off.Y + Top()});
  c.IntersectClipRect(Rect(0, 0, Width(), Height()));
  return c;
}

void TGraphicControl::Invalidate() {
  if (Parent() && Visible()) Parent()->InvalidateRect(BoundsRect(), !(control_style_ & csOpaque));
}

void TGraphicControl::WMPaint(TMessage& m) {
  TCanvas* previous = paint_canvas_;
  paint_canvas_ = reinterpret_cast<TCanvas*>(m.WParam);
  try {
    Paint();
  } catch (...) {
    paint_canvas_ = previous;
    throw;
  }
  paint_canvas_ = previous;
}

void TGraphicControl::PaintTo(TCanvas& canvas, int x, int y) {
  canvas.SaveState();
  canvas.MoveOrigin(x, y);
  canvas.IntersectClipRect(Rect(0, 0, Width(), Height()));
  Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&canvas), 0);
  canvas.RestoreState();
}

// ---------------------------------------------------------------------------------------------
TWinControl::TWinControl(TComponent* owner) : TControl(owner), win_(std::make_unique<TWinControlImpl>()) {
  win_->widget = new QvWidget(this);
  win_->widget->hide();
  win_->canvas = std::make_unique<TCanvas>();
  win_->canvas->Impl().image = &win_->buffer;
  TopLevels().push_back(this);
  hwnd_ = AllocateHWnd([this](TMessage& m) { GuardedCall([&] { WndProc(m); }); });
}

TWinControl::~TWinControl() {
  BeginDestroy();
  DeallocateHWnd(hwnd_);
  // Children still here belong to other owners; a parent frees its children.
  while (!controls_.empty()) {
    TControl* c = controls_.back();
    delete c;
  }
  if (Parent()) Parent()->RemoveControl(this);
  auto& tops = TopLevels();
  tops.erase(std::remove(tops.begin(), tops.end(), this), tops.end());
  win_->widget->control = nullptr;
  delete win_->widget;
}

void TWinControl::InsertControl(TControl* control) {
  QV_GUI_THREAD();
  controls_.push_back(control);
  control->SetParentInternal(this);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    auto& tops = TopLevels();
    tops.erase(std::remove(tops.begin(), tops.end(), w), tops.end());
    w->Impl().widget->setParent(win_->widget);
    w->ApplyBounds();
    w->Impl().widget->setVisible(w->Visible());
  } else {
    InvalidateRect(control->BoundsRect(), true);
  }
  control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
  control->Perform(CM_PARENTFONTCHANGED, 0, 0);
  ControlChange(control, true);
  if (control->Align() != TAlign::alNone) AlignChildren();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  if (win_->hover == control) win_->hover = nullptr;
  bool was_visible = control->Visible();
  TRect r = control->BoundsRect();
  controls_.erase(it);
  control->SetParentInternal(nullptr);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    w->Impl().widget->hide();
    w->Impl().widget->setParent(nullptr);
    TopLevels().push_back(w);
  }
  if (!Destroying()) {
    if (was_visible) InvalidateRect(r, true);
    ControlChange(control, false);
    if (control->Align() != TAlign::alNone) AlignChildren();
  }
}

void TWinControl::SetParentInternal(TWinControl* parent) { TControl::SetParentInternal(parent); }

void TWinControl::SetParent(TWinControl* parent) { TControl::SetParent(parent); }

void TWinControl::Broadcast(TMessage& message) {
  std::vector<TControl*> list = controls_;
  for (TControl* c : list) {
    if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
    c->WndProc(message);
    if (message.Result != 0) break;
  }
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allow_disabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || (!allow_disabled && !c->Enabled())) continue;
    if (!c->BoundsRect().Contains(p)) continue;
    if (dynamic_cast<TWinControl*>(c) == nullptr) {
      // A windowless control may refuse the point; it then goes to the one below.
      if (c->Perform(CM_HITTEST, 0, MakeLParam(p.X - c->Left(), p.Y - c->Top())) == 0) continue;
    }
    return c;
  }
  return nullptr;
}

TRect TWinControl::ClientRect() const { return WindowClientRect(); }
TRect TWinControl::WindowClientRect() const {
  return TRect{0, 0, std::max(0, Width() - nc_.Left - nc_.Right), std::max(0, Height() - nc_.Top - nc_.Bottom)};
}

TPoint TWinControl::ClientOriginInParent() const { return {Left() + nc_.Left, Top() + nc_.Top}; }

void TWinControl::SetBorderStyle(TBorderStyle style) {
  if (!StoreChanged(border_style_, style)) return;
  RecalcNonClient();
}
void TWinControl::SetCtl3D(bool v) {
  if (!StoreChanged(ctl3d_, v)) return;
  RecalcNonClient();
}

void TWinControl::SetBounds(int left, int top, int width, int height) { TControl::SetBounds(left, top, width, height); }

void TWinControl::ApplyBounds() {
  TRect window{0, 0, Width(), Height()};
  TRect client = window;
  Perform(WM_NCCALCSIZE, 0, reinterpret_cast<intptr_t>(&client));
  nc_ = TRect{client.Left, client.Top, Width() - client.Right, Height() - client.Bottom};
  QWidget* w = win_->widget;
  if (!win_->syncing) {
    if (Parent()) {
      TPoint off = Parent()->ClientOffset();
      w->setGeometry(off.X + Left(), off.Y + Top(), Width(), Height());
    } else {
      w->setGeometry(Left(), Top(), Width(), Height());
    }
  }
  if (win_->native) win_->native->setGeometry(nc_.Left, nc_.Top, WindowClientRect().Width(), WindowClientRect().Height());
  for (TControl* c : controls_)
    if (auto* cw = dynamic_cast<TWinControl*>(c)) cw->ApplyBounds();
  win_->dirty = true;
  w->update();
}

void TWinControl::RecalcNonClient() {
  ApplyBounds();
  AlignChildren();
  Invalidate();
}

void TWinControl::Resize() {
  AlignChildren();
  TControl::Resize();
}

void TWinControl::EnableAlign() {
  if (align_disabled_ > 0) --align_disabled_;
  if (align_disabled_ == 0 && align_pending_) AlignChildren();
}

void TWinControl::Realign() { AlignChildren(); }

void TWinControl::AlignChildren() {
  if (align_disabled_ > 0) {
    align_pending_ = true;
    return;
  }
  if (aligning_) return;
  align_pending_ = false;
  aligning_ = true;
  TRect r = ClientRect();
  try {
    AdjustClientRect(r);
    AlignControls(nullptr, r);
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

void TWinControl::AlignControls(TControl* /*control*/, TRect& rect) {
  static constexpr TAlign kOrder[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient};
  for (TAlign a : kOrder) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->Align() == a && c->Visible()) list.push_back(c);
    auto key = [a](TControl* c) {
      switch (a) {
        case TAlign::alTop: return c->Top();
        case TAlign::alBottom: return -(c->Top() + c->Height());
        case TAlign::alLeft: return c->Left();
        case TAlign::alRight: return -(c->Left() + c->Width());
        default: return 0;
      }
    };
    std::stable_sort(list.begin(), list.end(), [&](TControl* x, TControl* y) { return key(x) < key(y); });
    for (TControl* c : list) {
      int w = rect.Width(), h = rect.Height();
      switch (a) {
        case TAlign::alTop:
          c->SetBounds(rect.Left, rect.Top, w, c->Height());
          rect.Top += c->Height();
          break;
        case TAlign::alBottom:
          c->SetBounds(rect.Left, rect.Bottom - c->Height(), w, c->Height());
          rect.Bottom -= c->Height();
          break;
        case TAlign::alLeft:
          c->SetBounds(rect.Left, rect.Top, c->Width(), h);
          rect.Left += c->Width();
          break;
        case TAlign::alRight:
          c->SetBounds(rect.Right - c->Width(), rect.Top, c->Width(), h);
          rect.Right -= c->Width();
          break;
        case TAlign::alClient: c->SetBounds(rect.Left, rect.Top, w, h); break;
        default: break;
      }
    }
  }
}

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  int order = 0;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c == this) return order;
    if (dynamic_cast<TWinControl*>(c)) ++order;
  }
  return -1;
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}
bool TWinControl::Focused() const {
  QWidget* f = QApplication::focusWidget();
  return f && (f == win_->widget || (win_->native && f == win_->native));
}
void TWinControl::SetFocus() {
  if (!CanFocus()) return;
  if (win_->native) win_->native->setFocus(Qt::OtherFocusReason);
  else win_->widget->setFocus(Qt::OtherFocusReason);
}

void TWinControl::Invalidate() {
  QV_GUI_THREAD();
  win_->dirty = true;
  win_->widget->update();
}
void TWinControl::InvalidateRect(const TRect& /*r*/, bool /*erase*/) { Invalidate(); }
void TWinControl::Update() {
  if (win_->widget->isVisible()) win_->widget->repaint();
}

void TWinControl::PostMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam) { ::qv::PostMessage(hwnd_, msg, wparam, lparam); }

void TWinControl::PaintNonClient(TCanvas& whole) { Perform(WM_NCPAINT, 0, reinterpret_cast<intptr_t>(&whole)); }

void TWinControl::PaintTo(TCanvas& canvas, int x, int y) {
  canvas.SaveState();
  canvas.MoveOrigin(x, y);
  canvas.IntersectClipRect(Rect(0, 0, Width(), Height()));
  PaintNonClient(canvas);
  canvas.MoveOrigin(nc_.Left, nc_.Top);
  canvas.IntersectClipRect(WindowClientRect());
  TCanvas* previous = paint_canvas_;
  paint_canvas_ = &canvas;
  try {
    Perform(WM_ERASEBKGND, reinterpret_cast<uintptr_t>(&canvas), 0);
    Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&canvas), 0);
    for (TControl* c : controls_)
      if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) w->PaintTo(canvas, w->Left(), w->Top());
  } catch (...) {
    paint_canvas_ = previous;
    canvas.RestoreState();
    throw;
  }
  paint_canvas_ = previous;
  canvas.RestoreState();
}

void TWinControl::PaintWindow(TCanvas& /*canvas*/) {}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE: {
      auto* r = reinterpret_cast<TRect*>(m.LParam);
      int b = border_style_ == TBorderStyle::bsSingle ? (ctl3d_ ? 2 : 1) : 0;
      r->Left += b;
      r->Top += b;
      r->Right -= b;
      r->Bottom -= b;
      return;
    }
    case WM_NCPAINT: {
      if (border_style_ != TBorderStyle::bsSingle) return;
      auto* c = reinterpret_cast<TCanvas*>(m.LParam);
      TRect r = WindowRect();
      // The platform's own edge: sunken 3D, or one dark line.
      c->Pen().Style = TPenStyle::psSolid;
      c->Pen().Width = 1;
      auto ring = [&](TColor ul, TColor lr) {
        c->Pen().Color = ul;
        c->MoveTo(r.Left, r.Bottom - 1);
        c->LineTo(r.Left, r.Top);
        c->LineTo(r.Right - 1, r.Top);
        c->Pen().Color = lr;
        c->LineTo(r.Right - 1, r.Bottom - 1);
        c->LineTo(r.Left, r.Bottom - 1);
        InflateRect(r, -1, -1);
      };
      if (ctl3d_) {
        ring(clBtnShadow, clBtnHighlight);
        ring(cl3DDkShadow, cl3DLight);
      } else {
        ring(clWindowFrame, clWindowFrame);
      }
      return;
    }
    case WM_ERASEBKGND: {
      auto* c = reinterpret_cast<TCanvas*>(m.WParam);
      c->Brush().Style = TBrushStyle::bsSolid;
      c->Brush().Color = Color();
      c->FillRect(WindowClientRect());
      m.Result = 1;
      return;
    }
    case WM_PAINT: {
      auto* c = reinterpret_cast<TCanvas*>(m.WParam);
      PaintWindow(*c);
      for (TControl* child : controls_) {
        if (dynamic_cast<TWinControl*>(child) || !child->Visible()) continue;
        child->PaintTo(*c, child->Left(), child->Top());
      }
      return;
    }
    case WM_SIZE: AlignChildren(); return;
    case WM_KEYDOWN: {
      uint16_t key = static_cast<uint16_t>(m.WParam);
      KeyDown(key, static_cast<TShiftState>(m.LParam));
      m.Result = key;
      return;
    }
    case WM_KEYUP: {
      uint16_t key = static_cast<uint16_t>(m.WParam);
      KeyUp(key, static_cast<TShiftState>(m.LParam));
      m.Result = key;
      return;
    }
    case WM_CHAR: {
      char ch = static_cast<char>(m.WParam);
      KeyPress(ch);
      m.Result = static_cast<unsigned char>(ch);
      return;
    }
    case CM_ENTER: CMEnter(m); return;
    case CM_EXIT: CMExit(m); return;
    case CM_RELEASE: delete reinterpret_cast<TComponent*>(m.WParam); return;
    default: TControl::WndProc(m);
  }
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}
void TWinControl::CMEnter(TMessage&) {
  if (OnEnter) OnEnter(this);
}
void TWinControl::CMExit(TMessage&) {
  if (OnExit) OnExit(this);
}
void TWinControl::CMEnabledChanged(TMessage&) {
  win_->widget->setEnabled(Enabled());
  Invalidate();
}
void TWinControl::CMVisibleChanged(TMessage&) {
  if (Parent()) win_->widget->setVisible(Visible());
}

// ---------------------------------------------------------------------------------------------
TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

TCanvas& TCustomControl::Canvas() {
  if (PaintCanvas()) return *PaintCanvas();
  TCanvas& c = ControlCanvas(this);
  c.ResetClip();
  c.SetOrigin(ClientOffset());
  c.IntersectClipRect(WindowClientRect());
  return c;
}

void TCustomControl::PaintWindow(TCanvas& /*canvas*/) { Paint(); }

TCanvas& ControlCanvas(TControl* control) {
  auto* w = dynamic_cast<TWinControl*>(control);
  if (!w) return static_cast<TGraphicControl*>(control)->Canvas();
  TWinControlImpl& impl = w->Impl();
  QSize size(std::max(1, w->Width()), std::max(1, w->Height()));
  if (impl.buffer.size() != size) {
    impl.buffer = QImage(size, QImage::Format_RGB32);
    impl.buffer.fill(ToQColor(w->Color()));
    impl.dirty = true;
  }
  impl.widget->update();
  return *impl.canvas;
}

TForm* GetParentForm(const TControl* control);  // defined with the forms

TPoint CursorPos() {
  if (g_cursor_set) return g_cursor;
  QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}
void SetCursorPosForTest(TPoint p) {
  g_cursor_set = true;
  g_cursor = p;
}

TControl* FindControlAtScreen(TPoint screen) {
  for (auto it = TopLevels().rbegin(); it != TopLevels().rend(); ++it) {
    TWinControl* top = *it;
    if (!top->Showing()) continue;
    TControl* found = nullptr;
    TWinControl* at = top;
    while (at) {
      TPoint local = at->ScreenToClient(screen);
      if (!at->ClientRect().Contains(local)) break;
      found = at;
      TControl* child = at->ControlAtPos(local);
      if (!child) break;
      found = child;
      at = dynamic_cast<TWinControl*>(child);
    }
    if (found) return found;
  }
  return nullptr;
}

void SendKeyForTest(uint16_t key, char ch, TShiftState shift) {
  QWidget* target = QApplication::focusWidget();
  if (!target) return;
  Qt::KeyboardModifiers mods;
  if (shift & ssShift) mods |= Qt::ShiftModifier;
  if (shift & ssCtrl) mods |= Qt::ControlModifier;
  if (shift & ssAlt) mods |= Qt::AltModifier;
  QString text = ch ? QString(QChar::fromLatin1(ch)) : QString();
  QKeyEvent press(QEvent::KeyPress, QtKey(key), mods, text);
  QApplication::sendEvent(target, &press);
  QPointer<QWidget> alive = target;
  if (!alive) return;
  QKeyEvent release(QEvent::KeyRelease, QtKey(key), mods, text);
  QApplication::sendEvent(target, &release);
}

void ReleaseCapture() {
  g_capture = nullptr;
  if (QWidget* g = QWidget::mouseGrabber()) g->releaseMouse();
}
TControl* CaptureControl() { return g_capture; }

// ---------------------------------------------------------------------------------------------
QvWidget::QvWidget(TWinControl* c) : control(c) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
}

void QvWidget::paintEvent(QPaintEvent*) {
  if (!control) return;
  GuardedCall([&] {
    TWinControlImpl& impl = control->Impl();
    QSize size(std::max(1, width()), std::max(1, height()));
    if (impl.dirty || impl.buffer.size() != size) {
      if (impl.buffer.size() != size) impl.buffer = QImage(size, QImage::Format_RGB32);
      impl.dirty = false;
      impl.canvas->ResetClip();
      impl.canvas->SetOrigin({0, 0});
      TCanvas& c = *impl.canvas;
      c.SaveState();
      // Windowed children are widgets of their own and paint themselves.
      c.IntersectClipRect(Rect(0, 0, width(), height()));
      TMessage nc{WM_NCPAINT, 0, reinterpret_cast<intptr_t>(&c), 0};
      control->WndProc(nc);
      TPoint off = control->ClientOffset();
      c.MoveOrigin(off.X, off.Y);
      c.IntersectClipRect(control->WindowClientRect());
      control->Perform(WM_ERASEBKGND, reinterpret_cast<uintptr_t>(&c), 0);
      control->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&c), 0);
      c.RestoreState();
    }
    QPainter p(this);
    p.drawImage(0, 0, impl.buffer);
  });
}

namespace {
// Sends a mouse message to the control under a client point of `w`: a windowless child or w.
void RouteMouse(QvWidget* qw, uint32_t msg, QMouseEvent* e) {
  TWinControl* w = qw->control;
  if (!w) return;
  QPoint gp = e->globalPosition().toPoint();
  g_cursor = {gp.x(), gp.y()};
  TPoint off = w->ClientOffset();
  TPoint p{static_cast<int>(e->position().x()) - off.X, static_cast<int>(e->position().y()) - off.Y};
  TShiftState shift = ShiftFromQt(e->modifiers(), e->buttons());
  if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
      msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP) {
    if (e->button() == Qt::LeftButton) shift |= ssLeft;
  }
  TControl* target = nullptr;
  if (g_capture && (g_capture == w || g_capture->Parent() == w)) target = g_capture;
  if (!target) {
    if (!w->WindowClientRect().Contains(p) && msg == WM_LBUTTONDOWN) {
      w->Perform(WM_NCLBUTTONDOWN, 0, MakeLParam(p.X, p.Y));
      return;
    }
    TControl* child = w->ControlAtPos(p);
    target = child && !dynamic_cast<TWinControl*>(child) ? child : w;
  }
  if (msg == WM_MOUSEMOVE) {
    TControl* child = w->ControlAtPos(p);
    if (child && dynamic_cast<TWinControl*>(child)) child = nullptr;
    TWinControlImpl& impl = w->Impl();
    if (child != impl.hover) {
      if (impl.hover) impl.hover->Perform(CM_MOUSELEAVE, 0, 0);
      impl.hover = child;
      if (child) child->Perform(CM_MOUSEENTER, 0, 0);
    }
  }
  if (target != w) {
    p.X -= target->Left();
    p.Y -= target->Top();
  }
  target->Perform(msg, KeysFromShift(shift), MakeLParam(p.X, p.Y));
}
uint32_t DownMessage(Qt::MouseButton b) {
  return b == Qt::RightButton ? WM_RBUTTONDOWN : b == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
}
uint32_t UpMessage(Qt::MouseButton b) {
  return b == Qt::RightButton ? WM_RBUTTONUP : b == Qt::MiddleButton ? WM_MBUTTONUP : WM_LBUTTONUP;
}
}  // namespace

void QvWidget::mousePressEvent(QMouseEvent* e) {
  GuardedCall([&] { RouteMouse(this, DownMessage(e->button()), e); });
}
void QvWidget::mouseReleaseEvent(QMouseEvent* e) {
  GuardedCall([&] { RouteMouse(this, UpMessage(e->button()), e); });
}
void QvWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  GuardedCall([&] { RouteMouse(this, e->button() == Qt::LeftButton ? WM_LBUTTONDBLCLK : DownMessage(e->button()), e); });
}
void QvWidget::mouseMoveEvent(QMouseEvent* e) {
  GuardedCall([&] { RouteMouse(this, WM_MOUSEMOVE, e); });
}
void QvWidget::wheelEvent(QWheelEvent* e) {
  GuardedCall([&] {
    if (control) control->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(e->angleDelta().y()) << 16, 0);
  });
}
void QvWidget::enterEvent(QEnterEvent*) {
  GuardedCall([&] {
    if (control) control->Perform(CM_MOUSEENTER, 0, 0);
  });
}
void QvWidget::leaveEvent(QEvent*) {
  GuardedCall([&] {
    if (!control) return;
    TWinControlImpl& impl = control->Impl();
    if (impl.hover) {
      TControl* h = impl.hover;
      impl.hover = nullptr;
      h->Perform(CM_MOUSELEAVE, 0, 0);
    }
    control->Perform(CM_MOUSELEAVE, 0, 0);
  });
}
void QvWidget::keyPressEvent(QKeyEvent* e) {
  GuardedCall([&] {
    if (!control) return;
    TShiftState shift = ShiftFromQt(e->modifiers(), Qt::NoButton);
    uint16_t key = VirtualKey(e->key());
    if (key) key = static_cast<uint16_t>(control->Perform(WM_KEYDOWN, key, shift));
    QByteArray text = e->text().toLatin1();
    if (key != 0 || VirtualKey(e->key()) == 0)
      for (char ch : text) control->Perform(WM_CHAR, static_cast<unsigned char>(ch), 0);
  });
}
void QvWidget::keyReleaseEvent(QKeyEvent* e) {
  GuardedCall([&] {
    if (!control) return;
    uint16_t key = VirtualKey(e->key());
    if (key) control->Perform(WM_KEYUP, key, ShiftFromQt(e->modifiers(), Qt::NoButton));
  });
}
namespace {
// A form being freed hands the focus from child to child as they go; those are no real changes.
bool InFreedForm(const TControl* c) {
  for (; c; c = c->Parent())
    if (c->Destroying()) return true;
  return false;
}
}  // namespace

void QvWidget::focusInEvent(QFocusEvent*) {
  GuardedCall([&] {
    if (control && !InFreedForm(control)) control->Perform(CM_ENTER, 0, 0);
  });
}
void QvWidget::focusOutEvent(QFocusEvent*) {
  GuardedCall([&] {
    if (control && !InFreedForm(control)) control->Perform(CM_EXIT, 0, 0);
  });
}
namespace {
// Watches a native widget (an edit, a list) that fills a control's client area: it holds the focus
// and receives the keys in place of the control's own window.
class NativeInput : public QObject {
public:
  NativeInput(QvWidget* owner, QWidget* native) : QObject(native), owner_(owner) {}

protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (resending_ || !owner_ || !owner_->control || InFreedForm(owner_->control)) return false;
    TWinControl* c = owner_->control;
    switch (e->type()) {
      case QEvent::FocusIn:
      case QEvent::FocusOut:
        // The widget's own pop-up (a combo box's list) leaves the focus with the control.
        if (static_cast<QFocusEvent*>(e)->reason() == Qt::PopupFocusReason) return false;
        GuardedCall([&] { c->Perform(e->type() == QEvent::FocusIn ? CM_ENTER : CM_EXIT, 0, 0); });
        return false;
      case QEvent::KeyPress: return KeyPress(watched, c, static_cast<QKeyEvent*>(e));
      case QEvent::KeyRelease: {
        auto* k = static_cast<QKeyEvent*>(e);
        uint16_t key = VirtualKey(k->key());
        if (!key) return false;
        TShiftState shift = ShiftFromQt(k->modifiers(), Qt::NoButton);
        GuardedCall([&] { key = static_cast<uint16_t>(c->Perform(WM_KEYUP, key, shift)); });
        return key == 0;
      }
      default: return false;
    }
  }

private:
  // As for the control's own window: a key cleared in KeyDown sends no characters, and the widget
  // sees only the characters KeyPress left (changed ones included); answers true to drop the event.
  bool KeyPress(QObject* watched, TWinControl* c, QKeyEvent* e) {
    uint16_t vk = VirtualKey(e->key());
    QByteArray text = e->text().toLatin1();
    QByteArray kept;
    bool stopped = false;
    GuardedCall([&] {
      if (vk && c->Perform(WM_KEYDOWN, vk, ShiftFromQt(e->modifiers(), Qt::NoButton)) == 0) {
        stopped = true;
        return;
      }
      for (char ch : text)
        if (auto r = c->Perform(WM_CHAR, static_cast<unsigned char>(ch), 0)) kept.push_back(static_cast<char>(r));
    });
    if (stopped) return true;
    if (kept == text) return false;
    if (!kept.isEmpty()) {
      QKeyEvent changed(e->type(), e->key(), e->modifiers(), QString::fromLatin1(kept), e->isAutoRepeat(), e->count());
      resending_ = true;
      QCoreApplication::sendEvent(watched, &changed);
      resending_ = false;
    }
    return true;
  }

  QPointer<QvWidget> owner_;
  bool resending_ = false;
};
}  // namespace

void ForwardNativeInput(QvWidget* owner, QWidget* native) { native->installEventFilter(new NativeInput(owner, native)); }

void QvWidget::resizeEvent(QResizeEvent*) {
  GuardedCall([&] {
    if (!control || control->Parent() || !isWindow()) return;
    if (width() == control->Width() && height() == control->Height()) return;
    control->Impl().syncing = true;
    control->SetBounds(control->Left(), control->Top(), width(), height());
    control->Impl().syncing = false;
  });
}
void QvWidget::moveEvent(QMoveEvent*) {
  GuardedCall([&] {
    if (!control || control->Parent() || !isWindow()) return;
    if (x() == control->Left() && y() == control->Top()) return;
    control->Impl().syncing = true;
    control->SetBounds(x(), y(), control->Width(), control->Height());
    control->Impl().syncing = false;
  });
}
void QvWidget::closeEvent(QCloseEvent* e) {
  e->ignore();
  GuardedCall([&] {
    if (control && control->Impl().on_close_request) control->Impl().on_close_request();
  });
}

}  // namespace qv
