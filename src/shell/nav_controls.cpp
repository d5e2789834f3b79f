#include "shell/nav_controls.h"

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

TComponent* TNavButton::Component() const { return button_; }
TComponent* TNavButton::Form() const { return GetParentForm(button_); }
void TNavButton::SetOnClick(std::function<void()> run) {
  button_->OnClick = [run = std::move(run)](TComponent*) { run(); };
}
void TNavButton::SetEnabled(bool enabled) { button_->SetEnabled(enabled); }

TComponent* TNavMenuItem::Component() const { return item_; }
TComponent* TNavMenuItem::Form() const { return dynamic_cast<TForm*>(item_->Owner()); }
void TNavMenuItem::SetOnClick(std::function<void()> run) {
  item_->OnClick = [run = std::move(run)](TComponent*) { run(); };
}
void TNavMenuItem::SetEnabled(bool enabled) { item_->SetEnabled(enabled); }

std::unique_ptr<TNavControl> MakeNavControl(TComponent* component) {
  // Only speed buttons and push buttons run commands among the controls.
  TControl* button = dynamic_cast<TSpeedButton*>(component);
  if (!button) button = dynamic_cast<TButton*>(component);
  if (button) return std::make_unique<TNavButton>(button);
  if (auto* item = dynamic_cast<TMenuItem*>(component)) return std::make_unique<TNavMenuItem>(item);
  return nullptr;
}

}  // namespace qv
