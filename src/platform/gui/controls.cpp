#include "platform/gui/controls.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <algorithm>
#include <unordered_set>

#include "platform/gui/actions.h"
#include "platform/gui/controls_private.h"
#include "platform/gui/menus.h"
#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"

namespace qv {

// What the units of the controls share.
TControl* g_capture = nullptr;
bool g_capture_explicit = false;
bool g_cursor_set = false;
TPoint g_cursor;

std::vector<TWinControl*>& TopLevels() {
  static std::vector<TWinControl*> list;
  return list;
}

namespace {
std::unordered_set<const TControl*>& LiveControls() {
  static std::unordered_set<const TControl*> live;
  return live;
}
}  // namespace

bool ControlAlive(const TControl* control) { return LiveControls().count(control) > 0; }

// ---------------------------------------------------------------------------------------------
TControl::TControl(TComponent* owner) : TComponent(owner) {
  EnsureGui();
  QV_GUI_THREAD();
  LiveControls().insert(this);
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
  LiveControls().erase(this);
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
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: MouseMessage(m); break;
    case WM_CONTEXTMENU: ContextMenu(m); break;
    default: break;
  }
}

void TControl::ContextMenu(TMessage& m) {
  // The control's popup menu, else the nearest parent's, at the screen point of the request.
  if (popup_menu_) {
    popup_menu_->SetPopupComponent(this);
    popup_menu_->Popup(LoWordSigned(m.LParam), HiWordSigned(m.LParam));
    m.Result = 1;
  } else if (parent_) {
    m.Result = parent_->Perform(WM_CONTEXTMENU, m.WParam, m.LParam);
  }
}

void TControl::MouseMessage(TMessage& m) {
  int x = LoWordSigned(m.LParam), y = HiWordSigned(m.LParam);
  TShiftState shift = ShiftFromKeys(m.WParam);
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
      if (control_style_ & csCaptureMouse) {
        g_capture = this;
        g_capture_explicit = false;
      }
      mouse_pressed_ = true;
      MouseDown(TMouseButton::mbLeft, shift, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      if (control_style_ & csCaptureMouse) {
        g_capture = this;
        g_capture_explicit = false;
      }
      mouse_pressed_ = true;
      if (control_style_ & csDoubleClicks) DblClick();
      if (!ControlAlive(this)) break;  // freed by the double click's handler
      MouseDown(TMouseButton::mbLeft, shift | ssDouble, x, y);
      break;
    case WM_RBUTTONDOWN: MouseDown(TMouseButton::mbRight, shift, x, y); break;
    case WM_RBUTTONDBLCLK: MouseDown(TMouseButton::mbRight, shift | ssDouble, x, y); break;
    case WM_MBUTTONDOWN: MouseDown(TMouseButton::mbMiddle, shift, x, y); break;
    case WM_LBUTTONUP: {
      bool was_pressed = mouse_pressed_;
      mouse_pressed_ = false;
      if (g_capture == this) g_capture = nullptr;
      MouseUp(TMouseButton::mbLeft, shift, x, y);
      // The release's handler may have freed the control: a modal loop inside it runs the
      // program's other work.
      if (!ControlAlive(this)) break;
      if (was_pressed && (control_style_ & csClickEvents) && x >= 0 && y >= 0 && x < width_ && y < height_) Click();
      break;
    }
    case WM_RBUTTONUP: {
      MouseUp(TMouseButton::mbRight, shift, x, y);
      if (!ControlAlive(this)) break;
      const TPoint screen = ClientToScreen(TPoint{x, y});
      Perform(WM_CONTEXTMENU, 0, MakeLParam(screen.X, screen.Y));
      break;
    }
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
  if (OnClick)
    OnClick(this);
  else if (action_)
    action_->Execute();
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
  if (capture) {
    g_capture = this;
    g_capture_explicit = true;
  } else if (g_capture == this) {
    g_capture = nullptr;
    g_capture_explicit = false;
  }
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

std::string ControlHintAt(const TWinControl* window, TPoint client) {
  const TControl* source = window->ShowHint() ? window : nullptr;
  const TControl* child = window->ControlAtPos(client);
  if (child && !dynamic_cast<const TWinControl*>(child) && child->ShowHint() && !child->Hint().empty()) source = child;
  if (!source) return "";
  std::string text;
  const std::string& hint = source->Hint();
  for (size_t i = 0; i < hint.size(); ++i) {
    if (hint[i] == '\r') {
      if (i + 1 < hint.size() && hint[i + 1] == '\n') ++i;
      text += '\n';
    } else {
      text += hint[i];
    }
  }
  return text;
}

void SendMouseForTest(TWinControl* window, uint32_t msg, TPoint client, TShiftState shift) {
  QWidget* target = window->Impl().widget;
  const TPoint off = window->ClientOffset();
  const QPointF local(client.X + off.X, client.Y + off.Y);
  const QPointF global = target->mapToGlobal(local);
  Qt::KeyboardModifiers mods;
  if (shift & ssShift) mods |= Qt::ShiftModifier;
  if (shift & ssCtrl) mods |= Qt::ControlModifier;
  const QEvent::Type type = msg == WM_LBUTTONDOWN ? QEvent::MouseButtonPress
                            : msg == WM_LBUTTONUP ? QEvent::MouseButtonRelease
                                                  : QEvent::MouseMove;
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, local, global, button, held, mods);
  QApplication::sendEvent(target, &event);
}

void ReleaseCapture() {
  g_capture = nullptr;
  g_capture_explicit = false;
  if (QWidget* g = QWidget::mouseGrabber()) g->releaseMouse();
}
TControl* CaptureControl() { return g_capture; }

}  // namespace qv
