#include "platform/gui/menus.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <algorithm>
#include <utility>

#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {
TPopupMenuHook& Hook() {
  static TPopupMenuHook hook;
  return hook;
}
std::string StripAmpersand(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return out;
}
}  // namespace

void SetPopupMenuHook(TPopupMenuHook hook) { Hook() = std::move(hook); }

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}
TMenuItem::~TMenuItem() {
  BeginDestroy();
  while (!items_.empty()) {
    TMenuItem* i = items_.back();
    items_.pop_back();
    i->parent_ = nullptr;
    if (!i->Owner()) delete i;
  }
  if (parent_) parent_->Remove(this);
}

void TMenuItem::Changed() {
  TMenu* m = Menu();
  if (!m) return;
  if (m->update_count_ > 0) {
    m->changed_in_update_ = true;
    return;
  }
  if (m->OnItemsChanged) m->OnItemsChanged();
}
void TMenuItem::SetCaption(const std::string& c) {
  if (!StoreChanged(caption_, c)) return;
  Changed();
}
void TMenuItem::SetChecked(bool v) {
  if (!StoreChanged(checked_, v)) return;
  if (v && radio_item_ && parent_)
    for (TMenuItem* s : parent_->items_)
      if (s != this && s->radio_item_ && s->group_index_ == group_index_) s->checked_ = false;
  Changed();
}
void TMenuItem::SetEnabled(bool v) {
  if (!StoreChanged(enabled_, v)) return;
  Changed();
}
void TMenuItem::SetVisible(bool v) {
  if (!StoreChanged(visible_, v)) return;
  Changed();
}
void TMenuItem::SetBreak(TMenuBreak v) {
  if (!StoreChanged(break_, v)) return;
  Changed();
}
void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }
void TMenuItem::Insert(int index, TMenuItem* item) {
  if (item->parent_) item->parent_->Remove(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  Changed();
}
void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  Changed();
}
void TMenuItem::Delete(int index) { Remove(Items(index)); }
void TMenuItem::Clear() {
  while (!items_.empty()) {
    TMenuItem* i = items_.back();
    Remove(i);
    delete i;
  }
}
int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}
TMenuItem* TMenuItem::Find(const std::string& caption) const {
  for (TMenuItem* i : items_)
    if (SameText(StripAmpersand(i->caption_), StripAmpersand(caption))) return i;
  return nullptr;
}
TMenuItem* TMenuItem::FindByName(const std::string& name) {
  if (!Name().empty() && SameText(Name(), name)) return this;
  for (TMenuItem* i : items_)
    if (TMenuItem* f = i->FindByName(name)) return f;
  return nullptr;
}
void TMenuItem::Click() {
  if (enabled_ && OnClick) OnClick(this);
}
TMenu* TMenuItem::Menu() const {
  const TMenuItem* i = this;
  while (i->parent_) i = i->parent_;
  return i->menu_;
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) { items_->menu_ = this; }
void TMenu::EndUpdate() {
  if (update_count_ == 0 || --update_count_ > 0 || !std::exchange(changed_in_update_, false)) return;
  if (OnItemsChanged) OnItemsChanged();
}

TMenu::~TMenu() {
  BeginDestroy();
  delete items_;
}

namespace {
void FillQMenu(QMenu* menu, TMenuItem* items);

// Whether a visible item after the first of the level starts a new column.
bool HasColumns(const TMenuItem* items) {
  bool first = true;
  for (int i = 0; i < items->Count(); ++i) {
    const TMenuItem* item = items->Items(i);
    if (!item->Visible()) continue;
    if (!first && item->Break() != TMenuBreak::mbNone) return true;
    first = false;
  }
  return false;
}

QFrame* MenuLine(QFrame::Shape shape) {
  auto* line = new QFrame;
  line->setFrameShape(shape);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// Qt menus know no columns: a level whose items start new columns is shown as one panel with a
// column of flat buttons per menu column (a checked entry shows pressed). A click closes every open menu, as a chosen entry does.
void FillColumns(QMenu* menu, TMenuItem* items) {
  auto* panel = new QWidget;
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(2);
  QVBoxLayout* column = nullptr;
  for (int i = 0; i < items->Count(); ++i) {
    TMenuItem* item = items->Items(i);
    if (!item->Visible()) continue;
    if (!column || item->Break() != TMenuBreak::mbNone) {
      if (column) {
        column->addStretch();
        if (item->Break() == TMenuBreak::mbBarBreak) row->addWidget(MenuLine(QFrame::VLine));
      }
      column = new QVBoxLayout;
      column->setSpacing(0);
      row->addLayout(column);
    }
    if (item->IsLine()) {
      column->addWidget(MenuLine(QFrame::HLine));
      continue;
    }
    auto* button = new QPushButton(QString::fromStdString(item->Caption()));
    button->setFlat(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setStyleSheet("text-align: left; padding: 3px 16px 3px 6px;");
    button->setEnabled(item->Enabled());
    button->setCheckable(item->Checked());
    button->setChecked(item->Checked());
    if (item->Count() > 0) {
      auto* sub = new QMenu(button);
      FillQMenu(sub, item);
      button->setMenu(sub);
    } else {
      QObject::connect(button, &QPushButton::clicked, menu, [item] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* open = qobject_cast<QMenu*>(w); open && open->isVisible()) open->close();
        MenuCommand command;
        GuardedCall([item] { item->Click(); });
      });
    }
    column->addWidget(button);
  }
  if (column) column->addStretch();
  auto* action = new QWidgetAction(menu);
  action->setDefaultWidget(panel);
  menu->addAction(action);
}

void FillQMenu(QMenu* menu, TMenuItem* items) {
  if (HasColumns(items)) {
    FillColumns(menu, items);
    return;
  }
  for (int i = 0; i < items->Count(); ++i) {
    TMenuItem* item = items->Items(i);
    if (!item->Visible()) continue;
    if (item->IsLine()) {
      menu->addSeparator();
      continue;
    }
    QString text = QString::fromStdString(item->Caption());
    if (item->Count() > 0) {
      QMenu* sub = menu->addMenu(text);
      sub->setEnabled(item->Enabled());
      FillQMenu(sub, item);
      continue;
    }
    QAction* a = menu->addAction(text);
    a->setEnabled(item->Enabled());
    a->setCheckable(item->Checked());
    a->setChecked(item->Checked());
    QObject::connect(a, &QAction::triggered, [item] {
      MenuCommand command;
      GuardedCall([item] { item->Click(); });
    });
  }
}
}  // namespace

void TPopupMenu::Popup(int x, int y) {
  EnsureGui();
  QV_GUI_THREAD();
  if (OnPopup) OnPopup(this);
  if (Hook()) {
    Hook()(this, x, y);
    return;
  }
  QMenu menu;
  FillQMenu(&menu, Items());
  NestedLoop nested;
  menu.exec(QPoint(x, y));
}

bool SaveMenuImage(TMenuItem* items, const std::string& png_file) {
  EnsureGui();
  QV_GUI_THREAD();
  QMenu menu;
  FillQMenu(&menu, items);
  menu.popup(QPoint(0, 0));
  QApplication::processEvents();
  const bool ok = menu.grab().save(QString::fromStdString(png_file), "PNG");
  menu.close();
  return ok;
}

// Used by the forms to build a menu bar.
void FillMenuBarMenu(QMenu* menu, TMenuItem* items) { FillQMenu(menu, items); }

}  // namespace qv
