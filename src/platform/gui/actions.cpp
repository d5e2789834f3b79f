#include "platform/gui/actions.h"

#include <algorithm>

#include "platform/gui/controls.h"

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
  if (v == caption_) return;
  caption_ = v;
  Changed();
}
void TAction::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Changed();
}
void TAction::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Changed();
}
void TAction::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  Changed();
}
void TAction::SetImageIndex(int v) {
  if (v == image_index_) return;
  image_index_ = v;
  Changed();
}
void TAction::SetHint(const std::string& v) {
  if (v == hint_) return;
  hint_ = v;
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
