#pragma once
// The print selection for diagrams: which diagrams to print and how many on a page. Made on
// first use and kept; the caller reads the chosen item after OK.
#include <string>

#include "controls/sty_radio_group.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class Td43_PrintSelect : public TForm {
public:
  explicit Td43_PrintSelect(TComponent* owner);
  // Clears d43_PrintSelect when it is this dialog.
  ~Td43_PrintSelect() override;
  std::string ClassName() const override { return "Td43_PrintSelect"; }
  int ItemIndex() const { return SelectGroup->ItemIndex(); }

  TStyRadioGroup* SelectGroup;
  TButton* OKBtn;
  TButton* CancelBtn;
};

// Null until first use.
extern Td43_PrintSelect* d43_PrintSelect;
// The dialog, made on first use with the application as owner.
Td43_PrintSelect* PrintSelectDialog();

}  // namespace qv
