#include "crypto/as_component.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/rtl/store_changed.h"
#include "platform/rtl/text_utils.h"

namespace qv {

std::string KitFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

TAS_Component::TAS_Component(TComponent* owner) : TComponent(owner), about_(std::make_unique<TAS_AboutInfo>()) {}

TAS_Component::~TAS_Component() = default;

void TAS_Component::SetObjectID(const std::string& value) {
  if (!StoreChanged(object_id_, value)) return;
  if (!value.empty()) algorithm_name_ = AlgorithmNameOfOID(value);
  ObjectIDChanged();
}

void TAS_Component::ObjectIDChanged() {
  NotifyLinked("ObjectID");
  if (OnChangeOID) OnChangeOID(this);
}

void TAS_Component::Error(const std::string& message) const { throw ErrorCipher(message); }

void TAS_Component::LinkTo(TAS_Component* target) {
  if (!target || target == this) return;
  auto& list = target->linked_;
  if (std::find(list.begin(), list.end(), this) != list.end()) return;
  list.push_back(this);
  FreeNotification(target);
}

void TAS_Component::UnlinkFrom(TAS_Component* target) {
  if (!target) return;
  auto& list = target->linked_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it != list.end()) list.erase(it);
}

void TAS_Component::NotifyLinked(const std::string& prop_name) {
  // A copy: a handler may link or unlink while we walk the list.
  std::vector<TAS_Component*> list = linked_;
  for (TAS_Component* c : list) c->LinkedChanged(this, prop_name);
}

void TAS_Component::LinkedChanged(TAS_Component*, const std::string&) {}

void TAS_Component::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  auto it = std::find(linked_.begin(), linked_.end(), component);
  if (it != linked_.end()) linked_.erase(it);
}

// ---- registry ----

namespace {

struct Registry {
  std::mutex mutex;  // protects names and oid_lines; a leaf lock, no other lock is taken while held
  std::vector<std::pair<std::string, const TComponentClass*>> names;
  std::vector<std::string> oid_lines;  // "OID=Name"
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

const TComponentClass* FindLocked(Registry& r, const std::string& name) {
  for (const auto& [n, cls] : r.names)
    if (SameText(n, name)) return cls;
  return nullptr;
}

}  // namespace

void RegisterAlgorithm(const std::string& name, const std::string& oid, const TComponentClass* cls) {
  if (name.empty()) return;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  if (!FindLocked(r, name)) r.names.emplace_back(name, cls);
  if (oid.empty()) return;
  std::string line = KitFormat("%s=%s", oid.c_str(), name.c_str());
  if (std::find(r.oid_lines.begin(), r.oid_lines.end(), line) == r.oid_lines.end()) r.oid_lines.push_back(line);
}

const TComponentClass* FindAlgorithmClass(const std::string& name) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return FindLocked(r, name);
}

std::string AlgorithmNameOfOID(const std::string& oid) {
  if (oid.empty()) return "";
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (const std::string& line : r.oid_lines) {
    size_t eq = line.find('=');
    if (line.compare(0, eq, oid) == 0 && eq == oid.size()) return line.substr(eq + 1);
  }
  return "";
}

const TComponentClass* FindAlgorithmClassByOID(const std::string& oid) {
  std::string name = AlgorithmNameOfOID(oid);
  return name.empty() ? nullptr : FindAlgorithmClass(name);
}

std::unique_ptr<TComponent> CreateAlgorithmByOID(const std::string& oid) {
  const TComponentClass* cls = FindAlgorithmClassByOID(oid);
  if (!cls || !cls->Create) return nullptr;
  std::unique_ptr<TComponent> created(cls->Create(nullptr));
  if (auto* kit = dynamic_cast<TAS_Component*>(created.get())) kit->SetObjectID(oid);
  return created;
}

}  // namespace qv
