#include "devices/forms/d38_tv10_edit_sens.h"

#include <memory>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "devices/tv10_sensor_info.h"
#include "platform/gui/forms.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"
#include "platform/rtl/msg_dlg_types.h"

namespace qv {

TD38_Tv10EditSens* D38_Tv10EditSens = nullptr;

TD38_Tv10EditSens::TD38_Tv10EditSens(TComponent* owner) : TMultilingualForm2(owner) {
  D38_Tv10EditSens = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetBounds(0, 0, 420, 330);
  Keys().Caption(this, "D38_Tv10EditSens");
  SensPcbLbl = new TLabel(this);
  SensPcbLbl->SetParent(this);
  SensPcbLbl->SetBounds(12, 10, 390, 16);
  for (size_t i = 0; i < 4; ++i) {
    ChanGrBox[i] = new TStyGroupBox(this);
    ChanGrBox[i]->SetParent(this);
    ChanGrBox[i]->SetBounds(8, 32 + static_cast<int>(i) * 58, 400, 52);
    Keys().Caption(ChanGrBox[i], std::string(Tv10ChanKeys[i]));
    SelChanCombo[i] = new TComboBox(this);
    SelChanCombo[i]->SetParent(ChanGrBox[i]);
    SelChanCombo[i]->SetStyle(TComboBoxStyle::csDropDownList);
    SelChanCombo[i]->SetBounds(10, 20, 380, 22);
    SelChanCombo[i]->OnChange = [this](TComponent* sender) { SelChanComboChange(sender); };
  }
  const auto button = [this](const std::string& key, int left) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetBounds(left, 270, 100, 27);
    Keys().Caption(b, key);
    return b;
  };
  OKBtn = button("b_&OK", 92);
  CancelBtn = button("b_&Cancel", 200);
  HelpBtn = button("b_&Help", 308);
  CancelBtn->SetCancel(true);
  CancelBtn->SetModalResult(mrCancel);
  OKBtn->SetEnabled(false);
  CancelBtn->SetDefault(true);
  OKBtn->OnClick = [this](TComponent* sender) { OKBtnClick(sender); };
  CancelBtn->OnClick = [](TComponent*) { NoteUserActivity(); };
  HelpBtn->OnClick = [](TComponent*) { NoteUserActivity(); };
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
}

TD38_Tv10EditSens::~TD38_Tv10EditSens() {
  if (D38_Tv10EditSens == this) D38_Tv10EditSens = nullptr;
}

void TD38_Tv10EditSens::SetKind(uint8_t kind) {
  if (kind != 5 && kind != 6 && kind != 7) throw Exception("TD38_Tv10EditSens: invalid Tavra type !");
  kind_ = kind;
  for (size_t i = 2; i < 4; ++i) {
    ChanGrBox[i]->SetVisible(kind == 6);
    SelChanCombo[i]->SetVisible(kind == 6);
  }
}

void TD38_Tv10EditSens::SetBoard(uint8_t board) {
  board_ = board;
  SensPcbLbl->SetCaption(LoadResString("t10_SensorPcb") + ": " + SensorPcbName(board));
}

void TD38_Tv10EditSens::SelectType(int slot) {
  const size_t i = static_cast<size_t>(slot - 1);
  int index = -1;
  for (size_t k = 0; k < combo_types_[i].size(); ++k)
    if (combo_types_[i][k] == types_[i]) {
      index = static_cast<int>(k);
      break;
    }
  SelChanCombo[i]->SetItemIndex(index);
}

void TD38_Tv10EditSens::SetSlotType(int slot, uint8_t type) {
  if (slot < 1 || slot > 4) return;
  types_[static_cast<size_t>(slot - 1)] = type;
  SelectType(slot);
  OKBtn->SetEnabled(false);
  OKBtn->SetDefault(false);
  CancelBtn->SetDefault(true);
}

void TD38_Tv10EditSens::FormShow() {
  for (int slot = 1; slot <= ShownSlots(); ++slot) {
    const size_t i = static_cast<size_t>(slot - 1);
    TStringList& items = SelChanCombo[i]->Items();
    items.Clear();
    combo_types_[i].clear();
    const auto offered = Tv10SensorSelection(slot, board_);
    for (int index = 0; index < Tv10SensorCount; ++index) {
      if (!offered.test(static_cast<size_t>(index))) continue;
      TTv10SensorInfo info;
      if (!FindSensorInfo(board_, Tv10SensorRows[static_cast<size_t>(index)].SensorType, e2_version_, info)) continue;
      items.Add(info.Name);
      combo_types_[i].push_back(info.SensorType);
    }
    SelChanCombo[i]->SyncItems();
    SelectType(slot);
  }
}

void TD38_Tv10EditSens::SelChanComboChange(TComponent*) {
  NoteUserActivity();
  OKBtn->SetEnabled(true);
  OKBtn->SetDefault(true);
  CancelBtn->SetDefault(false);
}

uint8_t TD38_Tv10EditSens::ChosenType(int slot) {
  const size_t i = static_cast<size_t>(slot - 1);
  const int index = SelChanCombo[i]->ItemIndex();
  // A slot whose sensor the board does not offer keeps it until the user picks another.
  if (index < 0 || index >= static_cast<int>(combo_types_[i].size())) return types_[i];
  return combo_types_[i][static_cast<size_t>(index)];
}

void TD38_Tv10EditSens::OKBtnClick(TComponent*) {
  NoteUserActivity();
  std::array<uint8_t, 4> chosen{};
  for (int slot = 1; slot <= ShownSlots(); ++slot) chosen[static_cast<size_t>(slot - 1)] = ChosenType(slot);
  // The two inputs of one external sensor (bit 7 alike on board 2) cannot be combined.
  if (chosen[0] == chosen[1] || (board_ == 2 && ((chosen[0] ^ chosen[1]) & 0x80) == 0)) {
    MessageDlg(Format(LoadResString("deh_InvSensorComb"), SelChanCombo[0]->Text(), SelChanCombo[1]->Text()),
               TMsgDlgType::mtError, mbOK);
    OKBtn->SetEnabled(false);
    return;
  }
  types_ = chosen;
  SetModalResult(mrOk);
}

bool RunChangeSensorsDialog(uint8_t kind, uint8_t board, uint8_t e2_version, std::array<uint8_t, 4>& types) {
  if (D38_Tv10EditSens) return false;
  auto dialog = std::make_unique<TD38_Tv10EditSens>(nullptr);
  dialog->SetKind(kind);
  dialog->SetBoard(board);
  dialog->SetE2Version(e2_version);
  dialog->FormShow();
  for (int slot = 1; slot <= 4; ++slot) dialog->SetSlotType(slot, types[static_cast<size_t>(slot - 1)]);
  if (dialog->ShowModal() != mrOk) return false;
  for (int slot = 1; slot <= 4; ++slot) types[static_cast<size_t>(slot - 1)] = dialog->SlotType(slot);
  return true;
}

}  // namespace qv
