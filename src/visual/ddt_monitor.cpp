#include "visual/ddt_monitor.h"

#include <algorithm>
#include <cmath>

#include "base/ini_file2.h"
#include "base/registry.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "controls/sty_splitter.h"
#include "visual/bit_monitor.h"
#include "platform/gui/forms.h"
#include "visual/d40_retrieve_obj.h"
#include "visual/table_vo.h"
#include "visual/vis_obj.h"

namespace qv {

namespace {
// Columns and rows (C0, C1) of the tiling for 1 to 9 diagrams.
constexpr int kTiling[kMaxDiagrams][2] = {{1, 1}, {1, 2}, {1, 3}, {2, 2}, {2, 3}, {2, 3}, {3, 3}, {3, 3}, {3, 3}};

bool IsDiagramClass(const TVisObjClass* cls) { return cls && cls->InheritsFrom(&DiagramVOClass); }
bool IsDiagram(const TVisObj* vo) { return dynamic_cast<const TDiagramVO*>(vo) != nullptr; }
bool IsTableClass(const TVisObjClass* cls) { return cls && cls->InheritsFrom(&TableVOClass); }
bool IsTable(const TVisObj* vo) { return dynamic_cast<const TTableVO*>(vo) != nullptr; }
// The class of the tables the user adds.
constexpr const char* kValTableClass = "TValTable";

void EraseFrom(std::vector<TVisObj*>& list, const TVisObj* vo) {
  list.erase(std::remove(list.begin(), list.end(), vo), list.end());
}
int IndexIn(const std::vector<TVisObj*>& list, const TVisObj* vo) {
  auto it = std::find(list.begin(), list.end(), vo);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}
}  // namespace

const TMonitorClass DDTMonitorClass{
    "TDDTMonitor", &MonitorManClass, [] { return LoadResString("mom_TypeDescr"); },
    [](TComponent* owner) -> TMonitorMan* { return CreateMonitor<TDDTMonitor>(owner); }};

void RegisterMonitorClasses() {
  for (const TMonitorClass* cls : {&DDTMonitorClass, &BitMonitorClass})
    if (std::find(DefaultMonitorClasses.begin(), DefaultMonitorClasses.end(), cls) == DefaultMonitorClasses.end())
      DefaultMonitorClasses.push_back(cls);
}

TDDTMonitor::TDDTMonitor(TComponent* owner) : TMonitorMan(owner) {
  DefaultMonOptions = moDelEnabled | moAddVOEnabled | moEditTitleEnab | moStoreLoadEnab;
  SetMonOptions(DefaultMonOptions);
}

TDDTMonitor::~TDDTMonitor() {
  StartDestroy();
  // The splitter goes before the book removes the page it stands on.
  delete splitter_;
  splitter_ = nullptr;
}

std::vector<TVisObj*> TDDTMonitor::AllDiagrams() const {
  std::vector<TVisObj*> all = diagrams_;
  all.insert(all.end(), masked_.begin(), masked_.end());
  return all;
}

int TDDTMonitor::IndexOfVisObj(const TVisObj* vo) const {
  if (!vo) return -1;
  if (vo == table_) return 0;
  return IndexIn(diagrams_, vo);
}

bool TDDTMonitor::CanAcceptClass(const TVisObjClass* cls) const {
  if (IsDiagramClass(cls)) return diagrams_.size() + masked_.size() < static_cast<size_t>(kMaxDiagrams);
  if (IsTableClass(cls)) return !table_ && !masked_table_;
  return false;
}

int TDDTMonitor::CountOfClass(const TVisObjClass* cls) const {
  if (IsDiagramClass(cls)) return static_cast<int>(diagrams_.size());
  if (IsTableClass(cls)) return table_ ? 1 : 0;
  return 0;
}

bool TDDTMonitor::IsEmpty() const { return diagrams_.empty() && masked_.empty() && !table_ && !masked_table_; }

int32_t TDDTMonitor::NextDiagramId() {
  if (LastDiagramId < 99) return ++LastDiagramId;
  const std::vector<TVisObj*> all = AllDiagrams();
  try {
    return GetNextId(LastDiagramId, &all);
  } catch (const Exception&) {
    throw Exception("Error in TMonitorMan.InsertVisObj: no Vacant Id");
  }
}

int32_t TDDTMonitor::NextTableId() {
  if (LastTableId < 99) return ++LastTableId;
  std::vector<TVisObj*> all;
  for (TVisObj* t : {table_, masked_table_})
    if (t) all.push_back(t);
  try {
    return GetNextId(LastTableId, &all);
  } catch (const Exception&) {
    throw Exception("Error in TMonitorMan.InsertVisObj: no Vacant Id");
  }
}

void TDDTMonitor::CreateSplitter() {
  if (splitter_) return;
  splitter_ = new TStySplitter(this);
  splitter_->SetParent(Page());
  splitter_->SetAlign(TAlign::alClient);
  for (TStyPaneData* pane : {&splitter_->UpperLeft(), &splitter_->LowerRight()}) {
    pane->SetBorderOuter(TFrameStyleEx::fsStatus);
    pane->SetVisible(false);
  }
  splitter_->SetOrientation(TOrientation::orHorizontal);
  splitter_->SetUsePercent(true);
  splitter_->SetPercentMin(0);
  splitter_->SetPercentMax(100);
  splitter_->SetPercent(66);
  splitter_->SetRealTimeDrag(false);
  splitter_->SetSplitterStyle(TSplitterStyle::ssBump);
  splitter_->SetSplitterWidth(4);
  splitter_->OnChange = [this](TComponent*) { Rearrange(); };
  splitter_->OnResize = [this](TComponent*) { Rearrange(); };
}

TVisObj* TDDTMonitor::NewObject(const TVisObjClass* cls) {
  TVisObj* vo = cls->Create(ObjectOwner());
  if (Selector) Selector->RegisterVisObj(vo);
  vo->OnStateChange = [this](TComponent* s) { VOStateChange(s); };
  vo->OnDelete = [this](TComponent* s) { VODelete(s); };
  vo->OnDestroy = [this](TComponent* s) { VODestroy(s); };
  RestoreMaximised();
  CreateSplitter();
  splitter_->SetVisible(true);
  return vo;
}

void TDDTMonitor::InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) {
  if (vo) throw Exception("Error in TMonitorMan.InsertVisObj: Pointer VObject must be nil");
  if (index < 0) return;
  if (IsDiagramClass(cls) && cls->Create && CanAcceptClass(cls)) {
    const int32_t id = NextDiagramId();
    vo = NewObject(cls);
    splitter_->UpperLeft().SetVisible(true);
    const size_t at = std::min(static_cast<size_t>(index), diagrams_.size());
    diagrams_.insert(diagrams_.begin() + static_cast<std::ptrdiff_t>(at), vo);
    vo->SetParent(splitter_->UpperLeft().Pane());
    vo->SetvobId(id);
    Rearrange();
    if (vo->CanFocus())
      vo->SetFocus();
    else
      vo->DoStartSelect();
  } else if (IsTableClass(cls) && cls->Create && CanAcceptClass(cls)) {
    InsertTable(cls, vo);
  }
  UpdateButtons();
}

void TDDTMonitor::InsertTable(const TVisObjClass* cls, TVisObj*& vo) {
  const int32_t id = NextTableId();
  vo = NewObject(cls);
  splitter_->LowerRight().SetVisible(true);
  table_ = vo;
  vo->SetParent(splitter_->LowerRight().Pane());
  vo->SetAlign(TAlign::alClient);
  vo->SetvobId(id);
  Rearrange();
  if (vo->CanFocus())
    vo->SetFocus();
  else
    vo->DoStartSelect();
}

void TDDTMonitor::Rearrange() {
  if (maxim_diagram_ || diagrams_.empty()) return;
  const int n = static_cast<int>(diagrams_.size());
  for (int i = 0; i < n; ++i) PlaceDiagram(n, i, diagrams_[static_cast<size_t>(i)]);
}

void TDDTMonitor::PlaceDiagram(int n, int i, TVisObj* diagram) {
  if (n < 1 || n > kMaxDiagrams || i < 0 || i >= n || !splitter_ || !diagram) return;
  TStySplitterPane* pane = splitter_->UpperLeft().Pane();
  // A pane squeezed below its frame gives empty cells, not negative ones.
  const int w = std::max(pane->Width() - 2, 0), h = std::max(pane->Height() - 2, 0);
  const int c0 = kTiling[n - 1][0], c1 = kTiling[n - 1][1];
  const int cell_w = w / (orient_ == 0 ? c0 : c1);
  const int cell_h = h / (orient_ == 0 ? c1 : c0);
  const double q = static_cast<double>(i) / c0;
  const double f0 = q - std::trunc(q);
  const double f1 = std::trunc(q) / c1;
  const int left = static_cast<int>(std::trunc((orient_ == 0 ? w * f0 : w * f1)));
  const int top = static_cast<int>(std::trunc((orient_ == 0 ? h * f1 : h * f0)));
  diagram->SetBounds(left, top, cell_w, cell_h);
}

void TDDTMonitor::RestoreMaximised() {
  if (maxim_diagram_) maxim_diagram_->SetState(0);
  if (maxim_table_) maxim_table_->SetState(0);
}

void TDDTMonitor::ReturnLayout() {
  TVisObj* was = maxim_diagram_;
  maxim_diagram_ = nullptr;
  if (splitter_ && table_) splitter_->LowerRight().SetVisible(true);
  for (TVisObj* d : diagrams_) d->SetVisible(true);
  if (was) was->SetAlign(TAlign::alNone);
}

void TDDTMonitor::HideEmptyPanes() {
  if (!splitter_ || !diagrams_.empty()) return;
  splitter_->UpperLeft().SetVisible(false);
  if (!table_) splitter_->SetVisible(false);
}

void TDDTMonitor::ShowDiagramPane() {
  if (!splitter_ || diagrams_.empty()) return;
  splitter_->UpperLeft().SetVisible(true);
  Rearrange();
}

void TDDTMonitor::TableStateChange(TVisObj* vo) {
  switch (vo->State()) {
    case 1:
      if (!maxim_diagram_ && !maxim_table_ && vo == table_) {
        maxim_table_ = vo;
        splitter_->UpperLeft().SetVisible(false);
      }
      break;
    case 2:
      if (vo == table_) {
        if (maxim_table_ == vo) {
          maxim_table_ = nullptr;
          ShowDiagramPane();
        }
        masked_table_ = vo;
        table_ = nullptr;
        vo->SetVisible(false);
        splitter_->LowerRight().SetVisible(false);
        if (diagrams_.empty())
          splitter_->SetVisible(false);
        else
          Rearrange();
      }
      break;
    default:
      if (maxim_table_ == vo) {
        maxim_table_ = nullptr;
        ShowDiagramPane();
      } else if (masked_table_ == vo) {
        RestoreMaximised();
        if (table_) throw Exception("Error in TDDTMonitor.VOStateChange: MaskedTable and TableInstance <> nil");
        table_ = vo;
        masked_table_ = nullptr;
        vo->SetVisible(true);
        splitter_->LowerRight().SetVisible(true);
        splitter_->SetVisible(true);
        if (!diagrams_.empty()) Rearrange();
        if (vo->CanFocus()) vo->SetFocus();
      }
      break;
  }
}

void TDDTMonitor::VOStateChange(TComponent* sender) {
  auto* vo = dynamic_cast<TSizeVisObj*>(sender);
  if (!vo || !splitter_) {
    DoChange();
    return;
  }
  const bool visible = IndexOfVisObj(vo) >= 0;
  const bool masked = IndexIn(masked_, vo) >= 0;
  if (!visible && !masked && vo != masked_table_)
    throw Exception("Error in TMonitorMan.VOStateChange: Object not on Monitor");
  if (vo == table_ || vo == masked_table_) {
    TableStateChange(vo);
    UpdateMenus();
    DoChange();
    return;
  }
  switch (vo->State()) {
    case 1:
      if (!maxim_diagram_ && !maxim_table_ && visible) {
        if (table_) splitter_->LowerRight().SetVisible(false);
        maxim_diagram_ = vo;
        for (TVisObj* d : diagrams_)
          if (d != vo) d->SetVisible(false);
        vo->SetAlign(TAlign::alClient);
      }
      break;
    case 2:
      if (visible) {
        if (maxim_diagram_ == vo) ReturnLayout();
        vo->Tag = IndexOfVisObj(vo);
        EraseFrom(diagrams_, vo);
        masked_.push_back(vo);
        vo->SetVisible(false);
        if (diagrams_.empty())
          HideEmptyPanes();
        else
          Rearrange();
      }
      break;
    default:
      if (maxim_diagram_ == vo) {
        ReturnLayout();
        Rearrange();
      } else if (masked) {
        RestoreMaximised();
        EraseFrom(masked_, vo);
        const auto pos = vo->Tag < 0 || vo->Tag >= static_cast<intptr_t>(diagrams_.size())
                             ? diagrams_.size()
                             : static_cast<size_t>(vo->Tag);
        diagrams_.insert(diagrams_.begin() + static_cast<std::ptrdiff_t>(pos), vo);
        vo->SetVisible(true);
        splitter_->UpperLeft().SetVisible(true);
        splitter_->SetVisible(true);
        Rearrange();
        if (vo->CanFocus()) vo->SetFocus();
      }
      break;
  }
  UpdateMenus();
  DoChange();
}

void TDDTMonitor::VODestroy(TComponent* sender) {
  if (!sender) return;
  auto* vo = dynamic_cast<TVisObj*>(sender);
  if (!vo) throw Exception("Error in TDDTMonitor.VODestroy: Sender not TVisObj");
  if (IndexOfVisObj(vo) < 0 && IndexIn(masked_, vo) < 0 && vo != masked_table_)
    throw Exception("Error in TDDTMonitor.VODestroy: Object not on Monitor");
  if (vo == table_ || vo == masked_table_) {
    if (maxim_table_ == vo) maxim_table_ = nullptr;
    if (table_ == vo) table_ = nullptr;
    if (masked_table_ == vo) masked_table_ = nullptr;
    if (splitter_ && !splitter_->Destroying()) {
      splitter_->LowerRight().SetVisible(false);
      if (diagrams_.empty())
        splitter_->SetVisible(false);
      else
        ShowDiagramPane();
    }
    UpdateButtons();
    UpdateMenus();
    return;
  }
  if (maxim_diagram_ == vo) maxim_diagram_ = nullptr;
  EraseFrom(diagrams_, vo);
  EraseFrom(masked_, vo);
  if (splitter_ && !splitter_->Destroying()) {
    if (diagrams_.empty())
      HideEmptyPanes();
    else
      Rearrange();
  }
  UpdateButtons();
  UpdateMenus();
}

void TDDTMonitor::DeleteVisObj(TVisObj* vo, bool confirm) {
  if (!vo) return;
  if (IndexOfVisObj(vo) < 0) throw Exception("Error in TDDTMonitor.DeleteVisObj: Object not on Monitor");
  if (!IsDiagram(vo) && !IsTable(vo)) return;
  if (vo == maxim_diagram_ || vo == maxim_table_) vo->SetState(0);
  vo->Delete(confirm);
}

void TDDTMonitor::Clear() {
  diagrams_.insert(diagrams_.end(), masked_.begin(), masked_.end());
  masked_.clear();
  maxim_diagram_ = nullptr;
  // Each deletion removes the object from the list through its OnDestroy.
  while (!diagrams_.empty()) {
    TVisObj* vo = diagrams_.back();
    vo->PendingRelease = false;
    DeleteVisObj(vo, false);
    EraseFrom(diagrams_, vo);
  }
  if (masked_table_ && table_) throw Exception("Error in TDDTMonitor.Clear: MaskedTable and TableInstance <> nil");
  if (masked_table_) {
    table_ = masked_table_;
    masked_table_ = nullptr;
  }
  maxim_table_ = nullptr;
  if (TVisObj* vo = table_) {
    vo->PendingRelease = false;
    DeleteVisObj(vo, false);
    if (table_ == vo) table_ = nullptr;
  }
}

void TDDTMonitor::Deactivate() {
  if (Destroying()) return;
  for (TVisObj* d : diagrams_) d->Deactivate();
  if (table_) table_->Deactivate();
  ReleaseMonButtons();
}

void TDDTMonitor::Activate() {
  if (Destroying()) return;
  for (TVisObj* d : diagrams_) d->Activate();
  if (table_) table_->Activate();
}

void TDDTMonitor::UpdateLanguage() {
  if (Destroying()) return;
  TMonitorMan::UpdateLanguage();
  for (TVisObj* d : AllDiagrams()) d->UpdateLanguage();
  for (TVisObj* t : {table_, masked_table_})
    if (t) t->UpdateLanguage();
}

void TDDTMonitor::SetOrientation(uint8_t orient) {
  if (orient == orient_ || orient > 1) return;
  orient_ = orient;
  Rearrange();
  UpdateMenus();
}

void TDDTMonitor::SetHorizontal() {
  if (orient_ != 0) return;
  SetOrientation(1);
  DoChange();
}

void TDDTMonitor::SetVertical() {
  if (orient_ != 1) return;
  SetOrientation(0);
  DoChange();
}

void TDDTMonitor::AddDiagram() {
  if (!CanAcceptClass(&DiagramVOClass) || !VOClassRegistry) return;
  const TVisObjClass* cls = nullptr;
  if (!VOClassRegistry->SelectClass(&DiagramVOClass, true, cls, LoadResString("dmo_SelDiagrCap"),
                                    LoadResString("dmo_SelDiagrType"), ""))
    return;
  TVisObj* vo = nullptr;
  InsertVisObj(100, cls, vo);
}

void TDDTMonitor::AddTable() {
  const TVisObjClass* cls = nullptr;
  if (!VOClassRegistry || !VOClassRegistry->FindClass(kValTableClass, cls) || !CanAcceptClass(cls)) return;
  TVisObj* vo = nullptr;
  InsertVisObj(100, cls, vo);
}

void TDDTMonitor::MaxNormSelected() {
  TVisObj* vo = Selector ? Selector->SelObj() : nullptr;
  if (!vo) return;
  if (vo->VOOptions() & voMaximEnabled)
    vo->SetState(1);
  else if (vo->VOOptions() & voNormalEnabled)
    vo->SetState(0);
}

void TDDTMonitor::MaskSelected() {
  TVisObj* vo = Selector ? Selector->SelObj() : nullptr;
  if (vo && (vo->VOOptions() & voMaskable)) vo->SetState(2);
}

void TDDTMonitor::RetrieveObject() {
  if ((masked_.empty() && !masked_table_) || D40_RetrieveObj) return;
  std::vector<std::string> objects, destinations;
  for (TVisObj* d : masked_) objects.push_back(d->GetvobTitle());
  for (TVisObj* d : diagrams_) destinations.push_back(d->GetvobTitle());
  destinations.push_back("<" + LoadResString("tvo_AddToEnd") + ">");
  int obj = -1, dest = -1;
  {
    TD40_RetrieveObj dlg(Application);
    dlg.SetObjects(objects);
    if (masked_table_) dlg.SetTableEntry(masked_table_->GetvobTitle());
    dlg.SetDestinations(destinations);
    dlg.SetObjIndex(0);
    dlg.SetDestIndex(static_cast<int>(destinations.size()) - 1);
    if (dlg.ShowModal() != mrOk) return;
    obj = dlg.GetObjIndex();
    dest = dlg.GetDestIndex();
  }
  if (obj == static_cast<int>(masked_.size()) && masked_table_) {
    masked_table_->SetState(0);
    return;
  }
  if (obj < 0 || obj >= static_cast<int>(masked_.size()) || dest < 0) return;
  TVisObj* vo = masked_[static_cast<size_t>(obj)];
  // The tag is the place the diagram returns to; the end entry appends it.
  vo->Tag = dest;
  vo->SetState(0);
}

// ---- menus and buttons ----

void TDDTMonitor::CreatePopupMenu() {
  TMonitorMan::CreatePopupMenu();
  men_add_diagr_ = AddPopupItem("dmo_EMMenAddDiagr", [this](TComponent*) { AddDiagram(); });
  men_add_table_ = AddPopupItem("dmo_EMMenAddTable", [this](TComponent*) { AddTable(); });
  men_max_norm_ = AddPopupItem("dmo_EMMenObjMaxim", [this](TComponent*) { MaxNormSelected(); });
  men_max_norm_->SetEnabled(false);
  men_mask_ = AddPopupItem("dmo_EMMenMaskObj", [this](TComponent*) { MaskSelected(); });
  men_retrieve_ = AddPopupItem("dmo_EMMenRetrieveObj", [this](TComponent*) { RetrieveObject(); });
  ClassSeparator = AddPopupItem("-", nullptr);
  men_horz_ = AddPopupItem("dmo_VMenDiagrHorz", [this](TComponent*) { SetHorizontal(); });
  men_vert_ = AddPopupItem("dmo_VMenDiagrVert", [this](TComponent*) { SetVertical(); });
  UpdateMenus();
}

void TDDTMonitor::DestroyPopupMenu() {
  for (TMenuItem** item :
       {&men_add_diagr_, &men_add_table_, &men_max_norm_, &men_mask_, &men_retrieve_, &men_horz_, &men_vert_}) {
    delete *item;
    *item = nullptr;
  }
  TMonitorMan::DestroyPopupMenu();
}

void TDDTMonitor::UpdateMenus() {
  if (Destroying()) return;
  TMonitorMan::UpdateMenus();
  if (!men_add_diagr_) return;
  men_add_diagr_->SetCaption(LoadResString("dmo_EMMenAddDiagr"));
  men_add_diagr_->SetVisible((MonOptions() & moAddVOEnabled) != 0);
  men_add_diagr_->SetEnabled(CanAcceptClass(&DiagramVOClass));
  men_add_table_->SetCaption(LoadResString("dmo_EMMenAddTable"));
  men_add_table_->SetVisible((MonOptions() & moAddVOEnabled) != 0);
  men_add_table_->SetEnabled(CanAcceptClass(&TableVOClass));
  TVisObj* sel = Selector ? Selector->SelObj() : nullptr;
  men_max_norm_->SetCaption(LoadResString("dmo_EMMenObjMaxim"));
  men_max_norm_->SetEnabled(false);
  if (sel) {
    if (sel->VOOptions() & voMaximEnabled) {
      men_max_norm_->SetEnabled(true);
    } else if (sel->VOOptions() & voNormalEnabled) {
      men_max_norm_->SetCaption(LoadResString("dmo_EMMenObjNormal"));
      men_max_norm_->SetEnabled(true);
    }
  }
  men_mask_->SetCaption(LoadResString("dmo_EMMenMaskObj"));
  men_mask_->SetEnabled(sel && (IsDiagram(sel) || IsTable(sel)) && (sel->VOOptions() & voMaskable) &&
                        IndexOfVisObj(sel) >= 0);
  men_retrieve_->SetCaption(LoadResString("dmo_EMMenRetrieveObj"));
  men_retrieve_->SetEnabled(!masked_.empty() || masked_table_);
  men_horz_->SetCaption(LoadResString("dmo_VMenDiagrHorz"));
  men_vert_->SetCaption(LoadResString("dmo_VMenDiagrVert"));
  const bool several = diagrams_.size() >= 2;
  men_horz_->SetChecked(several && orient_ == 1);
  men_vert_->SetChecked(several && orient_ == 0);
  men_horz_->SetEnabled(several && orient_ != 1);
  men_vert_->SetEnabled(several && orient_ != 0);
  TMenuItem* items = Popup()->Items();
  const int sep = items->IndexOf(ClassSeparator);
  if (EMenMonitor) {
    EMenMonitor->SetVisible(true);
    EMenMonitor->SetCaption(CustomTitle.empty() ? GetTitle() : TypeDescr + " " + GetTitle());
    CopyMenuItems(EMenMonitor, items, 0, sep - 1);
  }
  if (VMenMonitor) {
    VMenMonitor->SetVisible(true);
    VMenMonitor->SetCaption(TypeDescr);
    CopyMenuItems(VMenMonitor, items, sep + 1, items->Count() - 1);
  }
}

void TDDTMonitor::UpdateButtons() {
  if (Destroying()) return;
  if (MonButton1) {
    MonButton1->SetHint(LoadResString("b_hint_AddDiagr"));
    MonButton1->SetEnabled((MonOptions() & moAddVOEnabled) && CanAcceptClass(&DiagramVOClass));
    MonButton1->OnClick = [this](TComponent*) { AddDiagram(); };
  }
  if (MonButton2) {
    MonButton2->SetHint(LoadResString("b_hint_AddTable"));
    MonButton2->SetEnabled((MonOptions() & moAddVOEnabled) && CanAcceptClass(&TableVOClass));
    MonButton2->OnClick = [this](TComponent*) { AddTable(); };
  }
}

// ---- stored keys ----

void TDDTMonitor::StoreIniSection(TIniFile2* ini, const std::string& section) {
  TMonitorMan::StoreIniSection(ini, section);
  const std::vector<TVisObj*> all = AllDiagrams();
  ini->WriteInteger(section, "DisplayCount", 0);
  ini->WriteInteger(section, "DiagramCount", static_cast<int32_t>(all.size()));
  TVisObj* table = table_ ? table_ : masked_table_;
  ini->WriteInteger(section, "TableCount", table ? 1 : 0);
  ini->WriteInteger(section, "DiagramOrient", orient_);
  ini->WriteInteger(section, "SplitterPercent", splitter_ ? splitter_->Percent() : -1);
  for (size_t j = 0; j < all.size(); ++j) all[j]->StoreIniSection(ini, section + "/Diagram" + std::to_string(j));
  if (table) table->StoreIniSection(ini, section + "/Table0");
}

void TDDTMonitor::LoadIniSection(TIniFile2* ini, const std::string& section) {
  TMonitorMan::LoadIniSection(ini, section);
  // A damaged count must not drive the loop: more than nine diagrams and one table are skipped
  // anyway.
  const int count = std::min(ini->ReadInteger(section, "DiagramCount", 0), kMaxDiagrams);
  std::vector<std::string> sections;
  for (int j = 0; j < count; ++j) sections.push_back(section + "/Diagram" + std::to_string(j));
  if (ini->ReadInteger(section, "TableCount", 0) > 0) sections.push_back(section + "/Table0");
  TVisObj* to_select = nullptr;
  TVisObj* to_maximise = nullptr;
  for (const std::string& vo_section : sections) {
    const TVisObjClass* cls = nullptr;
    if (!VOClassRegistry ||
        !VOClassRegistry->FindClass(ini->ReadString(vo_section, "ClassName", "UnknownClassName"), cls) ||
        !CanAcceptClass(cls)) {
      LoadIncomplete = true;
      continue;
    }
    TVisObj* vo = nullptr;
    InsertVisObj(100, cls, vo);
    if (!vo) {
      LoadIncomplete = true;
      continue;
    }
    try {
      vo->LoadIniSection(ini, vo_section);
    } catch (const std::exception& e) {
      // One damaged object does not cost the page its others.
      if (MsgHandler)
        MsgHandler->DoMessage("Stored object [" + vo_section + "] could not be restored: " + e.what(), "",
                              TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkLogOnly);
      LoadIncomplete = true;
      vo->PendingRelease = false;
      DeleteVisObj(vo, false);
      continue;
    }
    if (ini->ValueExists(vo_section, "Selected") && ini->ReadBool(vo_section, "Selected", false)) to_select = vo;
    int state = ini->ReadInteger(vo_section, "State", -1);
    if (state < 0 || state > 2) state = 0;
    if (state == 1) to_maximise = vo;
    if (state == 2) vo->SetState(2);
  }
  const int orient = ini->ReadInteger(section, "DiagramOrient", -1);
  if (orient == 0 || orient == 1) SetOrientation(static_cast<uint8_t>(orient));
  const int percent = ini->ReadInteger(section, "SplitterPercent", 0);
  if (percent >= 0 && splitter_) splitter_->SetPercent(std::min(percent, 100));
  if (to_select) to_select->DoStartSelect();
  if (to_maximise) to_maximise->SetState(1);
}

// ---- the older registry profile ----

void TDDTMonitor::LoadRegObject(TRegistry* registry, const std::string& key, TVisObj*& to_select,
                                TVisObj*& to_maximise) {
  if (!registry->OpenKey(key, false)) return;
  const TVisObjClass* cls = nullptr;
  if (!registry->ValueExists("ClassName") || !VOClassRegistry ||
      !VOClassRegistry->FindClass(registry->ReadString("ClassName"), cls) || !CanAcceptClass(cls))
    return;
  TVisObj* vo = nullptr;
  InsertVisObj(100, cls, vo);
  if (!vo) return;
  int state = -1;
  try {
    vo->LoadRegKey(registry);
    if (registry->ValueExists("Selected") && registry->ReadBool("Selected")) to_select = vo;
    if (registry->ValueExists("State")) state = registry->ReadInteger("State");
  } catch (const std::exception& e) {
    // One damaged object does not cost the page its others.
    if (MsgHandler)
      MsgHandler->DoMessage("Stored object in key " + key + " could not be imported: " + e.what(), "",
                            TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkLogOnly);
    if (to_select == vo) to_select = nullptr;
    LoadIncomplete = true;
    vo->PendingRelease = false;
    DeleteVisObj(vo, false);
    return;
  }
  if (state < 0 || state > 2) state = 0;
  if (state == 1) to_maximise = vo;
  if (state == 2) vo->SetState(2);
}

void TDDTMonitor::LoadRegKey(TRegistry* registry) {
  TMonitorMan::LoadRegKey(registry);
  const std::string path = "\\" + registry->CurrentPath();
  auto read_int = [registry](const char* name, int32_t absent) {
    return registry->ValueExists(name) ? registry->ReadInteger(name) : absent;
  };
  try {
    // Counts of a damaged profile must not drive the loops: more are skipped anyway.
    const int diagrams = std::min(read_int("DiagramCount", 0), kMaxDiagrams);
    const int tables = std::min(read_int("TableCount", 0), 1);
    TVisObj* to_select = nullptr;
    TVisObj* to_maximise = nullptr;
    for (int j = 0; j < diagrams; ++j)
      LoadRegObject(registry, path + "\\Diagram" + std::to_string(j), to_select, to_maximise);
    if (tables > 0) LoadRegObject(registry, path + "\\Table0", to_select, to_maximise);
    registry->OpenKey(path, false);
    const int orient = read_int("DiagramOrient", -1);
    if (orient == 0 || orient == 1) SetOrientation(static_cast<uint8_t>(orient));
    // Without the value the splitter keeps its default share.
    const int percent = read_int("SplitterPercent", -1);
    if (percent >= 0 && splitter_) splitter_->SetPercent(std::min(percent, 100));
    if (to_select) to_select->DoStartSelect();
    if (to_maximise) to_maximise->SetState(1);
  } catch (...) {
    registry->OpenKey(path, false);
    throw;
  }
}

}  // namespace qv
