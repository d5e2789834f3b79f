#include "devices/dev_class_registry.h"

#include <algorithm>
#include <utility>

#include "devices/device.h"
#include "platform/rtl/exception.h"

namespace qv {

TDevClassRegistry* DevClassRegistry = nullptr;

TDevClassRegistry::TDevClassRegistry() { TDevClassRegistry::RegisterDefaults(); }

TDevClassRegistry::~TDevClassRegistry() = default;

void TDevClassRegistry::RegisterDefaults() {
  RegisterClass({"TDevice", [](TDevice* parent, const std::string& dir) -> TDevice* {
                   return TDevice::CreateFromDir<TDevice>(parent, dir);
                 }});
}

void TDevClassRegistry::RegisterClass(TDeviceClass device_class) {
  std::erase_if(classes_, [&](const TDeviceClass& c) { return c.Name == device_class.Name; });
  classes_.push_back(std::move(device_class));
}

const TDeviceClass* TDevClassRegistry::FindClass(const std::string& class_name) const {
  const int i = IndexOfName(class_name);
  return i < 0 ? nullptr : &classes_[static_cast<size_t>(i)];
}

int TDevClassRegistry::IndexOfName(const std::string& class_name) const {
  for (size_t i = 0; i < classes_.size(); ++i)
    if (classes_[i].Name == class_name) return static_cast<int>(i);
  return -1;
}

void TDevClassRegistry::DeleteClass(int index) {
  if (index < 0 || index >= Count()) throw Exception("Error in TDevClassRegistry.DeleteClass: wrong index");
  classes_.erase(classes_.begin() + index);
}

void TDevClassRegistry::UnregisterClass(const std::string& class_name) {
  const int i = IndexOfName(class_name);
  if (i >= 0) DeleteClass(i);
}

}  // namespace qv
