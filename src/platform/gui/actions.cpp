#include "platform/gui/actions.h"

#include <algorithm>

#include "platform/gui/controls.h"
#include "platform/rtl/store_changed.h"

namespace qv {

TAction::~TAction() {
  BeginDestroy();
  std::vector<TControl*> clients = clients_;
  for (TControl* c : clients) c->SetAction(nullptr);
}

void TAction::Changed() {
  std::vector<TControl*> clients = clients_;
  for (TControl* c : clients) c->ActionChange(this, false);
}

void TAction::SetCaption(const std::string& v) {
  if (!StoreChanged(caption_, v)) return;
  Changed();
}
void TAction::SetChecked(bool v) {
  if (!StoreChanged(checked_, v)) return;
  Changed();
}
void TAction::SetEnabled(bool v) {
  if (!StoreChanged(enabled_, v)) return;
  Changed();
}
void TAction::SetVisible(bool v) {
  if (!StoreChanged(visible_, v)) return;
  Changed();
}
void TAction::SetImageIndex(int v) {
  if (!StoreChanged(image_index_, v)) return;
  Changed();
}
void TAction::SetHint(const std::string& v) {
  if (!StoreChanged(hint_, v)) return;
  Changed();
}

bool TAction::Execute() {
  if (!enabled_ || !OnExecute) return false;
  OnExecute(this);
  return true;
}

void TAction::AddClient(TControl* control) {
  if (std::find(clients_.begin(), clients_.end(), control) == clients_.end()) clients_.push_back(control);
}
void TAction::RemoveClient(TControl* control) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), control), clients_.end());
}

}  // namespace qv
