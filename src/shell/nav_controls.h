#pragma once
// The main window's navigator buttons and menu items as the time navigator drives them.
#include <functional>
#include <memory>

#include "datastore/dt_navigator.h"

namespace qv {

class TControl;
class TMenuItem;

// A speed button or push button.
class TNavButton : public TNavControl {
public:
  explicit TNavButton(TControl* button) : button_(button) {}
  TComponent* Component() const override;
  bool IsMenuItem() const override { return false; }
  TComponent* Form() const override;
  void SetOnClick(std::function<void()> run) override;
  void SetEnabled(bool enabled) override;

private:
  TControl* button_;
};

class TNavMenuItem : public TNavControl {
public:
  explicit TNavMenuItem(TMenuItem* item) : item_(item) {}
  TComponent* Component() const override;
  bool IsMenuItem() const override { return true; }
  TComponent* Form() const override;
  void SetOnClick(std::function<void()> run) override;
  void SetEnabled(bool enabled) override;

private:
  TMenuItem* item_;
};

// The adapter of a speed button, push button or menu item; null for anything else (and null).
std::unique_ptr<TNavControl> MakeNavControl(TComponent* component);

}  // namespace qv
