#pragma once
// The program's device handlers: one of each registered class, one of them selected (the
// choice is kept in [DevHandlColl] "SelDeviceHndl" of the program's INI file). The logger
// window's menu commands and the logger modules reach the devices through it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/dev_handler0.h"
#include "devices/dev_handl_service.h"

namespace qv {

class TBoundMenuItem;
class TMenuItem;
class TRecorder;

class TDevHandlColl : public TDevHandlService {
public:
  // Empty; a descendant's constructor registers its handlers and then calls SelectStored.
  TDevHandlColl();
  // Stores the selection, frees the handlers and clears the global when it is this one.
  ~TDevHandlColl() override;
  TDevHandlColl(const TDevHandlColl&) = delete;
  TDevHandlColl& operator=(const TDevHandlColl&) = delete;

  virtual std::string ClassName() const { return "TDevHandlColl"; }

  using THandlerClass = std::function<std::unique_ptr<TDevHandler0>()>;
  // Adds a handler of the class unless one of the same class name exists; a missing class
  // raises "Error in TDevHandlColl.RegisterHndlType: Type of DeviceHandler not defined".
  void RegisterHndlType(const THandlerClass& handler_class);
  template <class H>
  void RegisterHndlType() {
    RegisterHndlType([] { return std::unique_ptr<TDevHandler0>(TDevHandler0::Create<H>()); });
  }
  void DeleteHandler(int index);
  int Count() const { return static_cast<int>(handlers_.size()); }
  TDevHandler0* Handlers(int index) const { return handlers_.at(static_cast<size_t>(index)).get(); }
  // Some handler is talking to a logger right now, or runs a command that will.
  bool LineBusy() const;
  // A device change while the line is busy: the idle connection closes when the command ends.
  void DisconnectAfterCommand() { disconnect_pending_ = true; }
  int SelIndex() const { return sel_index_; }
  int UsableCount() const;

  // Selects the handler named by [DevHandlColl] "SelDeviceHndl", else the first usable one.
  void SelectStored();
  bool SelectHandler(int index, bool ask);
  TDevHandler0* GetCurHandler() const;
  bool SelectByModul(const TDevice* module);
  void SelectTypeOfInstr();

  bool ReadCfgAnonym(bool interactive, bool disconnect);
  bool ReadMemAnonym(bool interactive, bool disconnect);
  bool ClearMemAnonym(bool interactive, bool disconnect);
  bool SyncClock(bool interactive, bool disconnect);
  // The module's current values, read by the selected handler and stored in its data sets.
  bool ReadOnline(TDevice* module, bool disconnect);
  bool ReadCfgDevice(TDevice* module, bool interactive, bool& changed, bool ask) override;
  bool WriteConfig(TDevice* module, bool interactive) override;
  void CloseConnection() override;
  void EditConnection() override;

  // Each binds its item once; null takes the bound item back (its window goes first).
  void SetDevTypeMenu(TMenuItem* item);
  void SetReadCfgMenu(TMenuItem* item);
  void SetReadMemMenu(TMenuItem* item);
  void SetClearMemMenu(TMenuItem* item);
  void SetSyncClockMenu(TMenuItem* item);
  void UpdateMenus();
  void UpdateLanguage() {}

  // Binds the recorder: its start binds the selected handler's hooks, its changes update the
  // menus, and it is enabled while the selected handler can record.
  void BindRecorder(TRecorder* recorder);
  TRecorder* BoundRecorder() const { return recorder_; }
  // The recorder's start: raises "TDevHandlColl.RecorderStart: Recorder not supported" unless
  // the selected handler can record.
  void RecorderStart(TRecorder* recorder);

protected:
  virtual void RegisterHndlTypes() {}

private:
  bool Running() const;
  // A handler's outermost command has ended: a device change during it closes the line now.
  void CommandEnded(bool keep_line);
  // Reports a translation key as a warning with an error dialog; answers false.
  bool Refuse(const std::string& key, const std::string& source) const;
  // The selected handler when it can do what can answers, else the refusal.
  TDevHandler0* Checked(bool (TDevHandler0::*can)() const, const std::string& source) const;
  // The first handler accepting the module (selected), else null after the refusal.
  TDevHandler0* ForModule(TDevice* module, bool (TDevHandler0::*can)(TDevice*) const, const std::string& source);
  void BindMenu(std::unique_ptr<TBoundMenuItem>& slot, TMenuItem* item, std::function<void()> click);

  std::vector<std::unique_ptr<TDevHandler0>> handlers_;
  int sel_index_ = -1;
  // Forgotten when their window goes first.
  std::unique_ptr<TBoundMenuItem> dev_type_menu_;
  std::unique_ptr<TBoundMenuItem> read_cfg_menu_;
  std::unique_ptr<TBoundMenuItem> read_mem_menu_;
  std::unique_ptr<TBoundMenuItem> clear_mem_menu_;
  std::unique_ptr<TBoundMenuItem> sync_clock_menu_;
  TRecorder* recorder_ = nullptr;
  bool disconnect_pending_ = false;
};

// The program's collection, created by the application module; null while there is none.
extern TDevHandlColl* DevHandlColl;

}  // namespace qv
