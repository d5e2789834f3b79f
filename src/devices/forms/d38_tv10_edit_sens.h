#pragma once
// The dialog in which the user picks other sensors for a logger's slots.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/forms/multilingual_form.h"
#include "controls/sty_panel.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD38_Tv10EditSens : public TMultilingualForm2 {
public:
  static constexpr int HelpContext = 3516;

  explicit TD38_Tv10EditSens(TComponent* owner);
  ~TD38_Tv10EditSens() override;
  std::string ClassName() const override { return "TD38_Tv10EditSens"; }

  // Kinds 5 and 7 show two slots, kind 6 four; Exception "TD38_Tv10EditSens: invalid Tavra type !"
  // for any other.
  void SetKind(uint8_t kind);
  void SetBoard(uint8_t board);
  void SetE2Version(uint8_t version) { e2_version_ = version; }
  // Slots 1 to 4: the current sensor, selected in the slot's list; OK is disabled again.
  void SetSlotType(int slot, uint8_t type);
  uint8_t SlotType(int slot) const { return types_.at(static_cast<size_t>(slot - 1)); }
  // Fills the shown lists with the sensors the board offers for each slot.
  void FormShow();
  void SelChanComboChange(TComponent* sender);
  void OKBtnClick(TComponent* sender);

  TLabel* SensPcbLbl = nullptr;
  std::array<TStyGroupBox*, 4> ChanGrBox{};
  std::array<TComboBox*, 4> SelChanCombo{};
  TButton *OKBtn = nullptr, *CancelBtn = nullptr, *HelpBtn = nullptr;

private:
  int ShownSlots() const { return kind_ == 6 ? 4 : 2; }
  // The type of the slot's selected entry; the current type when none is selected.
  uint8_t ChosenType(int slot);
  void SelectType(int slot);

  uint8_t kind_ = 0, board_ = 0, e2_version_ = 0;
  std::array<uint8_t, 4> types_{};
  std::array<std::vector<uint8_t>, 4> combo_types_;
};

// The dialog's one instance while it exists.
extern TD38_Tv10EditSens* D38_Tv10EditSens;

// Shows the dialog modally for a logger; true with the chosen types on OK. False without
// showing anything while another instance exists.
bool RunChangeSensorsDialog(uint8_t kind, uint8_t board, uint8_t e2_version, std::array<uint8_t, 4>& types);

}  // namespace qv
