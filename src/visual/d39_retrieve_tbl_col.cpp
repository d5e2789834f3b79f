#include "visual/d39_retrieve_tbl_col.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/rtl/string_list.h"

namespace qv {

TD39_RetrieveTblCol* D39_RetrieveTblCol = nullptr;

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

TStyGroupBox* NewBox(TForm* form, const std::string& key, int top) {
  auto* box = new TStyGroupBox(form);
  box->SetParent(form);
  box->SetCaption(LoadResString(key));
  box->SetBounds(8, top, kWidth - 16, 56);
  return box;
}

void Fill(TComboBox* combo, const std::vector<std::string>& list) {
  combo->Items().Clear();
  for (const std::string& t : list) combo->Items().Add(t);
  combo->SyncItems();
}
}  // namespace

TD39_RetrieveTblCol::TD39_RetrieveTblCol(TComponent* owner) : TForm(owner) {
  D39_RetrieveTblCol = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("tvo_RetrieveCol"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  ColGrBox = NewBox(this, "tvo_ChanToRetr", 8);
  MaskColCombo = NewList(this, ColGrBox, [this] { UpdateControls(); });
  DestGrBox = NewBox(this, "tvo_DestChan", 72);
  DestColCombo = NewList(this, DestGrBox, [this] { UpdateControls(); });
  auto button = [this](const std::string& key, int result, int left) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetText(LoadResString(key));
    b->SetModalResult(result);
    b->SetBounds(left, 140, 90, 26);
    return b;
  };
  OKBtn = button("b_&OK", mrOk, 8);
  OKBtn->OnClick = [](TComponent*) { NoteUserActivity(); };
  CancelBtn = button("b_&Cancel", mrCancel, 108);
  CancelBtn->SetCancel(true);
  HelpBtn = button("b_&Help", mrNone, 208);
  // No help file to open on this platform yet: the button stays hidden, as in the other dialogs.
  HelpBtn->SetVisible(false);
  SetBounds(0, 0, kWidth, 140 + 26 + 8);
  UpdateControls();
}

TD39_RetrieveTblCol::~TD39_RetrieveTblCol() {
  NoteUserActivity();
  if (D39_RetrieveTblCol == this) D39_RetrieveTblCol = nullptr;
}

void TD39_RetrieveTblCol::SetColumns(const std::vector<std::string>& masked,
                                     const std::vector<std::string>& destinations) {
  masked_count_ = static_cast<int>(masked.size());
  dest_count_ = static_cast<int>(destinations.size());
  Fill(MaskColCombo, masked);
  Fill(DestColCombo, destinations);
  UpdateControls();
}

void TD39_RetrieveTblCol::SetColIndex(int i) {
  if (i >= 0 && i < masked_count_) MaskColCombo->SetItemIndex(i);
  UpdateControls();
}

void TD39_RetrieveTblCol::SetDestIndex(int i) {
  if (i >= 0 && i < dest_count_) DestColCombo->SetItemIndex(i);
  UpdateControls();
}

void TD39_RetrieveTblCol::UpdateControls() {
  NoteUserActivity();
  const bool ok = MaskColCombo->ItemIndex() >= 0 && DestColCombo->ItemIndex() >= 0;
  OKBtn->SetEnabled(ok);
  OKBtn->SetDefault(ok);
  CancelBtn->SetDefault(!ok);
}

}  // namespace qv
