#pragma once
// The monitor book: the main window's client area, a notebook with one monitor per page and a
// tab set below it. It creates monitors in the order of their group index, numbers them, keeps
// the tab captions up to date, switches pages (the objects of the page left go inactive), removes
// pages whose monitors go, and stores the open pages at exit and restores them at start.
#include <cstdint>
#include <functional>
#include <string>

#include "devices/visual_hooks.h"
#include "platform/gui/ext_ctrls.h"
#include "visual/monitor_man.h"

namespace qv {

class TIniFile2;
class TRegistry;
class TStringList;

// The main window creates the program's book and installs it as the global MonitorBook (the
// device model's view of the pages); the book clears that global when it goes.
class TMonitorBook : public TCustomPanel, public TMonitorBookService {
public:
  // Starts with one empty diagram-and-table page.
  explicit TMonitorBook(TComponent* owner);
  // Saves the session's pages, then frees them all.
  ~TMonitorBook() override;
  std::string ClassName() const override { return "TMonitorBook"; }

  // Set from the start of the destructor on.
  bool IsBeingDestroyed() const { return destroying_; }
  TNotebook* Notebook() const { return notebook_; }
  TTabSet* TabSet() const { return tab_set_; }
  int32_t LastMonitorId = 1;
  TNotifyEvent OnChange;

  TMonitorMan* AddGroupMonitor(int32_t group_index, const TMonitorClass* cls);
  int32_t AddMonitor();
  TMonitorMan* GetMonitor(int index) const;
  TMonitorMan* GetSelMonMan() const { return GetMonitor(notebook_->PageIndex()); }
  int GetMonitorCount() const override { return notebook_->PageCount(); }
  int GetTabIndex() const override { return tab_set_->TabIndex(); }
  // Selects the tab and shows its page.
  void SetTabIndex(int index) override;
  bool SetSelDiagramTitle(const std::string& title) override;
  int FirstPageOfGroup(int32_t group) const;
  int LastPageOfGroup(int32_t group) const;
  int32_t NextGroupIndex(int32_t group) const;
  void DeleteSelectedMonitor(bool confirm);
  void FreeEmptyMonitors();

  void MonitorDestroy(TComponent* sender);
  void MonitorChanged(TComponent* sender);
  void DoChange();
  virtual void UpdateLanguage();
  void UpdateTabCaptions();
  void UpdatePopup();
  void TabClick(TComponent* sender);
  // A right-button press on the selected tab opens the selected monitor's popup at the pointer.
  void TabMouseDown(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y);

  // The main window's add-monitor command: a class chosen among the registered monitor classes
  // goes in as a user page (group 100); the shown page stays in front.
  void AddMonitorDlg();

  // Forwarded to the selected monitor.
  void SetEditMenu(TMenuItem* item);
  void SetViewMenu(TMenuItem* item);
  void SetMonButton1(TControl* button);
  void SetMonButton2(TControl* button);
  void InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo);
  bool CanAcceptClass(const TVisObjClass* cls) const;
  // Whether the selected monitor's class is the class or one derived from it.
  bool SelMonInheritsFrom(const TMonitorClass* cls) const;
  // Ends a pending drag of the selected picture monitor.
  void CancelMode();
  uint8_t GetDiagramOrient() const;
  void SetDiagramOrient(uint8_t orient);

  // The View menu's list of pages (shown from two pages on), after a separator with tag 999;
  // entry i has tag 1000 + i and selects page i.
  TMenuItem* MonitorMenu() const { return monitor_menu_; }
  void SetMonitorMenu(TMenuItem* item);
  void UpdateMonitorMenu();

  // "Monitors.ini" in the program folder.
  static std::string SessionFileName();
  // Writes the pages to a new file that replaces the old one only when complete; a failure
  // leaves the old file as it was and is shown to the user, naming the file and the reason. After
  // a restore that lost anything the stored pages are kept as they are for this run, and that is
  // logged.
  void SaveSessionMonitors();
  // The program ends: the pages are saved while a failure can still be shown, and the book saves
  // nothing more when it goes. Without it the book saves when it goes, logging a failure only
  // (no dialog runs from a destructor).
  void CloseSession();
  bool SessionLoadFailed() const { return session_load_failed_; }
  // A page or object that cannot be restored is reported and skipped; the others come back.
  void LoadSessionMonitors();
  TMonitorMan* LoadMonitorIni(TIniFile2* ini, const std::string& section);
  // Lets the user pick a stored custom monitor ("CustMon.ini") and opens it as a new page;
  // without that file, one of the older registry profile.
  void LoadCustomMonitor();

  // The older registry profile (below RegistryKey + "\Profile"), read only. The import of the
  // open pages answers whether the profile held any (then the caller saves them to the session
  // file); a page that cannot be imported is reported and skipped.
  bool ImportSessionMonitors();
  void LoadCustomMonitorReg();
  TMonitorMan* LoadMonitor(TRegistry* registry);

  // Runs one page's load; a page that fails is reported and freed. False when it failed or
  // came back incomplete.
  bool LoadOnePage(const std::string& what, const std::string& class_name, const std::function<TMonitorMan*()>& load);
  // A restored page takes the id it had when it was stored (1 to 99), so its automatic title
  // comes back too; a page with content that holds that id keeps it, an empty one gives it up.
  void RestoreMonitorId(TMonitorMan* monitor, int32_t id);

private:
  // The chosen entry of the custom monitors' list, -1 when the user cancels.
  int SelectCustomMonitor(TStringList& names);
  void Connect(TMonitorMan* monitor);
  void NewFirstMonitor();
  void SaveSession(bool show_failure);
  TNotebook* notebook_ = nullptr;
  TTabSet* tab_set_ = nullptr;
  bool destroying_ = false;
  // Something of "Monitors.ini" could not be restored: this run's saves leave the file alone.
  bool session_load_failed_ = false;
  // CloseSession has saved the pages for the last time.
  bool session_closed_ = false;
  TMenuItem* monitor_menu_ = nullptr;
};

}  // namespace qv
