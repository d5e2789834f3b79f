#include "visual/monitor_man.h"

#include <algorithm>
#include <array>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/registry.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "platform/gui/forms.h"
#include "platform/rtl/format.h"
#include "platform/rtl/string_list.h"
#include "visual/d35_store_monitor.h"
#include "visual/vis_obj.h"
#include "visual/visual_services.h"

namespace qv {

namespace {
constexpr std::array<const char*, 4> kMonOptionNames = {"DelEnabled", "AddVOEnabled", "EditTitleEnab", "StoreLoadEnab"};
constexpr int kMaxId = 99;

TNotebook* CheckedNotebook(TComponent* owner) {
  auto* notebook = dynamic_cast<TNotebook*>(owner);
  if (!notebook) throw Exception("Error in TMonitorMan.Create: Host is not valid! Must be TNotebook");
  return notebook;
}
}  // namespace

const TMonitorClass MonitorManClass{"TMonitorMan", nullptr, [] { return LoadResString("mom_TypeDescr"); }, nullptr};

std::string MonOptionsToStr(TMonOptions options) { return FlagSetToStr(options, kMonOptionNames); }
bool StrToMonOptions(std::string text, TMonOptions& options) {
  return StrToFlagSet(std::move(text), kMonOptionNames, options);
}

TMonitorMan::TMonitorMan(TComponent* owner) : TComponent(CheckedNotebook(owner)), notebook_(CheckedNotebook(owner)) {
  PageIndex = std::max(notebook_->PageIndex(), 0);
}

void TMonitorMan::AfterConstruction() {
  LoadTitlePrefix();
  UpdateTypeDescr();
  CreatePopupMenu();
}

TMonitorMan::~TMonitorMan() {
  *alive_ = false;
  try {
    StartDestroy();
    DoDestroy();
  } catch (...) {
    // The monitor goes all the same.
  }
  OnDestroy = nullptr;
  DestroyPopupMenu();
  ReleaseMonButtons();
}

TPage* TMonitorMan::Page() const {
  return PageIndex >= 0 && PageIndex < notebook_->PageCount() ? notebook_->Page(PageIndex) : nullptr;
}

TComponent* TMonitorMan::ObjectOwner() const {
  TForm* form = GetParentForm(notebook_);
  return form ? static_cast<TComponent*>(form) : notebook_;
}

void TMonitorMan::StartDestroy() {
  if (destroying_) return;
  destroying_ = true;
  ReleaseContents();
}

void TMonitorMan::ReleaseContents() {
  OnChange = nullptr;
  Clear();
}

void TMonitorMan::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}

void TMonitorMan::DoChange() {
  if (!destroying_ && OnChange) OnChange(this);
}

void TMonitorMan::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("mom_TitPrefix"); }
std::string TMonitorMan::GetTypeDescr() const { return LoadResString("mom_TypeDescr"); }

void TMonitorMan::SetCustomTitle(const std::string& title) {
  if (title == CustomTitle) return;
  CustomTitle = title;
  DoChange();
}

void TMonitorMan::EditTitle() {
  if (!EditTitleDlgProc) return;
  std::string custom = GetTitle() == GetAutoTitle() ? std::string() : GetTitle();
  if (EditTitleDlgProc(Format(LoadResString("mom_EditTitleCap"), TypeDescr), GetAutoTitle(), custom) == mrOk)
    SetCustomTitle(custom);
}

void TMonitorMan::UpdateLanguage() {
  if (destroying_) return;
  LoadTitlePrefix();
  UpdateTypeDescr();
  UpdateButtons();
}

void TMonitorMan::SetMonOptions(TMonOptions options) {
  if (options == mon_options_) return;
  mon_options_ = options;
  UpdateMenus();
  UpdateButtons();
}

// ---- menus ----

TMenuItem* TMonitorMan::AddPopupItem(const std::string& caption, TNotifyEvent on_click) {
  auto* item = new TMenuItem(this);
  item->SetCaption(caption);
  item->OnClick = std::move(on_click);
  popup_->Items()->Add(item);
  return item;
}

void TMonitorMan::CreatePopupMenu() {
  popup_ = new TPopupMenu(this);
  men_edit_title_ = AddPopupItem("mom_EMenEditTitle", [this](TComponent*) { EditTitle(); });
  men_del_ = AddPopupItem("mom_EMenDelMon", [this](TComponent*) {
    // The monitor is freed after the menu's handler has returned.
    PostDeferredCall([monitor = this, alive = std::weak_ptr<bool>(alive_)] {
      if (auto flag = alive.lock(); flag && *flag) DeleteMonitor(monitor, true);
    });
  });
  men_store_ = AddPopupItem("mom_EMenStoreMon", [this](TComponent*) { StoreMonMenClick(); });
  men_sep_ = AddPopupItem("-", nullptr);
  UpdateMenus();
}

void TMonitorMan::DestroyPopupMenu() {
  for (TMenuItem** item : {&men_edit_title_, &men_del_, &men_store_, &men_sep_, &ClassSeparator}) {
    delete *item;
    *item = nullptr;
  }
  delete popup_;
  popup_ = nullptr;
}

void TMonitorMan::UpdateMenus() {
  if (destroying_) return;
  const TMonOptions o = mon_options_;
  if (men_edit_title_) {
    men_edit_title_->SetCaption(LoadResString("mom_EMenEditTitle"));
    men_edit_title_->SetVisible((o & moEditTitleEnab) != 0);
  }
  if (men_del_) {
    men_del_->SetCaption(LoadResString("mom_EMenDelMon"));
    men_del_->SetVisible((o & moDelEnabled) != 0);
    men_del_->SetEnabled(true);
  }
  if (men_store_) {
    men_store_->SetCaption(LoadResString("mom_EMenStoreMon"));
    men_store_->SetVisible((o & moStoreLoadEnab) != 0);
    men_store_->SetEnabled(true);
  }
  if (men_sep_) men_sep_->SetVisible((o & (moDelEnabled | moEditTitleEnab | moStoreLoadEnab)) != 0);
  if (VMenMonitor) VMenMonitor->SetVisible(false);
}

void TMonitorMan::SetEditMenu(TMenuItem* item) {
  EMenMonitor = item;
  if (item) item->FreeNotification(this);
  UpdateMenus();
}

void TMonitorMan::SetViewMenu(TMenuItem* item) {
  VMenMonitor = item;
  if (item) item->FreeNotification(this);
  UpdateMenus();
}

namespace {
void Disarm(TControl* button) {
  button->OnClick = nullptr;
  button->SetEnabled(false);
  button->SetHint("");
}
}  // namespace

void TMonitorMan::SetMonButton1(TControl* button) {
  if (button != MonButton1) {
    MonButton1 = button;
    if (button) {
      button->FreeNotification(this);
      Disarm(button);
    }
  }
  UpdateButtons();
}

void TMonitorMan::SetMonButton2(TControl* button) {
  if (button != MonButton2) {
    MonButton2 = button;
    if (button) {
      button->FreeNotification(this);
      Disarm(button);
    }
  }
  UpdateButtons();
}

void TMonitorMan::ReleaseMonButtons() {
  for (TControl** button : {&MonButton1, &MonButton2}) {
    if (*button) Disarm(*button);
    *button = nullptr;
  }
}

void TMonitorMan::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == EMenMonitor) EMenMonitor = nullptr;
  if (component == VMenMonitor) VMenMonitor = nullptr;
  if (component == MonButton1) MonButton1 = nullptr;
  if (component == MonButton2) MonButton2 = nullptr;
}

// ---- objects ----

void TMonitorMan::VODelete(TComponent* sender) {
  if (auto* vo = dynamic_cast<TVisObj*>(sender)) DeleteVisObj(vo, true);
}

int32_t TMonitorMan::GetNextId(int32_t& last_id, const std::vector<TVisObj*>* vo_list) {
  if (!vo_list) throw Exception("Error in TMonitor.GetNextId: VoList not present");
  if (last_id < kMaxId) return ++last_id;
  last_id = kMaxId;
  for (int32_t id = 1; id <= kMaxId; ++id)
    if (std::none_of(vo_list->begin(), vo_list->end(), [id](const TVisObj* vo) { return vo->vobId() == id; }))
      return id;
  throw Exception("Error in TMonitor.GetNextId: no Vacant Id");
}

void TMonitorMan::DeleteMonitor(TMonitorMan* monitor, bool confirm) {
  if (!monitor) return;
  const std::weak_ptr<bool> alive = monitor->alive_;
  if (confirm && MessageDlg(Format(LoadResString("mom_ConfDelMon"), monitor->GetTitle()), TMsgDlgType::mtConfirmation,
                            mbOKCancel) != mrOk)
    return;
  // The question's loop runs the program's other work: the page may have gone meanwhile (a caller
  // may still hold the token, so its value tells).
  if (const auto flag = alive.lock(); !flag || !*flag) return;
  delete monitor;
}

// ---- custom monitors ----

std::string TMonitorMan::CustomFileName() { return ExePath + "CustMon.ini"; }

void TMonitorMan::StoreMonMenClick() {
  constexpr const char* kList = "CustomMonitors";
  // A damaged count must not drive the name list.
  constexpr int kMaxEntries = 1000;
  TIniFile2 ini(CustomFileName());
  auto monitor_section = [&](int i) { return std::string(kList) + "/Monitor" + std::to_string(i); };
  std::string name = CustomTitle;
  int count = std::clamp(ini.ReadInteger(kList, "Count", 0), 0, kMaxEntries);
  int index = 0;
  if (count < 1) {
    if (!InputQuery(LoadResString("mom_StoreMon"), LoadResString("mom_PromptStoreMon"), name) || name.empty()) return;
    count = 1;
  } else {
    TStringList names;
    for (int i = 0; i < count; ++i) {
      std::string stored = ini.ReadString(kList, "Name" + std::to_string(i), "");
      if (stored.empty() && ini.SectionExists(monitor_section(i))) stored = "Unnamed" + std::to_string(i);
      names.Add(stored);
    }
    if (D35_StoreMonitor) throw Exception("TMonitorMan.StoreMonMenClick: dialog D35_StoreMonitor not nil!");
    std::unique_ptr<TD35_StoreMonitor> dlg(new TD35_StoreMonitor(Application));
    dlg->SetName(name);
    dlg->SetNames(names);
    if (dlg->ShowModal() != mrOk) return;
    name = dlg->Name();
    index = names.IndexOf(name);
    if (index < 0) {
      index = count++;
    } else if (!MsgHandler ||
               MsgHandler->DoMessage(Format(LoadResString("mom_ConfStoreOverride"), name), "",
                                     TMsgDlgType::mtConfirmation, mbYes | mbNo, 0, mrNo, true, mkQuestion) != mrYes) {
      return;
    }
  }
  if (name.empty()) return;
  const std::string section = monitor_section(index);
  ini.DeleteKey(kList, "Name" + std::to_string(index));
  // The old page's object and channel sections go with it.
  ini.EraseSection(section);
  ini.EraseSections(section + "/");
  ini.WriteString(kList, "Name" + std::to_string(index), name);
  ini.WriteInteger(kList, "Count", count);
  StoreIniSection(&ini, section);
}

// ---- stored keys ----

void TMonitorMan::StoreIniSection(TIniFile2* ini, const std::string& section) {
  if (!ini) throw Exception("Error in TMonitorMan.StoreIniSection: IniFile not assigned!");
  ini->WriteString(section, "ClassName", ClassName());
  ini->WriteString(section, "CustomTitle", CustomTitle);
  ini->WriteString(section, "MonOptions", MonOptionsToStr(mon_options_));
  ini->WriteInteger(section, "GroupIndex", GroupIndex);
  ini->WriteString(section, "TypeDescr", TypeDescr);
  ini->WriteString(section, "AutoTitlePrefix", AutoTitlePrefix);
}

void TMonitorMan::LoadIniSection(TIniFile2* ini, const std::string& section) {
  if (!ini) throw Exception("Error in TMonitorMan.LoadIniSection: IniFile not assigned!");
  SetCustomTitle(ini->ReadString(section, "CustomTitle", ""));
  TMonOptions options = 0;
  SetMonOptions(StrToMonOptions(ini->ReadString(section, "MonOptions", "$$Invalid$$"), options) ? options
                                                                                                : DefaultMonOptions);
  GroupIndex = ini->ReadInteger(section, "GroupIndex", GroupIndex);
  TypeDescr = ini->ReadString(section, "TypeDescr", TypeDescr);
  AutoTitlePrefix = ini->ReadString(section, "AutoTitlePrefix", AutoTitlePrefix);
}

void TMonitorMan::LoadRegKey(TRegistry* registry) {
  if (!registry || !registry->HasCurrentKey()) throw Exception("TMonitorMan.LoadRegKey: registry nil or invalid key!");
  if (registry->ValueExists("CustomTitle")) {
    const std::string title = registry->ReadString("CustomTitle");
    if (!title.empty()) SetCustomTitle(title);
  }
  TMonOptions options = 0;
  SetMonOptions(
      StrToMonOptions(registry->ValueExists("MonOptions") ? registry->ReadString("MonOptions") : "$$Invalid$$", options)
          ? options
          : DefaultMonOptions);
}

}  // namespace qv
