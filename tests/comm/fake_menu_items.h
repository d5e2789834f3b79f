#pragma once
// Menu items as the communication layer sees them through its binding hook: the test's own
// stand-ins, no GUI. Install the hook before anything binds and keep it until the bindings go.
#include <functional>
#include <memory>
#include <utility>

#include "comm/comm_gui_hooks.h"

namespace qv::test {

struct FakeMenuItem {
  bool enabled = true;
  bool visible = true;
  std::function<void()> click;
  // The handle the layer passes around without looking into it.
  TMenuItem* Handle() { return reinterpret_cast<TMenuItem*>(this); }
  void Click() {
    if (click) click();
  }
};

class FakeMenuItemHook {
public:
  FakeMenuItemHook() {
    BindMenuItemProc = [](TMenuItem* handle, std::function<void()> click) -> std::unique_ptr<TBoundMenuItem> {
      return std::make_unique<Bound>(*reinterpret_cast<FakeMenuItem*>(handle), std::move(click));
    };
  }
  ~FakeMenuItemHook() { BindMenuItemProc = nullptr; }
  FakeMenuItemHook(const FakeMenuItemHook&) = delete;
  FakeMenuItemHook& operator=(const FakeMenuItemHook&) = delete;

private:
  class Bound : public TBoundMenuItem {
  public:
    Bound(FakeMenuItem& item, std::function<void()> click) : item_(item) { item_.click = std::move(click); }
    ~Bound() override { item_.click = nullptr; }
    TMenuItem* Item() const override { return item_.Handle(); }
    void SetEnabled(bool enabled) override { item_.enabled = enabled; }
    void SetVisible(bool visible) override { item_.visible = visible; }

  private:
    FakeMenuItem& item_;
  };
};

}  // namespace qv::test
