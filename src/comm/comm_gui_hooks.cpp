#include "comm/comm_gui_hooks.h"

namespace qv {

std::function<std::unique_ptr<TBoundMenuItem>(TMenuItem* item, std::function<void()> click)> BindMenuItemProc;
std::function<std::function<void()>(const std::vector<TBoundMenuItem*>& items)> BeginMenuUpdateProc;
std::function<std::function<void()>()> BusyCursorProc;
std::function<void()> ProcessGuiMessagesProc;
std::function<void()> MessageBeepProc;

std::unique_ptr<TBoundMenuItem> BindMenuItem(TMenuItem* item, std::function<void()> click) {
  if (!item || !BindMenuItemProc) return nullptr;
  return BindMenuItemProc(item, std::move(click));
}

void ProcessGuiMessages() {
  if (ProcessGuiMessagesProc) ProcessGuiMessagesProc();
}

void WarningBeep() {
  if (MessageBeepProc) MessageBeepProc();
}

TBusyCursor::TBusyCursor() {
  if (BusyCursorProc) restore_ = BusyCursorProc();
}

TBusyCursor::~TBusyCursor() {
  if (restore_) restore_();
}

TBoundMenuUpdate::TBoundMenuUpdate(const std::vector<TBoundMenuItem*>& items) {
  if (BeginMenuUpdateProc) end_ = BeginMenuUpdateProc(items);
}

TBoundMenuUpdate::~TBoundMenuUpdate() {
  if (end_) end_();
}

}  // namespace qv
