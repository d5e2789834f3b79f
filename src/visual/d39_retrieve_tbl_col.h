#pragma once
// The dialog that brings a hidden table column back: which hidden column, and before which
// visible column it goes (or at the end).
#include <string>
#include <vector>

#include "controls/sty_panel.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD39_RetrieveTblCol : public TForm {
public:
  explicit TD39_RetrieveTblCol(TComponent* owner);
  ~TD39_RetrieveTblCol() override;
  std::string ClassName() const override { return "TD39_RetrieveTblCol"; }

  void SetColumns(const std::vector<std::string>& masked, const std::vector<std::string>& destinations);
  // Select item i when it exists.
  void SetColIndex(int i);
  void SetDestIndex(int i);
  int GetColIndex() { return MaskColCombo->ItemIndex(); }
  int GetDestIndex() { return DestColCombo->ItemIndex(); }
  // OK needs both choices.
  void UpdateControls();

  TStyGroupBox* ColGrBox;
  TComboBox* MaskColCombo;
  TStyGroupBox* DestGrBox;
  TComboBox* DestColCombo;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  int masked_count_ = 0, dest_count_ = 0;
};

// The dialog while one exists.
extern TD39_RetrieveTblCol* D39_RetrieveTblCol;

}  // namespace qv
