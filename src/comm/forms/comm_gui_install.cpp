#include "comm/forms/comm_gui_install.h"

#include <memory>
#include <utility>

#include "comm/comm_gui_hooks.h"
#include "platform/gui/forms.h"
#include "platform/gui/list_ctrls.h"
#include "platform/gui/menus.h"

namespace qv {

namespace {

// Binds the click and forgets the item when it is freed first.
class TMenuItemBinding : public TBoundMenuItem, public TComponent {
public:
  TMenuItemBinding(TMenuItem* item, std::function<void()> click) : TComponent(nullptr), item_(item) {
    item_->FreeNotification(this);
    item_->OnClick = [click = std::move(click)](TComponent*) { click(); };
  }
  ~TMenuItemBinding() override {
    BeginDestroy();
    if (!item_) return;
    item_->RemoveFreeNotification(this);
    item_->OnClick = nullptr;
  }
  TMenuItem* Item() const override { return item_; }
  void SetEnabled(bool enabled) override {
    if (item_) item_->SetEnabled(enabled);
  }
  void SetVisible(bool visible) override {
    if (item_) item_->SetVisible(visible);
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == item_) item_ = nullptr;
  }

private:
  TMenuItem* item_;
};

}  // namespace

void InstallCommGuiHooks() {
  BindMenuItemProc = [](TMenuItem* item, std::function<void()> click) -> std::unique_ptr<TBoundMenuItem> {
    return std::make_unique<TMenuItemBinding>(item, std::move(click));
  };
  BeginMenuUpdateProc = [](const std::vector<TBoundMenuItem*>& items) -> std::function<void()> {
    TMenu* menu = nullptr;
    for (TBoundMenuItem* bound : items)
      if (bound && bound->Item() && !menu) menu = bound->Item()->Menu();
    if (!menu) return nullptr;
    auto update = std::make_shared<TMenuUpdate>(menu);
    return [update]() mutable { update.reset(); };
  };
  BusyCursorProc = []() -> std::function<void()> {
    TScreen* screen = Screen;
    if (!screen) return nullptr;
    const TCursor old_cursor = screen->Cursor();
    screen->SetCursor(crHourGlass);
    return [old_cursor] {
      if (Screen) Screen->SetCursor(old_cursor);
    };
  };
  ProcessGuiMessagesProc = [] {
    if (Application) Application->ProcessMessages();
  };
  MessageBeepProc = [] { MessageBeep(); };
}

}  // namespace qv
