#include "platform/gui/user_input.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <cstdio>

#include "platform/gui/controls_private.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/qt_private.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

namespace {

Qt::KeyboardModifiers Modifiers(TShiftState shift) {
  Qt::KeyboardModifiers mods;
  if (shift & ssShift) mods |= Qt::ShiftModifier;
  if (shift & ssCtrl) mods |= Qt::ControlModifier;
  if (shift & ssAlt) mods |= Qt::AltModifier;
  return mods;
}

void Fail(const std::string& what) { std::fprintf(stderr, "user input: %s\n", what.c_str()); }

// Where a client point of the control lies: its top-level window and the point in that window.
bool Locate(const TControl* control, TPoint client, QWindow*& window, QPoint& at) {
  EnsureGui();
  const TWinControl* host = dynamic_cast<const TWinControl*>(control);
  TPoint p = client;
  if (!host) {
    host = control->Parent();
    if (!host) {
      Fail("a windowless control without a parent: " + control->Name());
      return false;
    }
    p.X += control->Left();
    p.Y += control->Top();
  }
  const TPoint off = host->ClientOffset();
  QWidget* widget = const_cast<TWinControl*>(host)->Impl().widget;
  QWidget* top = widget->window();
  window = top->windowHandle();
  if (!window || !top->isVisible()) {
    Fail("the window of " + control->Name() + " is not shown");
    return false;
  }
  at = widget->mapTo(top, QPoint(p.X + off.X, p.Y + off.Y));
  return true;
}

// The window the keyboard types into: the topmost modal one, else the focused one.
QWindow* KeyWindow() {
  EnsureGui();
  QWidget* w = QApplication::activePopupWidget();
  if (!w) w = QApplication::activeModalWidget();
  if (!w && QApplication::focusWidget()) w = QApplication::focusWidget()->window();
  if (!w) w = QApplication::activeWindow();
  if (w && w->windowHandle()) return w->windowHandle();
  return QGuiApplication::focusWindow();
}

std::string Plain(const QString& text) {
  QString t = text;
  t.remove(QLatin1Char('&'));
  return t.toStdString();
}

// Clicks the centre of a rectangle of a widget, through the widget's top-level window.
bool ClickWidgetRect(QWidget* widget, const QRect& r) {
  QWidget* top = widget->window();
  QWindow* window = top->windowHandle();
  if (!window || !widget->isVisible()) return false;
  const QPoint at = widget->mapTo(top, r.center());
  QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
  return true;
}

QAction* ActionByText(const QList<QAction*>& actions, const std::string& caption) {
  for (QAction* a : actions)
    if (!a->isSeparator() && a->text().toStdString() == caption) return a;
  return nullptr;
}

// The menu that a menu entry opened, shown as a pop-up now. Opening a menu may rebuild the menus
// (the program refreshes items when a menu drops down), so the entry is looked up again by its
// caption among the actions of its holder rather than kept across the events.
QMenu* OpenMenu(QWidget* holder, const std::string& caption) {
  for (int pass = 0; pass < 2; ++pass) {
    if (pass) QApplication::processEvents();
    if (QApplication::activePopupWidget()) {
      if (auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        QAction* owner = holder ? ActionByText(holder->actions(), caption) : nullptr;
        if (owner && owner->menu() == open) return open;
      }
    }
    QAction* action = holder ? ActionByText(holder->actions(), caption) : nullptr;
    QMenu* menu = action ? action->menu() : nullptr;
    if (menu && menu->isVisible()) return menu;
  }
  return nullptr;
}

}  // namespace

TPoint CentreOf(const TControl* control) { return {control->Width() / 2, control->Height() / 2}; }

void UserClick(TControl* control) { UserClick(control, CentreOf(control)); }

void UserClick(TControl* control, TPoint client, TShiftState shift) {
  QWindow* window = nullptr;
  QPoint at;
  if (!Locate(control, client, window, at)) return;
  QPointer<QWindow> alive = window;
  QTest::mousePress(window, Qt::LeftButton, Modifiers(shift), at);
  // The press may have closed the window (a modal answer) or opened a loop that ended.
  if (alive) QTest::mouseRelease(window, Qt::LeftButton, Modifiers(shift), at);
}

void UserDoubleClick(TControl* control, TPoint client) {
  QWindow* window = nullptr;
  QPoint at;
  if (!Locate(control, client, window, at)) return;
  QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, at);
}

void UserRightClick(TControl* control, TPoint client) {
  QWindow* window = nullptr;
  QPoint at;
  if (!Locate(control, client, window, at)) return;
  QPointer<QWindow> alive = window;
  QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, at);
  if (alive) QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, at);
}

void UserPress(TControl* control, TPoint client) {
  QWindow* window = nullptr;
  QPoint at;
  if (Locate(control, client, window, at)) QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at);
}

void UserWheel(TControl* control, TPoint client, int notches) {
  QWindow* window = nullptr;
  QPoint at;
  if (!Locate(control, client, window, at)) return;
  // The top-level window takes it as from the window system and hands it to the widget there.
  QWheelEvent event(QPointF(at), QPointF(window->mapToGlobal(at)), QPoint(), QPoint(0, notches * 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QGuiApplication::sendEvent(window, &event);
}

void UserMove(TControl* control, TPoint client) {
  QWindow* window = nullptr;
  QPoint at;
  if (Locate(control, client, window, at)) QTest::mouseMove(window, at);
}

void UserRelease(TControl* control, TPoint client) {
  QWindow* window = nullptr;
  QPoint at;
  if (Locate(control, client, window, at)) QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
}

bool UserClickListItem(TListBox* list, int index) {
  auto* l = qobject_cast<QListWidget*>(list->Impl().native);
  if (!l || index < 0 || index >= l->count()) {
    Fail("no entry " + std::to_string(index) + " in " + list->Name());
    return false;
  }
  const QRect first = l->visualItemRect(l->item(0));
  if (!ClickWidgetRect(l->viewport(), first.isValid() ? first : l->viewport()->rect())) return false;
  QWindow* window = l->window()->windowHandle();
  QTest::keyClick(window, Qt::Key_Home);
  for (int i = 0; i < index; ++i) QTest::keyClick(window, Qt::Key_Down);
  return ClickWidgetRect(l->viewport(), l->visualItemRect(l->item(index)));
}

void UserKey(uint16_t virtual_key, TShiftState shift) {
  QWindow* window = KeyWindow();
  if (!window) {
    Fail("no window has the keyboard");
    return;
  }
  QTest::keyClick(window, static_cast<Qt::Key>(QtKey(virtual_key)), Modifiers(shift));
}

void UserType(const std::string& text) {
  for (char ch : text) {
    QWindow* window = KeyWindow();
    if (!window) {
      Fail("no window has the keyboard");
      return;
    }
    QTest::keyClick(window, ch);
  }
}

void UserRetype(TControl* edit, const std::string& text) {
  UserClick(edit);
  UserKey(VK_END);
  UserKey(VK_HOME, ssShift);
  UserType(text);
}

bool UserChooseMenu(TMenuItem* item) {
  EnsureGui();
  std::vector<TMenuItem*> path;
  for (TMenuItem* i = item; i && i->Parent(); i = i->Parent()) path.insert(path.begin(), i);
  if (path.empty()) return false;
  // The form whose menu bar shows the top item.
  QMenuBar* bar = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    for (QMenuBar* b : top->findChildren<QMenuBar*>())
      if (ActionByText(b->actions(), path[0]->Caption())) bar = b;
  }
  if (!bar) {
    Fail("no menu bar shows " + path[0]->Caption());
    return false;
  }
  QAction* action = ActionByText(bar->actions(), path[0]->Caption());
  if (!action->isEnabled() || !ClickWidgetRect(bar, bar->actionGeometry(action))) {
    Fail("menu not enabled: " + path[0]->Caption());
    return false;
  }
  QMenu* menu = OpenMenu(bar, path[0]->Caption());
  for (size_t level = 1; level < path.size(); ++level) {
    if (!menu) {
      Fail("menu did not open above " + path[level]->Caption());
      return false;
    }
    QAction* a = ActionByText(menu->actions(), path[level]->Caption());
    if (!a || !a->isEnabled() || !a->isVisible()) {
      Fail("menu item not shown or not enabled: " + path[level]->Caption());
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
      return false;
    }
    // The click on the last item runs its command, which may open a modal loop of its own.
    QPointer<QMenu> holder = menu;
    ClickWidgetRect(menu, menu->actionGeometry(a));
    if (level + 1 < path.size()) menu = holder ? OpenMenu(holder, path[level]->Caption()) : nullptr;
  }
  return true;
}

bool UserChoosePopupItem(const std::string& caption) {
  EnsureGui();
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  QAction* a = menu ? ActionByText(menu->actions(), caption) : nullptr;
  if (!a || !a->isEnabled()) {
    Fail("no enabled pop-up entry " + caption);
    return false;
  }
  return ClickWidgetRect(menu, menu->actionGeometry(a));
}

bool TopModalWindow(TModalWindow& out) {
  EnsureGui();
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) return false;
  out = TModalWindow();
  out.Id = modal;
  for (TWinControl* w : TopLevels())
    if (w->Impl().widget == modal) out.Form = dynamic_cast<TForm*>(w);
  if (auto* box = qobject_cast<QMessageBox*>(modal))
    out.Text = box->text().toStdString();
  else
    out.Text = modal->windowTitle().toStdString();
  for (QAbstractButton* b : modal->findChildren<QAbstractButton*>())
    if (b->isVisible() && !b->text().isEmpty()) out.Buttons.push_back(Plain(b->text()));
  return true;
}

bool UserClickDialogButton(const std::string& caption) {
  EnsureGui();
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) {
    Fail("no modal window for the button " + caption);
    return false;
  }
  for (QAbstractButton* b : modal->findChildren<QAbstractButton*>())
    if (b->isVisible() && b->isEnabled() && Plain(b->text()) == caption) return ClickWidgetRect(b, b->rect());
  Fail("no button " + caption + " in the modal window");
  return false;
}

}  // namespace qv
