#include "shell/qv_base_form.h"

#include <algorithm>
#include <filesystem>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/forms/iv_select_resource_language_dialog.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "comm/connection.h"
#include "comm/dev_handl_coll.h"
#include "comm/recorder.h"
#include "comm/forms/recorder_controls.h"
#include "controls/sty_status_pane.h"
#include "controls/sty_toolbar.h"
#include "datastore/dt_navigator.h"
#include "devices/db_shell.h"
#include "devices/tv10_modul.h"
#include "platform/gui/desktop.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/menus.h"
#include "platform/gui/printers.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/format.h"
#include "shell/appl_module.h"
#include "shell/autobac.h"
#include "shell/d22_about_box.h"
#include "shell/d31_explorer.h"
#include "shell/export_manager.h"
#include "shell/db_shell_controls.h"
#include "shell/nav_controls.h"
#include "visual/bit_monitor.h"
#include "visual/auto_monitor.h"
#include "visual/ddt_monitor.h"
#include "visual/graphic_registry.h"
#include "visual/monitor_book.h"
#include "visual/plot_box.h"
#include "visual/plot_vo.h"
#include "visual/prot_monitor.h"
#include "visual/selector.h"
#include "visual/val_table.h"
#include "visual/print_layout.h"
#include "visual/vis_obj.h"

namespace qv {

TPaintBox* StatusPaintBox = nullptr;

namespace {
// The help topic of the supplements.
constexpr int32_t kSupplementsHelp = 5100;
// Where the monitor book appends inserted objects: after the others.
constexpr int kAppendPosition = 100;

bool IsName(const std::string& name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

template <class T>
T* Named(TComponent* owner, const std::string& name) {
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (owner->Components(i)->Name() == name)
      if (auto* c = dynamic_cast<T*>(owner->Components(i))) return c;
  return nullptr;
}
}  // namespace

TQvBaseForm::TQvBaseForm(TComponent* owner) : TMultilingualForm1(owner) {}

void TQvBaseForm::Initialize() {
  try {
    Loaded();
    BindComponents();
    if (DevHandlColl && Recorder) DevHandlColl->BindRecorder(Recorder);
    if (DbShell) {
      DbShell->OnChange = [this](TDbShell*) { DeviceChanged(); };
      // A renamed device keeps its place in the list: the caption follows its new name.
      DbShell->OnListChange = [this](TDbShell*) { UpdateCaption(); };
    }
    if (IdleTaskManager)
      IdleTaskManager->AddTask(this, nullptr, [this](TIdleTaskManager*, TTimer2*, bool& done) { StartupTask(done); });
  } catch (const std::exception& e) {
    init_error_ = *e.what() ? e.what() : "?";
    if (MsgHandler)
      MsgHandler->HandleMessage(init_error_, "Quarvel Init", TMsgDlgType::mtError, mbOK, 0, 0, true, mkAlert);
    else if (Application)
      Application->ShowException(e);
    if (Application) Application->Terminate();
  }
}

void TQvBaseForm::Loaded() {
  if (LangSwitching) return;
  CreateApplModule();
  FormLoadedHook();
  if (ApplModule) ApplModule->FormLoaded();
  CreateSelector();
  CreateVOClassRegistry();
  CreateMonitorClassReg();
  CreateGraphicRegistry();
  UpdateTimer = std::make_unique<TTimer2>(100);
  DtNavigator = new TDtNavigator();
  CreateStatusBar();
  CreateMonitorBook();
  CreatePrintLayout();
  CreateAutoMonitor();
}

void TQvBaseForm::CreatePrintLayout() { print_layout_ = std::make_unique<TPrintLayout>(); }

void TQvBaseForm::CreateSelector() {
  Selector = new TSelector();
  Selector->OnChange = [this](TComponent*) { RequestUpdate(); };
}

void TQvBaseForm::CreateVOClassRegistry() {
  RegisterPlotClasses();
  RegisterTableClasses();
  VOClassRegistry = new TVOClassRegistry();
}

void TQvBaseForm::CreateMonitorClassReg() {
  RegisterMonitorClasses();
  MonitorClassReg = new TMonitorClassReg();
}

void TQvBaseForm::CreateGraphicRegistry() { GraphicRegistry = new TGraphicRegistry(); }

void TQvBaseForm::CreateStatusBar() {
  StatusBar = new TStyStatusBar(this);
  StatusBar->SetName("StatusBar");
  StatusBar->SetHeight(24);
  StatusBar->SetAlign(TAlign::alBottom);
  StatusBar->SetBorderOuter(TFrameStyleEx::fsPopup);
  StatusBar->SetBorderSides(sdAllSides);
  StatusBar->SetShowSizeGrip(true);
  StatusBar->SetSimpleCaption("abcde");
  StatusBar->SetParent(this);

  StatusPane = new TStyStatusPane(this);
  StatusPane->SetName("StatusPane");
  StatusPane->SetFrameStyle(TFrameStyleEx::fsStatus);
  StatusPane->SetBounds(2, 2, 249, 19);
  StatusPane->SetParent(StatusBar);

  ClockPane = new TStyClockStatus(this);
  ClockPane->SetName("ClockPane");
  ClockPane->SetFrameStyle(TFrameStyleEx::fsStatus);
  ClockPane->SetBounds(633, 2, 144, 19);
  ClockPane->SetInterval(500);
  ClockPane->SetActive(true);
  ClockPane->SetParent(StatusBar);

  AnimPanel = new TPanel(this);
  AnimPanel->SetName("AnimPanel");
  AnimPanel->SetBevelOuter(TPanelBevel::bvLowered);
  AnimPanel->SetBounds(608, 3, 20, 18);
  AnimPanel->SetParent(StatusBar);
  StatusPaintBox = new TPaintBox(this);
  StatusPaintBox->SetName("StatusPaintBox");
  StatusPaintBox->SetBounds(1, 1, 18, 16);
  StatusPaintBox->SetParent(AnimPanel);
  if (Recorder) {
    RecorderControls(*Recorder).SetStatusBox(StatusPaintBox);
    RecorderControls(*Recorder).SetStatusPane(StatusPane);
  }
}

void TQvBaseForm::WndProc(TMessage& message) {
  TMultilingualForm1::WndProc(message);
  if (message.Msg == WM_CANCELMODE && book_ && book_->SelMonInheritsFrom(&BitMonitorClass)) book_->CancelMode();
}

void TQvBaseForm::CreateMonitorBook() {
  if (!IniFileName.empty()) {
    TIniFile2 ini(IniFileName);
    TPlotBox::SetMaxDotsPerCurve(ini.ReadInteger("Main", "MaxDotsPerCurve", TPlotBox::GetMaxDotsPerCurve()));
  }
  book_ = new TMonitorBook(this);
  book_->SetAlign(TAlign::alClient);
  book_->SetParent(this);
  MonitorBook = book_;
  book_->OnChange = [this](TComponent*) { RequestUpdate(); };
  view_menu_ = Named<TMenuItem>(this, "MMenView");
  book_->SetMonitorMenu(view_menu_);
}

void TQvBaseForm::CreateAutoMonitor() {
  auto_monitor_ = new TAutoMonitor(book_);
  auto_monitor_->IsUpdateStart = [] { return DoUpdate; };
}

void TQvBaseForm::BindComponents() {
  combo_adapter_.reset();
  menu_adapter_.reset();
  for (int i = 0; i < ComponentCount(); ++i) {
    TComponent* c = Components(i);
    const std::string& name = c->Name();
    if (name.empty()) continue;
    auto* item = dynamic_cast<TMenuItem*>(c);
    auto* speed = dynamic_cast<TSpeedButton*>(c);
    bool bound = false;
    const bool nav_button = std::find_if(NavButtonNames.begin(), NavButtonNames.end(),
                                         [&](const char* n) { return name == n; }) != NavButtonNames.end();
    const bool nav_item = std::find_if(NavMenuItemNames.begin(), NavMenuItemNames.end(),
                                       [&](const char* n) { return name == n; }) != NavMenuItemNames.end();
    if (auto* combo = dynamic_cast<TComboBox*>(c); combo && name == "DeviceComboB" && DbShell) {
      combo_adapter_ = std::make_unique<TDbShellComboBox>(combo);
      DbShell->SetDeviceCombo(combo_adapter_.get());
      bound = true;
    } else if (item && name == "FMenSelDev" && DbShell) {
      menu_adapter_ = std::make_unique<TDbShellMenuItem>(item);
      DbShell->SetSelDevMenu(menu_adapter_.get());
      bound = true;
    } else if (((nav_button && (speed || dynamic_cast<TButton*>(c))) || (nav_item && item)) && DtNavigator) {
      if (auto control = MakeNavControl(c)) {
        DtNavigator->BindControl(std::move(control));
        bound = true;
      }
    } else if (item && IsName(name, {"EMenMonitor", "VMenMonitor", "EMenVO", "VMenVO", "FPMenPrintVo", "EMenAddMonitor",
                                     "EMenLoadMon"})) {
      TMenuItem** slot = name == "EMenMonitor"      ? &EMenMonitor
                         : name == "VMenMonitor"    ? &VMenMonitor
                         : name == "EMenVO"         ? &EMenVO
                         : name == "VMenVO"         ? &VMenVO
                         : name == "FPMenPrintVo"   ? &FPMenPrintVo
                         : name == "EMenAddMonitor" ? &EMenAddMonitor
                                                    : &EMenLoadMon;
      *slot = item;
      bound = true;
    } else if (speed && IsName(name, {"MonButton1", "MonButton2", "DelVObjButton", "PrintVoBtn"})) {
      TSpeedButton** slot = name == "MonButton1"      ? &MonButton1
                            : name == "MonButton2"    ? &MonButton2
                            : name == "DelVObjButton" ? &DelVObjButton
                                                      : &PrintVoBtn;
      *slot = speed;
      bound = true;
    } else if (item && name == "IMenComm" && Connection) {
      Connection->SetCommMenu(item);
      bound = true;
    } else if (item && DevHandlColl &&
               IsName(name, {"IMenDevType", "IMenReadMem", "IMenClearMem", "IMenReadCfg", "IMenSyncClock"})) {
      if (name == "IMenDevType") DevHandlColl->SetDevTypeMenu(item);
      if (name == "IMenReadMem") DevHandlColl->SetReadMemMenu(item);
      if (name == "IMenClearMem") DevHandlColl->SetClearMemMenu(item);
      if (name == "IMenReadCfg") DevHandlColl->SetReadCfgMenu(item);
      if (name == "IMenSyncClock") DevHandlColl->SetSyncClockMenu(item);
      bound = true;
    } else if (item && name == "OMenAutobackup" && Autobac) {
      Autobac->SetControl(item);
      bound = true;
    } else if (item && name == "IMenRecorder" && Recorder) {
      RecorderControls(*Recorder).SetRecorderMenu(item);
      bound = true;
    } else if (speed && name == "RecorderBtn" && Recorder) {
      RecorderControls(*Recorder).SetRecorderBtn(speed);
      bound = true;
    } else if (speed && name == "AutoScrollBtn" && Recorder) {
      RecorderControls(*Recorder).SetAutoScrollBtn(speed);
      bound = true;
    } else if (item && name == "OMenExport" && ExportManager) {
      ExportManager->SetExportMenu(item);
      bound = true;
    } else if (speed && name == "ExportBtn" && ExportManager) {
      ExportManager->SetExportBtn(speed);
      bound = true;
    }
    if (speed && name == "ReadMemButton") read_mem_button_ = speed;
    if (bound) bound_names_.push_back(name);
  }
}

void TQvBaseForm::StartupTask(bool& done) {
  done = true;
  AfterStartup();
}

void TQvBaseForm::AfterStartup() {
  // An update start takes the session pages from the older registry profile and stores them in
  // the program folder. When that profile holds no pages, the stored ones are restored as on any
  // start: an update never replaces them with an empty book.
  if (book_) {
    if (!(DoUpdate && book_->ImportSessionMonitors()))
      book_->LoadSessionMonitors();
    else
      book_->SaveSessionMonitors();
  }
  if (auto_monitor_) {
    if (DoUpdate) auto_monitor_->ConvertAllDevices();
    auto_monitor_->SelDeviceChanged();
  }
  DoUpdate = false;
  if (MsgHandler && book_) UpdateProtMonitor(MsgHandler);
  if (Autobac && MonitorBook) Autobac->OpenMonitor();
  PlaceStatusPanes();
  if (StatusBar) StatusBar->OnResize = [this](TComponent*) { PlaceStatusPanes(); };
}

void TQvBaseForm::PlaceStatusPanes() {
  if (!StatusBar || !ClockPane || !AnimPanel) return;
  ClockPane->SetLeft(StatusBar->Width() - 12 - ClockPane->Width());
  AnimPanel->SetLeft(ClockPane->Left() - 3 - AnimPanel->Width());
}

void TQvBaseForm::RequestUpdate() {
  if (UpdatePending || !IdleTaskManager || !UpdateTimer) return;
  DisableControls();
  UpdatePending = true;
  UpdateTimer->Restart();
  IdleTaskManager->AddTask(this, UpdateTimer.get(),
                           [this](TIdleTaskManager*, TTimer2*, bool& done) { UpdateTask(done); });
}

void TQvBaseForm::UpdateTask(bool& done) {
  UpdatePending = false;
  done = true;
  UpdateControls();
}

void TQvBaseForm::DisableControls() {
  for (TControl* c : std::initializer_list<TControl*>{MonButton1, MonButton2, DelVObjButton})
    if (c) c->SetEnabled(false);
  for (TMenuItem* m : {EMenVO, VMenVO, EMenAddMonitor, EMenLoadMon})
    if (m) m->SetEnabled(false);
}

void TQvBaseForm::UpdateControls() {
  if (destroying_) return;
  TVisObj* vo = Selector ? Selector->SelObj() : nullptr;
  // The layout hides the monitor and delete buttons; they show while there is something for
  // them to act on, so that a diagram can be added from the toolbar at all.
  const bool monitor = book_ && book_->GetSelMonMan();
  for (TControl* c : std::initializer_list<TControl*>{MonButton1, MonButton2})
    if (c) c->SetVisible(monitor);
  if (DelVObjButton) DelVObjButton->SetVisible(vo != nullptr);
  if (book_) {
    book_->SetMonButton1(MonButton1);
    book_->SetMonButton2(MonButton2);
  }
  if (vo) {
    vo->SetDelButton(DelVObjButton);
    vo->SetPrintButton(PrintVoBtn);
    vo->SetPrintMenu(FPMenPrintVo);
  }
  if (book_) {
    book_->SetEditMenu(EMenMonitor);
    book_->SetViewMenu(VMenMonitor);
  }
  for (TMenuItem* m : {EMenVO, VMenVO}) {
    if (!m) continue;
    m->SetVisible(vo != nullptr);
    m->SetEnabled(vo != nullptr);
  }
  if (vo) {
    vo->SetEditMenu(EMenVO);
    vo->SetViewMenu(VMenVO);
  }
  for (TMenuItem* m : {EMenAddMonitor, EMenLoadMon})
    if (m) m->SetEnabled(true);
  UpdateDeviceMenus();
}

void TQvBaseForm::UpdateDeviceMenus() {
  auto* module = DbShell ? dynamic_cast<TTv10Modul*>(DbShell->GetSelDevice()) : nullptr;
  if (!module) return;
  if (module->TavraTyp() == 7) {
    for (const char* name : {"IMenReadMem", "IMenClearMem", "IMenSyncClock"})
      if (TMenuItem* m = Named<TMenuItem>(this, name)) m->SetEnabled(false);
    if (read_mem_button_) read_mem_button_->SetEnabled(false);
    return;
  }
  // The items follow what the selected handler can do, less what the user's rights take away.
  FollowDeviceHandlers();
}

void TQvBaseForm::FollowDeviceHandlers() {
  if (DevHandlColl) DevHandlColl->UpdateMenus();
  for (const char* name : {"IMenReadMem", "IMenClearMem", "IMenSyncClock", "IMenReadCfg"})
    if (TMenuItem* m = Named<TMenuItem>(this, name); m && Denied(name)) m->SetEnabled(false);
  TMenuItem* read_mem = Named<TMenuItem>(this, "IMenReadMem");
  if (read_mem_button_) read_mem_button_->SetEnabled((!read_mem || read_mem->Enabled()) && !Denied("ReadMemButton"));
}

bool TQvBaseForm::Denied(const std::string& name) const {
  return std::find(denied_device_commands_.begin(), denied_device_commands_.end(), name) !=
         denied_device_commands_.end();
}

void TQvBaseForm::SetCommandEnabled(const std::string& name, bool enabled) {
  if (IsName(name, {"IMenReadMem", "IMenClearMem", "IMenSyncClock", "IMenReadCfg", "ReadMemButton"})) {
    auto it = std::find(denied_device_commands_.begin(), denied_device_commands_.end(), name);
    if (!enabled && it == denied_device_commands_.end()) denied_device_commands_.push_back(name);
    if (enabled && it != denied_device_commands_.end()) denied_device_commands_.erase(it);
    if (!enabled) {
      if (name == "ReadMemButton") {
        if (read_mem_button_) read_mem_button_->SetEnabled(false);
      } else if (TMenuItem* m = Named<TMenuItem>(this, name)) {
        m->SetEnabled(false);
      }
    } else if (DbShell && dynamic_cast<TTv10Modul*>(DbShell->GetSelDevice())) {
      UpdateDeviceMenus();
    } else {
      FollowDeviceHandlers();
    }
    return;
  }
  if (TMenuItem* m = Named<TMenuItem>(this, name)) m->SetEnabled(enabled);
  if (TSpeedButton* b = Named<TSpeedButton>(this, name)) b->SetEnabled(enabled);
}

void TQvBaseForm::UpdateCaption() {
  if (!DbShell) return;
  TDevice* device = DbShell->GetSelDevice();
  SetCaption("Quarvel2 - [" + (device ? device->GetTreeIdName() : std::string(" ")) + "]");
}

void TQvBaseForm::DeviceChanged() {
  if (DisconnectOnDevChange && !(Recorder && Recorder->Running()) && Connection && Connection->InProcess()) {
    // A command on the line keeps it until it ends, also when the change is its own (a read
    // that adds its logger to the tree).
    if (DevHandlColl && DevHandlColl->LineBusy())
      DevHandlColl->DisconnectAfterCommand();
    else
      Connection->DisConnect();
  }
  UpdateCaption();
  if (auto_monitor_) auto_monitor_->SelDeviceChanged();
}

void TQvBaseForm::UpdateLanguage() {
  if (ApplModule && book_ && Selector) {
    ApplModule->SetFormatSettings();
    book_->UpdateLanguage();
    RequestUpdate();
    ApplModule->SetHelpFile();
  }
  if (DevHandlColl) DevHandlColl->UpdateLanguage();
  if (Recorder) Recorder->UpdateLanguage();
}

void TQvBaseForm::SelectLanguage() {
  NoteUserActivity();
  const TWindowState state = WindowState();
  LangSwitching = -1;
  try {
    if (SelectResourceLanguage(TPosition::poScreenCenter, 0, 0, nullptr)) {
      SaveResourceLocale();
      UpdateLanguage();
      LanguageChanged();
    }
  } catch (...) {
    LangSwitching = 0;
    throw;
  }
  LangSwitching = 0;
  SetWindowState(state);
}

void TQvBaseForm::mehFMenExitClick() {
  NoteUserActivity();
  Close();
}

void TQvBaseForm::mehFormShow() {
  UpdateCaption();
  UpdateLanguage();
}

bool TQvBaseForm::mehFormCloseQuery() { return !Recorder || Recorder->ConfirmStop(); }

bool TQvBaseForm::CloseQuery() {
  NoteUserActivity();
  return TMultilingualForm1::CloseQuery() && mehFormCloseQuery();
}

void TQvBaseForm::DoClose(TCloseAction& action) {
  TMultilingualForm1::DoClose(action);
  if (action != TCloseAction::caNone && book_ && EndsProgram()) book_->CloseSession();
}

bool TQvBaseForm::EndsProgram() const { return Application && Application->MainForm() == this; }

void TQvBaseForm::mehOMenProtocolClick() {
  NoteUserActivity();
  if (MsgHandler) MsgHandler->EditProtOptions();
}

void TQvBaseForm::mehOMenAutoMonClick() {
  NoteUserActivity();
  if (auto_monitor_) auto_monitor_->EditSettings();
}

void TQvBaseForm::mehOMenExplorerClick() {
  NoteUserActivity();
  RunExplorer();
}

void TQvBaseForm::mehIMenDelDeviceClick() {
  NoteUserActivity();
  if (DbShell) DbShell->DeleteDevice();
}

void TQvBaseForm::mehMonButton2Click() {
  NoteUserActivity();
  const TVisObjClass* table = nullptr;
  if (!book_ || !VOClassRegistry || !VOClassRegistry->FindClass("TValTable", table)) return;
  if (!book_->CanAcceptClass(table)) return;
  TVisObj* vo = nullptr;
  book_->InsertVisObj(kAppendPosition, table, vo);
}

void TQvBaseForm::mehMonButton1Click() {
  NoteUserActivity();
  if (!book_ || !VOClassRegistry || !book_->CanAcceptClass(&DiagramVOClass)) return;
  const TVisObjClass* cls = nullptr;
  if (!VOClassRegistry->SelectClass(&DiagramVOClass, true, cls, LoadResString("dmo_SelDiagrCap"),
                                    LoadResString("dmo_SelDiagrType"), ""))
    return;
  TVisObj* vo = nullptr;
  book_->InsertVisObj(kAppendPosition, cls, vo);
}

void TQvBaseForm::mehEMenAddMonitorClick() {
  NoteUserActivity();
  if (book_) book_->AddMonitorDlg();
}

void TQvBaseForm::mehEMenLoadMonClick() {
  NoteUserActivity();
  if (book_) book_->LoadCustomMonitor();
}

void TQvBaseForm::mehDelVObjBtnMenClick() {
  NoteUserActivity();
  if (Selector && Selector->SelObj()) Selector->SelObj()->RequestDelete();
}

void TQvBaseForm::ShowHelp(int32_t context) {
  const std::string file = ApplModule ? ApplModule->HelpFile() : std::string();
  if (!file.empty() && std::filesystem::exists(file) && OpenDocumentFile(file)) return;
  (void)context;  // the desktop's viewer opens the file at its start
  MessageDlg(Format(LoadResString("app_NoHelpFile"), file), TMsgDlgType::mtInformation, mbOK);
}

void TQvBaseForm::mehHMenContentsClick() {
  NoteUserActivity();
  ShowHelp(0);
}

void TQvBaseForm::mehHMenUsingHelpClick() {
  NoteUserActivity();
  ShowHelp(0);
}

void TQvBaseForm::mehHMenSupplClick() {
  NoteUserActivity();
  ShowHelp(kSupplementsHelp);
}

void TQvBaseForm::mehHMenInfoClick() {
  NoteUserActivity();
  std::unique_ptr<TD22_AboutBox> box = std::make_unique<TD22_AboutBox>(Application);
  box->ShowModal();
}

void TQvBaseForm::mehOnReadMemClick() {
  NoteUserActivity();
  if (DevHandlColl) DevHandlColl->ReadMemAnonym(true, true);
}

void TQvBaseForm::mehFormKeyDown(uint16_t& key, TShiftState shift) {
  NoteUserActivity();
  if (Selector && Selector->SelObj()) Selector->SelObj()->HandleKey(key, shift);
}

void TQvBaseForm::KeyDown(uint16_t& key, TShiftState shift) {
  mehFormKeyDown(key, shift);
  if (key) TMultilingualForm1::KeyDown(key, shift);
}

void TQvBaseForm::PrintScreenshot() {
  NoteUserActivity();
  TBitmap image(Width(), Height());
  PaintTo(image.Canvas(), 0, 0);
  TPrinter& printer = Printer();
  printer.Title = Caption();
  printer.FileTitle.clear();
  printer.BeginDoc();
  try {
    // Scaled to fit the page, keeping the window's proportions.
    const double scale = std::min(static_cast<double>(printer.PageWidth()) / std::max(1, Width()),
                                  static_cast<double>(printer.PageHeight()) / std::max(1, Height()));
    printer.Canvas().StretchDraw(Rect(0, 0, static_cast<int>(Width() * scale), static_cast<int>(Height() * scale)),
                                 image);
  } catch (...) {
    printer.Abort();
    throw;
  }
  printer.EndDoc();
}

void TQvBaseForm::Unbind() {
  if (DbShell) {
    DbShell->OnChange = nullptr;
    DbShell->OnListChange = nullptr;
    DbShell->SetDeviceCombo(nullptr);
    DbShell->SetSelDevMenu(nullptr);
  }
  if (Connection) Connection->SetCommMenu(nullptr);
  if (DevHandlColl) {
    DevHandlColl->SetDevTypeMenu(nullptr);
    DevHandlColl->SetReadCfgMenu(nullptr);
    DevHandlColl->SetReadMemMenu(nullptr);
    DevHandlColl->SetClearMemMenu(nullptr);
    DevHandlColl->SetSyncClockMenu(nullptr);
  }
  if (Recorder) {
    TRecorderControls& controls = RecorderControls(*Recorder);
    controls.SetRecorderMenu(nullptr);
    controls.SetRecorderBtn(nullptr);
    controls.SetAutoScrollBtn(nullptr);
    controls.SetStatusBox(nullptr);
    controls.SetStatusPane(nullptr);
  }
  if (ExportManager) {
    ExportManager->SetExportMenu(nullptr);
    ExportManager->SetExportBtn(nullptr);
  }
}

TQvBaseForm::~TQvBaseForm() {
  destroying_ = true;
  // The recorder's worker writes into the device tree's data sets, which go with the module
  // chain: it stops before anything is freed, also when the window goes without a close.
  if (Recorder && Recorder->Running()) Recorder->Stop();
  // The tasks hold this window and its timer.
  if (IdleTaskManager) {
    IdleTaskManager->RemoveTask(this, nullptr);
    IdleTaskManager->RemoveTask(this, UpdateTimer.get());
  }
  if (StatusBar) StatusBar->OnResize = nullptr;
  // Stores the selected device's automatic pages, while the shell still lists the device.
  delete auto_monitor_;
  auto_monitor_ = nullptr;
  Unbind();
  print_layout_.reset();  // stores its settings
  delete book_;           // stores the session's pages
  book_ = nullptr;
  delete DtNavigator;
  DtNavigator = nullptr;
  UpdateTimer.reset();
  delete VOClassRegistry;
  VOClassRegistry = nullptr;
  delete MonitorClassReg;
  MonitorClassReg = nullptr;
  delete GraphicRegistry;
  GraphicRegistry = nullptr;
  delete Selector;
  Selector = nullptr;
  combo_adapter_.reset();
  menu_adapter_.reset();
  if (StatusPaintBox && StatusPaintBox->Owner() == this) StatusPaintBox = nullptr;
  // The window's components, then the module chain, which frees the application-wide objects.
  DestroyComponents();
  if (owns_module_ && ApplModule) {
    delete ApplModule;
    ApplModule = nullptr;
  }
}

}  // namespace qv
