#include "devices/dev_class_registry.h"

#include <algorithm>
#include <utility>

#include "devices/device.h"

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
  for (const TDeviceClass& c : classes_)
    if (c.Name == class_name) return &c;
  return nullptr;
}

}  // namespace qv
