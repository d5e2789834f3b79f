#pragma once
// The dialog that brings a masked object back: which masked diagram (or the masked table, the
// last entry) and, for a diagram, before which visible diagram it goes (or at the end).
#include <string>
#include <vector>

#include "controls/sty_panel.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD40_RetrieveObj : public TForm {
public:
  explicit TD40_RetrieveObj(TComponent* owner);
  ~TD40_RetrieveObj() override;
  std::string ClassName() const override { return "TD40_RetrieveObj"; }

  // The objects; the table entry, when set, stays the last one.
  void SetObjects(const std::vector<std::string>& list);
  void SetTableEntry(const std::string& text);
  void SetDestinations(const std::vector<std::string>& list);
  // Select item i when it exists.
  void SetObjIndex(int i);
  void SetDestIndex(int i);
  int GetObjIndex() { return MaskObjCombo->ItemIndex(); }
  int GetDestIndex() { return DestDiagrCombo->ItemIndex(); }
  // The table has a fixed place: with it chosen there is no destination. OK needs a choice.
  void UpdateControls();

  TStyGroupBox* ObjToRetrGrBox;
  TComboBox* MaskObjCombo;
  TStyGroupBox* DestGrBox;
  TComboBox* DestDiagrCombo;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  // The entries of both lists; reading a combo box's item list would mark it for a reload
  // that forgets its selection.
  std::vector<std::string> objects_, destinations_;
  std::string table_entry_;
  void FillObjects();
};

// The dialog while one exists.
extern TD40_RetrieveObj* D40_RetrieveObj;

}  // namespace qv
