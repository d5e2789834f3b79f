#include "platform/rtl/component.h"

#include <algorithm>

namespace qv {

namespace {
void EraseOne(std::vector<TComponent*>& list, TComponent* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}
}  // namespace

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  // Tell everyone who holds a pointer to us; they remove us from their own lists.
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    EraseOne(other->free_notifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
  // Owned components go with their owner, the last inserted first.
  while (!components_.empty()) {
    TComponent* child = components_.back();
    delete child;  // the child's destructor removes it from components_
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent* other) {
  if (!other || other == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), other) == free_notifies_.end())
    free_notifies_.push_back(other);
  if (std::find(other->free_notifies_.begin(), other->free_notifies_.end(), this) ==
      other->free_notifies_.end())
    other->free_notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (!other) return;
  EraseOne(free_notifies_, other);
  EraseOne(other->free_notifies_, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  EraseOne(components_, component);
  component->owner_ = nullptr;
  if (!destroying_) Notification(component, TOperation::opRemove);
}

}  // namespace qv
