#include "platform/gui/controls.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <algorithm>

#include "platform/gui/actions.h"
#include "platform/gui/controls_private.h"
#include "platform/gui/menus.h"
#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"

namespace qv {

// Windowed controls: TWinControl and TCustomControl.

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
    tab_list_.push_back(w);
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
  tab_list_.erase(std::remove(tab_list_.begin(), tab_list_.end(), control), tab_list_.end());
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
      // A window's Left and Top are its frame's corner, its Width and Height its client size: so
      // move and resize take them (setGeometry would put the client area at the corner). Only a
      // change is passed on, so that a maximised window stays maximised.
      if (w->pos() != QPoint(Left(), Top())) w->move(Left(), Top());
      if (w->size() != QSize(Width(), Height())) w->resize(Width(), Height());
    }
  }
  if (win_->native)
    win_->native->setGeometry(nc_.Left, nc_.Top, WindowClientRect().Width(), WindowClientRect().Height());
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
  static constexpr TAlign kOrder[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight,
                                      TAlign::alClient};
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
  const auto& list = Parent()->tab_list_;
  const auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!Parent()) return;
  auto& list = Parent()->tab_list_;
  const auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
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
  if (win_->native)
    win_->native->setFocus(Qt::OtherFocusReason);
  else
    win_->widget->setFocus(Qt::OtherFocusReason);
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

void TWinControl::PostMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  ::qv::PostMessage(hwnd_, msg, wparam, lparam);
}

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

}  // namespace qv
