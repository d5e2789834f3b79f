#pragma once
// The device database shell: owns the device tree's root and the notion of the selected
// device, keeps the device list of the main window's combo box and device menu, remembers the
// selection across runs (section "DbShell" of the program INI file) and runs the command that
// deletes a device.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "datastore/data_globals.h"
#include "devices/device.h"

namespace qv {

// The main window's device combo box as the shell drives it; the main window adapts its
// control. Setting the item index from here does not fire OnChange.
class TDbShellCombo {
public:
  virtual ~TDbShellCombo() = default;
  virtual int ItemCount() const = 0;
  virtual void* ItemObject(int index) const = 0;
  virtual int ItemIndex() const = 0;
  virtual void SetItemIndex(int index) = 0;
  virtual void ClearItems() = 0;
  virtual void AddItem(const std::string& text, void* object) = 0;
  // Width of a text in the combo's font on its parent form's canvas.
  virtual int TextWidth(const std::string& text) const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Called when the user picks an entry; set by the shell.
  std::function<void()> OnChange;
};

// The device menu item and its sub-items.
class TDbShellMenu {
public:
  virtual ~TDbShellMenu() = default;
  virtual int Count() const = 0;
  virtual void Delete(int index) = 0;
  // Appends a sub-item whose click calls OnItemClick with its tag.
  virtual void Add() = 0;
  virtual void SetItem(int index, const std::string& caption, int tag) = 0;
  virtual void SetItemState(int index, bool enabled, bool checked) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Around a batch of changes, so that the menus are rebuilt once for all of them.
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
  // Set by the shell.
  std::function<void(int tag)> OnItemClick;
};

class TDbShell {
public:
  // Creates the registry of open data sets (the global DataGlobals), loads the whole tree from
  // the program folder (ExePath) and reads the settings from the program INI file (IniFileName).
  TDbShell();
  // Writes the settings, frees the tree (which writes every node's Device.ini), then the
  // registry, and clears the global DbShell when it is this shell.
  virtual ~TDbShell();
  TDbShell(const TDbShell&) = delete;
  TDbShell& operator=(const TDbShell&) = delete;

  virtual void LoadSettings();
  virtual void SaveSettings();

  TDevice* Root() const { return root_.get(); }
  void SetDeviceCombo(TDbShellCombo* combo);
  void SetSelDevMenu(TDbShellMenu* menu);
  int SelIndex() const { return sel_index_; }
  void SetSelIndex(int index);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  void RefreshDeviceList();
  int GetDeviceCount() const;
  TDevice* GetSelDevice() const;
  void SelectDevice(TDevice* device);
  bool IsDeviceListed(TDevice* device) const;
  void ComboChanged();
  void MenuClick(int tag);
  void TreeChanged(TDevice* sender);
  // Asks which deletable device to delete and erases it with its backup.
  void DeleteDevice();

  // Fired when the selection or the list changes.
  std::function<void(TDbShell* sender)> OnChange;
  // Fired after every refill of the list, also when the selection stays: a device's name in it
  // may have changed.
  std::function<void(TDbShell* sender)> OnListChange;

private:
  void DoChange();

  // The registry of open data sets lives while the tree does; declared first, freed last.
  std::unique_ptr<TDataGlobals> data_globals_;
  std::unique_ptr<TDevice> root_;
  TDbShellCombo* combo_ = nullptr;
  TDbShellMenu* menu_ = nullptr;
  int sel_index_ = -1;
  bool enabled_ = true;
  std::string ini_file_name_;
};

// The program's shell; null when there is none.
extern TDbShell* DbShell;

}  // namespace qv
