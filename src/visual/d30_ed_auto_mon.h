#pragma once
// The settings dialog of the automatic monitors: on or off, curves per diagram, diagrams per
// page, the second Y axis, a page of its own for the table, and whether the values become the
// defaults or apply to every device.
#include <string>

#include "controls/sty_radio_button.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "visual/auto_monitor.h"

namespace qv {

class TD30_EdAutoMon : public TForm {
public:
  explicit TD30_EdAutoMon(TComponent* owner);
  std::string ClassName() const override { return "TD30_EdAutoMon"; }

  void SetValues(const TAutoMonSettings& values);
  // With "disabled" chosen only Enabled is set (false); the other values stay as they were.
  void GetValues(TAutoMonSettings& values, bool& save_as_default, bool& apply_to_all) const;
  // Greys what does not apply while automatic monitors are off.
  void UpdateEnabling();

  TStyRadioButton* EnabledRB;
  TStyRadioButton* DisabledRB;
  TLabel* CurvesLabel;
  TStySpinEdit* CurvesEdit;
  TLabel* DiagramsLabel;
  TStySpinEdit* DiagramsEdit;
  TCheckBox* Use2YAxCB;
  TCheckBox* SepTableMonCB;
  TCheckBox* SaveAsDefaultCB;
  TCheckBox* ApplyToAllCB;
  TButton* OKBtn;
  TButton* CancelBtn;

private:
  void Changed();
  bool setting_ = false;
};

// Runs the dialog modally (the dialog proc the builder uses by default).
bool RunEdAutoMonDlg(TAutoMonSettings& values, bool& save_as_default, bool& apply_to_all);

}  // namespace qv
