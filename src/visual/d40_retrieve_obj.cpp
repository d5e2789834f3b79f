#include "visual/d40_retrieve_obj.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/rtl/string_list.h"

namespace qv {

TD40_RetrieveObj* D40_RetrieveObj = nullptr;

namespace {
constexpr int kWidth = 320;

TComboBox* NewList(TComponent* owner, TWinControl* parent, std::function<void()> on_change) {
  auto* combo = new TComboBox(owner);
  combo->SetParent(parent);
  combo->SetStyle(TComboBoxStyle::csDropDownList);
  combo->SetBounds(12, 22, kWidth - 2 * 8 - 24, 22);
  combo->OnChange = [on_change](TComponent*) { on_change(); };
  return combo;
}
}  // namespace

TD40_RetrieveObj::TD40_RetrieveObj(TComponent* owner) : TForm(owner) {
  D40_RetrieveObj = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("dmo_RetrieveObj"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  ObjToRetrGrBox = new TStyGroupBox(this);
  ObjToRetrGrBox->SetParent(this);
  ObjToRetrGrBox->SetCaption(LoadResString("dmo_SelRetrieveObj"));
  ObjToRetrGrBox->SetBounds(8, 8, kWidth - 16, 56);
  MaskObjCombo = NewList(this, ObjToRetrGrBox, [this] { UpdateControls(); });
  DestGrBox = new TStyGroupBox(this);
  DestGrBox->SetParent(this);
  DestGrBox->SetCaption(LoadResString("dmo_DestDiagr"));
  DestGrBox->SetBounds(8, 72, kWidth - 16, 56);
  DestDiagrCombo = NewList(this, DestGrBox, [this] { UpdateControls(); });
  DestDiagrCombo->SetEnabled(false);
  auto button = [this](const std::string& key, int result, int left) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetText(LoadResString(key));
    b->SetModalResult(result);
    b->SetBounds(left, 140, 90, 26);
    return b;
  };
  OKBtn = button("b_&OK", mrOk, 8);
  CancelBtn = button("b_&Cancel", mrCancel, 108);
  CancelBtn->SetCancel(true);
  HelpBtn = button("b_&Help", mrNone, 208);
  // No help file to open on this platform yet: the button stays hidden, as in the other dialogs.
  HelpBtn->SetVisible(false);
  SetBounds(0, 0, kWidth, 140 + 26 + 8);
  UpdateControls();
}

TD40_RetrieveObj::~TD40_RetrieveObj() {
  NoteUserActivity();
  if (D40_RetrieveObj == this) D40_RetrieveObj = nullptr;
}

void TD40_RetrieveObj::FillObjects() {
  TStringList& items = MaskObjCombo->Items();
  items.Clear();
  for (const std::string& t : objects_) items.Add(t);
  if (!table_entry_.empty()) items.Add(table_entry_);
  MaskObjCombo->SyncItems();
  UpdateControls();
}

void TD40_RetrieveObj::SetObjects(const std::vector<std::string>& list) {
  objects_ = list;
  FillObjects();
}

void TD40_RetrieveObj::SetTableEntry(const std::string& text) {
  table_entry_ = text;
  FillObjects();
}

void TD40_RetrieveObj::SetDestinations(const std::vector<std::string>& list) {
  destinations_ = list;
  TStringList& items = DestDiagrCombo->Items();
  items.Clear();
  for (const std::string& t : list) items.Add(t);
  DestDiagrCombo->SyncItems();
  UpdateControls();
}

void TD40_RetrieveObj::SetObjIndex(int i) {
  const int count = static_cast<int>(objects_.size()) + (table_entry_.empty() ? 0 : 1);
  if (i >= 0 && i < count) MaskObjCombo->SetItemIndex(i);
  UpdateControls();
}

void TD40_RetrieveObj::SetDestIndex(int i) {
  if (i >= 0 && i < static_cast<int>(destinations_.size())) DestDiagrCombo->SetItemIndex(i);
  UpdateControls();
}

void TD40_RetrieveObj::UpdateControls() {
  const int obj = MaskObjCombo->ItemIndex();
  const bool table = !table_entry_.empty() && obj == static_cast<int>(objects_.size());
  DestDiagrCombo->SetEnabled(!table);
  const bool ok = obj >= 0 && (table || DestDiagrCombo->ItemIndex() >= 0);
  if (ok != OKBtn->Enabled()) NoteUserActivity();
  OKBtn->SetEnabled(ok);
  OKBtn->SetDefault(ok);
  CancelBtn->SetDefault(!ok);
}

}  // namespace qv
