#pragma once
// Menus: a tree of items under a main menu (shown as the form's menu bar) or a popup menu.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"

namespace qv {

class TMenu;

// Where an item starts a new menu column: mbBarBreak draws a line between the columns.
enum class TMenuBreak { mbNone, mbBreak, mbBarBreak };

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;
  std::string ClassName() const override { return "TMenuItem"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c);
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool RadioItem() const { return radio_item_; }
  void SetRadioItem(bool v) { radio_item_ = v; }
  int GroupIndex() const { return group_index_; }
  void SetGroupIndex(int v) { group_index_ = v; }
  bool IsLine() const { return caption_ == "-"; }
  TMenuBreak Break() const { return break_; }
  void SetBreak(TMenuBreak v);

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  TMenuItem* Parent() const { return parent_; }
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  void Delete(int index);
  void Clear();
  int IndexOf(const TMenuItem* item) const;
  // The direct sub-item with that caption ("&" ignored), or null.
  TMenuItem* Find(const std::string& caption) const;
  // The item and its sub-items, searched by component name (ignoring case).
  TMenuItem* FindByName(const std::string& name);

  virtual void Click();
  std::function<void(TComponent*)> OnClick;

  // The menu this item belongs to (through its parents), or null.
  TMenu* Menu() const;

private:
  friend class TMenu;
  void Changed();
  std::string caption_;
  bool checked_ = false, enabled_ = true, visible_ = true, radio_item_ = false;
  int group_index_ = 0;
  TMenuBreak break_ = TMenuBreak::mbNone;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;
};

class TMenu : public TComponent {
public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  TMenuItem* Items() const { return items_; }
  TMenuItem* FindItemByName(const std::string& name) const { return items_->FindByName(name); }
  // Called after any item of the menu changed; between BeginUpdate and the matching EndUpdate
  // once at the end, when an item changed in between.
  std::function<void()> OnItemsChanged;
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();

private:
  friend class TMenuItem;
  TMenuItem* items_;
  int update_count_ = 0;
  bool changed_in_update_ = false;
};

// BeginUpdate and EndUpdate of a menu (none for null) for one scope.
class TMenuUpdate {
public:
  explicit TMenuUpdate(TMenu* menu) : menu_(menu) {
    if (menu_) menu_->BeginUpdate();
  }
  ~TMenuUpdate() {
    if (menu_) menu_->EndUpdate();
  }
  TMenuUpdate(const TMenuUpdate&) = delete;
  TMenuUpdate& operator=(const TMenuUpdate&) = delete;

private:
  TMenu* menu_;
};

class TMainMenu : public TMenu {
public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  std::string ClassName() const override { return "TMainMenu"; }
};

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* owner) : TMenu(owner) {}
  std::string ClassName() const override { return "TPopupMenu"; }
  // Shows the menu at a screen point and returns when it closes (a chosen item has clicked).
  virtual void Popup(int x, int y);
  TComponent* PopupComponent() const { return popup_component_; }
  void SetPopupComponent(TComponent* c) { popup_component_ = c; }
  std::function<void(TComponent*)> OnPopup;

private:
  TComponent* popup_component_ = nullptr;
};

// Tests replace the modal menu: the hook runs instead of showing it and may click an item.
using TPopupMenuHook = std::function<void(TPopupMenu* menu, int x, int y)>;
void SetPopupMenuHook(TPopupMenuHook hook);

// Writes a PNG of the items as their menu shows them (for the screenshot tools).
bool SaveMenuImage(TMenuItem* items, const std::string& png_file);

}  // namespace qv
