#include "platform/gui/mdi.h"

#include <QMdiArea>
#include <QIcon>
#include <QMdiSubWindow>
#include <QPixmap>
#include <algorithm>

#include "platform/gui/forms.h"
#include "platform/gui/qt_private.h"

namespace qv {

namespace {
QMdiSubWindow* SubOf(const TForm* form) { return static_cast<QMdiSubWindow*>(form->MdiSubWindow()); }
// Title bar and frame heights of a minimised sub-window.
constexpr int IconWidth = 160;
}  // namespace

TMdiArea::TMdiArea(TComponent* owner) : TWinControl(owner) {
  auto* area = new QMdiArea;
  area->setBackground(QBrush(ToQColor(clAppWorkSpace)));
  Impl().native = area;
  area->setParent(Impl().widget);
  area->setGeometry(0, 0, Width(), Height());
  area->show();
  QObject::connect(area, &QMdiArea::subWindowActivated, [this](QMdiSubWindow* sub) {
    GuardedCall([&] {
      TForm* now = nullptr;
      for (TForm* f : children_)
        if (SubOf(f) == sub) now = f;
      if (!now && sub) return;
      if (now == last_active_) return;
      last_active_ = now;
      if (OnActiveChildChange) OnActiveChildChange(this);
    });
  });
}

TMdiArea::~TMdiArea() {
  BeginDestroy();
  for (TForm* f : children_) f->RemoveFreeNotification(this);
}

void TMdiArea::AddChild(TForm* form) {
  auto* area = static_cast<QMdiArea*>(Impl().native);
  QWidget* w = form->Impl().widget;
  w->setWindowFlags(Qt::Widget);
  QMdiSubWindow* sub = area->addSubWindow(w);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  // No application icon in the title bar: a blank one keeps the title where it is.
  QPixmap blank(16, 16);
  blank.fill(Qt::transparent);
  sub->setWindowIcon(QIcon(blank));
  sub->resize(form->Width() + 8, form->Height() + 30);
  sub->hide();
  form->SetMdiSubWindow(sub);
  form->FreeNotification(this);
  children_.push_back(form);
}

void TMdiArea::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  auto it = std::find(children_.begin(), children_.end(), component);
  if (it != children_.end()) Remove(*it);
}

void TMdiArea::Remove(TForm* form) {
  children_.erase(std::remove(children_.begin(), children_.end(), form), children_.end());
  if (QMdiSubWindow* sub = SubOf(form)) {
    sub->setWidget(nullptr);
    form->SetMdiSubWindow(nullptr);
    sub->deleteLater();
  }
  if (last_active_ == form) {
    last_active_ = nullptr;
    if (OnActiveChildChange) OnActiveChildChange(this);
  }
}

TRect TMdiArea::ChildBounds(int index) const {
  const QRect r = SubOf(Children(index))->geometry();
  return Bounds(r.x(), r.y(), r.width(), r.height());
}

TForm* TMdiArea::ActiveChild() const {
  auto* area = static_cast<QMdiArea*>(Impl().native);
  QMdiSubWindow* current = area->currentSubWindow();
  for (TForm* f : children_)
    if (SubOf(f) == current) return f;
  return last_active_;
}

void TMdiArea::SetActiveChild(TForm* form) {
  auto* area = static_cast<QMdiArea*>(Impl().native);
  if (form && SubOf(form)) area->setActiveSubWindow(SubOf(form));
  if (form != last_active_) {
    last_active_ = form;
    if (OnActiveChildChange) OnActiveChildChange(this);
  }
}

std::vector<TForm*> TMdiArea::Shown() const {
  std::vector<TForm*> shown;
  for (TForm* f : children_)
    if (SubOf(f) && SubOf(f)->isVisible()) shown.push_back(f);
  // The active one ends on top.
  TForm* active = ActiveChild();
  auto it = std::find(shown.begin(), shown.end(), active);
  if (it != shown.end()) std::rotate(it, it + 1, shown.end());
  return shown;
}

void TMdiArea::Cascade() {
  const std::vector<TForm*> shown = Shown();
  const int step = 24, w = Width() * 2 / 3, h = Height() * 2 / 3;
  int x = 0, y = 0;
  for (TForm* f : shown) {
    QMdiSubWindow* sub = SubOf(f);
    sub->showNormal();
    if (y + h > Height()) x = y = 0;
    sub->setGeometry(x, y, std::max(w, 100), std::max(h, 60));
    sub->raise();
    x += step, y += step;
  }
}

void TMdiArea::TileHorizontal() {
  const std::vector<TForm*> shown = Shown();
  const int n = static_cast<int>(shown.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* sub = SubOf(shown[static_cast<size_t>(i)]);
    sub->showNormal();
    const int top = Height() * i / n, bottom = Height() * (i + 1) / n;
    sub->setGeometry(0, top, Width(), bottom - top);
  }
}

void TMdiArea::TileVertical() {
  const std::vector<TForm*> shown = Shown();
  const int n = static_cast<int>(shown.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* sub = SubOf(shown[static_cast<size_t>(i)]);
    sub->showNormal();
    const int left = Width() * i / n, right = Width() * (i + 1) / n;
    sub->setGeometry(left, 0, right - left, Height());
  }
}

void TMdiArea::MinimizeAll() {
  for (TForm* f : children_)
    if (SubOf(f)->isVisible()) SubOf(f)->showMinimized();
  ArrangeIcons();
}

void TMdiArea::ArrangeIcons() {
  int x = 0;
  for (TForm* f : children_) {
    QMdiSubWindow* sub = SubOf(f);
    if (!sub->isVisible() || !sub->isMinimized()) continue;
    const int h = sub->height();
    sub->move(x, Height() - h);
    x += IconWidth;
  }
}

}  // namespace qv
