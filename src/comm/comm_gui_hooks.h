#pragma once
// The communication layer's only way to the GUI. The layer builds without the GUI: the program
// installs these hooks at start-up (InstallCommGuiHooks of the communication forms). While a
// hook is empty its call does nothing, as in the tools and tests that run without a GUI.
#include <functional>
#include <memory>
#include <vector>

namespace qv {

class TMenuItem;

// A menu item bound to a model object: shown and enabled as the object says, its click calls
// the function it was bound with. Dropping the binding takes the click back. An item freed
// first (its window went) is forgotten: Item() answers null and the calls do nothing.
class TBoundMenuItem {
public:
  virtual ~TBoundMenuItem() = default;
  virtual TMenuItem* Item() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetVisible(bool visible) = 0;
};

// Binds a menu item to a click.
extern std::function<std::unique_ptr<TBoundMenuItem>(TMenuItem* item, std::function<void()> click)> BindMenuItemProc;
// Begins one rebuild of the menu that holds the bound items (the first that has a menu); the
// answer ends it.
extern std::function<std::function<void()>(const std::vector<TBoundMenuItem*>& items)> BeginMenuUpdateProc;
// Shows the busy cursor; the answer puts the one before back.
extern std::function<std::function<void()>()> BusyCursorProc;
// Lets the main loop handle what waits for it.
extern std::function<void()> ProcessGuiMessagesProc;
// The system's warning sound.
extern std::function<void()> MessageBeepProc;

// Null when the hook is empty or the item is null.
std::unique_ptr<TBoundMenuItem> BindMenuItem(TMenuItem* item, std::function<void()> click);
void ProcessGuiMessages();
void WarningBeep();

// The busy cursor while it lives.
class TBusyCursor {
public:
  TBusyCursor();
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
  std::function<void()> restore_;
};

// One rebuild of the items' menu while it lives.
class TBoundMenuUpdate {
public:
  explicit TBoundMenuUpdate(const std::vector<TBoundMenuItem*>& items);
  ~TBoundMenuUpdate();
  TBoundMenuUpdate(const TBoundMenuUpdate&) = delete;
  TBoundMenuUpdate& operator=(const TBoundMenuUpdate&) = delete;

private:
  std::function<void()> end_;
};

}  // namespace qv
