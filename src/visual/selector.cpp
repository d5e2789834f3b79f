#include "visual/selector.h"

#include "base/res_string.h"
#include "base/select_dlg.h"
#include "comm/process_window_service.h"
#include "platform/gui/menus.h"
#include "platform/rtl/string_list.h"
#include "visual/vis_obj.h"

namespace qv {

TSelector* Selector = nullptr;
TVOClassRegistry* VOClassRegistry = nullptr;
TMonitorClassReg* MonitorClassReg = nullptr;
std::vector<const TVisObjClass*> DefaultVisObjClasses;
std::vector<const TMonitorClass*> DefaultMonitorClasses;

const TVisObjClass VisObjClass{"TVisObj", nullptr, [] { return LoadResString("vob_TypeDescr"); }, nullptr};
const TVisObjClass SizeVisObjClass{"TSizeVisObj", &VisObjClass, [] { return LoadResString("vob_TypeDescr"); }, nullptr};
const TVisObjClass DiagramVOClass{"TDiagramVO", &SizeVisObjClass, [] { return LoadResString("dvo_TypeDescr"); },
                                  nullptr};

// ---- TSelector ----

TSelector::~TSelector() {
  OnChange = nullptr;
  ClearSelection();
  if (Selector == this) Selector = nullptr;
}

void TSelector::SetSelObj(TComponent* sender) {
  if (!Selector) return;
  if (sender) {
    auto* vo = dynamic_cast<TVisObj*>(sender);
    if (!vo) throw Exception("Error in TSelector.SetSelObj: Sender is not a visualisation object!");
    if (vo == sel_obj_) return;
    if (sel_obj_) sel_obj_->SetvobSelected(false);
    sel_obj_ = vo;
    vo->SetvobSelected(true);
    DoChange();
  } else if (sel_obj_) {
    TVisObj* old = sel_obj_;
    sel_obj_ = nullptr;
    old->SetvobSelected(false);
    DoChange();
  }
}

void TSelector::RegisterVisObj(TVisObj* vo) {
  if (!vo) return;
  vo->OnStartSelect = [this](TComponent* s) { SetSelObj(s); };
  vo->OnDeregisterSel = [this](TComponent*) { ClearSelection(); };
}

void TSelector::DoChange() {
  if (OnChange) OnChange(nullptr);
}

// ---- registries ----

int RunClassSelectDlg(const std::string& caption, const std::string& text1, const std::string& text2,
                      const std::vector<std::string>& texts, int32_t& index) {
  if (!SelectDlgProc) return 2;
  TStringList list;
  for (const std::string& t : texts) list.Add(t);
  index = -1;
  return SelectDlgProc(LoadResString(caption), LoadResString(text1), text2.empty() ? "" : LoadResString(text2), 2, list,
                       index);
}

TVOClassRegistry::TVOClassRegistry() : TClassRegistryOf<TVisObj>("TVOClassRegistry") { RegisterDefaults(); }
TVOClassRegistry::~TVOClassRegistry() {
  if (VOClassRegistry == this) VOClassRegistry = nullptr;
}
void TVOClassRegistry::RegisterDefaults() {
  for (const TVisObjClass* c : DefaultVisObjClasses) RegisterClass(c);
}

TMonitorClassReg::TMonitorClassReg() : TClassRegistryOf<TMonitorMan>("TMonitorClassReg") { RegisterDefaults(); }
TMonitorClassReg::~TMonitorClassReg() {
  if (MonitorClassReg == this) MonitorClassReg = nullptr;
}
void TMonitorClassReg::RegisterDefaults() {
  for (const TMonitorClass* c : DefaultMonitorClasses) RegisterClass(c);
}

// ---- menu routines ----

void SetMenuItemCount(TMenuItem* item, int count) {
  if (!item || count < 0) return;
  while (item->Count() > count) {
    TMenuItem* first = item->Items(0);
    item->Remove(first);
    delete first;
  }
  while (item->Count() < count) item->Add(new TMenuItem(item->Owner()));
}

void CopyMenuItem(const TMenuItem* source, TMenuItem* dest) {
  if (!source || !dest) return;
  dest->SetCaption(source->Caption());
  dest->SetChecked(source->Checked());
  dest->SetEnabled(source->Enabled());
  dest->SetGroupIndex(source->GroupIndex());
  dest->SetVisible(source->Visible());
  dest->OnClick = source->OnClick;
  dest->SetRadioItem(source->RadioItem());
  dest->SetBreak(source->Break());
}

void CopyMenuItems(TMenuItem* dest, const TMenuItem* source, int from_index, int to_index) {
  if (!dest || !source) throw Exception("Error in : DestMenu or SourceMenu = nil");
  from_index = std::max(from_index, 0);
  if (to_index >= source->Count()) to_index = source->Count() - 1;
  if (source->Count() == 0 || to_index < from_index) {
    SetMenuItemCount(dest, 0);
    return;
  }
  SetMenuItemCount(dest, to_index - from_index + 1);
  for (int i = 0; i <= to_index - from_index; ++i) CopyMenuItem(source->Items(from_index + i), dest->Items(i));
}

}  // namespace qv
