#pragma once
// The owned component of the runtime: an owner deletes the components it owns when it is
// deleted, and a component tells the components that asked for it when it goes away, so
// they can drop their pointer to it. No GUI type is involved; the GUI classes and the
// crypto kit both build on it.
#include <functional>
#include <string>
#include <vector>

namespace qv {

class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;

enum class TOperation { opInsert, opRemove };

class TComponent {
public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  virtual std::string ClassName() const { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }

  // Asks that other's Notification(this, opRemove) is called when this component is deleted
  // (and the other way round: the pair is symmetric, as in the runtime).
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  bool Destroying() const { return destroying_; }

protected:
  // Called when an owned component is inserted or removed, and on every component that asked
  // for a free notification of `component` when that one is deleted.
  virtual void Notification(TComponent* component, TOperation operation);

private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool destroying_ = false;
};

}  // namespace qv
