#pragma once
// Monitor pages: a monitor lives on one page of the monitor book's notebook and holds visual
// objects. The base gives the page its identity (id, group, page index), its title and options,
// its popup menu, the hand-over of the main window's monitor menus and buttons, the numbering of
// its objects and its keys in the monitor file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/menus.h"
#include "visual/selector.h"

namespace qv {

class TIniFile2;
class TRegistry;
class TVisObj;

// Permission options of a monitor page, bit order as stored.
enum TMonOption : uint8_t {
  moDelEnabled = 0x01,
  moAddVOEnabled = 0x02,
  moEditTitleEnab = 0x04,
  moStoreLoadEnab = 0x08,
};
using TMonOptions = uint8_t;
std::string MonOptionsToStr(TMonOptions options);
bool StrToMonOptions(std::string text, TMonOptions& options);

class TMonitorMan : public TComponent {
public:
  // The owner must be the book's notebook: "Error in TMonitorMan.Create: Host is not valid!
  // Must be TNotebook". The page is the notebook's current one.
  explicit TMonitorMan(TComponent* owner);
  // Descendants call StartDestroy first in their own destructor, so that their objects go while
  // their lists still exist.
  ~TMonitorMan() override;
  std::string ClassName() const override { return "TMonitorMan"; }
  // Creation step that calls overridden operations; CreateMonitor runs it.
  virtual void AfterConstruction();

  int32_t Id = 0;
  int32_t PageIndex = 0;
  int32_t GroupIndex = 100;
  std::string CustomTitle;
  std::string TypeDescr;
  std::string AutoTitlePrefix;
  TMonOptions MonOptions() const { return mon_options_; }
  virtual void SetMonOptions(TMonOptions options);
  TMonOptions DefaultMonOptions = moDelEnabled | moAddVOEnabled | moEditTitleEnab;
  TNotifyEvent OnChange;
  TNotifyEvent OnDestroy;
  bool Destroying() const { return destroying_; }

  TNotebook* Notebook() const { return notebook_; }
  // The page the monitor lives on.
  TPage* Page() const;
  // The form that owns the monitor's objects: the notebook's form, else the notebook.
  TComponent* ObjectOwner() const;

  void StartDestroy();
  void ReleaseContents();
  virtual void DoDestroy();
  void DoChange();

  virtual void LoadTitlePrefix();
  virtual std::string GetTypeDescr() const;
  void UpdateTypeDescr() { TypeDescr = GetTypeDescr(); }
  std::string GetAutoTitle() const { return AutoTitlePrefix + std::to_string(Id); }
  virtual std::string GetTitle() const { return CustomTitle.empty() ? GetAutoTitle() : CustomTitle; }
  virtual void SetCustomTitle(const std::string& title);
  virtual void EditTitle();
  virtual void UpdateLanguage();

  // Menus and the main window's controls.
  virtual void CreatePopupMenu();
  virtual void DestroyPopupMenu();
  virtual void UpdateMenus();
  virtual void UpdateButtons() {}
  TPopupMenu* Popup() const { return popup_; }
  TMenuItem* ClassSeparator = nullptr;
  void SetEditMenu(TMenuItem* item);
  void SetViewMenu(TMenuItem* item);
  virtual void SetMonButton1(TControl* button);
  virtual void SetMonButton2(TControl* button);
  TMenuItem* EditTitleItem() const { return men_edit_title_; }
  TMenuItem* DeleteItem() const { return men_del_; }
  TMenuItem* StoreItem() const { return men_store_; }
  // Stores the page as a named custom monitor in "CustMon.ini".
  void StoreMonMenClick();
  static std::string CustomFileName();

  // Objects.
  virtual int IndexOfVisObj(const TVisObj* vo) const = 0;
  virtual bool CanAcceptClass(const TVisObjClass* cls) const = 0;
  virtual int CountOfClass(const TVisObjClass* cls) const = 0;
  // vo must be null on entry and receives the new object; an index past the end appends.
  virtual void InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) = 0;
  virtual void DeleteVisObj(TVisObj* vo, bool confirm) = 0;
  virtual void VOStateChange(TComponent* sender) = 0;
  virtual void VODestroy(TComponent* sender) = 0;
  void VODelete(TComponent* sender);
  virtual void Clear() = 0;
  virtual bool IsEmpty() const = 0;
  virtual void Deactivate() = 0;
  virtual void Activate() = 0;

  // The next object id: counts up to 99, then the lowest id that no object of vo_list has.
  static int32_t GetNextId(int32_t& last_id, const std::vector<TVisObj*>* vo_list);
  // Frees the monitor, after a confirmation when asked; its OnDestroy lets the book drop the page.
  static void DeleteMonitor(TMonitorMan* monitor, bool confirm);
  void IncPageIndex() { ++PageIndex; }
  void DecPageIndex() { PageIndex = PageIndex > 0 ? PageIndex - 1 : 0; }

  virtual void StoreIniSection(TIniFile2* ini, const std::string& section);
  virtual void LoadIniSection(TIniFile2* ini, const std::string& section);
  // The import from the older registry profile, with the monitor's key open.
  virtual void LoadRegKey(TRegistry* registry);
  // Set by a load that had to skip a stored object it could not read.
  bool LoadIncomplete = false;

protected:
  TMenuItem* AddPopupItem(const std::string& caption, TNotifyEvent on_click);
  // The bound menus and buttons lose their handler and are forgotten.
  void ReleaseMonButtons();
  void Notification(TComponent* component, TOperation operation) override;

  TMenuItem* EMenMonitor = nullptr;
  TMenuItem* VMenMonitor = nullptr;
  TControl* MonButton1 = nullptr;
  TControl* MonButton2 = nullptr;

private:
  TNotebook* notebook_;
  TMonOptions mon_options_ = moDelEnabled | moAddVOEnabled | moEditTitleEnab;
  bool destroying_ = false;
  // Cleared by the destructor, so that a queued deletion of a freed monitor does nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  TPopupMenu* popup_ = nullptr;
  TMenuItem* men_edit_title_ = nullptr;
  TMenuItem* men_del_ = nullptr;
  TMenuItem* men_store_ = nullptr;
  TMenuItem* men_sep_ = nullptr;
};

// The class reference of the monitor base, root of every monitor class; it creates nothing.
extern const TMonitorClass MonitorManClass;

// Creates a monitor of class T on the notebook's current page and runs its creation step.
template <class T>
T* CreateMonitor(TComponent* notebook) {
  T* monitor = new T(notebook);
  try {
    monitor->AfterConstruction();
  } catch (...) {
    delete monitor;
    throw;
  }
  return monitor;
}

}  // namespace qv
