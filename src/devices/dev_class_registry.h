#pragma once
// The registry of device classes: the loader of the device tree finds a folder's class by the
// "ClassName" stored in its Device.ini and builds the node with that class's loader.
#include <functional>
#include <string>
#include <vector>

namespace qv {

class TDevice;

// A device class: its stored name and the function that loads a node of it from a folder
// (TDevice::CreateFromDir of that class; the parent owns the node).
struct TDeviceClass {
  std::string Name;
  std::function<TDevice*(TDevice* parent, const std::string& dir)> CreateFromDir;
};

class TDevClassRegistry {
public:
  // Registers the defaults of this class. A descendant's constructor calls its own
  // RegisterDefaults, which begins with the inherited one.
  TDevClassRegistry();
  virtual ~TDevClassRegistry();
  TDevClassRegistry(const TDevClassRegistry&) = delete;
  TDevClassRegistry& operator=(const TDevClassRegistry&) = delete;

  // The base registers TDevice.
  virtual void RegisterDefaults();
  // Removes an earlier entry of the same name, then appends the class.
  void RegisterClass(TDeviceClass device_class);
  // The first entry whose name equals class_name (case-sensitive), or null.
  const TDeviceClass* FindClass(const std::string& class_name) const;
  // Case-sensitive, first match; -1 when none.
  int IndexOfName(const std::string& class_name) const;
  // An index outside 0..Count-1 raises "Error in TDevClassRegistry.DeleteClass: wrong index".
  void DeleteClass(int index);
  void UnregisterClass(const std::string& class_name);
  void Clear() { classes_.clear(); }
  int Count() const { return static_cast<int>(classes_.size()); }
  const TDeviceClass& Classes(int index) const { return classes_.at(static_cast<size_t>(index)); }

private:
  std::vector<TDeviceClass> classes_;
};

// The program's registry; created by the application module before the device tree is loaded.
extern TDevClassRegistry* DevClassRegistry;

}  // namespace qv
