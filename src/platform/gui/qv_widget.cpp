#include "platform/gui/controls.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolTip>
#include <algorithm>

#include "platform/gui/actions.h"
#include "platform/gui/controls_private.h"
#include "platform/gui/menus.h"
#include "platform/gui/forms.h"
#include "platform/gui/list_ctrls.h"
#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"

namespace qv {

// The Qt bridge: the window of a windowed control and the conversion of Qt's input to window
// messages.

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
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
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
  static constexpr int kKeys[] = {Qt::Key_Backspace, Qt::Key_Tab,    Qt::Key_Return, Qt::Key_Shift,  Qt::Key_Control,
                                  Qt::Key_Alt,       Qt::Key_Escape, Qt::Key_Space,  Qt::Key_PageUp, Qt::Key_PageDown,
                                  Qt::Key_End,       Qt::Key_Home,   Qt::Key_Left,   Qt::Key_Up,     Qt::Key_Right,
                                  Qt::Key_Down,      Qt::Key_Insert, Qt::Key_Delete};
  for (int k : kKeys)
    if (VirtualKey(k) == vk) return k;
  return Qt::Key_unknown;
}

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
  if (g_capture && (g_capture == w || g_capture->Parent() == w)) {
    target = g_capture;
  } else if (g_capture && g_capture_explicit && msg != WM_LBUTTONDOWN && msg != WM_RBUTTONDOWN &&
             msg != WM_MBUTTONDOWN) {
    // A control that took the capture while another window was pressed (a drag that its parent
    // runs) gets the mouse in its own coordinates.
    TControl* capture = g_capture;
    const TPoint cp = capture->ScreenToClient({gp.x(), gp.y()});
    capture->Perform(msg, KeysFromShift(shift), MakeLParam(cp.X, cp.Y));
    return;
  }
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
  GuardedCall([&] {
    const uint32_t msg = e->button() == Qt::LeftButton    ? WM_LBUTTONDBLCLK
                         : e->button() == Qt::RightButton ? WM_RBUTTONDBLCLK
                                                          : DownMessage(e->button());
    RouteMouse(this, msg, e);
  });
}
void QvWidget::mouseMoveEvent(QMouseEvent* e) {
  GuardedCall([&] { RouteMouse(this, WM_MOUSEMOVE, e); });
}
void QvWidget::wheelEvent(QWheelEvent* e) {
  GuardedCall([&] {
    if (control)
      control->Perform(WM_MOUSEWHEEL,
                       (static_cast<uintptr_t>(e->angleDelta().y()) << 16) |
                           KeysFromShift(ShiftFromQt(e->modifiers(), e->buttons())),
                       0);
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
  const TSeenKey seen = native_key;
  native_key = TSeenKey();
  if (seen.event == e && seen.timestamp == e->timestamp() && seen.key == e->key()) return;
  GuardedCall([&] {
    if (!control) return;
    TShiftState shift = ShiftFromQt(e->modifiers(), Qt::NoButton);
    uint16_t key = VirtualKey(e->key());
    if (key) key = static_cast<uint16_t>(control->Perform(WM_KEYDOWN, key, shift));
    if (key && shift == 0 && PressDialogButton(control, key)) return;
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
bool QvWidget::event(QEvent* e) {
  if (e->type() != QEvent::ToolTip) return QWidget::event(e);
  auto* help = static_cast<QHelpEvent*>(e);
  std::string text;
  GuardedCall([&] {
    if (!control || InFreedForm(control)) return;
    const TPoint off = control->ClientOffset();
    text = ControlHintAt(control, {help->pos().x() - off.X, help->pos().y() - off.Y});
  });
  if (text.empty()) {
    QToolTip::hideText();
    e->ignore();
  } else {
    QToolTip::showText(help->globalPos(), QString::fromStdString(text), this);
  }
  return true;
}

bool QvWidget::focusNextPrevChild(bool next) {
  if (!isWindow() || !control) return QWidget::focusNextPrevChild(next);
  // The control that has the focus: the one whose window or native widget holds it.
  TWinControl* from = nullptr;
  for (QWidget* w = QApplication::focusWidget(); w && !from; w = w->parentWidget())
    if (auto* q = dynamic_cast<QvWidget*>(w)) from = q->control;
  if (!from || GetParentForm(from) != control) from = control;
  GuardedCall([&] { SelectNextControl(from, next); });
  return true;
}

void QvWidget::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange && isWindow()) {
    // A window restored from its minimised state is resized as the window system sees it.
    const auto* change = static_cast<QWindowStateChangeEvent*>(e);
    if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
      GuardedCall([&] {
        if (control && !InFreedForm(control) && control->OnResize) control->OnResize(control);
      });
    return;
  }
  if (e->type() != QEvent::ActivationChange || !isWindow() || isActiveWindow()) return;
  GuardedCall([&] {
    if (control && !InFreedForm(control)) control->Perform(WM_CANCELMODE, 0, 0);
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
    const TShiftState shift = ShiftFromQt(e->modifiers(), Qt::NoButton);
    GuardedCall([&] {
      if (vk && c->Perform(WM_KEYDOWN, vk, shift) == 0) {
        stopped = true;
        return;
      }
      // A multi-line edit keeps its Enter for a new line.
      const bool wants_enter = qobject_cast<QPlainTextEdit*>(watched) || qobject_cast<QTextEdit*>(watched);
      if (vk && shift == 0 && !(vk == VK_RETURN && wants_enter) && PressDialogButton(c, vk)) {
        stopped = true;
        return;
      }
      for (char ch : text)
        if (auto r = c->Perform(WM_CHAR, static_cast<unsigned char>(ch), 0)) kept.push_back(static_cast<char>(r));
    });
    if (stopped) return true;
    if (kept == text) {
      // The widget gets the key as it is; should it leave it unused, it comes on to the owner.
      if (owner_) owner_->native_key = QvWidget::TSeenKey{e, e->timestamp(), e->key()};
      return false;
    }
    if (!kept.isEmpty()) {
      QKeyEvent changed(e->type(), e->key(), e->modifiers(), QString::fromLatin1(kept), e->isAutoRepeat(), e->count());
      resending_ = true;
      if (owner_) owner_->native_key = QvWidget::TSeenKey{&changed, changed.timestamp(), changed.key()};
      QCoreApplication::sendEvent(watched, &changed);
      if (owner_) owner_->native_key = QvWidget::TSeenKey();
      resending_ = false;
    }
    return true;
  }

  QPointer<QvWidget> owner_;
  bool resending_ = false;
};
}  // namespace

void ForwardNativeInput(QvWidget* owner, QWidget* native) {
  native->installEventFilter(new NativeInput(owner, native));
}

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
    // A hidden window lies where it was put; while it is being shown, the window system reports
    // passing positions (the frame not yet known).
    if (!control || control->Parent() || !isWindow() || !isVisible()) return;
    // x() and y() are the frame's corner, which is what a window's Left and Top hold.
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
