#include "platform/gui/forms.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>

#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"

namespace qv {

#if defined(__SANITIZE_ADDRESS__)
// The font configuration library keeps its caches until the process ends, and so does the
// desktop bus library that Qt uses on a real X display.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libdbus-1\n"; }
#endif

void FillMenuBarMenu(QMenu* menu, TMenuItem* items);

bool SaveWindowImage(TWinControl* window, const std::string& png_file) {
  QV_GUI_THREAD();
  return window->Impl().widget->grab().save(QString::fromStdString(png_file), "PNG");
}

void GrabWindowImage(TWinControl* window, TBitmap& into) {
  QV_GUI_THREAD();
  const QImage image = window->Impl().widget->grab().toImage();
  into.SetSize(image.width(), image.height());
  {
    QPainter p(&BitmapImage(into));
    p.drawImage(0, 0, image);
  }
  into.Changed();
}

// ---------------------------------------------------------------------------------------------
void TApplication::Run() {
  QV_GUI_THREAD();
  if (main_form_ && ShowMainForm) main_form_->Show();
  if (terminated_) return;
  // A loop that starts owes one idle pass once it runs dry.
  MarkGuiBusy();
  SetMainLoopRunning(true);
  QApplication::exec();
  SetMainLoopRunning(false);
}

// ---------------------------------------------------------------------------------------------
TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetColor(clBtnFace);
  SetBounds(0, 0, 320, 240);
  SetVisible(false);
  Screen->forms_.push_back(this);
  Impl().on_close_request = [this] { Close(); };
}

TForm::~TForm() {
  if (OnDestroy) GuardedCall([this] { OnDestroy(this); });
  if (menu_) menu_->OnItemsChanged = nullptr;
  BeginDestroy();
  Unregister();
}

void TForm::Unregister() {
  auto& f = Screen->forms_;
  f.erase(std::remove(f.begin(), f.end(), this), f.end());
  auto& waiting = WaitingReleases();
  waiting.erase(std::remove(waiting.begin(), waiting.end(), this), waiting.end());
  if (Application->main_form_ == this) Application->main_form_ = nullptr;
}

void TForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == menu_) {
    menu_ = nullptr;
    RebuildMenuBar();
  }
  if (component == active_control_) active_control_ = nullptr;
}

void TForm::SetVisible(bool visible) {
  if (visible == Visible()) return;
  TWinControl::SetVisible(visible);
  QWidget* w = Impl().widget;
  if (visible) {
    // OnShow may still size the form (or maximise it): it is placed after, and shown last.
    if (OnShow) OnShow(this);
    if (!Visible()) return;
    if (mdi_sub_) {
      // A sub-window of a frame: its frame is the sub-window's.
      w->show();
      static_cast<QWidget*>(mdi_sub_)->show();
      return;
    }
    PlaceOnShow();
    w->show();
    // The form's active control takes the focus once the window system has shown the window (the
    // widget goes with the form, so the call never outlives it).
    QMetaObject::invokeMethod(
        w,
        [this] {
          GuardedCall([&] {
            if (active_control_ && Visible()) active_control_->SetFocus();
          });
        },
        Qt::QueuedConnection);
  } else {
    if (mdi_sub_) static_cast<QWidget*>(mdi_sub_)->hide();
    w->hide();
    if (OnHide) OnHide(this);
  }
}

void TForm::SetText(const std::string& text) {
  TWinControl::SetText(text);
  Impl().widget->setWindowTitle(QString::fromStdString(text));
}

void TForm::Show() {
  SetVisible(true);
  if (mdi_sub_) static_cast<QWidget*>(mdi_sub_)->raise();
  Impl().widget->raise();
}

namespace {
TRect ToRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }

// The room the window system's frame takes around a window's client area: known once a window was
// shown; until then that of another shown window stands in for it (one window manager frames both).
TRect FrameMargins(const QWidget* w) {
  const QWidget* known = w->isVisible() ? w : nullptr;
  if (!known)
    for (const QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible() && top->isWindow() && top->frameGeometry() != top->geometry()) {
        known = top;
        break;
      }
  if (!known) return TRect{};
  const QRect f = known->frameGeometry(), g = known->geometry();
  return TRect{g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

// The work area of the monitor nearest to a point.
TRect WorkAreaNear(TPoint p) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  const QScreen* best = QGuiApplication::primaryScreen();
  long best_d = -1;
  for (const QScreen* s : screens) {
    const QRect g = s->geometry();
    const long dx = p.X < g.left() ? g.left() - p.X : p.X > g.right() ? p.X - g.right() : 0;
    const long dy = p.Y < g.top() ? g.top() - p.Y : p.Y > g.bottom() ? p.Y - g.bottom() : 0;
    if (best_d < 0 || dx * dx + dy * dy < best_d) {
      best = s;
      best_d = dx * dx + dy * dy;
    }
  }
  return ToRect(best->availableGeometry());
}

// Whether some monitor's work area holds a stretch of the window's top edge: its title bar, by
// which the user moves it.
bool TopEdgeOnScreen(const TRect& outer) {
  for (const QScreen* s : QGuiApplication::screens()) {
    const TRect a = ToRect(s->availableGeometry());
    if (outer.Top >= a.Top && outer.Top < a.Bottom && outer.Left < a.Right && outer.Right > a.Left) return true;
  }
  return false;
}

// Moves the outer rectangle into the area as far as its size allows (its top-left corner first).
TRect KeepInside(const TRect& outer, const TRect& area) {
  const int left = std::max(area.Left, std::min(outer.Left, area.Right - outer.Width()));
  const int top = std::max(area.Top, std::min(outer.Top, area.Bottom - outer.Height()));
  return Bounds(left, top, outer.Width(), outer.Height());
}

TPoint Centre(const TRect& r) { return {r.Left + r.Width() / 2, r.Top + r.Height() / 2}; }
}  // namespace

TRect WindowFrameRect(const TForm* form) { return ToRect(form->Impl().widget->frameGeometry()); }

void TForm::PlaceOnShow() {
  QWidget* w = Impl().widget;
  Qt::WindowFlags flags = Qt::Window;
  switch (form_border_style_) {
    case TBorderStyle::bsNone: flags |= Qt::FramelessWindowHint; break;
    case TBorderStyle::bsDialog: flags = Qt::Dialog; break;
    case TBorderStyle::bsToolWindow:
    case TBorderStyle::bsSizeToolWin: flags = Qt::Tool; break;
    default: break;
  }
  if (w->windowFlags() != flags) w->setWindowFlags(flags);
  if (Parent() || w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
  // Left and Top are the frame's corner; the outer rectangle adds the frame to the client size.
  const TRect m = FrameMargins(w);
  const int outer_w = Width() + m.Left + m.Right, outer_h = Height() + m.Top + m.Bottom;
  TRect outer = Bounds(Left(), Top(), outer_w, outer_h);
  const bool centred = position_ == TPosition::poScreenCenter || position_ == TPosition::poDesktopCenter ||
                       position_ == TPosition::poMainFormCenter || position_ == TPosition::poOwnerFormCenter;
  if (centred) {
    TRect area{0, 0, Screen->Width(), Screen->Height()};
    TForm* center_on = position_ == TPosition::poMainFormCenter    ? Application->MainForm()
                       : position_ == TPosition::poOwnerFormCenter ? dynamic_cast<TForm*>(Owner())
                                                                   : nullptr;
    if (position_ == TPosition::poOwnerFormCenter && !center_on) center_on = Application->MainForm();
    if (center_on && center_on != this && center_on->Visible()) area = WindowFrameRect(center_on);
    outer =
        Bounds(area.Left + (area.Width() - outer_w) / 2, area.Top + (area.Height() - outer_h) / 2, outer_w, outer_h);
    // A dialog lies wholly on the screen, whatever it is centred on.
    outer = KeepInside(outer, WorkAreaNear(Centre(outer)));
  } else if (!TopEdgeOnScreen(outer)) {
    // A stored position off every screen (another monitor set-up) comes back to the nearest one.
    outer = KeepInside(outer, WorkAreaNear(Centre(outer)));
  }
  if (outer.Left != Left() || outer.Top != Top()) SetBounds(outer.Left, outer.Top, Width(), Height());
}

int TForm::ShowModal() {
  QV_GUI_THREAD();
  if (Visible() || modal_) throw EComponentError("Cannot make a visible window modal");
  modal_ = true;
  modal_result_ = mrNone;
  Impl().widget->setWindowModality(Qt::ApplicationModal);
  Show();
  TCloseAction action = TCloseAction::caHide;
  {
    NestedLoop nested;
    QEventLoop loop;
    while (!Application->Terminated()) {
      if (modal_result_ != mrNone) {
        action = TCloseAction::caHide;
        if (CloseQuery())
          DoClose(action);
        else
          action = TCloseAction::caNone;
        if (action != TCloseAction::caNone) break;
        modal_result_ = mrNone;
      }
      loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
  Hide();
  Impl().widget->setWindowModality(Qt::NonModal);
  modal_ = false;
  // Freed from the loop, so that the caller can still read the form.
  if (action == TCloseAction::caFree || release_after_modal_) {
    release_after_modal_ = false;
    Release();
  }
  return modal_result_;
}

void TForm::SetModalResult(int result) {
  modal_result_ = result;
  if (modal_ && result != mrNone) QAbstractEventDispatcher::instance()->wakeUp();
}

bool TForm::CloseQuery() {
  bool can_close = true;
  if (OnCloseQuery) OnCloseQuery(this, can_close);
  return can_close;
}

void TForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TForm::Close() {
  if (modal_) {
    SetModalResult(mrCancel);
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = Application->MainForm() == this ? TCloseAction::caFree : TCloseAction::caHide;
  DoClose(action);
  if (action == TCloseAction::caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
    case TCloseAction::caFree: Release(); break;
    default: break;
  }
}

void TForm::Release() {
  release_depth_ = NestedLoopDepth();
  PostMessage(CM_RELEASE, reinterpret_cast<uintptr_t>(static_cast<TComponent*>(this)), 0);
}

void TForm::SetFormBorderStyle(TBorderStyle style) { form_border_style_ = style; }

TWindowState TForm::WindowState() const {
  QWidget* w = mdi_sub_ ? static_cast<QWidget*>(mdi_sub_) : Impl().widget;
  if (w->isMaximized()) return TWindowState::wsMaximized;
  if (w->isMinimized()) return TWindowState::wsMinimized;
  return TWindowState::wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
  QWidget* w = mdi_sub_ ? static_cast<QWidget*>(mdi_sub_) : Impl().widget;
  switch (state) {
    case TWindowState::wsMaximized: w->setWindowState(Qt::WindowMaximized); break;
    case TWindowState::wsMinimized: w->setWindowState(Qt::WindowMinimized); break;
    default: w->setWindowState(Qt::WindowNoState); break;
  }
}

void TForm::StartSystemResize() {
  ++system_resize_requests_;
  QWindow* win = Impl().widget->windowHandle();
  if (win && QGuiApplication::platformName() != "offscreen") win->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
}

void TForm::SetMenu(TMainMenu* menu) {
  if (menu_) menu_->OnItemsChanged = nullptr;
  menu_ = menu;
  if (menu_) {
    FreeNotification(menu_);
    menu_->OnItemsChanged = [this] { RebuildMenuBar(); };
  }
  RebuildMenuBar();
}

void TForm::RebuildMenuBar() {
  auto* bar = static_cast<QMenuBar*>(menu_bar_);
  // Old menus are freed later: a rebuild may run inside one of their own item's clicks, also from
  // a modal loop that the click opened.
  if (!menu_) {
    if (bar) DeleteLaterOutsideLoops(bar);
    menu_bar_ = nullptr;
  } else {
    if (!bar) {
      bar = new QMenuBar(Impl().widget);
      menu_bar_ = bar;
    }
    const auto old_menus = bar->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    bar->clear();
    for (QMenu* old : old_menus) DeleteLaterOutsideLoops(old);
    TMenuItem* items = menu_->Items();
    for (int i = 0; i < items->Count(); ++i) {
      TMenuItem* item = items->Items(i);
      if (!item->Visible()) continue;
      QMenu* m = bar->addMenu(QString::fromStdString(item->Caption()));
      m->setEnabled(item->Enabled());
      FillMenuBarMenu(m, item);
    }
    bar->setGeometry(0, 0, Width(), bar->sizeHint().height());
    bar->show();
  }
  RecalcNonClient();
}

void TForm::SetActiveControl(TWinControl* c) {
  active_control_ = c;
  if (c) {
    FreeNotification(c);
    c->SetFocus();
  }
}

void TForm::WndProc(TMessage& m) {
  if (m.Msg == WM_NCCALCSIZE) {
    // The menu bar takes the top of the window.
    if (auto* bar = static_cast<QMenuBar*>(menu_bar_)) {
      reinterpret_cast<TRect*>(m.LParam)->Top += bar->sizeHint().height();
      bar->setGeometry(0, 0, Width(), bar->sizeHint().height());
    }
    return;
  }
  if (m.Msg == CM_RELEASE && modal_ && m.WParam == reinterpret_cast<uintptr_t>(static_cast<TComponent*>(this))) {
    // ShowModal still runs on this form: it frees the form once it returns.
    release_after_modal_ = true;
    return;
  }
  if (m.Msg == CM_RELEASE && NestedLoopDepth() > release_depth_ &&
      m.WParam == reinterpret_cast<uintptr_t>(static_cast<TComponent*>(this))) {
    // A loop that began after the release runs: the releasing handler has not returned yet.
    auto& waiting = WaitingReleases();
    if (std::find(waiting.begin(), waiting.end(), this) == waiting.end()) waiting.push_back(this);
    return;
  }
  if (m.Msg == WM_SYSCOMMAND && (m.WParam & 0xFFF0) == SC_SIZE) {
    StartSystemResize();
    return;
  }
  TWinControl::WndProc(m);
}

TForm* GetParentForm(const TControl* control) {
  const TControl* c = control;
  while (c && c->Parent()) c = c->Parent();
  return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

// ---------------------------------------------------------------------------------------------
void TScreen::SetCursor(TCursor c) {
  if (c == cursor_) return;
  if (cursor_ != crDefault) QApplication::restoreOverrideCursor();
  cursor_ = c;
  if (c == crDefault) return;
  Qt::CursorShape shape = Qt::ArrowCursor;
  switch (c) {
    case crHourGlass: shape = Qt::WaitCursor; break;
    case crSizeNWSE: shape = Qt::SizeFDiagCursor; break;
    case crSizeNESW: shape = Qt::SizeBDiagCursor; break;
    case crSizeWE:
    case crHSplit: shape = Qt::SizeHorCursor; break;
    case crSizeNS:
    case crVSplit: shape = Qt::SizeVerCursor; break;
    case crIBeam: shape = Qt::IBeamCursor; break;
    case crCross: shape = Qt::CrossCursor; break;
    case crHandPoint: shape = Qt::PointingHandCursor; break;
    case crDrag: shape = Qt::DragMoveCursor; break;
    default: break;
  }
  QApplication::setOverrideCursor(QCursor(shape));
}

int TScreen::Width() const { return QGuiApplication::primaryScreen()->geometry().width(); }
int TScreen::Height() const { return QGuiApplication::primaryScreen()->geometry().height(); }
int TScreen::MonitorCount() const { return static_cast<int>(QGuiApplication::screens().size()); }
TMonitor TScreen::Monitors(int index) const {
  QScreen* s = QGuiApplication::screens().at(index);
  QRect g = s->geometry(), a = s->availableGeometry();
  return {Bounds(g.x(), g.y(), g.width(), g.height()), Bounds(a.x(), a.y(), a.width(), a.height())};
}
int TScreen::MonitorFromPoint(TPoint p) const {
  for (int i = 0; i < MonitorCount(); ++i)
    if (Monitors(i).BoundsRect.Contains(p)) return i;
  return -1;
}
int TScreen::MonitorFromWindow(const TControl* control) const {
  TPoint c = control->ClientToScreen({control->Width() / 2, control->Height() / 2});
  int best = 0;
  long best_d = -1;
  for (int i = 0; i < MonitorCount(); ++i) {
    TRect b = Monitors(i).BoundsRect;
    long dx = c.X < b.Left ? b.Left - c.X : c.X >= b.Right ? c.X - b.Right + 1 : 0;
    long dy = c.Y < b.Top ? b.Top - c.Y : c.Y >= b.Bottom ? c.Y - b.Bottom + 1 : 0;
    long d = dx * dx + dy * dy;
    if (best_d < 0 || d < best_d) {
      best = i;
      best_d = d;
    }
  }
  return best;
}

// ---------------------------------------------------------------------------------------------
TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  EnsureGui();
  QV_GUI_THREAD();  // a timer ticks in the thread that made it, which runs no loop elsewhere
  auto* t = new QTimer;
  QObject::connect(t, &QTimer::timeout, [this] { Timer(); });
  timer_ = t;
  Update();
}
TTimer::~TTimer() {
  BeginDestroy();
  delete static_cast<QTimer*>(timer_);
}
void TTimer::SetInterval(uint32_t ms) {
  if (!StoreChanged(interval_, ms)) return;
  Update();
}
void TTimer::SetEnabled(bool e) {
  if (!StoreChanged(enabled_, e)) return;
  Update();
}
void TTimer::Update() {
  QV_GUI_THREAD();
  auto* t = static_cast<QTimer*>(timer_);
  t->stop();
  if (enabled_ && interval_ > 0 && OnTimer)
    t->start(static_cast<int>(interval_));
  else if (enabled_ && interval_ > 0)
    t->start(static_cast<int>(interval_));
}
void TTimer::Timer() {
  auto handler = OnTimer;  // the handler may replace itself
  GuardedCall([&] {
    if (handler) handler(this);
  });
}

}  // namespace qv
