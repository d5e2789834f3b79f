#pragma once
// The program's one selected visual object, the registries of visual-object and monitor classes
// from which objects are created by stored class name or by the user's choice, and the menu
// routines that copy an object's popup entries into the main window's menus.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exception.h"

namespace qv {

class TVisObj;
class TMonitorMan;
class TMenuItem;

class TSelector {
public:
  TSelector() = default;
  // Clears the selection and the global Selector.
  virtual ~TSelector();
  TSelector(const TSelector&) = delete;
  TSelector& operator=(const TSelector&) = delete;

  TVisObj* SelObj() const { return sel_obj_; }
  // Sender must be a visual object (or null to deselect).
  void SetSelObj(TComponent* sender);
  void ClearSelection() { SetSelObj(nullptr); }
  // Connects the object's start-select and give-up events to this selector.
  void RegisterVisObj(TVisObj* vo);
  virtual void DoChange();
  TNotifyEvent OnChange;

private:
  TVisObj* sel_obj_ = nullptr;
};

extern TSelector* Selector;

// A class reference: the stored class name, the parent class (for "inherits from"), the type
// description as the class gives it without an instance, and the creating function.
template <class T>
struct TClassRef {
  std::string Name;
  const TClassRef* Parent = nullptr;
  std::function<std::string()> GetTypeDescr;
  std::function<T*(TComponent* owner)> Create;

  bool InheritsFrom(const TClassRef* base) const {
    for (const TClassRef* c = this; c; c = c->Parent)
      if (c == base) return true;
    return false;
  }
};

// Runs the one-instance selection dialog; the shell installs it (see process_window_service.h).
int RunClassSelectDlg(const std::string& caption, const std::string& text1, const std::string& text2,
                      const std::vector<std::string>& texts, int32_t& index);

// An ordered list of class references; "registering" a class again moves it to the end.
template <class T>
class TClassRegistryOf {
public:
  using TRef = TClassRef<T>;
  explicit TClassRegistryOf(std::string class_name) : class_name_(std::move(class_name)) {}
  virtual ~TClassRegistryOf() = default;
  TClassRegistryOf(const TClassRegistryOf&) = delete;
  TClassRegistryOf& operator=(const TClassRegistryOf&) = delete;

  virtual void RegisterDefaults() {}
  const std::string& ClassName() const { return class_name_; }
  int Count() const { return static_cast<int>(classes_.size()); }
  const TRef* Classes(int index) const { return classes_.at(static_cast<size_t>(index)); }

  int RegisterClass(const TRef* cls) {
    UnregisterClass(cls);
    classes_.push_back(cls);
    return Count() - 1;
  }
  void DeleteClass(int index) {
    if (index < 0 || index >= Count()) throw Exception("Error in " + class_name_ + ".DeleteClass: wrong index");
    classes_.erase(classes_.begin() + index);
  }
  void Clear() { classes_.clear(); }
  int IndexOfClass(const TRef* cls) const {
    auto it = std::find(classes_.begin(), classes_.end(), cls);
    return it == classes_.end() ? -1 : static_cast<int>(it - classes_.begin());
  }
  // Case-sensitive, first match.
  int IndexOfName(const std::string& class_name) const {
    for (int i = 0; i < Count(); ++i)
      if (classes_[static_cast<size_t>(i)]->Name == class_name) return i;
    return -1;
  }
  void UnregisterClass(const TRef* cls) {
    const int i = IndexOfClass(cls);
    if (i >= 0) classes_.erase(classes_.begin() + i);
  }
  bool FindClass(const std::string& class_name, const TRef*& cls) const {
    const int i = IndexOfName(class_name);
    if (i < 0) return false;
    cls = classes_[static_cast<size_t>(i)];
    return true;
  }
  // The registered classes that inherit from base (base itself unless exclude_base): none gives
  // false, one is taken without asking, more are offered in the selection dialog.
  bool SelectClass(const TRef* base, bool exclude_base, const TRef*& cls, const std::string& caption,
                   const std::string& text1, const std::string& text2) const {
    std::vector<const TRef*> candidates;
    for (const TRef* c : classes_)
      if (c->InheritsFrom(base) && !(exclude_base && c == base)) candidates.push_back(c);
    if (candidates.empty()) return false;
    if (candidates.size() == 1) {
      cls = candidates.front();
      return true;
    }
    std::vector<std::string> texts;
    for (const TRef* c : candidates) texts.push_back(c->GetTypeDescr ? c->GetTypeDescr() : c->Name);
    int32_t index = -1;
    if (RunClassSelectDlg(caption, text1, text2, texts, index) != 1 || index < 0 ||
        index >= static_cast<int32_t>(candidates.size()))
      return false;
    cls = candidates[static_cast<size_t>(index)];
    return true;
  }

private:
  std::string class_name_;
  std::vector<const TRef*> classes_;
};

using TVisObjClass = TClassRef<TVisObj>;
using TMonitorClass = TClassRef<TMonitorMan>;

// The class reference of the visual-object base, root of every visual-object class.
extern const TVisObjClass VisObjClass;
extern const TVisObjClass SizeVisObjClass;
extern const TVisObjClass DiagramVOClass;

class TVOClassRegistry : public TClassRegistryOf<TVisObj> {
public:
  TVOClassRegistry();
  ~TVOClassRegistry() override;
  // Registers the visual-object classes whose references are in DefaultVisObjClasses.
  void RegisterDefaults() override;
};
// The classes every visual-object registry starts with, in order; the plot and the value table
// add theirs at start-up.
extern std::vector<const TVisObjClass*> DefaultVisObjClasses;
extern TVOClassRegistry* VOClassRegistry;

class TMonitorClassReg : public TClassRegistryOf<TMonitorMan> {
public:
  TMonitorClassReg();
  ~TMonitorClassReg() override;
  void RegisterDefaults() override;
};
extern std::vector<const TMonitorClass*> DefaultMonitorClasses;
extern TMonitorClassReg* MonitorClassReg;

// Menu routines.
// Gives item exactly count sub-entries: removes and frees the first ones, or appends empty
// entries owned by the item's owner.
void SetMenuItemCount(TMenuItem* item, int count);
// Copies caption, checked, enabled, visible, group index, radio-item state and click handler.
void CopyMenuItem(const TMenuItem* source, TMenuItem* dest);
// Dest gets copies of source's entries from_index to to_index (clamped); empty when there are none.
void CopyMenuItems(TMenuItem* dest, const TMenuItem* source, int from_index, int to_index);

}  // namespace qv
