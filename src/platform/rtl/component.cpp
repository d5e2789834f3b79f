#include "platform/rtl/component.h"

#include <algorithm>

#include "platform/rtl/text_utils.h"

namespace qv {

namespace {
void Erase(std::vector<TComponent*>& list, TComponent* c) {
  list.erase(std::remove(list.begin(), list.end(), c), list.end());
}
}  // namespace

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

void TComponent::BeginDestroy() {
  if (destroying_) return;
  destroying_ = true;
  // Those who asked are told first, while this object is still whole.
  std::vector<TComponent*> notify;
  notify.swap(free_notifies_);
  for (TComponent* c : notify) {
    c->RemoveFreeNotification(this);
    c->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent::~TComponent() { BeginDestroy(); }

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (owner_ && !name.empty()) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this) throw EComponentError("A component named " + name + " already exists");
  }
  name_ = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_) component->owner_->RemoveComponent(component);
  if (!component->name_.empty() && FindComponent(component->name_))
    throw EComponentError("A component named " + component->name_ + " already exists");
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component->owner_ != this) return;
  Erase(components_, component);
  component->owner_ = nullptr;
  Notification(component, TOperation::opRemove);
  // Every other owned component may hold a reference to the one leaving.
  std::vector<TComponent*> others = components_;
  for (TComponent* c : others)
    if (std::find(components_.begin(), components_.end(), c) != components_.end())
      c->Notification(component, TOperation::opRemove);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    RemoveComponent(c);
    delete c;
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) == free_notifies_.end()) {
    free_notifies_.push_back(component);
    component->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  auto it = std::find(free_notifies_.begin(), free_notifies_.end(), component);
  if (it == free_notifies_.end()) return;
  free_notifies_.erase(it);
  component->RemoveFreeNotification(this);
}

void TComponent::Notification(TComponent* /*component*/, TOperation /*operation*/) {}

}  // namespace qv
