#pragma once
// The main window's device combo box and device menu item as the device-database shell drives
// them.
#include <memory>
#include <string>
#include <vector>

#include "devices/db_shell.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

// A drop-down list of devices. Only the user's pick reaches the shell; the shell's own changes
// of the selection do not come back as a pick.
class TDbShellComboBox : public TDbShellCombo {
public:
  explicit TDbShellComboBox(TComboBox* combo);
  int ItemCount() const override;
  void* ItemObject(int index) const override;
  int ItemIndex() const override;
  void SetItemIndex(int index) override;
  void ClearItems() override;
  void AddItem(const std::string& text, void* object) override;
  int TextWidth(const std::string& text) const override;
  void SetWidth(int width) override;
  void SetEnabled(bool enabled) override;

private:
  TComboBox* combo_;
};

// The device menu item; its sub-items are made and freed here.
class TDbShellMenuItem : public TDbShellMenu {
public:
  explicit TDbShellMenuItem(TMenuItem* item);
  int Count() const override;
  void Delete(int index) override;
  void Add() override;
  void SetItem(int index, const std::string& caption, int tag) override;
  void SetItemState(int index, bool enabled, bool checked) override;
  void SetEnabled(bool enabled) override;
  void BeginUpdate() override;
  void EndUpdate() override;

private:
  TMenuItem* item_;
  std::vector<TMenu*> updating_;  // the menu of each open BeginUpdate
};

}  // namespace qv
