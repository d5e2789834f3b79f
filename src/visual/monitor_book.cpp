#include "visual/monitor_book.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "base/registry.h"
#include "base/res_string.h"
#include "base/select_dlg.h"
#include "comm/process_window_service.h"
#include "platform/rtl/string_list.h"
#include "visual/bit_monitor.h"
#include "visual/ddt_monitor.h"

namespace qv {

namespace {
constexpr const char* kSessionSection = "SessionMonitors";
constexpr const char* kNewPage = "NewMonitor";
constexpr int kMaxMonitorId = 99;
constexpr const char* kMonitorIdKey = "MonitorId";
// As many entries as the store command lists.
constexpr int kMaxCustomEntries = 1000;

std::string RegClassName(const TRegistry& registry) {
  return registry.ValueExists("ClassName") ? registry.ReadString("ClassName") : "";
}

void Report(const std::string& text) {
  if (MsgHandler) MsgHandler->DoMessage(text, "", TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkLogOnly);
}
}  // namespace

TMonitorBook::TMonitorBook(TComponent* owner) : TCustomPanel(owner) {
  SetAlign(TAlign::alClient);
  SetCaption("");
  SetBevelOuter(TPanelBevel::bvNone);
  notebook_ = new TNotebook(this);
  notebook_->SetParent(this);
  notebook_->SetAlign(TAlign::alClient);
  tab_set_ = new TTabSet(this);
  tab_set_->SetParent(this);
  tab_set_->SetAlign(TAlign::alBottom);
  tab_set_->SetHeight(21);
  tab_set_->SetVisible(false);
  tab_set_->OnClick = [this](TComponent* s) { TabClick(s); };
  tab_set_->OnMouseDown = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
    TabMouseDown(s, b, sh, x, y);
  };
  NewFirstMonitor();
}

void TMonitorBook::NewFirstMonitor() {
  if (notebook_->PageCount() == 0) {
    notebook_->AddPage(kNewPage);
    tab_set_->InsertTab(0, kNewPage);
  }
  notebook_->SetPageIndex(0);
  tab_set_->SetTabIndex(0);
  LastMonitorId = 1;
  TMonitorMan* monitor = CreateMonitor<TDDTMonitor>(notebook_);
  monitor->Id = 1;
  Connect(monitor);
  UpdatePopup();
  UpdateTabCaptions();
}

TMonitorBook::~TMonitorBook() {
  if (!session_closed_) SaveSession(false);
  destroying_ = true;
  OnChange = nullptr;
  // Last page first, so that no page index has to move.
  for (int i = GetMonitorCount() - 1; i >= 0; --i) delete GetMonitor(i);
  if (MonitorBook == static_cast<TMonitorBookService*>(this)) MonitorBook = nullptr;
}

void TMonitorBook::Connect(TMonitorMan* monitor) {
  monitor->OnChange = [this](TComponent* s) { MonitorChanged(s); };
  monitor->OnDestroy = [this](TComponent* s) { MonitorDestroy(s); };
}

// ---- pages ----

TMonitorMan* TMonitorBook::GetMonitor(int index) const {
  if (index < 0 || index >= notebook_->PageCount()) return nullptr;
  for (int i = 0; i < notebook_->ComponentCount(); ++i) {
    auto* monitor = dynamic_cast<TMonitorMan*>(notebook_->Components(i));
    if (monitor && monitor->PageIndex == index) return monitor;
  }
  return nullptr;
}

int TMonitorBook::FirstPageOfGroup(int32_t group) const {
  for (int i = 0; i < GetMonitorCount(); ++i)
    if (TMonitorMan* m = GetMonitor(i); m && m->GroupIndex == group) return i;
  return -1;
}

int TMonitorBook::LastPageOfGroup(int32_t group) const {
  for (int i = GetMonitorCount() - 1; i >= 0; --i)
    if (TMonitorMan* m = GetMonitor(i); m && m->GroupIndex == group) return i;
  return -1;
}

int32_t TMonitorBook::NextGroupIndex(int32_t group) const {
  int32_t next = group;
  for (int i = 0; i < GetMonitorCount(); ++i)
    if (TMonitorMan* m = GetMonitor(i); m && m->GroupIndex > group && (next == group || m->GroupIndex < next))
      next = m->GroupIndex;
  return next;
}

int32_t TMonitorBook::AddMonitor() {
  if (LastMonitorId < kMaxMonitorId) return ++LastMonitorId;
  for (int32_t id = 1; id <= kMaxMonitorId; ++id) {
    bool used = false;
    for (int i = 0; i < GetMonitorCount() && !used; ++i)
      if (TMonitorMan* m = GetMonitor(i)) used = m->Id == id;
    if (!used) return id;
  }
  throw Exception("Error in TMonitorBook.AddMonitor: no Vacant Id");
}

TMonitorMan* TMonitorBook::AddGroupMonitor(int32_t group_index, const TMonitorClass* cls) {
  if (!cls || !cls->Create) throw Exception("Error in TMonitorBook.AddGroupMonitor: TypeOfClass is nil");
  const int shown = tab_set_->TabIndex();
  int pos = LastPageOfGroup(group_index);
  if (pos >= 0) {
    ++pos;
  } else if (NextGroupIndex(group_index) != group_index) {
    pos = FirstPageOfGroup(NextGroupIndex(group_index));
  } else {
    pos = GetMonitorCount();
  }
  const int32_t id = AddMonitor();
  for (int i = GetMonitorCount() - 1; i >= pos; --i)
    if (TMonitorMan* m = GetMonitor(i)) m->IncPageIndex();
  notebook_->InsertPage(pos, kNewPage);
  tab_set_->InsertTab(pos, kNewPage);
  notebook_->SetPageIndex(pos);
  TMonitorMan* monitor = nullptr;
  try {
    monitor = cls->Create(notebook_);
  } catch (...) {
    notebook_->DeletePage(pos);
    tab_set_->DeleteTab(pos);
    for (int i = 0; i < notebook_->ComponentCount(); ++i)
      if (auto* m = dynamic_cast<TMonitorMan*>(notebook_->Components(i)); m && m->PageIndex > pos) m->DecPageIndex();
    throw;
  }
  monitor->Id = id;
  monitor->GroupIndex = group_index;
  Connect(monitor);
  tab_set_->SetVisible(GetMonitorCount() > 1);
  if (shown >= 0) {
    const int back = shown >= pos ? shown + 1 : shown;
    tab_set_->SetTabIndex(back);
    notebook_->SetPageIndex(back);
  }
  UpdatePopup();
  UpdateTabCaptions();
  DoChange();
  return monitor;
}

void TMonitorBook::SetTabIndex(int index) {
  if (index < 0 || index >= tab_set_->TabCount()) return;
  tab_set_->SetTabIndex(index);
  TabClick(tab_set_);
}

void TMonitorBook::TabClick(TComponent* sender) {
  if (auto* entry = dynamic_cast<TMenuItem*>(sender)) {
    const int page = static_cast<int>(entry->Tag) - 1000;
    if (page >= 0 && page < tab_set_->TabCount()) tab_set_->SetTabIndex(page);
  }
  const int tab = tab_set_->TabIndex();
  if (tab < 0 || tab == notebook_->PageIndex()) return;
  // A monitor on its way out has let go of its objects already.
  if (TMonitorMan* old = GetSelMonMan(); old && !old->Destroying()) old->Deactivate();
  if (TMonitorMan* now = GetMonitor(tab)) now->Activate();
  notebook_->SetPageIndex(tab);
  UpdatePopup();
  UpdateMonitorMenu();
  DoChange();
}

void TMonitorBook::TabMouseDown(TComponent*, TMouseButton button, TShiftState, int x, int y) {
  if (button != TMouseButton::mbRight) return;
  int height = tab_set_->TabHeight();
  if (tab_set_->Style() != TTabStyle::tsOwnerDraw) {
    TCanvas canvas;
    canvas.Font().Assign(tab_set_->Font());
    height = canvas.TextHeight("T") + 4;
  }
  TPopupMenu* popup = notebook_->PopupMenu();
  if (!popup || y < 0 || y >= height || tab_set_->TabIndex() < 0 || tab_set_->TabAt(x) != tab_set_->TabIndex()) return;
  const TPoint at = tab_set_->ClientToScreen(TPoint{x, y});
  popup->SetPopupComponent(notebook_);
  popup->Popup(at.X, at.Y);
}

bool TMonitorBook::SetSelDiagramTitle(const std::string& title) {
  auto* monitor = dynamic_cast<TDDTMonitor*>(GetSelMonMan());
  if (!monitor) return false;
  monitor->SetCustomTitle(title);
  return true;
}

void TMonitorBook::DeleteSelectedMonitor(bool confirm) {
  if (TMonitorMan* m = GetSelMonMan()) TMonitorMan::DeleteMonitor(m, confirm);
}

void TMonitorBook::FreeEmptyMonitors() {
  std::vector<TMonitorMan*> empty;
  for (int i = 0; i < notebook_->ComponentCount(); ++i)
    if (auto* m = dynamic_cast<TMonitorMan*>(notebook_->Components(i)); m && m->IsEmpty()) empty.push_back(m);
  for (TMonitorMan* m : empty) delete m;
}

void TMonitorBook::MonitorDestroy(TComponent* sender) {
  auto* monitor = dynamic_cast<TMonitorMan*>(sender);
  if (!monitor) throw Exception("Error in TMonitorBook.MonitorDestroy: Sender is not TMonitorMan");
  const int p = monitor->PageIndex;
  if (GetMonitor(p) != monitor) throw Exception("Error in TMonitorBook.MonitorDestroy: Index of Sender invalid");
  const int last = GetMonitorCount() - 1;
  // Only the page in front hands the view on; a page that goes behind it leaves the user where
  // he is.
  const int shown = notebook_->PageIndex();
  if (p < last && !destroying_ && p == shown) {
    tab_set_->SetTabIndex(p + 1);
    TabClick(tab_set_);
  }
  for (int i = p + 1; i <= last; ++i)
    if (TMonitorMan* m = GetMonitor(i)) m->DecPageIndex();
  monitor->PageIndex = last + 1;
  if (last > 0) {
    // The page goes with the monitor's controls on it, after the monitor has let go of them.
    notebook_->DeletePage(p);
    tab_set_->DeleteTab(p);
    if (!destroying_) {
      if (p == shown) {
        const int tab = std::min(p, tab_set_->TabCount() - 1);
        tab_set_->SetTabIndex(tab);
        notebook_->SetPageIndex(tab);
        if (p > last - 1)
          if (TMonitorMan* now = GetMonitor(tab)) now->Activate();
      } else {
        const int kept = shown > p ? shown - 1 : shown;
        tab_set_->SetTabIndex(kept);
        notebook_->SetPageIndex(kept);
      }
      DoChange();
    }
  } else if (!destroying_) {
    tab_set_->SetTabIndex(0);
    NewFirstMonitor();
    DoChange();
  }
  if (destroying_) return;
  tab_set_->SetVisible(GetMonitorCount() > 1);
  UpdatePopup();
  UpdateTabCaptions();
}

void TMonitorBook::MonitorChanged(TComponent* sender) {
  if (OnChange) OnChange(sender);
  UpdateTabCaptions();
}

void TMonitorBook::DoChange() {
  if (OnChange) OnChange(this);
}

void TMonitorBook::UpdateLanguage() {
  if (destroying_) return;
  for (int i = 0; i < GetMonitorCount(); ++i)
    if (TMonitorMan* m = GetMonitor(i)) m->UpdateLanguage();
  UpdateTabCaptions();
}

void TMonitorBook::UpdateTabCaptions() {
  if (destroying_) return;
  for (int i = 0; i < GetMonitorCount(); ++i)
    if (TMonitorMan* m = GetMonitor(i)) {
      notebook_->Page(i)->SetCaption(m->GetTitle());
      tab_set_->SetTab(i, m->GetTitle());
    }
  UpdateMonitorMenu();
}

void TMonitorBook::UpdatePopup() {
  if (destroying_) return;
  TMonitorMan* m = GetSelMonMan();
  notebook_->SetPopupMenu(m ? m->Popup() : nullptr);
}

void TMonitorBook::AddMonitorDlg() {
  const TMonitorClass* cls = nullptr;
  if (MonitorClassReg && MonitorClassReg->SelectClass(&MonitorManClass, true, cls, LoadResString("mob_SelMonitorCap"),
                                                      LoadResString("mob_SelMonitorType"), ""))
    AddGroupMonitor(100, cls);
}

// ---- forwarding ----

void TMonitorBook::SetEditMenu(TMenuItem* item) {
  if (TMonitorMan* m = GetSelMonMan()) m->SetEditMenu(item);
}
void TMonitorBook::SetViewMenu(TMenuItem* item) {
  if (TMonitorMan* m = GetSelMonMan()) m->SetViewMenu(item);
}
void TMonitorBook::SetMonButton1(TControl* button) {
  if (TMonitorMan* m = GetSelMonMan()) m->SetMonButton1(button);
}
void TMonitorBook::SetMonButton2(TControl* button) {
  if (TMonitorMan* m = GetSelMonMan()) m->SetMonButton2(button);
}
void TMonitorBook::InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) {
  if (TMonitorMan* m = GetSelMonMan()) m->InsertVisObj(index, cls, vo);
}
bool TMonitorBook::CanAcceptClass(const TVisObjClass* cls) const {
  TMonitorMan* m = GetSelMonMan();
  return m && m->CanAcceptClass(cls);
}

bool TMonitorBook::SelMonInheritsFrom(const TMonitorClass* cls) const {
  TMonitorMan* m = GetSelMonMan();
  const TMonitorClass* own = nullptr;
  return m && cls && MonitorClassReg && MonitorClassReg->FindClass(m->ClassName(), own) && own->InheritsFrom(cls);
}

void TMonitorBook::CancelMode() {
  auto* monitor = dynamic_cast<TBitMonitor*>(GetSelMonMan());
  if (!monitor) throw Exception("Error in TMonitorBook.CancelMode: SelMonMan is not TBitMonitor");
  monitor->CancelMode();
}

uint8_t TMonitorBook::GetDiagramOrient() const {
  auto* m = dynamic_cast<TDDTMonitor*>(GetSelMonMan());
  if (!m) throw Exception("Error in TMonitorBook.GetDiagramOrient: SelMonMan is not TDDTMonitor");
  return m->DiagramOrient();
}

void TMonitorBook::SetDiagramOrient(uint8_t orient) {
  auto* m = dynamic_cast<TDDTMonitor*>(GetSelMonMan());
  if (!m) throw Exception("Error in TMonitorBook.SetDiagramOrient: SelMonMan is not TDDTMonitor");
  if (orient == m->DiagramOrient()) return;
  m->SetOrientation(orient);
  DoChange();
}

// ---- the View menu's page list ----

void TMonitorBook::SetMonitorMenu(TMenuItem* item) {
  if (item == monitor_menu_) return;
  monitor_menu_ = item;
  UpdateMonitorMenu();
}

void TMonitorBook::UpdateMonitorMenu() {
  TMenuItem* menu = monitor_menu_;
  if (!menu || menu->Destroying() || destroying_) return;
  int sep = -1;
  for (int i = 0; i < menu->Count() && sep < 0; ++i)
    if (menu->Items(i)->Caption() == "-" && menu->Items(i)->Tag == 999) sep = i;
  const int n = GetMonitorCount() < 2 ? 0 : GetMonitorCount();
  // A long list goes on in a new column every twelve entries of the item.
  auto append = [menu](TMenuItem* item) {
    if (menu->Count() > 10 && menu->Count() % 12 == 0) item->SetBreak(TMenuBreak::mbBarBreak);
    menu->Add(item);
  };
  if (sep < 0 && n > 0) {
    auto* item = new TMenuItem(menu);
    item->SetCaption("-");
    item->Tag = 999;
    append(item);
    sep = menu->Count() - 1;
  }
  if (sep < 0) return;
  while (menu->Count() - sep - 1 < n) {
    auto* item = new TMenuItem(menu);
    item->Tag = 1000 + (menu->Count() - sep - 1);
    item->OnClick = [this](TComponent* s) { TabClick(s); };
    append(item);
  }
  while (menu->Count() - sep - 1 > n) delete menu->Items(menu->Count() - 1);
  if (n == 0) {
    delete menu->Items(sep);
    return;
  }
  for (int i = 0; i < n; ++i) {
    std::string number = std::to_string(i + 1);
    number.insert(number.size() - 1, "&");
    TMenuItem* entry = menu->Items(sep + 1 + i);
    entry->SetCaption(number + " " + tab_set_->Tab(i));
    entry->SetChecked(i == tab_set_->TabIndex());
  }
}

// ---- session files ----

std::string TMonitorBook::SessionFileName() { return ExePath + "Monitors.ini"; }

void TMonitorBook::SaveSessionMonitors() { SaveSession(true); }

void TMonitorBook::CloseSession() {
  if (session_closed_) return;
  SaveSession(true);
  session_closed_ = true;
}

void TMonitorBook::SaveSession(bool show_failure) {
  namespace fs = std::filesystem;
  const std::string file = SessionFileName();
  if (session_load_failed_) {
    // What could not be restored is still in the file; a save now would lose it for good.
    Report("Some stored monitors could not be restored: " + file + " is left as it was");
    return;
  }
  // The pages go to a file of their own; only a complete one replaces the stored pages, so a
  // failed save never loses what the last run stored. A leftover of a crashed save is garbage.
  const std::string temp = file + ".saving";
  std::error_code ec;
  fs::remove(temp, ec);
  try {
    {
      TIniFile2 ini(temp);
      int n = 0;
      for (int i = 0; i < notebook_->ComponentCount(); ++i) {
        auto* m = dynamic_cast<TMonitorMan*>(notebook_->Components(i));
        if (!m || m->GroupIndex < 0 || m->GroupIndex > 999 || !(m->MonOptions() & moStoreLoadEnab)) continue;
        const std::string section = std::string(kSessionSection) + "/Monitor" + std::to_string(n);
        m->StoreIniSection(&ini, section);
        // The id makes the automatic title ("Monitor3"); without it a restart would renumber.
        ini.WriteInteger(section, kMonitorIdKey, m->Id);
        ++n;
      }
      ini.WriteInteger(kSessionSection, "Count", n);
    }
    fs::rename(temp, file);
  } catch (const std::exception& e) {
    fs::remove(temp, ec);
    // The user's pages are lost for the next start unless the user learns of it.
    const std::string text = "The monitors could not be saved to " + file + ": " + e.what();
    if (show_failure && MsgHandler)
      MsgHandler->DoMessage(text, "", TMsgDlgType::mtError, mbOK, 0, mrOk, true, mkError);
    else
      Report(text);
  }
}

bool TMonitorBook::LoadOnePage(const std::string& what, const std::string& class_name,
                               const std::function<TMonitorMan*()>& load) {
  TMonitorMan* before = GetSelMonMan();
  try {
    TMonitorMan* monitor = load();
    if (!monitor) {
      Report("Stored monitor " + what + " of class \"" + class_name + "\" is unknown: skipped");
      return false;
    }
    // The objects it had to skip are reported already.
    return !monitor->LoadIncomplete;
  } catch (const std::exception& e) {
    // The page that failed goes; the others are restored.
    Report("Stored monitor " + what + " could not be restored: " + e.what());
    if (TMonitorMan* failed = GetSelMonMan(); failed && failed != before) delete failed;
    return false;
  }
}

void TMonitorBook::LoadSessionMonitors() {
  TIniFile2 ini(SessionFileName());
  const int count = std::min(ini.ReadInteger(kSessionSection, "Count", -1), kMaxMonitorId);
  if (count <= 0) return;
  SetVisible(false);
  for (int i = 0; i < count; ++i) {
    const std::string section = std::string(kSessionSection) + "/Monitor" + std::to_string(i);
    if (!ini.SectionExists(section)) continue;
    if (!LoadOnePage("[" + section + "] of " + SessionFileName(), ini.ReadString(section, "ClassName", ""), [&] {
          TMonitorMan* monitor = LoadMonitorIni(&ini, section);
          if (monitor) RestoreMonitorId(monitor, ini.ReadInteger(section, kMonitorIdKey, 0));
          return monitor;
        }))
      session_load_failed_ = true;
  }
  SetVisible(true);
  FreeEmptyMonitors();
}

void TMonitorBook::RestoreMonitorId(TMonitorMan* monitor, int32_t id) {
  if (id < 1 || id > kMaxMonitorId || id == monitor->Id) return;
  for (int i = 0; i < GetMonitorCount(); ++i) {
    TMonitorMan* other = GetMonitor(i);
    if (!other || other == monitor || other->Id != id) continue;
    if (!other->IsEmpty()) return;
    other->Id = monitor->Id;  // the empty starting page, which goes after the restore
  }
  monitor->Id = id;
  // New pages get ids above the restored ones while there are ids left.
  LastMonitorId = std::max(LastMonitorId, id);
  UpdateTabCaptions();
}

TMonitorMan* TMonitorBook::LoadMonitorIni(TIniFile2* ini, const std::string& section) {
  if (!ini || !ini->SectionExists(section))
    throw Exception("TMonitorBook.LoadMonitorIni: IniFile nil or no section for monitor!");
  const int32_t group = ini->ReadInteger(section, "GroupIndex", -1);
  const std::string class_name = ini->ReadString(section, "ClassName", "");
  const TMonitorClass* cls = nullptr;
  if (class_name.empty() || !MonitorClassReg || !MonitorClassReg->FindClass(class_name, cls)) return nullptr;
  TMonitorMan* monitor = AddGroupMonitor(group, cls);
  SetTabIndex(monitor->PageIndex);
  monitor->LoadIniSection(ini, section);
  return monitor;
}

void TMonitorBook::LoadCustomMonitor() {
  constexpr const char* kList = "CustomMonitors";
  const std::string file = TMonitorMan::CustomFileName();
  if (!std::filesystem::exists(file)) {
    LoadCustomMonitorReg();
    return;
  }
  TIniFile2 ini(file);
  const int count = std::min(ini.ReadInteger(kList, "Count", -1), kMaxCustomEntries);
  if (count <= 0) return;
  TStringList names;
  for (int i = 0; i < count; ++i) {
    const std::string name = ini.ReadString(kList, "Name" + std::to_string(i), "");
    names.Add(name.empty() ? "Unnamed" + std::to_string(i) : name);
  }
  const int index = SelectCustomMonitor(names);
  const std::string section = std::string(kList) + "/Monitor" + std::to_string(index);
  if (index < 0 || index >= count || !ini.SectionExists(section)) return;
  SetVisible(false);
  LoadOnePage("[" + section + "] of " + file, ini.ReadString(section, "ClassName", ""),
              [&] { return LoadMonitorIni(&ini, section); });
  SetVisible(true);
}

// ---- the older registry profile ----

TMonitorMan* TMonitorBook::LoadMonitor(TRegistry* registry) {
  if (!registry || !registry->HasCurrentKey())
    throw Exception("TMonitorBook.LoadMonitor: registry nil or invalid key!");
  if (!registry->ValueExists("GroupIndex") || !registry->ValueExists("ClassName")) return nullptr;
  const int32_t group = registry->ReadInteger("GroupIndex");
  const TMonitorClass* cls = nullptr;
  if (!MonitorClassReg || !MonitorClassReg->FindClass(registry->ReadString("ClassName"), cls)) return nullptr;
  TMonitorMan* monitor = AddGroupMonitor(group, cls);
  SetTabIndex(monitor->PageIndex);
  monitor->LoadRegKey(registry);
  return monitor;
}

bool TMonitorBook::ImportSessionMonitors() {
  const std::string list = RegistryKey + "\\Profile\\SessionMonitors";
  TRegistry registry;
  if (!registry.OpenKey(list, false)) return false;
  int count = 0;
  try {
    if (registry.ValueExists("Count")) count = std::min(registry.ReadInteger("Count"), kMaxMonitorId);
  } catch (const std::exception& e) {
    Report(std::string("The monitors of the older profile cannot be imported: ") + e.what());
  }
  if (count <= 0) return false;
  SetVisible(false);
  for (int i = 0; i < count; ++i) {
    const std::string key = list + "\\Monitor" + std::to_string(i);
    if (!registry.OpenKey(key, false)) continue;
    LoadOnePage("in key " + key, RegClassName(registry), [&] { return LoadMonitor(&registry); });
  }
  FreeEmptyMonitors();
  SetVisible(true);
  return true;
}

void TMonitorBook::LoadCustomMonitorReg() {
  TRegistry registry;
  const std::string list = RegistryKey + "\\Profile\\CustomMonitors";
  registry.OpenKey(list, true);
  int count = 0;
  try {
    if (registry.ValueExists("Count")) count = std::min(registry.ReadInteger("Count"), kMaxCustomEntries);
  } catch (const std::exception& e) {
    Report(std::string("The custom monitors of the older profile cannot be listed: ") + e.what());
  }
  if (count <= 0) return;
  TStringList names;
  for (int i = 0; i < count; ++i) {
    const std::string value = "Name" + std::to_string(i);
    std::string name = registry.ValueExists(value) ? registry.ReadString(value) : "";
    // An entry without a name keeps its place, so that the list's positions stay the indexes.
    if (name.empty() && registry.KeyExists("Monitor" + std::to_string(i))) name = "Unnamed" + std::to_string(i);
    names.Add(name);
  }
  const int index = SelectCustomMonitor(names);
  if (index < 0 || index >= count || !registry.OpenKey("Monitor" + std::to_string(index), false)) return;
  SetVisible(false);
  LoadOnePage("in key \\" + registry.CurrentPath(), RegClassName(registry), [&] { return LoadMonitor(&registry); });
  SetVisible(true);
}

int TMonitorBook::SelectCustomMonitor(TStringList& names) {
  int32_t index = 0;
  if (!SelectDlgProc ||
      SelectDlgProc(LoadResString("mob_LoadMon"), LoadResString("mob_PromptLoadMon"), "", 1, names, index) != mrOk)
    return -1;
  return index;
}

}  // namespace qv
