#pragma once
// Components: named objects that an owner frees, with notifications when one goes away. No GUI
// type is involved; the GUI classes and the crypto kit both build on it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"

namespace qv {

QV_DECLARE_EXCEPTION(EComponentError, Exception);

enum class TOperation { opInsert, opRemove };

class TComponent;
using TNotifyEvent = std::function<void(TComponent* sender)>;

class TComponent {
public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Names are unique among the owner's components, ignoring case.
  virtual void SetName(const std::string& name);
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  // The owned component of that name (ignoring case), or null.
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, last first.
  void DestroyComponents();

  // `component` is told (opRemove) when this component is freed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  bool Destroying() const { return destroying_; }
  virtual std::string ClassName() const { return "TComponent"; }
  intptr_t Tag = 0;

  // Called for components inserted into or removed from the owner, and for freed components
  // this one asked to be told about.
  virtual void Notification(TComponent* component, TOperation operation);

protected:
  // Derived destructors call this first so that notifications still see the whole object.
  void BeginDestroy();

private:
  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool destroying_ = false;
};

}  // namespace qv
