#pragma once
// The form that asks for a serial port when a port is opened without a number: it lists the
// ports 1 to 50 that exist ("COM1" ...), the first one chosen. It lives over the GUI layer, apart
// from the serial library, which reaches it through its port selection hook.
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TComSelectForm : public TForm {
public:
  explicit TComSelectForm(TComponent* owner);
  std::string ClassName() const override { return "TComSelectForm"; }

  // The number of the chosen entry, 0 when none.
  int ChosenPort();

  TLabel* Label1;
  TLabel* Label2;
  TComboBox* PortsComboBox;
  TButton* OKBtn;
  TButton* CancelBtn;
};

// Shows the form modally; the chosen number after OK, else 0.
int ExecuteComSelectForm();

// Makes the form the serial library's way of asking for a port (at start-up).
void InstallComSelectForm();

}  // namespace qv
