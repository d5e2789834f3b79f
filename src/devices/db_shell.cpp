#include "devices/db_shell.h"

#include <algorithm>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "devices/app_hooks.h"
#include "devices/visual_hooks.h"
#include "platform/rtl/store_changed.h"

namespace qv {

TDbShell* DbShell = nullptr;

namespace {
constexpr const char* Section = "DbShell";
constexpr int MinComboWidth = 120;
}  // namespace

TDbShell::TDbShell() : ini_file_name_(IniFileName) {
  data_globals_ = std::make_unique<TDataGlobals>();
  DataGlobals = data_globals_.get();
  root_.reset(TDevice::CreateFromDir(nullptr, ExePath));
  root_->OnChange = [this](TDevice*) { RefreshDeviceList(); };
  root_->OnTreeChange = [this](TDevice* sender) { TreeChanged(sender); };
  LoadSettings();
}

TDbShell::~TDbShell() {
  try {
    SaveSettings();
  } catch (const std::exception&) {
    // The tree below must still be written back.
  }
  root_.reset();
  data_globals_.reset();
  if (DbShell == this) DbShell = nullptr;
}

void TDbShell::LoadSettings() {
  const int32_t index = TIniFile2(ini_file_name_).ReadInteger(Section, "SelIndex", -1);
  if (index >= -1) sel_index_ = index;
}

void TDbShell::SaveSettings() { TIniFile2(ini_file_name_).WriteInteger(Section, "SelIndex", sel_index_); }

void TDbShell::SetDeviceCombo(TDbShellCombo* combo) {
  if (!StoreChanged(combo_, combo)) return;
  if (combo_) {
    combo_->OnChange = [this] { ComboChanged(); };
    combo_->SetEnabled(enabled_);
  }
  RefreshDeviceList();
}

void TDbShell::SetSelDevMenu(TDbShellMenu* menu) {
  menu_ = menu;
  if (menu_) {
    menu_->OnItemClick = [this](int tag) { MenuClick(tag); };
    menu_->SetEnabled(enabled_);
  }
  RefreshDeviceList();
}

void TDbShell::SetSelIndex(int index) {
  if (index < -1) return;
  if (menu_) {
    if (sel_index_ >= 0 && sel_index_ < menu_->Count()) menu_->SetItemState(sel_index_, true, false);
    if (index >= 0 && index < menu_->Count()) menu_->SetItemState(index, false, true);
  }
  const bool changed = index != sel_index_;
  sel_index_ = index;
  if (combo_ && index < combo_->ItemCount()) combo_->SetItemIndex(index);
  if (changed) DoChange();
}

void TDbShell::SetEnabled(bool enabled) {
  if (!StoreChanged(enabled_, enabled)) return;
  if (combo_) combo_->SetEnabled(enabled);
  if (menu_) menu_->SetEnabled(enabled && menu_->Count() > 0);
}

void TDbShell::RefreshDeviceList() {
  // The menus are rebuilt once for the whole list and the selection, not once per entry.
  struct Batch {
    TDbShellMenu* menu;
    explicit Batch(TDbShellMenu* m) : menu(m) {
      if (menu) menu->BeginUpdate();
    }
    ~Batch() {
      if (menu) menu->EndUpdate();
    }
  } batch(menu_);
  TDevice* remembered = nullptr;
  int n = 0;
  TStringList lines;
  if (combo_) {
    if (combo_->ItemCount() > 0 && combo_->ItemIndex() >= 0)
      remembered = static_cast<TDevice*>(combo_->ItemObject(combo_->ItemIndex()));
    combo_->ClearItems();
    int width = MinComboWidth;
    if (root_ && root_->ChildCount() > 0) {
      root_->FillDevStrings(&lines, 0);
      int longest = 0;
      for (int i = 0; i < lines.Count(); ++i) {
        combo_->AddItem(lines[i], lines.GetObject(i));
        longest = std::max(longest, combo_->TextWidth(lines[i]));
      }
      width = std::max(width, longest + 25);
    }
    combo_->SetWidth(width);
    n = combo_->ItemCount();
  } else {
    n = GetDeviceCount();
  }
  if (menu_) {
    while (menu_->Count() > n) menu_->Delete(0);
    while (menu_->Count() < n) menu_->Add();
    if (n > 0 && combo_) {
      for (int i = 0; i < n; ++i) {
        menu_->SetItem(i, "&" + std::to_string(i + 1) + "  " + lines[i], i);
        menu_->SetItemState(i, true, false);
      }
      menu_->SetEnabled(enabled_);
    } else {
      menu_->SetEnabled(false);
    }
  }
  if (remembered && IsDeviceListed(remembered)) {
    SelectDevice(remembered);
  } else {
    const int index = std::clamp(sel_index_, -1, n - 1);
    const bool unchanged = index == sel_index_;
    SetSelIndex(index);
    if (unchanged) DoChange();
  }
  if (OnListChange) OnListChange(this);
}

int TDbShell::GetDeviceCount() const { return root_ ? root_->ChildCount() : 0; }

TDevice* TDbShell::GetSelDevice() const {
  if (!combo_ || sel_index_ < 0 || sel_index_ >= combo_->ItemCount()) return nullptr;
  return static_cast<TDevice*>(combo_->ItemObject(sel_index_));
}

void TDbShell::SelectDevice(TDevice* device) {
  if (!combo_) return;
  for (int i = 0; i < combo_->ItemCount(); ++i)
    if (combo_->ItemObject(i) == device) {
      SetSelIndex(i);
      return;
    }
}

bool TDbShell::IsDeviceListed(TDevice* device) const {
  if (!combo_) return false;
  for (int i = 0; i < combo_->ItemCount(); ++i)
    if (combo_->ItemObject(i) == device) return true;
  return false;
}

void TDbShell::ComboChanged() {
  if (combo_ && combo_->ItemIndex() != sel_index_) SetSelIndex(combo_->ItemIndex());
}

void TDbShell::MenuClick(int tag) {
  if (tag != sel_index_) SetSelIndex(tag);
}

void TDbShell::TreeChanged(TDevice* sender) {
  if (AutoMonitor && sender) AutoMonitor->DeviceModified(sender);
  RefreshDeviceList();
}

void TDbShell::DeleteDevice() {
  if (RecorderConfirmStop && !RecorderConfirmStop()) return;
  TStringList all, deletable;
  root_->FillDevStrings(&all, 0);
  for (int i = 0; i < all.Count(); ++i)
    if (static_cast<TDevice*>(all.GetObject(i))->Deletable()) deletable.AddObject(all[i], all.GetObject(i));
  int32_t index = -1;
  if (RunSelectDlg(LoadResString("dbs_DelDevice"), "", "", 1, deletable, index) != 1) return;
  if (index < 0 || index >= deletable.Count()) return;
  auto* device = static_cast<TDevice*>(deletable.GetObject(index));
  if (device->Parent()) device->Parent()->EraseChild(device, true);
}

void TDbShell::DoChange() {
  if (OnChange) OnChange(this);
}

}  // namespace qv
