#include "shell/interim_main_form.h"

#include "base/info_data.h"
#include "base/res_string.h"
#include "comm/connection.h"
#include "comm/dev_handl_coll.h"
#include "devices/db_shell.h"
#include "shell/d31_explorer.h"
#include "shell/db_shell_controls.h"
#include "shell/std_dialog_form.h"
#include "visual/ddt_monitor.h"
#include "visual/graphic_registry.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"

namespace qv {

TInterimMainForm::TInterimMainForm(TComponent* owner) : TForm(owner) {
  // The holders the visual objects share, as the main window keeps them.
  Selector = new TSelector();
  RegisterPlotClasses();
  RegisterMonitorClasses();
  VOClassRegistry = new TVOClassRegistry();
  MonitorClassReg = new TMonitorClassReg();
  GraphicRegistry = new TGraphicRegistry();
  SetText("Quarvel2");
  SetPosition(TPosition::poScreenCenter);
  SetBounds(0, 0, 520, 200);
  MainMenu = new TMainMenu(this);
  TMenuItem* file = AddItem(MainMenu->Items(), "MMenFile");
  TMenuItem* sel_dev = AddItem(file, "FMenSelDev");
  AddItem(file, "FMenPrintSetup", [] {
    if (StdDialogForm) StdDialogForm->PrinterSetupDialog->Execute();
  });
  AddItem(file, "FMenExit", [this] { Close(); });
  TMenuItem* device = AddItem(MainMenu->Items(), "MMenInstrument");
  TMenuItem* dev_type = AddItem(device, "IMenDevType");
  TMenuItem* comm = AddItem(device, "IMenComm");
  AddItem(device, "IMenExplorer", [] { RunExplorer(); });
  AddItem(device, "IMenDelDevice", [] {
    if (DbShell) DbShell->DeleteDevice();
  });
  TMenuItem* read_cfg = AddItem(device, "IMenReadCfg");
  TMenuItem* read_mem = AddItem(device, "IMenReadMem");
  TMenuItem* clear_mem = AddItem(device, "IMenClearMem");
  TMenuItem* sync_clock = AddItem(device, "IMenSyncClock");
  SetMenu(MainMenu);

  DeviceComboB = new TComboBox(this);
  DeviceComboB->SetName("DeviceComboB");
  DeviceComboB->SetParent(this);
  DeviceComboB->SetStyle(TComboBoxStyle::csDropDownList);
  DeviceComboB->SetBounds(10, 10, 300, 21);
  InfoLabel = new TLabel(this);
  InfoLabel->SetParent(this);
  InfoLabel->SetWordWrap(true);
  InfoLabel->SetBounds(10, 44, 490, 60);
  if (InfoData) InfoLabel->SetText(InfoData->VersionText() + "\n" + InfoData->CopyrightText());

  if (DbShell) {
    combo_adapter_ = std::make_unique<TDbShellComboBox>(DeviceComboB);
    menu_adapter_ = std::make_unique<TDbShellMenuItem>(sel_dev);
    DbShell->SetDeviceCombo(combo_adapter_.get());
    DbShell->SetSelDevMenu(menu_adapter_.get());
  } else {
    sel_dev->SetEnabled(false);
  }
  if (Connection) Connection->SetCommMenu(comm);
  if (DevHandlColl) {
    DevHandlColl->SetDevTypeMenu(dev_type);
    DevHandlColl->SetReadCfgMenu(read_cfg);
    DevHandlColl->SetReadMemMenu(read_mem);
    DevHandlColl->SetClearMemMenu(clear_mem);
    DevHandlColl->SetSyncClockMenu(sync_clock);
  } else {
    for (TMenuItem* item : {dev_type, read_cfg, read_mem, clear_mem, sync_clock}) item->SetEnabled(false);
  }
}

TInterimMainForm::~TInterimMainForm() {
  if (DbShell) {
    DbShell->SetDeviceCombo(nullptr);
    DbShell->SetSelDevMenu(nullptr);
  }
  if (Connection) Connection->SetCommMenu(nullptr);
  // Each destructor clears its global.
  delete GraphicRegistry;
  delete MonitorClassReg;
  delete VOClassRegistry;
  delete Selector;
}

TMenuItem* TInterimMainForm::AddItem(TMenuItem* parent, const std::string& name, std::function<void()> click) {
  auto* item = new TMenuItem(this);
  item->SetName(name);
  item->SetCaption(LoadResString("m_" + name));
  if (click) item->OnClick = [click](TComponent*) { click(); };
  parent->Add(item);
  return item;
}

TMenuItem* TInterimMainForm::Item(const std::string& name) const { return MainMenu->FindItemByName(name); }

}  // namespace qv
