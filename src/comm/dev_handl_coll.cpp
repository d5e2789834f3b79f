#include "comm/dev_handl_coll.h"

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/ini_file.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "base/select_dlg.h"
#include "comm/comm_gui_hooks.h"
#include "comm/process_window_service.h"
#include "comm/recorder.h"
#include "devices/db_shell.h"
#include "devices/tavra2g_device.h"

namespace qv {

TDevHandlColl* DevHandlColl = nullptr;

namespace {
constexpr const char* kSection = "DevHandlColl";
constexpr const char* kSelKey = "SelDeviceHndl";
}  // namespace

TDevHandlColl::TDevHandlColl() {
  if (!DevHandlService) DevHandlService = this;
}

TDevHandlColl::~TDevHandlColl() {
  try {
    if (!IniFileName.empty()) {
      TIniFile ini(IniFileName);
      if (TDevHandler0* cur = GetCurHandler())
        ini.WriteString(kSection, kSelKey, cur->ClassName());
      else
        ini.DeleteKey(kSection, kSelKey);
    }
  } catch (const std::exception& e) {
    if (MsgHandler)
      MsgHandler->HandleMessage(e.what(), "TDevHandlColl.Destroy", TMsgDlgType::mtError, mbOK, 0, 0, true, mkError);
  }
  // The recorder runs on the handlers' hooks: it stops before they go, and forgets them.
  if (recorder_) {
    try {
      recorder_->Stop();
    } catch (const std::exception&) {
      // The stop has reported its own errors.
    }
    recorder_->UnbindHooks();
    recorder_->OnStart = nullptr;
    recorder_->OnChange = nullptr;
  }
  for (const auto& h : handlers_) h->StoreSettings();
  handlers_.clear();
  if (DevHandlColl == this) DevHandlColl = nullptr;
  if (DevHandlService == this) DevHandlService = nullptr;
}

void TDevHandlColl::RegisterHndlType(const THandlerClass& handler_class) {
  if (!handler_class) throw Exception("Error in TDevHandlColl.RegisterHndlType: Type of DeviceHandler not defined");
  std::unique_ptr<TDevHandler0> handler = handler_class();
  for (const auto& h : handlers_)
    if (h->ClassName() == handler->ClassName()) return;
  handler->OnCommandEnd = [this](bool keep_line) { CommandEnded(keep_line); };
  handlers_.push_back(std::move(handler));
}

void TDevHandlColl::DeleteHandler(int index) {
  if (index < 0 || index >= Count()) throw Exception("Error in TDevHandlColl.DeleteHandler: index out of range!");
  Handlers(index)->StoreSettings();
  handlers_.erase(handlers_.begin() + index);
  if (sel_index_ == index)
    sel_index_ = -1;
  else if (sel_index_ > index)
    --sel_index_;
}

int TDevHandlColl::UsableCount() const {
  int n = 0;
  for (const auto& h : handlers_) n += h->Usable() ? 1 : 0;
  return n;
}

void TDevHandlColl::SelectStored() {
  std::string name;
  if (!IniFileName.empty()) name = TIniFile(IniFileName).ReadString(kSection, kSelKey, "");
  for (int i = 0; i < Count() && !name.empty(); ++i)
    if (Handlers(i)->ClassName() == name && SelectHandler(i, false)) return;
  for (int i = 0; i < Count() && !GetCurHandler(); ++i)
    if (SelectHandler(i, false)) return;
}

bool TDevHandlColl::SelectHandler(int index, bool ask) {
  if (index >= 0 && index == sel_index_) return true;
  if (index < 0 || index >= Count() || !Handlers(index)->Usable()) return false;
  if (TDevHandler0* old = GetCurHandler()) old->TakeConnType();
  TDevHandler0* handler = Handlers(index);
  handler->ApplyConnTypes(ask);
  handler->ApplyPortSettings();
  sel_index_ = index;
  UpdateMenus();
  if (recorder_ && !recorder_->Running()) recorder_->SetEnabled(handler->CanRecord());
  return true;
}

TDevHandler0* TDevHandlColl::GetCurHandler() const {
  return sel_index_ >= 0 && sel_index_ < Count() ? Handlers(sel_index_) : nullptr;
}

bool TDevHandlColl::SelectByModul(const TDevice* module) {
  for (int i = 0; i < Count(); ++i)
    if (Handlers(i)->HandlesModul(module)) return SelectHandler(i, false);
  return false;
}

void TDevHandlColl::SelectTypeOfInstr() {
  if (UsableCount() < 2 || !SelectDlgProc) return;
  TStringList names;
  for (const auto& h : handlers_) names.Add(h->GetName());
  int32_t index = sel_index_;
  if (SelectDlgProc(LoadResString("dhc_SelTypeOfInstr"), "", "", 0, names, index) == mrOk) SelectHandler(index, true);
}

bool TDevHandlColl::Refuse(const std::string& key, const std::string& source) const {
  if (MsgHandler)
    MsgHandler->HandleMessage(LoadResString(key), source, TMsgDlgType::mtError, mbOK, 0, 0, true, mkWarning);
  return false;
}

TDevHandler0* TDevHandlColl::Checked(bool (TDevHandler0::*can)() const, const std::string& source) const {
  TDevHandler0* handler = GetCurHandler();
  if (!handler)
    Refuse("dhc_MsgNoDevHndl", source);
  else if (!(handler->*can)())
    Refuse("dhc_MsgCurNotSupp", source);
  else
    return handler;
  return nullptr;
}

bool TDevHandlColl::ReadCfgAnonym(bool interactive, bool disconnect) {
  TDevHandler0* h = Checked(&TDevHandler0::CanReadCfgAnonym, "TDevHandlColl.ReadCfgAnonym");
  return h && h->ReadCfgAnonym(interactive, disconnect);
}

bool TDevHandlColl::ReadMemAnonym(bool interactive, bool disconnect) {
  TDevHandler0* h = Checked(&TDevHandler0::CanReadMemAnonym, "TDevHandlColl.ReadMemAnonym");
  return h && h->ReadMemAnonym(interactive, disconnect);
}

bool TDevHandlColl::ClearMemAnonym(bool interactive, bool disconnect) {
  TDevHandler0* h = Checked(&TDevHandler0::CanClearMemAnonym, "TDevHandlColl.ClearMemAnonym");
  return h && h->ClearMemAnonym(interactive, disconnect);
}

bool TDevHandlColl::SyncClock(bool interactive, bool disconnect) {
  TDevHandler0* h = Checked(&TDevHandler0::CanSyncClock, "TDevHandlColl.SyncClock");
  return h && h->SyncClock(interactive, disconnect);
}

bool TDevHandlColl::ReadOnline(TDevice* module, bool disconnect) {
  TDevHandler0* h = Checked(&TDevHandler0::CanReadOnline, "TDevHandlColl.ReadOnline");
  return h && h->ReadOnline(module, disconnect);
}

TDevHandler0* TDevHandlColl::ForModule(TDevice* module, bool (TDevHandler0::*can)(TDevice*) const,
                                       const std::string& source) {
  if (handlers_.empty()) {
    Refuse("dhc_MsgNoDevHndl", source);
    return nullptr;
  }
  for (int i = 0; i < Count(); ++i) {
    if (!(Handlers(i)->*can)(module)) continue;
    if (i != sel_index_ && !SelectHandler(i, false)) SelectByModul(module);
    return Handlers(i);
  }
  Refuse("dhc_MsgNotSupported", source);
  return nullptr;
}

bool TDevHandlColl::ReadCfgDevice(TDevice* module, bool interactive, bool& changed, bool ask) {
  TDevHandler0* h = ForModule(module, &TDevHandler0::CanReadCfgDevice, "TDevHandlColl.ReadCfgDevice");
  return h && h->ReadCfgDevice(module, interactive, changed, ask);
}

bool TDevHandlColl::WriteConfig(TDevice* module, bool interactive) {
  TDevHandler0* h = ForModule(module, &TDevHandler0::CanWriteConfig, "TDevHandlColl.WriteConfig");
  return h && h->WriteConfig(module, interactive);
}

void TDevHandlColl::CloseConnection() {
  if (Connection) Connection->DisConnect();
}

void TDevHandlColl::EditConnection() {
  if (Connection) Connection->Edit();
}

void TDevHandlColl::BindMenu(std::unique_ptr<TBoundMenuItem>& slot, TMenuItem* item, std::function<void()> click) {
  // Null unbinds: the window that owns the item goes before the collection.
  if (!item) {
    slot.reset();
    return;
  }
  if (slot && slot->Item()) return;
  slot = BindMenuItem(item, std::move(click));
  UpdateMenus();
}

void TDevHandlColl::SetDevTypeMenu(TMenuItem* item) {
  BindMenu(dev_type_menu_, item, [this] { SelectTypeOfInstr(); });
}
void TDevHandlColl::SetReadCfgMenu(TMenuItem* item) {
  BindMenu(read_cfg_menu_, item, [this] { ReadCfgAnonym(true, true); });
}
void TDevHandlColl::SetReadMemMenu(TMenuItem* item) {
  BindMenu(read_mem_menu_, item, [this] { ReadMemAnonym(true, true); });
}
void TDevHandlColl::SetClearMemMenu(TMenuItem* item) {
  BindMenu(clear_mem_menu_, item, [this] { ClearMemAnonym(true, true); });
}
void TDevHandlColl::SetSyncClockMenu(TMenuItem* item) {
  BindMenu(sync_clock_menu_, item, [this] { SyncClock(true, true); });
}

void TDevHandlColl::UpdateMenus() {
  bool running = Running();
  TDevHandler0* h = GetCurHandler();
  // The items share the main menu: it is rebuilt once for all of them.
  TBoundMenuUpdate batch({dev_type_menu_.get(), read_cfg_menu_.get(), read_mem_menu_.get(), clear_mem_menu_.get(),
                          sync_clock_menu_.get()});
  if (dev_type_menu_) {
    bool several = UsableCount() >= 2;
    dev_type_menu_->SetVisible(several);
    if (several) dev_type_menu_->SetEnabled(!running);
  }
  if (read_cfg_menu_) read_cfg_menu_->SetEnabled(h && h->CanReadCfgAnonym() && !running);
  // A kind-7 device's own view drives these three items.
  auto* selected = DbShell ? dynamic_cast<TTavra2GModul*>(DbShell->GetSelDevice()) : nullptr;
  if (selected && selected->TavraTyp() == 7) return;
  if (read_mem_menu_) read_mem_menu_->SetEnabled(h && h->CanReadMemAnonym() && !running);
  if (clear_mem_menu_) clear_mem_menu_->SetEnabled(h && h->CanClearMemAnonym() && !running);
  if (sync_clock_menu_) sync_clock_menu_->SetEnabled(h && h->CanSyncClock() && !running);
}

bool TDevHandlColl::LineBusy() const {
  for (int i = 0; i < Count(); ++i)
    if (Handlers(i)->InCommand() || Handlers(i)->ProtocolRunning()) return true;
  return false;
}

void TDevHandlColl::CommandEnded(bool keep_line) {
  if (!disconnect_pending_ || LineBusy()) return;
  disconnect_pending_ = false;
  // The same rule as for a change on an idle line; a recording that started meanwhile keeps it.
  if (keep_line || !DisconnectOnDevChange || Running() || (Recorder && Recorder->Running())) return;
  if (Connection && Connection->InProcess()) Connection->DisConnect();
}

bool TDevHandlColl::Running() const { return recorder_ && recorder_->Running(); }

void TDevHandlColl::BindRecorder(TRecorder* recorder) {
  recorder_ = recorder;
  if (!recorder) return;
  recorder->OnStart = [this](TRecorder* r) { RecorderStart(r); };
  recorder->OnChange = [this](TRecorder*) { UpdateMenus(); };
  TDevHandler0* handler = GetCurHandler();
  if (!recorder->Running()) recorder->SetEnabled(handler && handler->CanRecord());
}

void TDevHandlColl::RecorderStart(TRecorder* recorder) {
  TDevHandler0* handler = GetCurHandler();
  if (!handler || !handler->CanRecord()) throw Exception("TDevHandlColl.RecorderStart: Recorder not supported");
  handler->SetRecorderHooks(recorder);
}

}  // namespace qv
